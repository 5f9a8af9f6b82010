// --protect [N]: locked pairs at the picture's own colours that keep the colours beyond the
// reach of the moving pairs where they are (see core/looks/Protect.h).
#pragma once

#include "cli/FilterOptions.h"
#include "cli/HostSettings.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

struct GlobalOptions;

struct ProtectRequest {
    std::vector<std::string> given; // what CLI11 fills: nothing, or N
    const CLI::Option* option = nullptr;

    bool Asked() const { return option && option->count() > 0; }
};

// The most pairs the filter takes, locks included.
inline constexpr int kMaxPairs = 200;

void AddProtectOption(CLI::App& command, ProtectRequest& request);

// The filter options with the locks added; tells on standard error what they do. The picture's
// colours are the ones kept. Throws UsageError for an N that is not 1..200, HostFailure when
// the user's pairs leave no room for a lock.
FilterOptions Protect(const GlobalOptions& global, const HostSettings& host,
                      const FilterOptions& options, const filterhost::Document& picture,
                      const ProtectRequest& request);

} // namespace quillon::cli
