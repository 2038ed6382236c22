#include "core/search_results.h"

#include <array>
#include <utility>

namespace core {

namespace {

std::array<std::vector<SearchResult>, 4>& held() {
    static std::array<std::vector<SearchResult>, 4> results;
    return results;
}

}  // namespace

const std::vector<SearchResult>& searchResults(ResultKind kind) {
    return held()[static_cast<std::size_t>(kind)];
}

void setSearchResults(ResultKind kind, std::vector<SearchResult> results) {
    held()[static_cast<std::size_t>(kind)] = std::move(results);
}

void clearSearchResults() {
    for (std::vector<SearchResult>& results : held()) results.clear();
}

}  // namespace core
