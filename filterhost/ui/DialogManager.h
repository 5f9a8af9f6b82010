// The host's dialog manager: the ten dialog-manager suites and the user-interface hooks, offered
// to plug-ins while it lives, with dialogs built from the module's templates as Qt widgets.
// A QApplication must exist first.
#pragma once

#include "core/suites/SessionServices.h"
#include "pluginapi/ADMSuites.h"
#include "ui/AdmSuites.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace quillon::ui {

class AdmDialog;

class DialogManager : public filterhost::SessionPart {
  public:
    using ResourceLookup = std::function<std::span<const uint8_t>(uint32_t type, int32_t id)>;
    using ErrorReporter = std::function<void(const std::string&)>;

    // Messages about broken resources go to report, standard error when it is empty.
    DialogManager(filterhost::SessionServices& session, ResourceLookup resources,
                  ErrorReporter report = {});
    // A dialog manager the session owns from now on, offered to its plug-in until the session
    // ends or detaches it.
    static DialogManager& Open(filterhost::SessionServices& session, ResourceLookup resources,
                               ErrorReporter report = {});
    DialogManager(const DialogManager&) = delete;
    DialogManager& operator=(const DialogManager&) = delete;

    // Builds the dialog of a 'DLOG' resource and runs it; kADMDialogFailedResult when it cannot
    // be built (the reason has been reported).
    ADMInt32 RunModal(int32_t resourceID, ADMDialogInitProc init, ADMUserData data, bool popup);

    // A 'BMAP' or 'ICON' resource as an image; null when missing or malformed (reported).
    QImage Picture(int32_t resourceID, bool icon) const;

    // The dialog on top, null when none is open.
    AdmDialog* TopDialog() const { return stack_.empty() ? nullptr : stack_.back(); }

    // The session's handle table: what the dialog manager lends the plug-in is entered there,
    // and handles the plug-in gives back are checked against it, kind by kind.
    filterhost::HandleTable& Handles() const { return session_.Handles(); }
    template <typename T> T* Find(const void* handle, filterhost::HandleKind kind) const {
        return session_.Handles().Find<T>(handle, kind);
    }

    // The widget whose events are being tracked: host cursors are shown there.
    void SetTrackedWidget(QWidget* widget) { tracked_ = widget; }
    // A file dropped on an item answers the file chooser's next question, once.
    void SetDroppedFile(std::optional<std::string> file) { dropped_ = std::move(file); }
    std::optional<std::string> TakeDroppedFile() { return std::exchange(dropped_, std::nullopt); }
    QWidget* TrackedWidget() const;

    void ReportError(const std::string& message) const;

    // The manager of the session in use, for the C entry points.
    static DialogManager* Current();

  private:
    filterhost::SessionServices& session_;
    AdmSuiteOffer offer_;
    ResourceLookup resources_;
    ErrorReporter report_;
    std::vector<AdmDialog*> stack_;
    QWidget* tracked_ = nullptr;
    std::optional<std::string> dropped_;
};

// Shows a host cursor by name on a widget, and keeps the name in the widget's property
// kHostCursorProperty; false for a name the host does not know.
bool ApplyHostCursor(QWidget& widget, const char* name);
inline constexpr const char* kHostCursorProperty = "quillonHostCursor";

} // namespace quillon::ui
