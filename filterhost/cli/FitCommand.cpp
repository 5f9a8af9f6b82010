// quillon fit: pairs that reproduce a look, learnt from a picture before and after it (or from a
// 3D LUT), judged by running the filter itself on the picture's colours.
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/LookTrials.h"
#include "cli/ProtectOption.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFiles.h"
#include "core/looks/CubeReader.h"
#include "core/looks/LookFit.h"
#include "core/looks/LookTable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <numeric>
#include <optional>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct FitOptions {
    std::vector<std::filesystem::path> pictures; // BEFORE AFTER
    std::optional<std::filesystem::path> lut, on;
    int pairs = 64;
    std::optional<std::filesystem::path> record, report;
    FilterOptions filter;
    ProtectRequest protect;
};

// Palettes beyond this size cost trial time without making the fit better.
constexpr size_t kMaxFitColors = 12288;
// Points per axis of the lattice a LUT is learnt on when no picture is given.
constexpr int kLutLattice = 33;

std::string LabText(const LabColor& c) {
    char text[64];
    std::snprintf(text, sizeof text, "lab(%.1f,%.1f,%.1f)", c.L, c.a, c.b);
    return text;
}

// The look as colours: what the before colours are, and what they should become.
struct LookColors {
    Document before;              // the picture (or lattice) the look starts from
    std::vector<Color16> records; // sampled pixels of `before`
    std::vector<LabColor> lab, after;
};

LookColors FromPair(const FitOptions& o) {
    if (o.pictures.size() != 2) throw UsageError("fit takes BEFORE AFTER, or --lut LOOK.cube");
    LoadedImage before = ReadImageFile(o.pictures[0]);
    LoadedImage after = ReadImageFile(o.pictures[1]);
    const Document &b = before.document, &a = after.document;
    if (b.width != a.width || b.height != a.height)
        throw HostFailure(o.pictures[0].string() + " is " + std::to_string(b.width) + " x " +
                          std::to_string(b.height) + " pixels and " + o.pictures[1].string() +
                          " is " + std::to_string(a.width) + " x " + std::to_string(a.height) +
                          ": fit needs the same picture before and after the look");
    const ColorFrame frameBefore(b), frameAfter(a);
    LookColors look;
    look.records = frameBefore.Sample(b, kMaxSampledPixels);
    look.lab = frameBefore.Lab(look.records);
    look.after = frameAfter.Lab(frameAfter.Sample(a, kMaxSampledPixels));
    look.before = std::move(before.document);
    return look;
}

// The colours of natural pictures stay within this chroma; the LUT's lattice beyond it is left
// out of the fit when no picture is given.
constexpr double kNaturalChroma = 70;

LookColors FromLut(const FitOptions& o) {
    std::string ext = o.lut->extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const CubeLut lut = ext == ".cube" ? ReadCubeFile(*o.lut) : [&] {
        try {
            return LutFromHald(ReadImageFile(*o.lut).document);
        } catch (const HostFailure& e) {
            throw HostFailure(o.lut->string() + ": " + e.what());
        }
    }();
    LookColors look;
    if (o.on) {
        look.before = ReadImageFile(*o.on).document;
        if (look.before.mode != ColorMode::RGB)
            throw HostFailure(o.on->string() + ": a LUT maps RGB, and this picture is " +
                              ModeName(look.before.mode));
        const ColorFrame frame(look.before);
        look.records = frame.Sample(look.before, kMaxSampledPixels);
        look.lab = frame.Lab(look.records);
    } else {
        const Document lattice = MakeLattice(kLutLattice, kLutLattice * kLutLattice);
        const ColorFrame frame(lattice);
        const std::vector<Color16> all = frame.Sample(lattice, kMaxSampledPixels);
        const std::vector<LabColor> lab = frame.Lab(all);
        for (size_t i = 0; i < all.size(); ++i)
            if (std::hypot(lab[i].a, lab[i].b) <= kNaturalChroma)
                look.records.push_back(all[i]), look.lab.push_back(lab[i]);
        look.before = frame.Swatches(look.records);
    }
    std::vector<Color16> mapped(look.records.size());
    auto level = [](double v) { return uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 32768)); };
    for (size_t i = 0; i < mapped.size(); ++i) {
        const Color16& r = look.records[i];
        const auto out = lut.Map({r.c1 / 32768.0, r.c2 / 32768.0, r.c3 / 32768.0});
        mapped[i] = {0, level(out[0]), level(out[1]), level(out[2])};
    }
    look.after = ColorFrame(look.before).Lab(mapped);
    return look;
}

