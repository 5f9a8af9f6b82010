// quillon apply: one picture through a filter without its dialog.
#include "cli/Commands.h"
#include "cli/FilterRun.h"

#include "core/HostFailure.h"
#include "core/actions/ConfigFolder.h"
#include "core/documents/ImageFiles.h"
#include "core/session/FilterDriver.h"

#include <iostream>
#include <optional>

namespace quillon::cli {
namespace {

using namespace filterhost;

constexpr DescriptorKeyID kKeyPreserveLuminosity = PI_FOURCC('P', 'r', 's', 'L');
constexpr DescriptorKeyID kKeyFuzziness = PI_FOURCC('F', 'z', 'n', 's');
constexpr DescriptorKeyID kKeySampleFile = PI_FOURCC('q', 'l', 'n', 'F');
constexpr DescriptorKeyID kKeyColors = PI_FOURCC('s', 'm', 'p', 'l');

struct ApplyOptions {
    std::filesystem::path in, out;
    std::optional<std::string> colors;
    std::optional<double> fuzziness;
    std::optional<std::string> preserveLuminosity;
    std::optional<std::filesystem::path> sample;
    std::optional<std::filesystem::path> action;
    std::optional<std::filesystem::path> record;
    bool last = false;
    int tile = 256;
    std::string filter = kDefaultFilter;
};

std::optional<Descriptor> PlaybackDescriptor(const ApplyOptions& o, const PluginModule& module) {
    std::optional<Descriptor> playback;
    if (o.action) playback = ReadPlayback(*o.action, module);
    auto put = [&playback](DescriptorItem item) {
        if (!playback) playback.emplace();
        playback->Put(std::move(item));
    };
    if (o.preserveLuminosity)
        put({kKeyPreserveLuminosity, typeBoolean, *o.preserveLuminosity == "on"});
    if (o.fuzziness) put({kKeyFuzziness, typeFloat, *o.fuzziness});
    if (o.sample) put({kKeySampleFile, typeChar, std::filesystem::absolute(*o.sample).string()});
    if (o.colors) put({kKeyColors, typeChar, *o.colors});
    return playback;
}

int RunApply(const GlobalOptions& global, const ApplyOptions& o) {
    InterruptScope interrupts;
    const auto folder = PluginFolder(global);
    const ModuleScan scan = ScanPluginFolder(folder);
    const PluginModule& module = FindFilter(scan, o.filter, folder);

    LoadedImage image = ReadImageFile(o.in);
    FilterHost host(ConfigFolder() / "registry.json");
    if (o.last) host.SetDataSlotBytes(ReadSettings(module));

    RunOptions run;
    run.tileWidth = run.tileHeight = o.tile;
    run.playback = PlaybackDescriptor(o, module);
    ProgressBar bar;
    run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = [] { return InterruptScope::Interrupted(); };

    const RunReport report = host.Run(module, image.document, run);
    if (report.result == 0 && InterruptScope::Interrupted())
        throw HostFailure("cancelled; " + o.out.string() + " not written");
    if (report.result != 0)
        throw HostFailure(ResultMessage(report.result) + "; " + o.out.string() + " not written");
    SaveResults(host, module, report, image, o.out, o.record);
    return kExitOk;
}

} // namespace

void AddApplyCommand(CLI::App& app, const GlobalOptions& global, int& status) {
    auto options = std::make_shared<ApplyOptions>();
    auto* apply = app.add_subcommand("apply", "filter IN into OUT without the dialog");
    apply->add_option("IN", options->in, "picture to filter (PNG, JPEG, TIFF)")->required();
    apply
        ->add_option("OUT", options->out,
                     "where to write the result; its extension may change the format")
        ->required();
    apply->add_option(
        "--colors", options->colors,
        "adjustments as a Colors text, e.g. \"Lab[20000,16384,16384]:Lab[22000,17000,15000] \"");
    apply->add_option("--fuzziness", options->fuzziness, "reach of each adjustment, 1 to 10")
        ->check(CLI::Range(1.0, 10.0));
    apply->add_option("--preserve-luminosity", options->preserveLuminosity, "on or off")
        ->check(CLI::IsMember({"on", "off"}));
    apply->add_option("--sample", options->sample, "the sample picture to record with the action");
    apply->add_option("--action", options->action, "replay a recorded action (JSON file)")
        ->check(CLI::ExistingFile);
    apply->add_option("--record", options->record, "write the parameters used as an action file");
    apply->add_flag("--last", options->last, "repeat the previous use's settings");
    apply->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    apply->add_option("--filter", options->filter, "menu name of the filter to use");
    apply->callback([&global, &status, options] {
        status = ReportingFailures([&] { return RunApply(global, *options); });
    });
}

} // namespace quillon::cli
