// Drives a filter module through its protocol on a document, tile by tile.
#pragma once

#include "core/documents/Document.h"
#include "core/module/PluginModule.h"
#include "core/suites/SessionServices.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::filterhost {

// What a run did step by step, for tests of the protocol; production runs keep none.
struct RunTrace {
    int advanceCalls = 0;
    int tilesWritten = 0;
    std::vector<std::pair<int32_t, int32_t>> progressCalls;
    ColorServices::ConversionCounts conversions; // conversion calls by source, destination
};

struct RunOptions {
    bool showDialog = false; // call the parameters selector first
    int tileWidth = 256;
    int tileHeight = 256;
    bool bigDocument = true; // offer 32-bit rectangles
    std::function<void(int32_t done, int32_t total)> progress;
    std::function<bool()> abort;
    // Told as the filter goes from the top down which rows it is done with: when it asks for a
    // tile whose top is `rows`, every row above holds its final samples. A smaller number than
    // before means the filter came back to rows it had left, which may change again.
    std::function<void(int32_t rows)> rowsFinal;
    // Recorded parameters handed to the plug-in for play-back.
    std::optional<Descriptor> playback;
    // The colour picker the colour-space suite opens; without one a picked colour stays as it is.
    ColorServices::PickColorHook pickColor;
    // Filled in as the run goes when set.
    RunTrace* trace = nullptr;
};

struct RunReport {
    int16_t result = 0;
    int16_t failedSelector = -1; // the selector whose result ended the run, -1 when all passed
    // Why a host service failed during the run (an unusable colour profile, memory exhausted),
    // empty when none did: the real cause behind a failing result.
    std::string hostFailure;
    // What the plug-in recorded at finish, if anything.
    std::optional<Descriptor> recorded;
};

// One run's filter record and tile state over a session's services.
class FilterDriver {
  public:
    // The session's colour services and channel ports are open for the document.
    FilterDriver(SessionServices& services, Document& document, const RunOptions& options,
                 RunReport& report);
    // The descriptor of the run, played back or recorded, is the host's to dispose of.
    ~FilterDriver();
    FilterDriver(const FilterDriver&) = delete;
    FilterDriver& operator=(const FilterDriver&) = delete;

    FilterRecord& Record() { return record_; }

    // Runs parameters (when asked), prepare, start, continue until the output rectangle is
    // empty, and finish; data is the plug-in's storage cell.
    void Drive(const PluginModule& module, intptr_t& data);

    // The record's callbacks.
    OSErr Advance();
    void Progress(int32_t done, int32_t total);
    bool Aborted() const;

  private:
    int BytesPerSample() const { return document_.depth == 16 ? 2 : 1; }
    VRect RequestedOutRect() const;
    // Copies samples between the interleaved tile buffer and the document planes.
    void Transfer(bool toDocument);

    SessionServices& services_;
    Document& document_;
    const RunOptions& options_;
    RunReport& report_;
    FilterRecord record_{};
    BigDocumentStruct big_{};
    ReadImageDocumentDesc documentInfo_{};
    PIDescriptorParameters descriptorParameters_{};

    // The tile handed out last; written back to the document on the next advance.
    VRect tile_{};
    int loPlane_ = 0, hiPlane_ = -1;
    std::vector<uint8_t> buffer_;
    int32_t finalRows_ = 0; // what rowsFinal was told last
};

} // namespace quillon::filterhost
