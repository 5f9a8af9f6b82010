// quillon match: pairs that move a picture's colours toward those of another picture with
// different content, by optimal transport between their palettes (core/looks/PaletteMatch.h),
// judged by running the filter on the picture's colours.
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/LookTrials.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFiles.h"
#include "core/looks/PaletteMatch.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <optional>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct MatchOptions {
    std::filesystem::path in, ref;
    int pairs = 64;
    std::optional<std::filesystem::path> record, report;
    FilterOptions filter;
};

// Colours merged this finely before clustering; the clusters are what the pairs stand on.
constexpr double kPaletteStep = 2;
// Without --fuzziness the pairs blend into each other over the whole picture.
constexpr double kMatchFuzziness = 10;
constexpr int kRefinements = 4;

struct PictureColors {
    Document document;
    std::vector<Color16> records;
    std::vector<LabColor> lab;
    Palette palette;
};

PictureColors ReadColors(const std::filesystem::path& file) {
    PictureColors c;
    c.document = ReadImageFile(file).document;
    const ColorFrame frame(c.document);
    c.records = frame.Sample(c.document, kMaxSampledPixels);
    c.lab = frame.Lab(c.records);
    c.palette = MergeColors(c.records, c.lab, {}, kPaletteStep);
    return c;
}

// What each palette colour became: the mean of what its nearest pixels became.
std::vector<LabColor> AchievedPerColor(const std::vector<LabColor>& palette,
                                       const std::vector<LabColor>& before,
                                       const std::vector<LabColor>& after) {
    std::vector<LabColor> sum(palette.size());
    std::vector<double> count(palette.size(), 0);
    for (size_t i = 0; i < before.size(); ++i) {
        size_t best = 0;
        double bestD = INFINITY;
        for (size_t j = 0; j < palette.size(); ++j) {
            const double dL = before[i].L - palette[j].L, da = before[i].a - palette[j].a,
                         db = before[i].b - palette[j].b;
            const double d = dL * dL + da * da + db * db;
            if (d < bestD) bestD = d, best = j;
        }
        sum[best].L += after[i].L, sum[best].a += after[i].a, sum[best].b += after[i].b;
        count[best] += 1;
    }
    std::vector<LabColor> out(palette.size());
    for (size_t j = 0; j < palette.size(); ++j)
        out[j] = count[j] > 0
                     ? LabColor{sum[j].L / count[j], sum[j].a / count[j], sum[j].b / count[j]}
                     : palette[j];
    return out;
}

int RunMatch(const GlobalOptions& global, const HostSettings& settings, const MatchOptions& o) {
    PictureColors in = ReadColors(o.in), ref = ReadColors(o.ref);
    LookTrials trials(global, settings, o.filter, in.document);
    in.palette.lab = trials.Frame().Lab(in.palette.records);

    const WeightedColors source = PaletteOf(in.palette, size_t(o.pairs));
    const WeightedColors reference = PaletteOf(ref.palette, size_t(o.pairs));
    const PaletteMatch match = MatchPalettes(source, reference);
    const double fuzziness = o.filter.fuzziness.value_or(kMatchFuzziness);
    const bool preserve =
        o.filter.preserveLuminosity ? *o.filter.preserveLuminosity == "on" : false;
    auto pairsFor = [&](const std::vector<LabColor>& targets) {
        std::vector<LookPair> pairs;
        for (size_t i = 0; i < match.from.size(); ++i) {
            LookPair p{ToHostLab(match.from[i]), ToHostLab(targets[i]), false};
            if (!p.Moves()) p.locked = true;
            pairs.push_back(p);
        }
        return pairs;
    };

    // Each round carries what the palette colours became toward the reference once more: the
    // filter blends between its pairs, so the first targets fall short of the plan.
    std::vector<LabColor> targets = match.to;
    std::vector<LabColor> achieved =
        trials.RunLab(in.records, {pairsFor(targets), fuzziness, preserve});
    double after = SlicedWasserstein(achieved, ref.lab);
    for (int round = 0; round < kRefinements; ++round) {
        const std::vector<LabColor> became = AchievedPerColor(source.lab, in.lab, achieved);
        const PaletteMatch again = MatchPalettes({became, source.weight}, reference);
        std::vector<LabColor> moved = targets;
        for (size_t i = 0; i < moved.size(); ++i)
            moved[i] = {moved[i].L + again.to[i].L - became[i].L,
                        moved[i].a + again.to[i].a - became[i].a,
                        moved[i].b + again.to[i].b - became[i].b};
        std::vector<LabColor> next =
            trials.RunLab(in.records, {pairsFor(moved), fuzziness, preserve});
        const double distance = SlicedWasserstein(next, ref.lab);
        if (distance >= after) break;
        targets = moved, achieved = std::move(next), after = distance;
    }
    const std::vector<LookPair> pairs = pairsFor(targets);
    const TrialSettings chosen{pairs, fuzziness, preserve};

    // The action, recorded by the filter from the options a later apply --action uses.
    Document swatches = trials.Frame().Swatches(in.records);
    RunOptions run;
    const FilterResult result = RunFilter(global, settings, trials.With(chosen), swatches, run,
                                          o.record.value_or("the action"));
    const double before = SlicedWasserstein(in.lab, ref.lab);
    const double matchedAfter =
        MatchedDifference(match, AchievedPerColor(source.lab, in.lab, achieved), reference);

    const std::string colors = PairsText(pairs);
    std::cout << colors << "\n";
    char line[300];
    std::snprintf(line, sizeof line,
                  "quillon: match: %zu pairs; sliced Wasserstein distance to %s in Lab %.2f -> "
                  "%.2f; mean dE00 of matched palette colours %.2f -> %.2f\n",
                  pairs.size(), o.ref.filename().string().c_str(), before, after,
                  match.matchedDifference, matchedAfter);
    std::cerr << line;
    if (o.report) {
        const nlohmann::json report = {
            {"pairs", pairs.size()},
            {"colors", colors},
            {"slicedWasserstein", {{"before", before}, {"after", after}}},
            {"matchedDeltaE00", {{"before", match.matchedDifference}, {"after", matchedAfter}}}};
        WriteFileAtomically(*o.report, report.dump(2) + "\n");
    }
    if (o.record) {
        RecordAction(result, *o.record);
    }
    return kExitOk;
}

} // namespace

void AddMatchCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status) {
    auto options = std::make_shared<MatchOptions>();
    auto* match = app.add_subcommand(
        "match", "find pairs that move IN's colours toward those of REF, a different picture");
    match->add_option("IN", options->in, "the picture to recolour")->required();
    match->add_option("REF", options->ref, "the picture whose colours to take")->required();
    match->add_option("--pairs", options->pairs, "most pairs, 1 to 200 (default 64)")
        ->check(CLI::Range(1, 200));
    match->add_option("--record", options->record, "write the pairs as an action file");
    match->add_option("--report", options->report, "write the distances as JSON");
    AddFilterOptions(*match, options->filter);
    match->callback([match, &global, &settings, &status, options] {
        GatherFilterOptions(*match, options->filter);
        status = ReportingFailures([&] { return RunMatch(global, settings, *options); });
    });
}

} // namespace quillon::cli
