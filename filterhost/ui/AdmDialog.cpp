#include "ui/AdmDialog.h"

#include "ui/AdmDrawer.h"
#include "ui/DialogManager.h"

#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace quillon::ui {

using filterhost::HandleKind;

namespace {

ADMPoint ToAdm(QPoint p) {
    return {p.x(), p.y()};
}

} // namespace

AdmDialog::AdmDialog(DialogManager& manager, const DialogTemplate& layout, bool popup,
                     QWidget* parent)
    : QDialog(parent), manager_(manager), lent_(manager.Handles(), this, HandleKind::Dialog) {
    setWindowTitle(QString::fromStdString(layout.title));
    setMouseTracking(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, StandardColor(kADMPaneColor));
    setPalette(palette);
    setAutoFillBackground(true);
    // Dialog layouts are made for the dialog manager's 11-pixel font; a larger one would not fit
    // the texts into their items.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    resize(layout.width, layout.height);
    if (popup) setFixedSize(layout.width, layout.height);
    filter_.emplace(*this, *this);
    for (const TemplateItem& entry : layout.items) {
        if (Item(entry.id))
            throw ResourceError("item id " + std::to_string(entry.id) + " used twice");
        AdmItem* item = CreateItem(entry.id, entry.type,
                                   QRect(entry.left, entry.top, entry.width, entry.height));
        if (entry.pictureID) item->SetPicture(entry.pictureID);
        if (!entry.text.empty()) item->SetText(entry.text);
    }
}

AdmDialog::~AdmDialog() = default;

AdmItem* AdmDialog::CreateItem(ADMInt32 id, const std::string& typeName, const QRect& bounds) {
    if (!IsItemType(typeName)) throw ResourceError("unknown item type \"" + typeName + "\"");
    if (id == 0) {
        while (Item(nextItemID_))
            ++nextItemID_;
        id = nextItemID_++;
    }
    items_.push_back(MakeItem(*this, id, typeName));
    AdmItem* item = items_.back().get();
    item->Widget()->setGeometry(bounds);
    item->Widget()->show();
    return item;
}

AdmItem* AdmDialog::Item(ADMInt32 id) const {
    for (const auto& item : items_)
        if (item->ID() == id) return item.get();
    return nullptr;
}

bool AdmDialog::OwnsItem(const AdmItem* item) const {
    return std::any_of(items_.begin(), items_.end(),
                       [item](const auto& i) { return i.get() == item; });
}

ADMInt32 AdmDialog::Run() {
    notifiedSize_ = size();
    if (!ended_) exec();
    StopTimers();
    return result_;
}

void AdmDialog::EndModal(ADMInt32 itemID) {
    if (ended_) return;
    ended_ = true;
    result_ = itemID;
    StopTimers();
    done(itemID);
}

void AdmDialog::StopTimers() {
    for (auto& [id, timer] : timers_)
        timer->Stop();
}

// Escape and the window's close button cancel.
void AdmDialog::reject() {
    EndModal(2);
}

ADMTimerID AdmDialog::StartTimer(ADMInt32 milliseconds, ADMDialogTimerProc proc) {
    if (!proc || milliseconds < 0 || ended_) return 0;
    const ADMTimerID id = nextTimer_++;
    timers_[id] = std::make_unique<RepeatingTimer>(*this, milliseconds, [this, id, proc] {
        if (!proc(Ref(), id)) AbortTimer(id);
    });
    return id;
}

void AdmDialog::AbortTimer(ADMTimerID id) {
    timers_.erase(id);
}

bool AdmDialog::Track(AdmTracker& tracker) {
    if (!track || !MaskAllows(mask, tracker.action)) return false;
    return track(Ref(), reinterpret_cast<ADMTrackerRef>(&tracker));
}

void AdmDialog::Notify(AdmItem* item, const char* type) {
    AdmNotifier notifier{item, this, type};
    const LentHandle lent(manager_.Handles(), &notifier, HandleKind::Notifier);
    if (notify)
        notify(Ref(), reinterpret_cast<ADMNotifierRef>(&notifier));
    else
        DefaultNotify(notifier);
}

// OK and Cancel end the dialog with their ids.
void AdmDialog::DefaultNotify(AdmNotifier& notifier) {
    if (!notifier.item || std::string_view(notifier.type) != kADMUserChangedNotifier) return;
    const ADMInt32 id = notifier.item->ID();
    if (id == 1 || id == 2) EndModal(id);
}

