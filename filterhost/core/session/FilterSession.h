// One use of a filter: the services the host lends the plug-in, the storage cell it keeps between
// calls, and the protocol driver while a document is being filtered.
#pragma once

#include "core/documents/Document.h"
#include "core/module/PluginModule.h"
#include "core/session/FilterDriver.h"
#include "core/suites/SessionServices.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace quillon::filterhost {

class FilterSession : public SessionServices {
  public:
    // Persistent registry entries live in registryFile; empty keeps them in memory only.
    explicit FilterSession(std::filesystem::path registryFile = {});
    ~FilterSession();

    // The session in use, for the record's callbacks.
    static FilterSession* Current() {
        return static_cast<FilterSession*>(SessionServices::Current());
    }

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

    // The driver of the document being filtered, null between runs.
    FilterDriver* Driver() const { return driver_.get(); }

  private:
    // Opens the document's colour services, channel ports and driver; closes them when it ends.
    class DocumentScope;

    std::unique_ptr<FilterDriver> driver_;
    intptr_t data_ = 0;
};

} // namespace quillon::filterhost
