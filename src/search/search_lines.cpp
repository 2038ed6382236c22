// The dated results' order and the keyword test.
#include "search/search_lines.h"

#include <algorithm>

#include "runtime/base/datetime.h"
#include "runtime/base/text.h"

namespace search::detail {

namespace {
// Clamped into the valid range, so that every date has an instant to compare (a value no date
// text could name sorts at an end of the range).
double instant(const core::SearchResult& result) {
    return runtime::instantOf(runtime::clampDateTime(result.date));
}
}  // namespace

void sortByDate(std::vector<core::SearchResult>& results) {
    std::stable_sort(
        results.begin(), results.end(),
        [](const core::SearchResult& a, const core::SearchResult& b) { return instant(a) < instant(b); });
}

bool containsKeyword(const std::string& text, const std::string& keyword) {
    return runtime::containsText(text, keyword, true);
}

}  // namespace search::detail
