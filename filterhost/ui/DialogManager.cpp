#include "ui/DialogManager.h"

#include "core/HostFailure.h"
#include "pluginapi/ADMDialogTemplate.h"
#include "pluginapi/PIResources.h"
#include "ui/AdmDialog.h"

#include <QApplication>
#include <QPointer>

#include <iostream>

namespace quillon::ui {
namespace {

QImage ImageOfBitmap(const Bitmap& bitmap) {
    QImage image(bitmap.width, bitmap.height,
                 bitmap.bytesPerPixel == 4 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const uint8_t* p = bitmap.pixels.data();
    for (int y = 0; y < bitmap.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.width; ++x, p += bitmap.bytesPerPixel)
            row[x] = qRgba(p[0], p[1], p[2], bitmap.bytesPerPixel == 4 ? p[3] : 255);
    }
    return image;
}

// Widgets can be made only once the application runs; nothing is offered before that is known.
filterhost::SessionServices& WithApplication(filterhost::SessionServices& session) {
    if (!qApp) throw filterhost::HostFailure("the dialog manager needs a running application");
    return session;
}

} // namespace

DialogManager::DialogManager(filterhost::SessionServices& session, ResourceLookup resources,
                             ErrorReporter report)
    : session_(WithApplication(session)), offer_(session_.Suites()),
      resources_(std::move(resources)), report_(std::move(report)) {}

DialogManager& DialogManager::Open(filterhost::SessionServices& session, ResourceLookup resources,
                                   ErrorReporter report) {
    return session.AttachDialogs(
        std::make_unique<DialogManager>(session, std::move(resources), std::move(report)));
}

DialogManager* DialogManager::Current() {
    filterhost::SessionServices* session = filterhost::SessionServices::Current();
    // The dialog manager is the only part a session carries.
    return session ? static_cast<DialogManager*>(session->Dialogs()) : nullptr;
}

void DialogManager::ReportError(const std::string& message) const {
    if (report_)
        report_(message);
    else
        std::cerr << "quillon: " << message << "\n";
}

QWidget* DialogManager::TrackedWidget() const {
    if (tracked_) {
        for (AdmDialog* dialog : stack_)
            for (const auto& item : dialog->Items())
                if (item->Widget() == tracked_) return tracked_;
        for (AdmDialog* dialog : stack_)
            if (dialog == tracked_) return tracked_;
    }
    return TopDialog();
}

QImage DialogManager::Picture(int32_t resourceID, bool icon) const {
    std::span<const uint8_t> bytes;
    if (icon) bytes = resources_(kPIIconType, resourceID);
    if (bytes.empty()) bytes = resources_(kPIBitmapType, resourceID);
    if (bytes.empty()) return {};
    try {
        return ImageOfBitmap(ParseBitmap(bytes));
    } catch (const ResourceError& error) {
        ReportError("picture resource " + std::to_string(resourceID) + ": " + error.what());
        return {};
    }
}

ADMInt32 DialogManager::RunModal(int32_t resourceID, ADMDialogInitProc init, ADMUserData data,
                                 bool popup) {
    const std::string which = "dialog resource " + std::to_string(resourceID);
    const std::span<const uint8_t> bytes = resources_(kPIDialogType, resourceID);
    if (bytes.empty()) {
        ReportError("the plug-in has no " + which);
        return kADMDialogFailedResult;
    }
    std::unique_ptr<AdmDialog> dialog;
    try {
        dialog = std::make_unique<AdmDialog>(*this, ParseDialogTemplate(bytes), popup, TopDialog());
    } catch (const ResourceError& error) {
        ReportError(which + ": " + error.what());
        return kADMDialogFailedResult;
    }
    dialog->userData = data;
    stack_.push_back(dialog.get());
    // The dialog leaves the stack however the run ends.
    struct Pop {
        std::vector<AdmDialog*>& stack;
        ~Pop() { stack.pop_back(); }
    } pop{stack_};
    if (init) init(dialog->Ref());
    dialog->initialised = true;
    return dialog->Run();
}

} // namespace quillon::ui
