// quillon lut: the filter's look baked into a 3D lookup table (.cube), a Hald CLUT image or an
// abstract Lab-to-Lab ICC profile, for programs that take those (video editors, raw developers,
// ffmpeg's lut3d and haldclut, colour-managed programs).
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/ProtectOption.h"

#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/looks/LookProfile.h"
#include "core/looks/LookTable.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct LutOptions {
    std::filesystem::path out;
    std::optional<int> size;
    std::optional<int> hald;
    FilterOptions filter;
    ProtectRequest protect;
};

constexpr int kDefaultCubeSize = 33;
constexpr int kDefaultHaldLevel = 8;

enum class LutKind { Cube, HaldPng, HaldTiff, Profile };

LutKind KindOf(const std::filesystem::path& out) {
    std::string ext = out.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == ".cube") return LutKind::Cube;
    if (ext == ".png") return LutKind::HaldPng;
    if (ext == ".tif" || ext == ".tiff") return LutKind::HaldTiff;
    if (ext == ".icc" || ext == ".icm") return LutKind::Profile;
    throw CLI::ValidationError("OUT", "name a .cube file, a .png or .tif for a Hald CLUT, or an "
                                      ".icc profile");
}

void CheckArguments(const LutOptions& o) {
    const LutKind kind = KindOf(o.out);
    const bool table = kind == LutKind::Cube || kind == LutKind::Profile;
    if (table && o.hald)
        throw CLI::ValidationError("--hald", "makes a picture: give OUT as .png or .tif");
    if (!table && o.size)
        throw CLI::ValidationError("--size", "is for .cube files; a Hald CLUT takes --hald LEVEL");
    for (const auto& part : o.filter.colors)
        if (part.mapping && NeedsPicture(*part.mapping))
            throw CLI::ValidationError("--map", "item " + std::to_string(part.item) + " \"" +
                                                    part.text +
                                                    "\": @X,Y needs a picture, and lut has none");
}

int RunLut(const GlobalOptions& global, const HostSettings& settings, const LutOptions& o) {
    const LutKind kind = KindOf(o.out);
    const bool table = kind == LutKind::Cube || kind == LutKind::Profile;
    const int points = table ? o.size.value_or(kDefaultCubeSize)
                             : HaldPointsPerAxis(o.hald.value_or(kDefaultHaldLevel));
    const int32_t width = table ? points * points : HaldSide(o.hald.value_or(kDefaultHaldLevel));
    // A profile's table is filtered as Lab colours; the others are sRGB lattices.
    Document lattice =
        kind == LutKind::Profile ? MakeLabLattice(points) : MakeLattice(points, width);

    RunOptions run;
    // Without a picture, the colours kept are the lattice's own.
    const FilterOptions filter =
        o.protect.Asked() ? Protect(global, settings, o.filter, lattice, o.protect) : o.filter;
    const FilterResult result = RunFilter(global, settings, filter, lattice, run, o.out);

    if (kind == LutKind::Profile) {
        WriteLabProfile(lattice, points, result.pluginName + " look (Lab to Lab)", o.out);
    } else if (kind != LutKind::Cube) {
        WriteImageFile(lattice, kind == LutKind::HaldPng ? FileFormat::Png : FileFormat::Tiff,
                       o.out);
    } else {
        std::string parameters =
            result.recorded ? DescribeParameters(*result.recorded, result.declared) : "";
        if (result.amount < 100) {
            std::ostringstream amount;
            amount << (parameters.empty() ? "" : " ") << "--amount " << result.amount;
            parameters += amount.str();
        }
        WriteCubeFile(
            lattice, points, result.pluginName + " look",
            {"made by quillon lut with " + result.pluginName + " (" + result.pluginKey + ")",
             "maps sRGB-encoded R, G, B (0..1) to sRGB-encoded R, G, B; red changes fastest",
             "parameters: " + (parameters.empty() ? std::string("none") : parameters)},
            o.out);
    }
    KeepSettings(result);
    return kExitOk;
}

} // namespace

void AddLutCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                   int& status) {
    auto options = std::make_shared<LutOptions>();
    auto* lut = app.add_subcommand(
        "lut", "bake the filter's look into a 3D LUT (.cube), a Hald CLUT (.png, .tif) or an "
               "abstract Lab-to-Lab ICC profile (.icc)");
    lut->add_option("OUT", options->out,
                    "the .cube file, the Hald CLUT picture (.png, .tif) or the .icc profile")
        ->required();
    lut->add_option("--size", options->size,
                    "points per axis of a .cube or .icc, " + std::to_string(kMinCubeSize) + " to " +
                        std::to_string(kMaxCubeSize) + " (default " +
                        std::to_string(kDefaultCubeSize) + ")")
        ->check(CLI::Range(kMinCubeSize, kMaxCubeSize));
    lut->add_option("--hald", options->hald,
                    "level of a Hald CLUT, " + std::to_string(kMinHaldLevel) + " to " +
                        std::to_string(kMaxHaldLevel) + " (default " +
                        std::to_string(kDefaultHaldLevel) + ")")
        ->check(CLI::Range(kMinHaldLevel, kMaxHaldLevel));
    AddFilterOptions(*lut, options->filter);
    AddProtectOption(*lut, options->protect);
    lut->callback([lut, &global, &settings, &status, options] {
        GatherFilterOptions(*lut, options->filter);
        CheckArguments(*options);
        status = ReportingFailures([&] { return RunLut(global, settings, *options); });
    });
}

} // namespace quillon::cli
