// Drives a filter module through its protocol on a document, tile by tile.
#pragma once

#include "core/ChannelPorts.h"
#include "core/ColorServices.h"
#include "core/Document.h"
#include "core/HostMemory.h"
#include "core/PluginModule.h"
#include "core/SuiteRegistry.h"

#include <functional>
#include <utility>
#include <vector>

namespace quillon::filterhost {

struct RunOptions {
    bool showDialog = false;  // call the parameters selector first
    int tileWidth = 256;
    int tileHeight = 256;
    bool bigDocument = true;  // offer 32-bit rectangles
    std::function<void(int32_t done, int32_t total)> progress;
    std::function<bool()> abort;
    // The colour picker the colour-space suite opens; without one a picked colour stays as it is.
    ColorServices::PickColorHook pickColor;
};

struct RunReport {
    int16_t result = 0;
    int16_t failedSelector = -1; // the selector whose result ended the run, -1 when all passed
    int advanceCalls = 0;
    int tilesWritten = 0;
    std::vector<std::pair<int32_t, int32_t>> progressCalls;
};

// The host's side of one loaded plug-in: its suites, its memory and the storage cell it keeps
// between uses.
class FilterHost {
public:
    FilterHost();
    ~FilterHost();

    SuiteRegistry& Suites() { return suites_; }
    HostMemory& Memory() { return memory_; }
    intptr_t& DataSlot() { return data_; }

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
    SuiteRegistry suites_;
    HostMemory memory_;
    intptr_t data_ = 0;
};

} // namespace quillon::filterhost
