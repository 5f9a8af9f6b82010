#include "gimp/BridgeRun.h"

// GLib's headers before Qt's, whose `signals` keyword would rename a field of theirs.
#include <libgimp/gimp.h>

#include "core/HostFailure.h"
#include "core/actions/ConfigFolder.h"
#include "core/looks/Fade.h"
#include "core/module/PluginModule.h"
#include "core/session/FilterSession.h"
#include "gimp/DrawablePixels.h"
#include "ui/ColorPicker.h"
#include "ui/DialogManager.h"
#include "ui/ScriptRunner.h"

#include <QApplication>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillon::gimp {
namespace {

using namespace filterhost;

// The menu name of the filter the bridge hosts.
constexpr const char* kFilterName = "Quillon...";
// The filter's share of the progress bar; writing the result back takes the rest.
constexpr double kFilterShare = 0.9;

std::filesystem::path ModuleFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw HostFailure("cannot find the plug-in's own folder (" + error.message() + ")");
    return self.parent_path();
}

const PluginModule& FindFilter(const ModuleScan& scan, const std::filesystem::path& folder) {
    for (const auto& module : scan.modules)
        if (module->Pipl().name == kFilterName) return *module;
    const std::string why = scan.failures.empty() ? "" : " (" + scan.failures.front() + ")";
    throw HostFailure(std::string("no filter module named \"") + kFilterName + "\" in " +
                      folder.string() + why);
}

std::string ResultMessage(int16_t result) {
    switch (result) {
    case filterBadParameters:
        return "the filter refused its parameters (bad parameters)";
    case filterBadMode:
        return "the filter cannot work on this image's mode";
    default:
        return "the filter failed with code " + std::to_string(result);
    }
}

std::vector<ui::ScriptCommand> LoadScript(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) throw HostFailure("cannot read the dialog script " + file);
    try {
        return ui::ParseScript(text.str());
    } catch (const ui::ScriptError& e) {
        throw HostFailure(file + ": " + e.what());
    }
}

// The application, the dialog manager and the action suites the session offers the module while
// its dialog may show, and the script that may drive the dialog.
class DialogScope {
  public:
    DialogScope(FilterSession& session, const PluginModule& module) : session_(session) {
        const char* script = std::getenv(kScriptVariable);
        std::optional<std::vector<ui::ScriptCommand>> commands;
        if (script && *script) {
            scriptFile_ = script;
            commands = LoadScript(scriptFile_);
        }
        const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") ||
                             std::getenv("QT_QPA_PLATFORM");
        // A script runs without a display as it does for quillon edit: off screen.
        if (!display && !commands)
            throw HostFailure("no display to show the dialog on; scripts call the filter "
                              "non-interactively");
        if (!display) qputenv("QT_QPA_PLATFORM", "offscreen");
        application_.emplace(argc_, argv_);
        QApplication::setStyle("Fusion");
        ui::DialogManager::Open(
            session, [&module](uint32_t type, int32_t id) { return module.Resource(type, id); },
            [](const std::string& message) { gimp_message(message.c_str()); });
        session.OpenActionControl(EyedropperSample::Point);
        if (commands) runner_.emplace(std::move(*commands));
    }
    // The dialogs go before the application they live in.
    ~DialogScope() {
        runner_.reset();
        session_.DetachDialogs();
    }
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

    // A script that failed leaves the image as it was.
    void CheckScript() const {
        if (!runner_) return;
        const std::string failure = runner_->Failure();
        if (!failure.empty()) throw HostFailure(scriptFile_ + ": " + failure);
    }

  private:
    FilterSession& session_;
    int argc_ = 1;
    char name_[16] = "quillon-gimp";
    char* argv_[2] = {name_, nullptr};
    std::optional<QApplication> application_;
    std::optional<ui::ScriptRunner> runner_;
    std::string scriptFile_;
};

// GIMP's progress bar, started at the first report so it appears after the dialog.
class Progress {
  public:
    void Update(double fraction) {
        if (!started_) started_ = gimp_progress_init("Quillon");
        gimp_progress_update(std::clamp(fraction, 0.0, 1.0));
    }

  private:
    bool started_ = false;
};

} // namespace

BridgeOutcome RunBridge(const BridgeRequest& request) {
    const DrawablePixels pixels(request.image, request.drawable);
    // A selection that misses the drawable leaves nothing to do.
    if (pixels.Empty()) return {};
    const std::filesystem::path folder = ModuleFolder();
    const ModuleScan scan = ScanPluginFolder(folder);
    const PluginModule& module = FindFilter(scan, folder);
    Document document = pixels.Read();

    RunOptions run;
    run.showDialog = request.mode == RunMode::Interactive;
    // The dialog shows the whole effect, so OK applies it whole.
    double amount = 100;
    if (request.mode == RunMode::NonInteractive) {
        run.playback = PlaybackOf(request.values, module.Parameters());
        amount = request.values.amount;
    } else if (request.last) {
        run.playback = request.last->parameters;
        if (request.mode == RunMode::WithLastValues) amount = request.last->amount;
    }
    Progress progress;
    run.progress = [&progress](int32_t done, int32_t total) {
        if (total > 0) progress.Update(kFilterShare * done / total);
    };

    FilterSession session(ConfigFolder() / "registry.json");
    std::optional<DialogScope> dialogs;
    if (run.showDialog) {
        dialogs.emplace(session, module);
        run.pickColor = ui::MakeColorPicker(session.Suites());
    }
    // The fade needs the pixels as they were.
    std::optional<Document> original;
    if (amount < 100) original = document;
    const RunReport report = session.Run(module, document, run);
    if (dialogs) {
        dialogs->CheckScript();
        dialogs.reset();
    }
    if (report.result == userCanceledErr) return {true, std::nullopt};
    // A host service that failed names the real cause; the plug-in's code only passes it on.
    if (report.result != 0)
        throw HostFailure(report.hostFailure.empty() ? ResultMessage(report.result)
                                                     : report.hostFailure);
    if (original) Fade(document, *original, amount);
    pixels.Write(document, [&progress](double done) {
        progress.Update(kFilterShare + (1 - kFilterShare) * done);
    });
    LastUse use;
    use.parameters = report.recorded ? *report.recorded : run.playback.value_or(Descriptor{});
    use.amount = amount;
    return {false, use};
}

} // namespace quillon::gimp
