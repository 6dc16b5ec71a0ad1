#pragma once

// The walk of one search place, for the tests of the search of the fixed
// disks, whose places a test cannot choose on every system.

#include <string>
#include <vector>

#include "search/folder_search.h"

namespace quillfen::search_internal {

// Walks the folder (ending in the separator) under the rules and stops at the
// first file of the name that is not in exclusions; result is its full path,
// or empty.
void FirstFound(System& system, const std::string& folder, const std::string& file_name,
                const WalkRules& rules, const std::vector<std::string>& exclusions,
                std::string& result, const SearchProgress& progress);

}  // namespace quillfen::search_internal
