#include "core/module/PluginModule.h"

#include "core/HostFailure.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace quillon::filterhost {
namespace {

// The enable expression's name of each image mode this host can hand to a filter.
const char* EnableName(int16_t imageMode) {
    switch (imageMode) {
    case plugInModeRGBColor:
        return "RGBMode";
    case plugInModeRGB48:
        return "RGB48Mode";
    case plugInModeCMYKColor:
        return "CMYKMode";
    case plugInModeCMYK64:
        return "CMYK64Mode";
    case plugInModeLabColor:
        return "LabMode";
    case plugInModeLab48:
        return "Lab48Mode";
    default:
        return "";
    }
}

uint16_t MaskBit(int16_t imageMode) {
    switch (imageMode) {
    case plugInModeRGBColor:
    case plugInModeRGB48:
        return PIModeRGBColor;
    case plugInModeCMYKColor:
    case plugInModeCMYK64:
        return PIModeCMYKColor;
    case plugInModeLabColor:
    case plugInModeLab48:
        return PIModeLabColor;
    default:
        return 0;
    }
}

} // namespace

PluginModule::PluginModule(const std::filesystem::path& file) : file_(file) {
    const std::string name = file.filename().string();
    library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        const char* why = dlerror();
        throw HostFailure(name + ": cannot load module: " + (why ? why : "unknown reason"));
    }
    // How often the host loads its modules, for whoever measures a run.
    if (const char* trace = std::getenv("QUILLON_TRACE_MODULES"); trace && *trace)
        std::cerr << "quillon: trace: loaded module " << file.string() << "\n";
    try {
        resources_ =
            static_cast<const PIResourceDirectory*>(dlsym(library_, kPIResourceTableSymbol));
        if (!resources_) throw HostFailure(name + ": module has no resource table");
        auto pipl = Resource(kPIPropertyListType, kPIPropertyListID);
        if (pipl.empty()) throw HostFailure(name + ": module has no PIPL resource");
        try {
            pipl_ = ParsePipl(pipl);
        } catch (const HostFailure& e) {
            throw HostFailure(name + ": " + e.what());
        }
        entry_ = reinterpret_cast<PluginMainProc>(dlsym(library_, pipl_.entryPoint.c_str()));
        if (!entry_)
            throw HostFailure(name + ": entry point " + pipl_.entryPoint + " not found in module");
    } catch (...) {
        dlclose(library_);
        throw;
    }
}

PluginModule::~PluginModule() {
    dlclose(library_);
}

std::span<const uint8_t> PluginModule::Resource(uint32_t type, int32_t id) const {
    if (!resources_ || resources_->count < 0 || !resources_->entries) return {};
    for (int32 i = 0; i < resources_->count; ++i) {
        const PIResourceEntry& e = resources_->entries[i];
        if (e.type == type && e.id == id && e.data) return {e.data, e.size};
    }
    return {};
}

bool PluginModule::Enables(int16_t imageMode) const {
    if ((pipl_.modeMask & MaskBit(imageMode)) == 0) return false;
    if (pipl_.enabledModes.empty()) return true;
    const std::string wanted = EnableName(imageMode);
    return std::find(pipl_.enabledModes.begin(), pipl_.enabledModes.end(), wanted) !=
           pipl_.enabledModes.end();
}

std::vector<TerminologyParameter> PluginModule::Parameters() const {
    if (!pipl_.hasTerminology) return {};
    const std::span<const uint8_t> bytes = Resource(kPITerminologyType, pipl_.terminologyId);
    if (bytes.empty())
        throw HostFailure(file_.filename().string() + ": no terminology resource " +
                          std::to_string(pipl_.terminologyId));
    const Terminology terminology = ParseTerminology(bytes);
    const TerminologyEvent* event =
        terminology.Event(pipl_.terminologyClass, pipl_.terminologyEvent);
    if (!event)
        throw HostFailure(file_.filename().string() +
                          ": the terminology lacks the event its registration names");
    return event->parameters;
}

ModuleScan ScanPluginFolder(const std::filesystem::path& folder) {
    ModuleScan scan;
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".8bf") files.push_back(entry.path());
    if (error) {
        scan.failures.push_back("cannot read plug-in folder " + folder.string() + ": " +
                                error.message());
        return scan;
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        try {
            scan.modules.push_back(std::make_unique<PluginModule>(file));
        } catch (const HostFailure& e) {
            scan.failures.push_back(e.what());
        }
    }
    return scan;
}

} // namespace quillon::filterhost
