// The descriptor services of a session: the filter record's read and write descriptor
// procedures, the action descriptor suite and the descriptor registry, whose persistent entries
// live in a file.
#pragma once

#include "core/suites/Descriptor.h"
#include "core/suites/DescriptorJson.h"
#include "core/suites/HandleTable.h"
#include "core/suites/HostMemory.h"
#include "pluginapi/PIActions.h"

#include <filesystem>
#include <map>
#include <string>

namespace quillon::filterhost {

// The descriptor procedures of the filter record and the action descriptor and registry suites.
// Descriptors handed to the plug-in as handles hold their JSON text.
class DescriptorServices {
  public:
    // The registry's persistent descriptors live in registryFile (empty: kept in memory only).
    // Tokens and descriptor objects handed to the plug-in are entered in table.
    DescriptorServices(HandleTable& table, HostMemory& memory, std::filesystem::path registryFile);
    ~DescriptorServices();
    DescriptorServices(const DescriptorServices&) = delete;
    DescriptorServices& operator=(const DescriptorServices&) = delete;

    ReadDescriptorProcs* ReadProcs() { return &readProcs_; }
    WriteDescriptorProcs* WriteProcs() { return &writeProcs_; }
    const PSActionDescriptorProcs* ActionDescriptorSuite() const { return &actionProcs_; }
    const PSDescriptorRegistryProcs* RegistrySuite() const { return &registryProcs_; }

    Handle ToHandle(const Descriptor& descriptor);
    // A descriptor object for the plug-in to read and free, e.g. an answer of the host.
    PIActionDescriptor Hand(Descriptor descriptor);
    // Throws HostFailure when the handle does not hold a descriptor.
    Descriptor FromHandle(Handle handle);

    // Tokens and descriptor objects the plug-in has opened or made and not yet closed or freed.
    size_t OpenTokens() const;
    size_t LiveActionDescriptors() const;

    const std::map<std::string, Descriptor>& Registry() const { return registry_; }

  private:
    void SaveRegistry() const;

    HandleTable& table_;
    HostMemory& memory_;
    std::filesystem::path registryFile_;
    ReadDescriptorProcs readProcs_;
    WriteDescriptorProcs writeProcs_;
    PSActionDescriptorProcs actionProcs_;
    PSDescriptorRegistryProcs registryProcs_;
    std::map<std::string, Descriptor> registry_;
    std::map<std::string, bool> persistent_;

    friend struct DescriptorProcs;
};

} // namespace quillon::filterhost