void AdmDialog::SetMinimumClientSize(int width, int height) {
    setMinimumSize(std::max(width, 0), std::max(height, 0));
    if (this->width() < width || this->height() < height)
        resize(std::max(this->width(), width), std::max(this->height(), height));
}

void AdmDialog::KeepFrameOnScreen() {
    QWindow* window = windowHandle();
    if (fitting_ || !isWindow() || !isVisible() || !window || !window->screen()) return;
    fittedFrame_ = window->frameMargins();
    const QRect room = window->screen()->availableGeometry().marginsRemoved(*fittedFrame_);
    const QRect client = geometry();
    if (room.isEmpty() || room.contains(client)) return;
    const QSize size = client.size().boundedTo(room.size()).expandedTo(minimumSize());
    const QPoint topLeft(std::clamp(client.left(), room.left(), room.right() + 1 - size.width()),
                         std::clamp(client.top(), room.top(), room.bottom() + 1 - size.height()));
    fitting_ = true;
    setGeometry(QRect(topLeft, size));
    fitting_ = false;
}

// The window manager tells its frame's size some time after the window is mapped, and moves the
// window into the frame; the dialog fits itself once more whenever the frame it sees is not the
// one it last fitted, on a move and for a while after it is shown.
void AdmDialog::FitIfFrameChanged() {
    const QWindow* window = windowHandle();
    if (window && fittedFrame_ != window->frameMargins()) KeepFrameOnScreen();
}

void AdmDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    KeepFrameOnScreen();
    for (const int milliseconds : {0, 100, 400, 1000, 2500})
        QTimer::singleShot(milliseconds, this, [this] { FitIfFrameChanged(); });
}

void AdmDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    FitIfFrameChanged();
}

void AdmDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Only a real change of size notifies, not the first showing.
    if (!initialised || ended_ || event->size() == notifiedSize_) return;
    notifiedSize_ = event->size();
    Notify(nullptr, kADMBoundsChangedNotifier);
}

AdmItem* AdmDialog::ItemOfWidget(QObject* widget) const {
    for (const auto& item : items_)
        if (item->Widget() == widget) return item.get();
    return nullptr;
}

bool AdmDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
        return TrackMouse(watched, event);
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return TrackKey(watched, event);
    case QEvent::Wheel:
        return TrackWheel(watched, static_cast<QWheelEvent*>(event));
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return TrackDrop(watched, static_cast<QDropEvent*>(event));
    case QEvent::Resize:
        if (AdmItem* item = ItemOfWidget(watched)) item->Resized();
        return false;
    default:
        return false;
    }
}

// Mouse events go to the item under the mouse, or to the dialog on its own background.
bool AdmDialog::TrackMouse(QObject* watched, QEvent* event) {
    AdmItem* item = ItemOfWidget(watched);
    if (!item && watched != this) return false;
    QWidget* widget = item ? item->Widget() : this;
    AdmTracker tracker{};
    tracker.virtualKey = kADMUnknownKey;
    switch (event->type()) {
    case QEvent::Enter:
        tracker.action = kADMEnterAction;
        tracker.point = ToAdm(static_cast<QEnterEvent*>(event)->position().toPoint());
        tracker.modifiers = TrackerModifiers(QGuiApplication::keyboardModifiers());
        break;
    case QEvent::Leave:
        tracker.action = kADMLeaveAction;
        tracker.point = ToAdm(widget->mapFromGlobal(PointerPosition()));
        tracker.modifiers = TrackerModifiers(QGuiApplication::keyboardModifiers());
        break;
    default: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        tracker.point = ToAdm(mouse->position().toPoint());
        tracker.modifiers = TrackerModifiers(mouse->modifiers());
        if (event->type() == QEvent::MouseMove) {
            tracker.action = mouse->buttons() ? kADMMouseMovedDownAction : kADMMouseMovedUpAction;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            tracker.action = kADMButtonUpAction;
        } else {
            tracker.action = kADMButtonDownAction;
            if (event->type() == QEvent::MouseButtonDblClick)
                tracker.modifiers |= kADMDoubleClickModifier;
        }
        break;
    }
    }
    manager_.SetTrackedWidget(widget);
    const LentHandle lent(manager_.Handles(), &tracker, HandleKind::Tracker);
    const bool handled = item ? item->Track(tracker) : Track(tracker);
    return handled && event->type() != QEvent::Enter && event->type() != QEvent::Leave;
}

