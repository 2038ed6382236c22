// The result lines of the search as plain values, for the sort and its tests. Not for callers
// outside src/search/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace search::detail {

struct ResultLine {
    std::string text;
    int64_t data = 0;
};

// Ascending by the date each line's text reads as, comparing date values, not texts. Stable, as
// the neighbour-exchange sort that moves a line only past a strictly earlier one: lines of equal
// dates keep their order and each line keeps its data.
void sortLinesByDate(std::vector<ResultLine>& lines);

// Whether `text` holds `keyword`, ASCII letter case ignored; an empty keyword is in no text.
bool containsKeyword(const std::string& text, const std::string& keyword);

}  // namespace search::detail