// The palette as the trials see it: each colour at its cell's mean record rounded to the
// picture's depth (the filter runs on such pixels), its target moved with it away from the
// cell's mean colour, so that the trials judge the look and not the rounding.
Palette AtOwnRecords(const ColorFrame& frame, Palette palette) {
    const std::vector<LabColor> cellMean = std::move(palette.lab);
    palette.records = frame.Records(frame.Swatches(palette.records), palette.Size());
    palette.lab = frame.Lab(palette.records);
    for (size_t i = 0; i < palette.Size(); ++i) {
        const LabColor &at = palette.lab[i], &mean = cellMean[i];
        LabColor& after = palette.after[i];
        after = {after.L + at.L - mean.L, after.a + at.a - mean.a, after.b + at.b - mean.b};
    }
    return palette;
}

DifferenceStats MeasureOnPixels(LookTrials& trials, const LookColors& look,
                                const TrialSettings& s) {
    const std::vector<LabColor> achieved = trials.RunLab(look.records, s);
    std::vector<double> difference(look.records.size());
    for (size_t i = 0; i < look.records.size(); ++i)
        difference[i] = DeltaE00(achieved[i], look.after[i]);
    return Summarize(difference, std::vector<double>(difference.size(), 1.0));
}

nlohmann::json StatsJson(const DifferenceStats& s) {
    return {{"mean", s.mean}, {"median", s.median}, {"p90", s.p90}, {"max", s.max}};
}

std::string StatsText(const DifferenceStats& s) {
    char text[128];
    std::snprintf(text, sizeof text, "mean %.2f, median %.2f, 90th percentile %.2f, max %.2f",
                  s.mean, s.median, s.p90, s.max);
    return text;
}