// The wheel turns over an item reach that item one notch (15 degrees) at a time; a touchpad's
// small steps add up to notches.
bool AdmDialog::TrackWheel(QObject* watched, QWheelEvent* event) {
    AdmItem* item = ItemOfWidget(watched);
    if (!item) return false;
    constexpr int kNotch = 120;
    wheelTurned_ += event->angleDelta().y();
    AdmTracker tracker{};
    tracker.point = ToAdm(event->position().toPoint());
    tracker.modifiers = TrackerModifiers(event->modifiers());
    tracker.virtualKey = kADMUnknownKey;
    manager_.SetTrackedWidget(item->Widget());
    const LentHandle lent(manager_.Handles(), &tracker, HandleKind::Tracker);
    bool handled = false;
    for (; std::abs(wheelTurned_) >= kNotch && !ended_;
         wheelTurned_ -= wheelTurned_ > 0 ? kNotch : -kNotch) {
        tracker.action = wheelTurned_ > 0 ? kADMWheelUpAction : kADMWheelDownAction;
        handled = item->Track(tracker) || handled;
    }
    return handled;
}

// One local file dropped on an item that tracks drops; the item opens it through the file chooser.
bool AdmDialog::TrackDrop(QObject* watched, QDropEvent* event) {
    AdmItem* item = ItemOfWidget(watched);
    const QList<QUrl> urls = event->mimeData() ? event->mimeData()->urls() : QList<QUrl>();
    if (!item || !MaskAllows(item->mask, kADMDropAction) || urls.size() != 1 ||
        !urls.first().isLocalFile())
        return false;
    event->acceptProposedAction();
    if (event->type() != QEvent::Drop) return true;
    AdmTracker tracker{};
    tracker.action = kADMDropAction;
    tracker.point = ToAdm(event->position().toPoint());
    tracker.modifiers = TrackerModifiers(event->modifiers());
    tracker.virtualKey = kADMUnknownKey;
    manager_.SetTrackedWidget(item->Widget());
    manager_.SetDroppedFile(urls.first().toLocalFile().toStdString());
    const LentHandle lent(manager_.Handles(), &tracker, HandleKind::Tracker);
    item->Track(tracker);
    // A drop the item did not take to the file chooser answers nothing later.
    manager_.SetDroppedFile(std::nullopt);
    return true;
}

// Keys reach the dialog's track callback first whichever item has the focus, then the focused
// item's. Only the first receiver of a key event tracks it, not the parents it propagates to.
bool AdmDialog::TrackKey(QObject* watched, QEvent* event) {
    QWidget* focus = QApplication::focusWidget();
    if (watched != (focus && isAncestorOf(focus) ? static_cast<QObject*>(focus) : this))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool press = event->type() == QEvent::KeyPress;
    AdmTracker tracker{};
    tracker.point = ToAdm(mapFromGlobal(PointerPosition()));
    tracker.modifiers = TrackerModifiers(key->modifiers());
    tracker.virtualKey = kADMUnknownKey;
    switch (key->key()) {
    case Qt::Key_Shift:
        if (key->isAutoRepeat()) return false;
        tracker.action = press ? kADMShiftKeyDownAction : kADMShiftKeyUpAction;
        break;
    case Qt::Key_Alt:
        if (key->isAutoRepeat()) return false;
        tracker.action = press ? kADMAltKeyDownAction : kADMAltKeyUpAction;
        break;
    case Qt::Key_Space:
        // Held, it reaches the plug-in once down and once up; repeats are swallowed so that a
        // button with the focus is not pressed by them.
        if (key->isAutoRepeat()) return true;
        tracker.action = press ? kADMSpaceKeyDownAction : kADMSpaceKeyUpAction;
        break;
    case Qt::Key_Control:
    case Qt::Key_Meta:
        return false;
    default:
        if (!press && key->isAutoRepeat()) return false;
        tracker.action = press ? kADMKeyStrokeAction : kADMKeyReleaseAction;
        tracker.virtualKey = VirtualKey(key->key());
        break;
    }
    const LentHandle lent(manager_.Handles(), &tracker, HandleKind::Tracker);
    bool handled = Track(tracker);
    if (!handled && !ended_) {
        if (AdmItem* item = ItemOfWidget(focus)) {
            tracker.point = ToAdm(item->Widget()->mapFromGlobal(PointerPosition()));
            handled = item->Track(tracker);
        }
    }
    return handled;
}

} // namespace quillon::ui
