// The result lines' date order and the keyword test.
#include "search/search_lines.h"

#include <cstddef>
#include <utility>

#include "runtime/base/datetime.h"
#include "runtime/base/text.h"

namespace search::detail {

void sortLinesByDate(std::vector<ResultLine>& lines) {
    const std::size_t n = lines.size();
    // Raw values do not order before 1899-12-30; instants do.
    std::vector<double> dates;
    dates.reserve(n);
    for (const ResultLine& line : lines) dates.push_back(runtime::instantOf(runtime::toDateTime(line.text)));
    for (std::size_t pass = 1; pass < n; ++pass) {
        for (std::size_t j = 1; j <= n - pass; ++j) {
            if (dates[j - 1] > dates[j]) {
                std::swap(dates[j - 1], dates[j]);
                std::swap(lines[j - 1], lines[j]);
            }
        }
    }
}

bool containsKeyword(const std::string& text, const std::string& keyword) {
    return runtime::findText(text, keyword, 1, true) != -1;
}

}  // namespace search::detail