int RunFit(const GlobalOptions& global, const HostSettings& settings, const FitOptions& o) {
    LookColors look = o.lut ? FromLut(o) : FromPair(o);
    LookTrials trials(global, settings, o.filter, look.before);
    Palette palette;
    for (double step = 1; step < 64; step *= 1.4) {
        palette = MergeColors(look.records, look.lab, look.after, step);
        if (palette.Size() <= kMaxFitColors) break;
    }
    palette = AtOwnRecords(trials.Frame(), std::move(palette));

    FitRequest request;
    request.pairs = o.pairs;
    request.fuzziness = o.filter.fuzziness;
    if (o.filter.preserveLuminosity)
        request.preserveLuminosity = *o.filter.preserveLuminosity == "on";
    auto trial = [&](const FitSettings& s) {
        return trials.RunLab(palette.records, {s.pairs, s.fuzziness, s.preserveLuminosity});
    };
    // The search starts from the naive fit's pairs, among others, and keeps only what improves on
    // them; the naive fit itself is measured over the pixels for the report.
    const FitOutcome fit = FitLook(palette, request, trial);
    FitRequest naiveRequest{o.pairs, 10.0, false, false};
    const FitOutcome naive = FitLook(palette, naiveRequest, trial);
    const DifferenceStats naiveStats =
        MeasureOnPixels(trials, look, {naive.settings.pairs, 10.0, false});

    const TrialSettings fitted{fit.settings.pairs, fit.settings.fuzziness,
                               fit.settings.preserveLuminosity};
    FilterOptions options = trials.With(fitted);
    if (o.protect.Asked()) options = Protect(global, settings, options, look.before, o.protect);

    // The result over the sampled pixels, through the options a later apply --action uses.
    Document swatches = trials.Frame().Swatches(look.records);
    RunOptions run;
    const FilterResult result =
        RunFilter(global, settings, options, swatches, run, o.record.value_or("the action"));
    const std::vector<LabColor> achieved =
        trials.Frame().Lab(trials.Frame().Records(swatches, look.records.size()));
    std::vector<double> difference(look.records.size());
    for (size_t i = 0; i < difference.size(); ++i)
        difference[i] = DeltaE00(achieved[i], look.after[i]);
    const DifferenceStats stats = Summarize(difference, std::vector<double>(difference.size(), 1));

    // The five worst colours, one of each neighbourhood.
    std::vector<size_t> order(difference.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return difference[x] > difference[y]; });
    std::vector<size_t> worst;
    for (size_t i : order) {
        if (worst.size() == 5) break;
        if (std::none_of(worst.begin(), worst.end(),
                         [&](size_t j) { return DeltaE00(look.lab[i], look.lab[j]) < 3; }))
            worst.push_back(i);
    }

    const std::string colors = PairsText(fit.settings.pairs);
    std::cout << colors << "\n";
    std::cerr << "quillon: fit: " << fit.settings.pairs.size() << " pairs, fuzziness "
              << fit.settings.fuzziness << ", preserve luminosity "
              << (fit.settings.preserveLuminosity ? "on" : "off") << "; dE00 over "
              << difference.size() << " pixels: " << StatsText(stats) << "\n"
              << "quillon: fit: the naive fit (k-means, fuzziness 10): " << StatsText(naiveStats)
              << "\n";
    nlohmann::json worstJson = nlohmann::json::array();
    for (size_t i : worst) {
        std::cerr << "quillon: fit: worst: " << LabText(look.lab[i]) << " wanted "
                  << LabText(look.after[i]) << " got " << LabText(achieved[i]) << " (dE00 "
                  << difference[i] << ")\n";
        worstJson.push_back({{"before", LabText(look.lab[i])},
                             {"wanted", LabText(look.after[i])},
                             {"achieved", LabText(achieved[i])},
                             {"deltaE00", difference[i]}});
    }

    if (o.report) {
        const nlohmann::json report = {{"pairs", fit.settings.pairs.size()},
                                       {"fuzziness", fit.settings.fuzziness},
                                       {"preserveLuminosity", fit.settings.preserveLuminosity},
                                       {"colors", colors},
                                       {"pixels", difference.size()},
                                       {"deltaE00", StatsJson(stats)},
                                       {"naive", StatsJson(naiveStats)},
                                       {"worst", worstJson},
                                       {"trials", trials.Runs()}};
        WriteFileAtomically(*o.report, report.dump(2) + "\n");
    }
    if (o.record) {
        RecordAction(result, *o.record);
    }
    return kExitOk;
}

} // namespace

void AddFitCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                   int& status) {
    auto options = std::make_shared<FitOptions>();
    auto* fit = app.add_subcommand(
        "fit", "find the pairs that reproduce a look, from a picture before and after it or "
               "from a 3D LUT");
    fit->add_option("BEFORE AFTER", options->pictures,
                    "the same picture before and after the look");
    fit->add_option("--lut", options->lut, "learn the look of a 3D LUT (.cube) or Hald CLUT")
        ->check(CLI::ExistingFile);
    fit->add_option("--on", options->on, "with --lut: the picture whose colours matter")
        ->check(CLI::ExistingFile);
    fit->add_option("--pairs", options->pairs, "most pairs to find, 1 to 200 (default 64)")
        ->check(CLI::Range(1, kMaxPairs));
    fit->add_option("--record", options->record, "write the pairs as an action file");
    fit->add_option("--report", options->report, "write the measured fit as JSON");
    AddFilterOptions(*fit, options->filter);
    AddProtectOption(*fit, options->protect);
    fit->callback([fit, &global, &settings, &status, options] {
        GatherFilterOptions(*fit, options->filter);
        if (options->lut && !options->pictures.empty())
            throw CLI::ValidationError("--lut", "takes the place of BEFORE AFTER");
        if (!options->lut && options->pictures.size() != 2)
            throw CLI::ValidationError("BEFORE AFTER", "fit needs both pictures, or --lut");
        if (options->on && !options->lut) throw CLI::ValidationError("--on", "goes with --lut");
        status = ReportingFailures([&] { return RunFit(global, settings, *options); });
    });
}

} // namespace quillon::cli
