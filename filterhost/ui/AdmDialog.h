// A dialog of the dialog manager: a Qt dialog built from a module's template, with its items,
// its callbacks and its timers, lent to the plug-in as a handle while it lives.
#pragma once

#include "pluginapi/ADMSuites.h"
#include "ui/AdmEvents.h"
#include "ui/AdmItem.h"
#include "ui/DialogTemplate.h"
#include "ui/Owners.h"

#include <QDialog>
#include <QMargins>

#include <map>
#include <memory>
#include <optional>
#include <string>

class QDropEvent;
class QWheelEvent;
#include <vector>

namespace quillon::ui {

class DialogManager;

class AdmDialog : public QDialog {
  public:
    AdmDialog(DialogManager& manager, const DialogTemplate& layout, bool popup, QWidget* parent);
    ~AdmDialog() override;

    DialogManager& Manager() const { return manager_; }
    ADMDialogRef Ref() { return reinterpret_cast<ADMDialogRef>(this); }

    // Throws ResourceError for an unknown type; id 0 picks a free id.
    AdmItem* CreateItem(ADMInt32 id, const std::string& typeName, const QRect& bounds);
    AdmItem* Item(ADMInt32 id) const;
    const std::vector<std::unique_ptr<AdmItem>>& Items() const { return items_; }
    bool OwnsItem(const AdmItem* item) const;

    // Runs the dialog until EndModal; returns the closing item's id.
    ADMInt32 Run();
    void EndModal(ADMInt32 itemID);
    bool Ended() const { return ended_; }

    ADMTimerID StartTimer(ADMInt32 milliseconds, ADMDialogTimerProc proc);
    void AbortTimer(ADMTimerID timer);

    bool Track(AdmTracker& tracker);
    void Notify(AdmItem* item, const char* type);
    void DefaultNotify(AdmNotifier& notifier);
    void SetMinimumClientSize(int width, int height);
    // Moves and, where it must, shrinks the dialog so that the frame a window manager draws
    // around it lies inside the screen's available area: when the plug-in sets its bounds, and
    // while it is being shown, until the window manager has told the frame's size. A size the
    // user gives it later stands.
    void KeepFrameOnScreen();

    ADMDialogTrackProc track = nullptr;
    ADMDialogNotifyProc notify = nullptr;
    ADMInt32 mask = kADMAllActionsMask;
    ADMUserData userData = nullptr;
    bool initialised = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void reject() override;

  private:
    bool TrackMouse(QObject* watched, QEvent* event);
    bool TrackKey(QObject* watched, QEvent* event);
    bool TrackWheel(QObject* watched, QWheelEvent* event);
    bool TrackDrop(QObject* watched, QDropEvent* event);
    void FitIfFrameChanged();
    AdmItem* ItemOfWidget(QObject* widget) const;
    void StopTimers();

    DialogManager& manager_;
    LentHandle lent_;
    std::vector<std::unique_ptr<AdmItem>> items_;
    std::map<ADMTimerID, std::unique_ptr<RepeatingTimer>> timers_;
    ADMTimerID nextTimer_ = 1;
    ADMInt32 nextItemID_ = 1000;
    bool ended_ = false;
    ADMInt32 result_ = 0;
    QSize notifiedSize_;
    bool fitting_ = false;
    std::optional<QMargins> fittedFrame_; // the frame the dialog last fitted the screen with
    int wheelTurned_ = 0;                 // eighths of a degree not yet sent as a notch
    // Last, so that the dialog stops watching its own events before anything else goes.
    std::optional<InstalledFilter> filter_;
};

} // namespace quillon::ui
