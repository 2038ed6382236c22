// The order of the dated search results and the keyword test, on plain values for their tests.
// Not for callers outside src/search/.
#pragma once

#include <string>
#include <vector>

#include "core/search_results.h"

namespace search::detail {

// Ascending by date, comparing the instants the dates denote (raw values do not order before
// 1899-12-30); a date outside the valid range counts as the nearest end of it. Stable, as the
// neighbour-exchange sort that moves a result only past a strictly earlier one: results of equal dates keep
// their order.
void sortByDate(std::vector<core::SearchResult>& results);

// Whether `text` holds `keyword`, ASCII letter case ignored; an empty keyword is in no text.
bool containsKeyword(const std::string& text, const std::string& keyword);

}  // namespace search::detail
