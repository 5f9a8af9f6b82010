// A filter module loaded from disk: its resources, its registration and its entry point.
#pragma once

#include "core/module/PiplParser.h"
#include "core/module/Terminology.h"
#include "pluginapi/PIFilter.h"

#include "pluginapi/PIResources.h"

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quillon::filterhost {

class PluginModule {
  public:
    // Throws HostFailure with a clear message when the file is not a usable filter module.
    explicit PluginModule(const std::filesystem::path& file);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::filesystem::path& File() const { return file_; }
    const PiplInfo& Pipl() const { return pipl_; }
    PluginMainProc Entry() const { return entry_; }
    // The bytes of one of the module's resources, empty when it has none of that type and id.
    std::span<const uint8_t> Resource(uint32_t type, int32_t id) const;

    // Whether the module enables documents of that image mode (mode mask and enable expression).
    bool Enables(int16_t imageMode) const;

    // The parameters its terminology declares for the filter's event, empty when it has no
    // terminology. Throws HostFailure when the terminology is damaged or lacks the event.
    std::vector<TerminologyParameter> Parameters() const;

  private:
    std::filesystem::path file_;
    void* library_ = nullptr;
    const PIResourceDirectory* resources_ = nullptr;
    PiplInfo pipl_;
    PluginMainProc entry_ = nullptr;
};

// Every module in a folder whose name ends in ".8bf", in name order; modules that fail to load
// are returned as messages instead.
struct ModuleScan {
    std::vector<std::unique_ptr<PluginModule>> modules;
    std::vector<std::string> failures;
};
ModuleScan ScanPluginFolder(const std::filesystem::path& folder);

} // namespace quillon::filterhost
