// What one use of a filter lends the plug-in: the handle table, the suite table, host memory and
// descriptors; while a document is open, its colour services and channel ports; the action
// control and the dialog manager when the host offers them. The plug-in calls through plain C
// function pointers, so the session in use is the one place those entry points reach their state.
#pragma once

#include "core/suites/ActionControl.h"
#include "core/suites/ChannelPorts.h"
#include "core/suites/ColorServices.h"
#include "core/suites/DescriptorServices.h"
#include "core/suites/HandleTable.h"
#include "core/suites/HostMemory.h"
#include "core/suites/SuiteRegistry.h"

#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace quillon::filterhost {

// A service a layer above adds to the session (the user interface's dialog manager); the session
// destroys it before everything else it holds.
class SessionPart {
  public:
    virtual ~SessionPart() = default;
};

class SessionServices {
  public:
    SessionServices(const SessionServices&) = delete;
    SessionServices& operator=(const SessionServices&) = delete;

    // The session in use: the newest one alive, or the one calling into the plug-in.
    static SessionServices* Current();

    HandleTable& Handles() { return handles_; }
    SuiteRegistry& Suites() { return suites_; }
    HostMemory& Memory() { return memory_; }
    DescriptorServices& Descriptors() { return descriptors_; }
    // Null while not open.
    ColorServices* Colors() const { return colors_.get(); }
    ChannelPorts* Ports() const { return ports_.get(); }
    ActionControl* Actions() const { return actions_.get(); }
    SessionPart* Dialogs() const { return dialogs_.get(); }

    // Colour services over a document's embedded profiles (empty: the defaults), offered as the
    // colour-space suite until closed. Throws HostFailure when the RGB profile cannot be read.
    ColorServices& OpenColors(std::span<const uint8_t> rgbProfile = {},
                              std::span<const uint8_t> cmykProfile = {});
    void CloseColors();
    // The document's channels, offered as the channel-ports suite until closed.
    ChannelPorts& OpenPorts(const Document& document);
    void ClosePorts();
    // The action suites, answering with the host's eyedropper setting.
    ActionControl& OpenActionControl(EyedropperSample sample);

    template <typename Part> Part& AttachDialogs(std::unique_ptr<Part> part) {
        Part& attached = *part;
        dialogs_ = std::move(part);
        return attached;
    }
    void DetachDialogs() { dialogs_.reset(); }

    // The first failure a host function noted since the last TakeFailure, empty for none.
    void NoteFailure(const std::string& message);
    std::string TakeFailure();

    // Makes a session the one in use while it lives: around every call into the plug-in.
    class InUse {
      public:
        explicit InUse(SessionServices& session);
        ~InUse();
        InUse(const InUse&) = delete;
        InUse& operator=(const InUse&) = delete;

      private:
        SessionServices* previous_;
    };

  protected:
    // Persistent registry entries live in registryFile; empty keeps them in memory only. The new
    // session is in use until it ends or a newer one begins.
    explicit SessionServices(std::filesystem::path registryFile);
    ~SessionServices();

  private:
    SessionServices* previous_;
    HandleTable handles_;
    SuiteRegistry suites_;
    HostMemory memory_;
    DescriptorServices descriptors_;
    std::unique_ptr<ColorServices> colors_;
    std::unique_ptr<ChannelPorts> ports_;
    std::unique_ptr<ActionControl> actions_;
    std::unique_ptr<SessionPart> dialogs_;
    std::string failure_;
};

} // namespace quillon::filterhost
