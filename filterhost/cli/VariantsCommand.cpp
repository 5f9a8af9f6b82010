// quillon variants: one picture in many colours. Each variant moves the source colour to one
// target with the other filter options; the report tells, per variant, what colour the source
// point came out as and warns of targets the output cannot show or that ask for much lightness.
#include "cli/Commands.h"
#include "cli/ContactSheet.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/PictureJob.h"
#include "cli/ProtectOption.h"
#include "cli/Workers.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFiles.h"
#include "core/looks/LookSamples.h"
#include "core/looks/PaletteFile.h"
#include "core/suites/ColorServices.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

namespace quillon::cli {
namespace {

using namespace filterhost;
namespace fs = std::filesystem;

struct VariantsOptions {
    fs::path in;
    std::string from;
    std::vector<std::string> to;
    std::optional<fs::path> palette, sheet, report;
    std::optional<std::string> pattern;
    int jobs = 0;
    int quality = 0;
    int64_t maxPixels = kMaxImagePixels;
    FilterOptions filter;
    ProtectRequest protect;
};

// A palette file is a list a person keeps; anything larger is no palette.
constexpr std::uintmax_t kMaxPaletteBytes = 1 << 20;
// A lightness change beyond this rarely looks like the same material in another colour.
constexpr double kLargeLightnessShift = 30;
// A target that does not come back within this after a trip through the output's colour space
// lies outside its gamut; a table-based profile alone loses up to about 1.5 on the way.
constexpr double kGamutTolerance = 2.0;

struct Variant {
    NamedColor target;
    fs::path out;
    ResolvedMapping mapping;
};

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

std::vector<NamedColor> Targets(const VariantsOptions& o) {
    if (!o.palette) {
        std::vector<NamedColor> targets;
        for (const std::string& text : o.to) {
            try {
                targets.push_back({text, ParseWrittenColor(text, false)});
            } catch (const NotationError& e) {
                throw UsageError("--to \"" + text + "\": " + e.what());
            }
        }
        return targets;
    }
    std::error_code error;
    const std::uintmax_t size = fs::file_size(*o.palette, error);
    if (error) throw HostFailure("cannot read the palette " + o.palette->string());
    if (size > kMaxPaletteBytes)
        throw HostFailure(o.palette->string() + ": larger than a palette (" +
                          std::to_string(kMaxPaletteBytes) + " bytes)");
    std::ifstream in(*o.palette, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) throw HostFailure("cannot read the palette " + o.palette->string());
    return ParsePaletteFile(text, o.palette->string());
}

// Where each variant goes; refuses names that clash or would replace the picture.
std::vector<Variant> PlanVariants(const VariantsOptions& o, const WrittenColor& from,
                                  const Document& picture, EyedropperSample eyedropper) {
    const std::string pattern =
        o.pattern.value_or((o.in.parent_path() / (o.in.stem().string() + "-{name}")).string() +
                           o.in.extension().string());
    std::vector<Variant> variants;
    std::map<fs::path, std::string> claimed;
    const fs::path source = fs::weakly_canonical(o.in);
    for (NamedColor& target : Targets(o)) {
        Variant v{target, Replace(pattern, "{name}", FileSafeName(target.name)), {}};
        const fs::path key = fs::weakly_canonical(v.out);
        if (key == source)
            throw HostFailure(target.name + ": its variant " + v.out.string() +
                              " would replace the picture");
        if (auto [at, fresh] = claimed.emplace(key, target.name); !fresh)
            throw HostFailure(
                "the variants " + at->second + " and " + target.name +
                " would both be written to " + v.out.string() +
                (pattern.find("{name}") == std::string::npos ? "; put {name} in --out" : ""));
        if (v.out.has_parent_path()) fs::create_directories(v.out.parent_path());
        ResolveOutput(v.out);
        CheckCanWrite(FormatForOutput(v.out), v.out);
        v.mapping = ResolveMapping({from, target.color}, picture, eyedropper);
        variants.push_back(std::move(v));
    }
    return variants;
}

// The Lab colour the output's colour space gives back for `lab`.
LabColor ThroughOutputSpace(const Document& picture, HostLab lab) {
    if (picture.mode == ColorMode::Lab) return ToLab(lab);
    const bool rgb = picture.mode == ColorMode::RGB;
    ColorServices services(
        rgb ? std::span<const uint8_t>(picture.iccProfile) : std::span<const uint8_t>(),
        rgb ? std::span<const uint8_t>() : std::span<const uint8_t>(picture.iccProfile));
    Color16 record{0, lab.L, lab.a, lab.b};
    const ColorSpace space = ColorSpaceOf(picture.mode);
    services.Convert16(plugIncolorServicesLabSpace, space, &record, 1);
    services.Convert16(space, plugIncolorServicesLabSpace, &record, 1);
    return ToLab({record.c1, record.c2, record.c3});
}

// One variant, in a worker: filtered, written, and the colour its source point became (the
// pixel for @X,Y, else the source colour itself run through the same filter).
std::string MakeVariant(const GlobalOptions& global, const HostSettings& settings,
                        const VariantsOptions& o, const Document& picture, const Variant& v,
                        const WrittenColor& from) {
    InterruptScope interrupts;
    const CancelCheck cancelled = [] { return InterruptScope::Interrupted(); };
    FilterOptions options = o.filter;
    const int item = int(std::count_if(options.colors.begin(), options.colors.end(),
                                       [](const auto& part) { return part.mapping; })) +
                     1;
    options.colors.push_back(
        {o.from + ":" + v.target.name, ColorMapping{from, v.target.color}, item});
    if (o.protect.Asked()) options = Protect(global, settings, options, picture, o.protect);
    Document result = picture;
    if (o.quality > 0) result.metadata.jpegCoding.quality = o.quality;
    RunOptions run;
    run.abort = cancelled;
    FilterRunner filter(global, settings, options);
    filter.Run(result, run, v.out);
    HostLab achieved;
    if (NeedsPicture({from, {}})) {
        achieved = ResolveMapping({from, v.target.color}, result, settings.eyedropper).from;
    } else {
        Document swatch = MakeDocument(ColorMode::Lab, 16, 1, 1);
        swatch.planes[0][0] = v.mapping.from.L;
        swatch.planes[1][0] = v.mapping.from.a;
        swatch.planes[2][0] = v.mapping.from.b;
        filter.Run(swatch, run, v.out);
        achieved = {swatch.planes[0][0], swatch.planes[1][0], swatch.planes[2][0]};
    }
    WriteImageFile(result, FormatForOutput(v.out), v.out, cancelled);
    return nlohmann::json{achieved.L, achieved.a, achieved.b}.dump();
}

nlohmann::json LabJson(const LabColor& c) {
    auto round = [](double v) { return std::round(v * 100) / 100; };
    return {round(c.L), round(c.a), round(c.b)};
}

int RunVariants(const GlobalOptions& global, const HostSettings& settings,
                const VariantsOptions& o) {
    const WrittenColor from = ParseWrittenColor(o.from, true);
    LoadedImage image = ReadImageFile(o.in, o.maxPixels);
    if (!image.morePages.empty())
        std::cerr << "quillon: note: " << o.in.string() << " has " << image.morePages.size() + 1
                  << " pages; the variants are made of the first\n";
    for (const std::string& note : image.document.notes)
        std::cerr << "quillon: note: " << o.in.string() << ": " << note << "\n";
    const Document& picture = image.document;
    const std::vector<Variant> variants = PlanVariants(o, from, picture, settings.eyedropper);
    const bool keepsLightness = o.filter.preserveLuminosity == "on";

    WorkerPool workers;
    const WorkersOutcome outcome = workers.Run(variants.size(), o.jobs, [&](size_t i) {
        return MakeVariant(global, settings, o, picture, variants[i], from);
    });

    nlohmann::json report = {{"input", o.in.string()},
                             {"from", o.from},
                             {"source", LabJson(ToLab(variants.front().mapping.from))},
                             {"variants", nlohmann::json::array()}};
    size_t failed = 0, notStarted = 0;
    std::vector<SheetEntry> sheet;
    for (size_t i = 0; i < variants.size(); ++i) {
        const Variant& v = variants[i];
        const WorkerAnswer& answer = outcome.answers[i];
        LabColor wanted = ToLab(v.mapping.to);
        const LabColor source = ToLab(v.mapping.from);
        if (keepsLightness) wanted.L = source.L;
        nlohmann::json entry = {
            {"name", v.target.name}, {"output", v.out.string()}, {"wanted", LabJson(wanted)}};
        nlohmann::json warnings = nlohmann::json::array();
        if (DeltaE00(ThroughOutputSpace(picture, ToHostLab(wanted)), wanted) > kGamutTolerance)
            warnings.push_back("the target lies outside the output's gamut");
        if (!keepsLightness && std::abs(wanted.L - source.L) > kLargeLightnessShift) {
            char text[96];
            std::snprintf(text, sizeof text, "the target asks for a lightness shift of %.1f",
                          wanted.L - source.L);
            warnings.push_back(text);
        }
        if (!answer.ended) {
            // An interrupt came before this variant's turn.
            ++notStarted;
            entry["status"] = "not started";
        } else if (!answer.ok) {
            ++failed;
            std::cerr << "quillon: " << v.target.name << ": " << answer.text << "\n";
            entry["status"] = "failed";
            entry["reason"] = answer.text;
        } else {
            const auto lab = nlohmann::json::parse(answer.text);
            const LabColor achieved =
                ToLab({lab[0].get<uint16_t>(), lab[1].get<uint16_t>(), lab[2].get<uint16_t>()});
            const double difference = DeltaE00(wanted, achieved);
            entry["status"] = "written";
            entry["achieved"] = LabJson(achieved);
            entry["deltaE00"] = std::round(difference * 100) / 100;
            char line[160];
            std::snprintf(line, sizeof line, ": dE00 %.2f at the source point", difference);
            std::cerr << "quillon: " << v.target.name << ": " << v.out.string() << line
                      << (warnings.empty() ? "" : " (" + warnings[0].get<std::string>() + ")")
                      << "\n";
            if (o.sheet) sheet.push_back({v.target.name, ReadImageFile(v.out).document});
        }
        entry["warnings"] = warnings;
        report["variants"].push_back(entry);
    }
    if (o.report)
        WriteFileAtomically(
            *o.report, report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    if (outcome.stoppedBy != 0) {
        std::cerr << "quillon: interrupted; " << notStarted << " variants not started\n";
        return 128 + outcome.stoppedBy;
    }
    if (o.sheet && !sheet.empty()) WriteContactSheet(sheet, *o.sheet);
    return failed > 0 ? kExitFailure : kExitOk;
}

} // namespace

void AddVariantsCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                        int& status) {
    auto options = std::make_shared<VariantsOptions>();
    auto* variants = app.add_subcommand(
        "variants", "one picture in many colours: the --from colour moved to each target");
    variants->add_option("IN", options->in, "the picture")->required()->check(CLI::ExistingFile);
    variants
        ->add_option("--from", options->from,
                     "the colour that changes: #rrggbb, rgb(), lab() or @X,Y (the picture's "
                     "colour there)")
        ->required();
    auto* to = variants->add_option("--to", options->to, "a colour it becomes (repeatable)")
                   ->allow_extra_args(false);
    auto* palette = variants->add_option(
        "--palette", options->palette,
        "the colours it becomes: a CSV of name,colour or a GIMP palette (.gpl)");
    to->excludes(palette);
    variants->add_option("--out", options->pattern,
                         "where each variant goes, {name} standing for the colour's name "
                         "(default: IN's name-{name} beside IN)");
    variants->add_option("--sheet", options->sheet,
                         "also write a contact sheet of the variants with their names");
    variants->add_option("--report", options->report,
                         "write a JSON report: per variant the wanted colour, the colour "
                         "achieved at the source point, their dE00 and warnings");
    variants->add_option("--jobs", options->jobs, "worker processes (default: one per core)")
        ->check(CLI::Range(1, 64));
    variants->add_option("--quality", options->quality, "quality of a lossy OUT, 1 to 100")
        ->check(CLI::Range(1, 100));
    variants->add_option("--max-pixels", options->maxPixels, "largest picture to open, in pixels")
        ->check(CLI::Range(int64_t{1}, kLargestImagePixels));
    AddFilterOptions(*variants, options->filter);
    AddProtectOption(*variants, options->protect);
    variants->callback([variants, &global, &settings, &status, options] {
        GatherFilterOptions(*variants, options->filter);
        VariantsOptions& o = *options;
        if (o.to.empty() && !o.palette)
            throw CLI::ValidationError("--to", "give the colours: --to COLOR... or --palette FILE");
        try {
            ParseWrittenColor(o.from, true);
        } catch (const NotationError& e) {
            throw CLI::ValidationError("--from", "\"" + o.from + "\": " + e.what());
        }
        if (o.pattern && o.pattern->find("{name}") == std::string::npos &&
            (o.to.size() > 1 || o.palette))
            throw CLI::ValidationError("--out", "needs {name} so that each variant gets its own "
                                                "file");
        // A catalogue colour is the colour with its lightness, unless the user says otherwise.
        if (!o.filter.preserveLuminosity && !o.filter.action && !o.filter.last)
            o.filter.preserveLuminosity = "off";
        status = ReportingFailures([&] { return RunVariants(global, settings, o); });
    });
}

} // namespace quillon::cli
