#include "cli/ProtectOption.h"

#include "cli/LookTrials.h"
#include "core/looks/Protect.h"

#include <charconv>
#include <cstdio>
#include <iostream>

namespace quillon::cli {
namespace {

using namespace filterhost;

// A palette of a few thousand colours keeps each trial run short.
constexpr size_t kMaxPaletteColors = 8192;

int RequestedLocks(const ProtectRequest& request) {
    if (request.given.empty() || request.given.front().empty()) return kMaxPairs;
    const std::string& text = request.given.front();
    int n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc() || end != text.data() + text.size() || n < 1 || n > kMaxPairs)
        throw UsageError("--protect: expected a number of locks from 1 to " +
                         std::to_string(kMaxPairs) + ", got \"" + text + "\"");
    return n;
}

// The picture's colours merged finely enough to tell near from far, coarsely enough to be few.
Palette PictureColors(const ColorFrame& frame, const Document& picture) {
    const std::vector<Color16> records = frame.Sample(picture, kMaxSampledPixels);
    const std::vector<LabColor> lab = frame.Lab(records);
    Palette palette;
    for (double step = 2; step < 64; step *= 1.5) {
        palette = MergeColors(records, lab, {}, step);
        if (palette.Size() <= kMaxPaletteColors) break;
    }
    // Measured against the colour of the merged record itself, which is what the filter gets.
    palette.lab = frame.Lab(palette.records);
    return palette;
}

} // namespace

void AddProtectOption(CLI::App& command, ProtectRequest& request) {
    request.option = command
                         .add_option("--protect", request.given,
                                     "[N] add at most N locks (default: all the room the pairs "
                                     "leave) at the picture's colours, so that colours beyond "
                                     "the reach of the moving pairs keep their colour")
                         ->expected(0, 1);
}

FilterOptions Protect(const GlobalOptions& global, const HostSettings& host,
                      const FilterOptions& options, const Document& picture,
                      const ProtectRequest& request) {
    const int asked = RequestedLocks(request);
    LookTrials trials(global, host, options, picture);
    const GivenSettings given = trials.Given();
    const int room = kMaxPairs - int(given.pairs.size());
    if (room <= 0)
        throw HostFailure("--protect: the " + std::to_string(given.pairs.size()) +
                          " pairs given leave no room for a lock (the filter takes " +
                          std::to_string(kMaxPairs) + ")");
    const Palette palette = PictureColors(trials.Frame(), picture);
    const double reach = PairReach(given.fuzziness);
    const Protection protection = ProtectFarColors(
        palette, given.pairs, reach, given.preserveLuminosity, std::min(asked, room),
        [&](const std::vector<LookPair>& pairs) {
            return trials.RunLab(palette.records, {pairs, std::nullopt, std::nullopt});
        });

    char line[240];
    std::snprintf(line, sizeof line,
                  "quillon: --protect: %zu locks keep the colours farther than dE00 %.1f from the "
                  "moving pairs; their mean change %.2f -> %.2f dE00\n",
                  protection.locks.size(), reach, protection.farChangeBefore,
                  protection.farChangeAfter);
    std::cerr << line;
    std::vector<LookPair> pairs = given.pairs;
    pairs.insert(pairs.end(), protection.locks.begin(), protection.locks.end());
    return trials.With({pairs, std::nullopt, std::nullopt});
}

} // namespace quillon::cli
