// quillon edit: one picture through a filter with its dialog, on the screen or driven by a script.
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/HostSettings.h"
#include "cli/PictureJob.h"
#include "cli/ProtectOption.h"
#include "cli/ScriptedUi.h"

#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "ui/ColorPicker.h"
#include "ui/ProgressWindow.h"

#include <memory>
#include <optional>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct EditOptions {
    std::filesystem::path in, out;
    FilterOptions filter;
    std::optional<std::filesystem::path> record;
    bool overwrite = false;
    int tile = 256;
    int64_t maxPixels = kMaxImagePixels;
    bool acceptDamaged = false;
    int quality = 0; // for a JPEG OUT; 0 keeps a JPEG IN's coding
    ScriptOptions script;
    ProtectRequest protect;
    bool fresh = false;
};

// A person sees no window for work shorter than this; a script sees it at once, so that it meets
// the same windows on every machine.
constexpr int kProgressDelayMilliseconds = 500;

// The dialogs live on past the filter's run, while OUT is written under the progress window; the
// run is told when it is done through this.
class FinishedScope : public RunScope {
  public:
    explicit FinishedScope(RunScope& scope) : scope_(scope) {}
    void Finished(const std::filesystem::path& target) override { scope_.Finished(target); }

  private:
    RunScope& scope_;
};

int RunEdit(const GlobalOptions& global, const HostSettings& settings, const EditOptions& o) {
    int status = kExitOk;
    std::optional<std::vector<ui::ScriptCommand>> commands;
    if (!o.script.script.empty() && !(commands = LoadScript(o.script.script, status)))
        return status;

    // The display is tried before anything is read: without one there is nothing to do.
    ChooseDisplay(bool(commands), o.script.show, "the dialog");

    // Everything that can be wrong with the input is found before the dialog opens: here, and
    // in the filter's run before it calls the setup.
    InterruptScope interrupts;
    // Declared in this order so that the progress window goes before the application it lives
    // in, and the application before the filter's session.
    FilterOptions filter;
    std::optional<FilterRunner> runner;
    std::unique_ptr<DialogSession> dialogs;
    std::unique_ptr<ui::ProgressWindow> progress;
    const CancelCheck cancelled = [&progress] {
        return InterruptScope::Interrupted() || (progress && progress->Cancelled());
    };
    PictureJob job = OpenPicture(o.in, o.out, o.record, o.overwrite, o.filter, o.maxPixels,
                                 o.acceptDamaged, cancelled);
    if (o.quality > 0) job.image.document.metadata.jpegCoding.quality = o.quality;
    // One dialog gives one set of parameters; apply --last then filters a file's other pages.
    if (!job.image.morePages.empty())
        throw HostFailure(o.in.string() + " has " + std::to_string(job.Pages().size()) +
                          " pages and edit shows one; edit a one-page picture, then give the "
                          "others its parameters with apply --last");

    // The dialog opens with the locks in place, as ordinary locked pairs.
    filter = o.protect.Asked() ? Protect(global, settings, o.filter, job.image.document, o.protect)
                               : o.filter;
    // Parameters given are the dialog's whole starting state; without any it starts where the
    // last use left off.
    const bool given = filter.action || !filter.colors.empty() || filter.fuzziness ||
                       filter.preserveLuminosity || filter.sample || !filter.set.empty();
    filter.resume = !o.fresh && !given;
    runner.emplace(global, settings, filter);

    RunOptions run;
    run.showDialog = true;
    run.tileWidth = run.tileHeight = o.tile;
    ProgressBar bar;
    run.progress = [&bar, &progress](int32_t done, int32_t total) {
        bar.Update(done, total);
        if (progress) progress->Update(done, total);
    };
    run.abort = cancelled;
    const auto showDialog = [&](FilterSession& session, const PluginModule& module,
                                RunOptions& options) -> std::unique_ptr<RunScope> {
        dialogs = std::make_unique<DialogSession>(session, module, settings, std::move(commands),
                                                  o.script.script);
        options.pickColor = ui::MakeColorPicker();
        progress = std::make_unique<ui::ProgressWindow>(
            dialogs->Scripted() ? 0 : kProgressDelayMilliseconds);
        return std::make_unique<FinishedScope>(*dialogs);
    };
    const FilterResult result = runner->Run(job.image.document, run, o.out, showDialog);
    if (progress) progress->Writing(o.out.string());
    SavePicture(job, result, o.record, cancelled);
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
    edit->add_flag("--overwrite", options->overwrite,
                   "let --record replace a file that is not an action file");
    edit->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    edit->add_option("--max-pixels", options->maxPixels, "largest picture to open, in pixels")
        ->check(CLI::Range(int64_t{1}, kLargestImagePixels))
        ->capture_default_str();
    edit->add_option("--quality", options->quality,
                     "quality of a lossy OUT, 1 to 100 (JPEG: default a JPEG IN's own coding, "
                     "else 95)")
        ->check(CLI::Range(1, 100));
    edit->add_flag("--accept-damaged", options->acceptDamaged,
                   "open a picture whose data is damaged instead of refusing it (with a note)");
    AddScriptOptions(*edit, options->script);
    AddProtectOption(*edit, options->protect);
    edit->add_flag("--fresh", options->fresh, "open without the settings the last use left")
        ->excludes("--last");
    edit->callback([edit, &global, &settings, &status, options] {
        GatherFilterOptions(*edit, options->filter);
        status = ReportingFailures([&] { return RunEdit(global, settings, *options); });
    });
}

} // namespace quillon::cli
