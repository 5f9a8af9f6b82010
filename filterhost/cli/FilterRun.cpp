#include "cli/FilterRun.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/actions/ConfigFolder.h"
#include "core/documents/AtomicFile.h"
#include "core/looks/Fade.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

namespace quillon::cli {
namespace {

using namespace filterhost;

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
    gInterrupted = true;
}

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

} // namespace

FilterResult RunFilter(const GlobalOptions& global, const HostSettings& hostSettings,
                       const FilterOptions& o, Document& document, RunOptions run,
                       const std::filesystem::path& target, const RunSetup& setup) {
    const auto folder = PluginFolder(global);
    const ModuleScan scan = ScanPluginFolder(folder);
    const PluginModule& module = FindFilter(scan, o.filter, folder);
    const auto config = ConfigFolder();

    FilterResult result;
    result.pluginKey = module.Pipl().uniqueString;
    result.pluginName = module.Pipl().name;
    result.settingsFile = config / SettingsFileName(module);

    FilterHost host(config / "registry.json");
    if (o.last) host.SetDataSlotBytes(ReadBytes(result.settingsFile));
    run.playback = PlaybackDescriptor(o, module, document, hostSettings.eyedropper);

    // The fade needs the picture as it was; only kept when there is something to blend.
    std::optional<Document> original;
    if (o.amount < 100) original = document;

    std::unique_ptr<RunScope> scope;
    if (setup) scope = setup(host, module, run);
    const RunReport report = host.Run(module, document, run);
    if (scope) scope->Finished(target);
    if (report.result == 0 && run.abort && run.abort())
        throw HostFailure("cancelled; " + target.string() + " not written");
    if (report.result != 0)
        throw HostFailure(ResultMessage(report.result) + "; " + target.string() + " not written");
    if (original) Fade(document, *original, o.amount);

    result.recorded = report.recorded;
    result.settings = host.DataSlotBytes();
    return result;
}

void KeepSettings(const FilterResult& result) {
    if (result.settings.empty()) return;
    std::filesystem::create_directories(result.settingsFile.parent_path());
    WriteFileAtomically(result.settingsFile,
                        std::string(result.settings.begin(), result.settings.end()));
}

void SaveResult(const FilterResult& result, const LoadedImage& image,
                const std::filesystem::path& out,
                const std::optional<std::filesystem::path>& record) {
    WriteImageFile(image.document, FormatForOutput(out, image.format), out);
    KeepSettings(result);
    if (record) {
        if (!result.recorded) throw HostFailure("the filter recorded no parameters");
        WriteActionFile({result.pluginKey, result.pluginName, *result.recorded}, *record);
    }
}

void CheckWritable(const std::filesystem::path& out) {
    std::error_code error;
    if (std::filesystem::is_directory(out, error))
        throw HostFailure("cannot write " + out.string() + ": it is a folder");
    const auto folder = out.has_parent_path() ? out.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(folder, error))
        throw HostFailure("cannot write " + out.string() + ": no folder " + folder.string());
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw HostFailure("cannot write to " + folder.string() + ": " + std::strerror(errno));
    if (std::filesystem::exists(out, error) && ::access(out.c_str(), W_OK) != 0)
        throw HostFailure("cannot write " + out.string() + ": " + std::strerror(errno));
}

int ReportingFailures(const std::function<int()>& body) {
    try {
        return body();
    } catch (const HostFailure& e) {
        std::cerr << "quillon: " << e.what() << "\n";
    } catch (const std::filesystem::filesystem_error& e) {
        std::cerr << "quillon: " << e.what() << "\n";
    }
    return kExitFailure;
}

InterruptScope::InterruptScope() {
    gInterrupted = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &previous_);
}

InterruptScope::~InterruptScope() {
    sigaction(SIGINT, &previous_, nullptr);
}

bool InterruptScope::Interrupted() {
    return gInterrupted.load();
}

void ProgressBar::Update(int32_t done, int32_t total) {
    using namespace std::chrono;
    if (total <= 0 || steady_clock::now() - start_ < seconds(1)) return;
    const int percent = int(int64_t(done) * 100 / total);
    const int filled = percent / 4;
    std::cerr << "\rquillon: [" << std::string(size_t(filled), '#')
              << std::string(size_t(25 - filled), ' ') << "] " << percent << "%" << std::flush;
    shown_ = true;
}

ProgressBar::~ProgressBar() {
    if (shown_) std::cerr << "\n";
}

} // namespace quillon::cli
