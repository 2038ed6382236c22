// The result lines' date order and the keyword test.
#include "search/search_lines.h"

#include <algorithm>
#include <cstddef>
#include <numeric>
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
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&dates](std::size_t a, std::size_t b) { return dates[a] < dates[b]; });
    std::vector<ResultLine> sorted;
    sorted.reserve(n);
    for (std::size_t i : order) sorted.push_back(std::move(lines[i]));
    lines = std::move(sorted);
}

bool containsKeyword(const std::string& text, const std::string& keyword) {
    return runtime::containsText(text, keyword, true);
}

}  // namespace search::detail
