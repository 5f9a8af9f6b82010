// quillon edit: one picture through a filter with its dialog, on the screen or driven by a script.
#include "cli/Commands.h"
#include "cli/FilterRun.h"
#include "cli/HostSettings.h"
#include "cli/ScriptedUi.h"

#include "core/HostFailure.h"
#include "core/actions/ConfigFolder.h"
#include "ui/ColorPicker.h"

#include <iostream>
#include <optional>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct EditOptions {
    std::filesystem::path in, out;
    std::optional<std::filesystem::path> record;
    std::optional<std::filesystem::path> action;
    bool last = false;
    int tile = 256;
    ScriptOptions script;
};

int RunEdit(const GlobalOptions& global, const HostSettings& settings, const EditOptions& o) {
    int status = kExitOk;
    std::optional<std::vector<ui::ScriptCommand>> commands;
    if (!o.script.script.empty() && !(commands = LoadScript(o.script.script, status)))
        return status;

    // Everything that can be wrong with the input is found before the dialog opens. The host
    // outlives the modules: unloading one releases its suites through the host.
    InterruptScope interrupts;
    FilterHost host(ConfigFolder() / "registry.json");
    const auto folder = PluginFolder(global);
    const ModuleScan scan = ScanPluginFolder(folder);
    const PluginModule& module = FindFilter(scan, kDefaultFilter, folder);
    LoadedImage image = ReadImageFile(o.in);
    CheckWritable(o.out);
    RunOptions run;
    run.showDialog = true;
    run.tileWidth = run.tileHeight = o.tile;
    if (o.action) run.playback = ReadPlayback(*o.action, module);
    if (o.last) host.SetDataSlotBytes(ReadSettings(module));

    if (!ChooseDisplay(bool(commands), o.script.show, "the dialog")) return kExitFailure;
    DialogSession session(host, module, settings, std::move(commands));

    ProgressBar bar;
    run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = [] { return InterruptScope::Interrupted(); };
    run.pickColor = ui::MakeColorPicker(host.Suites());
    const RunReport report = host.Run(module, image.document, run);

    const std::string notWritten = "; " + o.out.string() + " not written";
    const std::string failure = session.ScriptFailure();
    if (!failure.empty()) throw HostFailure(o.script.script + ": " + failure + notWritten);
    if (report.result == 0 && InterruptScope::Interrupted())
        throw HostFailure("cancelled" + notWritten);
    if (report.result != 0) throw HostFailure(ResultMessage(report.result) + notWritten);
    SaveResults(host, module, report, image, o.out, o.record);
    return kExitOk;
}

} // namespace

void AddEditCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                    int& status) {
    auto options = std::make_shared<EditOptions>();
    auto* edit = app.add_subcommand("edit", "recolour IN into OUT in the filter's dialog");
    edit->add_option("IN", options->in, "picture to edit (PNG, JPEG, TIFF)")->required();
    edit->add_option("OUT", options->out,
                     "where OK writes the result; its extension may change the format")
        ->required();
    edit->add_option("--record", options->record, "write what OK applied as an action file");
    edit->add_option("--action", options->action,
                     "start the dialog from a recorded action (JSON file)")
        ->check(CLI::ExistingFile);
    edit->add_flag("--last", options->last, "start the dialog from the previous use's settings");
    edit->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    AddScriptOptions(*edit, options->script);
    edit->callback([&global, &settings, &status, options] {
        status = ReportingFailures([&] { return RunEdit(global, settings, *options); });
    });
}

} // namespace quillon::cli
