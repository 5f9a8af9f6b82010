// quillon apply: one picture through a filter without its dialog.
#include "cli/Commands.h"
#include "cli/FilterOptions.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/actions/ConfigFolder.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFiles.h"
#include "core/session/FilterSession.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct ApplyOptions {
    std::filesystem::path in, out;
    FilterOptions parameters;
    std::optional<std::filesystem::path> action;
    std::optional<std::filesystem::path> record;
    bool last = false;
    int tile = 256;
    std::string filter = "Quillon...";
};

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
    gInterrupted = true;
}

// Ctrl-C asks the filter to stop at its next abort test; a second Ctrl-C ends at once.
class InterruptScope {
  public:
    InterruptScope() {
        gInterrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptScope() { sigaction(SIGINT, &previous_, nullptr); }

  private:
    struct sigaction previous_ {};
};

// A progress bar on standard error, once the work has taken more than a second.
class ProgressBar {
  public:
    void Update(int32_t done, int32_t total) {
        using namespace std::chrono;
        if (total <= 0 || steady_clock::now() - start_ < seconds(1)) return;
        const int percent = int(int64_t(done) * 100 / total);
        const int filled = percent / 4;
        std::cerr << "\rquillon: [" << std::string(size_t(filled), '#')
                  << std::string(size_t(25 - filled), ' ') << "] " << percent << "%" << std::flush;
        shown_ = true;
    }
    ~ProgressBar() {
        if (shown_) std::cerr << "\n";
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool shown_ = false;
};

const PluginModule& FindFilter(const ModuleScan& scan, const std::string& name,
                               const std::filesystem::path& folder) {
    for (const auto& module : scan.modules)
        if (module->Pipl().name == name) return *module;
    std::string why = scan.failures.empty() ? "" : " (" + scan.failures.front() + ")";
    throw HostFailure("no filter named \"" + name + "\" in " + folder.string() + why);
}

std::string SettingsFileName(const PluginModule& module) {
    const std::string key = module.Pipl().uniqueString.empty() ? module.File().stem().string()
                                                               : module.Pipl().uniqueString;
    return key + ".settings";
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw HostFailure("no settings from an earlier use (" + file.string() + ")");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<Descriptor> PlaybackDescriptor(const ApplyOptions& o, const PluginModule& module) {
    std::optional<Descriptor> playback;
    if (o.action) {
        Action action = ReadActionFile(*o.action);
        if (action.pluginKey != module.Pipl().uniqueString)
            throw HostFailure(o.action->string() + ": recorded by another plug-in (" +
                              (action.pluginName.empty() ? action.pluginKey : action.pluginName) +
                              ")");
        playback = std::move(action.descriptor);
    }
    return FilterDescriptor(o.parameters, module, std::move(playback));
}

std::string ResultMessage(int16_t result) {
    switch (result) {
    case userCanceledErr:
        return "cancelled";
    case filterBadParameters:
        return "the filter refused its parameters (bad parameters)";
    case filterBadMode:
        return "the filter cannot work on this document's mode";
    default:
        return "the filter failed with code " + std::to_string(result);
    }
}

int RunApply(const GlobalOptions& global, const ApplyOptions& o) {
    InterruptScope interrupts;
    const auto folder = PluginFolder(global);
    const ModuleScan scan = ScanPluginFolder(folder);
    const PluginModule& module = FindFilter(scan, o.filter, folder);
    // Parameters are checked before the picture is read.
    std::optional<Descriptor> playback = PlaybackDescriptor(o, module);

    LoadedImage image = ReadImageFile(o.in);
    const FileFormat format = FormatForOutput(o.out, image.format);
    const auto config = ConfigFolder();
    const auto settingsFile = config / SettingsFileName(module);

    FilterSession session(config / "registry.json");
    if (o.last) session.SetDataSlotBytes(ReadBytes(settingsFile));

    RunOptions run;
    run.tileWidth = run.tileHeight = o.tile;
    run.playback = std::move(playback);
    ProgressBar bar;
    run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = [] { return gInterrupted.load(); };

    const RunReport report = session.Run(module, image.document, run);
    if (report.result == 0 && gInterrupted)
        throw HostFailure("cancelled; " + o.out.string() + " not written");
    // A host service that failed names the real cause; the plug-in's code only passes it on.
    if (report.result != 0)
        throw HostFailure(
            (report.hostFailure.empty() ? ResultMessage(report.result) : report.hostFailure) +
            "; " + o.out.string() + " not written");

    WriteImageFile(image.document, format, o.out);
    std::filesystem::create_directories(config);
    const auto settings = session.DataSlotBytes();
    if (!settings.empty()) {
        std::string text(settings.begin(), settings.end());
        WriteFileAtomically(settingsFile, text);
    }
    if (o.record) {
        if (!report.recorded) throw HostFailure("the filter recorded no parameters");
        WriteActionFile({module.Pipl().uniqueString, module.Pipl().name, *report.recorded},
                        *o.record);
    }
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
    AddFilterOptions(*apply, options->parameters);
    apply->add_option("--action", options->action, "replay a recorded action (JSON file)")
        ->check(CLI::ExistingFile);
    apply->add_option("--record", options->record, "write the parameters used as an action file");
    apply->add_flag("--last", options->last, "repeat the previous use's settings");
    apply->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    apply->add_option("--filter", options->filter, "menu name of the filter to use");
    apply->callback([&global, &status, options] {
        try {
            status = RunApply(global, *options);
        } catch (const UsageError& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitUsage;
        } catch (const HostFailure& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitFailure;
        } catch (const std::filesystem::filesystem_error& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitFailure;
        }
    });
}

} // namespace quillon::cli
