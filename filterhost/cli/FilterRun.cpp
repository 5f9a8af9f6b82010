#include "cli/FilterRun.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/actions/ConfigFolder.h"
#include "core/actions/StoredSettings.h"
#include "core/looks/Fade.h"

#include <iostream>

namespace quillon::cli {
namespace {

using namespace filterhost;

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

// The settings kept by the last use: required for --last, taken when sound for a resumed start.
std::optional<StoredSettings> ReadKept(const std::filesystem::path& file, bool required) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        if (required) throw HostFailure("no settings from an earlier use (" + file.string() + ")");
        return std::nullopt;
    }
    if (required) return ReadStoredSettings(file);
    try {
        return ReadStoredSettings(file);
    } catch (const HostFailure& e) {
        std::cerr << "quillon: note: " << e.what() << "; starting without the last settings\n";
        return std::nullopt;
    }
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

FilterRunner::FilterRunner(const GlobalOptions& global, const HostSettings& host,
                           const FilterOptions& options)
    : host_(host), options_(options) {
    const auto folder = PluginFolder(global);
    scan_ = ScanPluginFolder(folder);
    module_ = &FindFilter(scan_, options.filter, folder);
    const auto config = ConfigFolder();
    settingsFile_ = config / SettingsFileName(*module_);
    session_ = std::make_unique<FilterSession>(config / "registry.json");
    std::optional<StoredSettings> kept;
    if (options.last || options.resume) kept = ReadKept(settingsFile_, options.last);
    if (kept) session_->SetDataSlotBytes(kept->cell);
    // An explicit amount, else the one the action or the last use was given.
    if (options.amount)
        amount_ = *options.amount;
    else if (options.action)
        amount_ = ReadActionFile(*options.action).amount;
    else if (options.last)
        amount_ = kept->amount;
}

FilterResult RunFilter(const GlobalOptions& global, const HostSettings& host,
                       const FilterOptions& options, Document& document, RunOptions run,
                       const std::filesystem::path& target, const RunSetup& setup) {
    return FilterRunner(global, host, options).Run(document, std::move(run), target, setup);
}

FilterResult FilterRunner::Run(Document& document, RunOptions run,
                               const std::filesystem::path& target, const RunSetup& setup) {
    const FilterOptions& o = options_;
    const PluginModule& module = *module_;
    FilterSession& session = *session_;

    FilterResult result;
    result.pluginKey = module.Pipl().uniqueString;
    result.pluginName = module.Pipl().name;
    result.settingsFile = settingsFile_;

    run.playback = PlaybackDescriptor(o, module, document, host_.eyedropper);

    // The fade needs the picture as it was; only kept when there is something to blend.
    std::optional<Document> original;
    if (amount_ < 100) original = document;
    // Rows the filter is done with still change once the fade blends them.
    if (original) run.rowsFinal = nullptr;

    std::unique_ptr<RunScope> scope;
    if (setup) scope = setup(session, module, run);
    const RunReport report = session.Run(module, document, run);
    if (scope) scope->Finished(target);
    if (report.result == 0 && run.abort && run.abort())
        throw HostFailure("cancelled; " + target.string() + " not written");
    // A host service that failed names the real cause; the plug-in's code only passes it on.
    if (report.result != 0)
        throw HostFailure(
            (report.hostFailure.empty() ? ResultMessage(report.result) : report.hostFailure) +
            "; " + target.string() + " not written");
    if (original) Fade(document, *original, amount_);

    result.recorded = report.recorded;
    if (result.recorded) result.declared = module.Parameters();
    result.settings = session.DataSlotBytes();
    result.amount = amount_;
    return result;
}

void RecordAction(const FilterResult& result, const std::filesystem::path& file) {
    if (!result.recorded) throw HostFailure("the filter recorded no parameters");
    WriteActionFile({result.pluginKey, result.pluginName, *result.recorded, result.amount}, file);
}

void KeepSettings(const FilterResult& result) {
    if (result.settings.empty()) return;
    WriteStoredSettings({result.settings, result.amount}, result.settingsFile);
}

} // namespace quillon::cli
