// Drives a filter module through its protocol on a document, tile by tile.
#pragma once

#include "core/documents/Document.h"
#include "core/module/PluginModule.h"
#include "core/suites/ChannelPorts.h"
#include "core/suites/ColorServices.h"
#include "core/suites/Descriptors.h"
#include "core/suites/HostMemory.h"
#include "core/suites/SuiteRegistry.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace quillon::filterhost {

struct RunOptions {
    bool showDialog = false; // call the parameters selector first
    int tileWidth = 256;
    int tileHeight = 256;
    bool bigDocument = true; // offer 32-bit rectangles
    std::function<void(int32_t done, int32_t total)> progress;
    std::function<bool()> abort;
    // Recorded parameters handed to the plug-in for play-back.
    std::optional<Descriptor> playback;
    // The colour picker the colour-space suite opens; without one a picked colour stays as it is.
    ColorServices::PickColorHook pickColor;
};

struct RunReport {
    int16_t result = 0;
    int16_t failedSelector = -1; // the selector whose result ended the run, -1 when all passed
    int advanceCalls = 0;
    int tilesWritten = 0;
    std::vector<std::pair<int32_t, int32_t>> progressCalls;
    std::map<std::pair<int, int>, int> conversions; // conversion calls by source, destination
    // What the plug-in recorded at finish, if anything.
    std::optional<Descriptor> recorded;
};

// The host's side of one loaded plug-in: its suites, its memory and the storage cell it keeps
// between uses.
class FilterHost {
  public:
    // Persistent registry entries live in registryFile; empty keeps them in memory only.
    explicit FilterHost(std::filesystem::path registryFile = {});
    ~FilterHost();

    SuiteRegistry& Suites() { return suites_; }
    HostMemory& Memory() { return memory_; }
    DescriptorServices& Descriptors() { return descriptors_; }
    intptr_t& DataSlot() { return data_; }
    // The bytes of the handle in the data slot (empty when there is none), and a new handle
    // holding given bytes: how the command line keeps settings from one run to the next.
    std::vector<uint8_t> DataSlotBytes();
    void SetDataSlotBytes(const std::vector<uint8_t>& bytes);

    // Runs parameters (when asked), prepare, start, continue until the output rectangle is empty,
    // and finish. Throws HostFailure when the module does not take the document's mode or size.
    RunReport Run(const PluginModule& module, Document& document, const RunOptions& options);

    // Calls one selector directly, with a filter record for the document.
    int16_t CallSelector(const PluginModule& module, int16_t selector, Document& document,
                         const RunOptions& options);
    int16_t About(const PluginModule& module);

    // One run's filter record and tile state; public only so the C callbacks can reach it.
    struct Session;

  private:
    void Drive(const PluginModule& module, Session& session);

    SuiteRegistry suites_;
    HostMemory memory_;
    DescriptorServices descriptors_;
    intptr_t data_ = 0;
};

} // namespace quillon::filterhost
