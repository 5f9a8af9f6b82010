// quillon edit: one picture through a filter with its dialog, on the screen or driven by a script.
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/HostSettings.h"
#include "cli/ScriptedUi.h"

#include "core/documents/ImageFiles.h"
#include "ui/ColorPicker.h"

#include <memory>
#include <optional>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct EditOptions {
    std::filesystem::path in, out;
    FilterOptions filter;
    std::optional<std::filesystem::path> record;
    int tile = 256;
    ScriptOptions script;
};

int RunEdit(const GlobalOptions& global, const HostSettings& settings, const EditOptions& o) {
    int status = kExitOk;
    std::optional<std::vector<ui::ScriptCommand>> commands;
    if (!o.script.script.empty() && !(commands = LoadScript(o.script.script, status)))
        return status;

    // Everything that can be wrong with the input is found before the dialog opens: here, and
    // in RunFilter before it calls the setup.
    InterruptScope interrupts;
    LoadedImage image = ReadImageFile(o.in);
    CheckWritable(o.out);

    RunOptions run;
    run.showDialog = true;
    run.tileWidth = run.tileHeight = o.tile;
    ProgressBar bar;
    run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = [] { return InterruptScope::Interrupted(); };
    const auto showDialog = [&](FilterHost& host, const PluginModule& module,
                                RunOptions& options) -> std::unique_ptr<RunScope> {
        ChooseDisplay(bool(commands), o.script.show, "the dialog");
        auto session = std::make_unique<DialogSession>(host, module, settings, std::move(commands),
                                                       o.script.script);
        options.pickColor = ui::MakeColorPicker(host.Suites());
        return session;
    };
    const FilterResult result =
        RunFilter(global, settings, o.filter, image.document, run, o.out, showDialog);
    SaveResult(result, image, o.out, o.record);
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
    AddFilterOptions(*edit, options->filter);
    edit->add_option("--record", options->record, "write what OK applied as an action file");
    edit->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    AddScriptOptions(*edit, options->script);
    edit->callback([edit, &global, &settings, &status, options] {
        GatherFilterOptions(*edit, options->filter);
        status = ReportingFailures([&] { return RunEdit(global, settings, *options); });
    });
}

} // namespace quillon::cli
