#include "cli/FilterRun.h"

#include "cli/Commands.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/actions/ConfigFolder.h"
#include "core/documents/AtomicFile.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
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

} // namespace

const PluginModule& FindFilter(const ModuleScan& scan, const std::string& name,
                               const std::filesystem::path& folder) {
    for (const auto& module : scan.modules)
        if (module->Pipl().name == name) return *module;
    std::string why = scan.failures.empty() ? "" : " (" + scan.failures.front() + ")";
    throw HostFailure("no filter named \"" + name + "\" in " + folder.string() + why);
}

std::filesystem::path SettingsFile(const PluginModule& module) {
    const std::string key = module.Pipl().uniqueString.empty() ? module.File().stem().string()
                                                               : module.Pipl().uniqueString;
    return ConfigFolder() / (key + ".settings");
}

std::vector<uint8_t> ReadSettings(const PluginModule& module) {
    const auto file = SettingsFile(module);
    std::ifstream in(file, std::ios::binary);
    if (!in) throw HostFailure("no settings from an earlier use (" + file.string() + ")");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Descriptor ReadPlayback(const std::filesystem::path& file, const PluginModule& module) {
    Action action = ReadActionFile(file);
    if (action.pluginKey != module.Pipl().uniqueString)
        throw HostFailure(file.string() + ": recorded by another plug-in (" +
                          (action.pluginName.empty() ? action.pluginKey : action.pluginName) + ")");
    return std::move(action.descriptor);
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

void SaveResults(FilterHost& host, const PluginModule& module, const RunReport& report,
                 const LoadedImage& image, const std::filesystem::path& out,
                 const std::optional<std::filesystem::path>& record) {
    WriteImageFile(image.document, FormatForOutput(out, image.format), out);
    std::filesystem::create_directories(ConfigFolder());
    const auto settings = host.DataSlotBytes();
    if (!settings.empty())
        WriteFileAtomically(SettingsFile(module), std::string(settings.begin(), settings.end()));
    if (record) {
        if (!report.recorded) throw HostFailure("the filter recorded no parameters");
        WriteActionFile({module.Pipl().uniqueString, module.Pipl().name, *report.recorded},
                        *record);
    }
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
