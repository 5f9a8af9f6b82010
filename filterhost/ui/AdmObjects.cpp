#include "ui/AdmObjects.h"

#include "ui/DialogManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace quillon::ui {
namespace {

const std::map<std::string, ItemKind>& KindsByName() {
    static const std::map<std::string, ItemKind> kKinds = {
        {kADMFrameType, ItemKind::Frame},
        {kADMTextStaticType, ItemKind::TextStatic},
        {kADMPictureStaticType, ItemKind::PictureStatic},
        {kADMPopupMenuType, ItemKind::PopupMenu},
        {kADMPicturePushButtonType, ItemKind::PicturePushButton},
        {kADMSliderType, ItemKind::Slider},
        {kADMTextEditType, ItemKind::TextEdit},
        {kADMTextCheckBoxType, ItemKind::CheckBox},
        {kADMTextPushButtonType, ItemKind::PushButton}};
    return kKinds;
}

// Static texts show a single '&' as nothing (it marks a shortcut) and "&&" as '&'; a line break
// may come as "\n\r" or "\r\n" as well as "\n".
QString WithoutMnemonics(const std::string& text) {
    QString shown;
    QString source = QString::fromStdString(text);
    source.replace("\n\r", "\n").replace("\r\n", "\n").replace('\r', '\n');
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (source[i] == '&' && i + 1 < source.size()) ++i;
        shown += source[i];
    }
    return shown;
}

ADMPoint ToAdm(QPoint p) {
    return {p.x(), p.y()};
}

std::optional<QPoint> gScriptedPointer;

} // namespace

QPoint PointerPosition() {
    return gScriptedPointer ? *gScriptedPointer : QCursor::pos();
}

void SetScriptedPointer(std::optional<QPoint> position) {
    gScriptedPointer = position;
}

bool KindOfType(const std::string& typeName, ItemKind& kind) {
    const auto it = KindsByName().find(typeName);
    if (it == KindsByName().end()) return false;
    kind = it->second;
    return true;
}

ADMInt32 TrackerModifiers(Qt::KeyboardModifiers modifiers) {
    ADMInt32 bits = 0;
    if (modifiers & Qt::ControlModifier) bits |= kADMControlKeyModifier;
    if (modifiers & Qt::ShiftModifier) bits |= kADMShiftKeyModifier;
    if (modifiers & Qt::AltModifier) bits |= kADMOptionKeyModifier;
    return bits;
}

ADMInt32 VirtualKey(int key) {
    switch (key) {
    case Qt::Key_Tab:
        return kADMTabKey;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kADMEnterKey;
    case Qt::Key_Escape:
        return kADMEscapeKey;
    case Qt::Key_Left:
        return kADMLeftKey;
    case Qt::Key_Right:
        return kADMRightKey;
    case Qt::Key_Up:
        return kADMUpKey;
    case Qt::Key_Down:
        return kADMDownKey;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return kADMDeleteKey;
    default:
        break;
    }
    // Qt's codes for printable keys are their characters, letters in upper case.
    return key >= 0x20 && key < 0x7f ? key : kADMUnknownKey;
}

bool MaskAllows(ADMInt32 mask, ADMInt32 action) {
    switch (action) {
    case kADMMouseMovedDownAction:
    case kADMMouseMovedUpAction:
        return mask & kADMMouseMoveMask;
    case kADMButtonDownAction:
    case kADMButtonUpAction:
        return mask & kADMButtonMask;
    case kADMShiftKeyDownAction:
    case kADMShiftKeyUpAction:
    case kADMAltKeyDownAction:
    case kADMAltKeyUpAction:
        return mask & kADMModifierKeyMask;
    case kADMEnterAction:
    case kADMLeaveAction:
        return mask & kADMEnterLeaveMask;
    case kADMKeyStrokeAction:
        return mask & kADMKeyStrokeMask;
    default:
        return false;
    }
}

// A light, neutral face with a blue highlight and a dark surround for image panes.
QColor StandardColor(ADMInt32 number) {
    switch (number) {
    case kADMButtonFaceColor:
        return QColor(0xd3, 0xd7, 0xde);
    case kADMHiliteColor:
        return QColor(0x2f, 0x6f, 0xd6);
    case kADMPaneColor:
        return QColor(0xec, 0xee, 0xf1);
    case kADMBackgroundColor:
        return QColor(0x5b, 0x5f, 0x66);
    default:
        return Qt::black;
    }
}

// --- popup lists ----------------------------------------------------------------------------

AdmEntry* AdmList::Insert(ADMInt32 index) {
    const ADMInt32 at = index < 0 || index > Count() ? Count() : index;
    auto entry = std::make_unique<AdmEntry>();
    entry->list = this;
    AdmEntry* made = entry.get();
    entries_.insert(entries_.begin() + at, std::move(entry));
    item_.Dialog().Manager().Register(made);
    return made;
}

void AdmList::Remove(ADMInt32 index) {
    if (index < 0 || index >= Count()) return;
    AdmEntry* entry = entries_[size_t(index)].get();
    if (active_ == entry) active_ = nullptr;
    item_.Dialog().Manager().Unregister(entry);
    entries_.erase(entries_.begin() + index);
    item_.ShowActiveEntry();
}

AdmEntry* AdmList::At(ADMInt32 index) const {
    return index >= 0 && index < Count() ? entries_[size_t(index)].get() : nullptr;
}

AdmEntry* AdmList::WithID(ADMInt32 id) const {
    for (const auto& entry : entries_)
        if (entry->id == id) return entry.get();
    return nullptr;
}

ADMInt32 AdmList::IndexOf(const AdmEntry* entry) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].get() == entry) return ADMInt32(i);
    return -1;
}

void AdmList::SetActive(AdmEntry* entry) {
    active_ = entry;
    item_.ShowActiveEntry();
}

// --- canvas ---------------------------------------------------------------------------------

CanvasWidget::CanvasWidget(AdmItem& item, QWidget* parent) : QWidget(parent), item_(item) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoMousePropagation);
}

QImage& CanvasWidget::Canvas() {
    if (canvas_.size() != size()) {
        canvas_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        canvas_.fill(StandardColor(kADMPaneColor));
        invalid_ = true;
    }
    return canvas_;
}

void CanvasWidget::MarkInvalid() {
    invalid_ = true;
    update();
}

void CanvasWidget::Refresh() {
    Canvas();
    if (!invalid_) return;
    invalid_ = false;
    canvas_.fill(StandardColor(kADMPaneColor));
    AdmDrawer drawer(item_, false);
    if (item_.draw)
        item_.draw(item_.Ref(), reinterpret_cast<ADMDrawerRef>(&drawer));
    else
        item_.DefaultDraw(drawer);
}

void CanvasWidget::paintEvent(QPaintEvent*) {
    Refresh();
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

// A picture push button notifies when the button goes up over it.
void CanvasWidget::mousePressEvent(QMouseEvent* event) {
    pressed_ = item_.Kind() == ItemKind::PicturePushButton && event->button() == Qt::LeftButton;
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool clicked = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (clicked && isEnabled()) item_.Notify(kADMUserChangedNotifier);
}

// --- items ----------------------------------------------------------------------------------

AdmItem::AdmItem(AdmDialog& dialog, ADMInt32 id, ItemKind kind, std::string typeName)
    : dialog_(dialog), id_(id), kind_(kind), typeName_(std::move(typeName)) {
    BuildWidget();
    widget_->setAttribute(Qt::WA_NoMousePropagation);
    widget_->installEventFilter(&dialog_);
    dialog_.Manager().Register(this);
}

AdmItem::~AdmItem() {
    if (list_) {
        for (ADMInt32 i = 0; i < list_->Count(); ++i)
            dialog_.Manager().Unregister(list_->At(i));
        dialog_.Manager().Unregister(list_.get());
    }
    dialog_.Manager().Unregister(this);
}

void AdmItem::BuildWidget() {
    QWidget* parent = &dialog_;
    switch (kind_) {
    case ItemKind::Frame:
    case ItemKind::PictureStatic:
    case ItemKind::PicturePushButton:
        widget_ = canvas_ = new CanvasWidget(*this, parent);
        break;
    case ItemKind::TextStatic: {
        auto* label = new QLabel(parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Like the window system's static texts, long lines wrap at word breaks.
        label->setWordWrap(true);
        widget_ = label;
        break;
    }
    case ItemKind::PopupMenu: {
        auto* button = new QToolButton(parent);
        auto* menu = new QMenu(button);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        list_ = std::make_unique<AdmList>(*this);
        dialog_.Manager().Register(list_.get());
        // The menu is rebuilt from the entries each time it opens.
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu] {
            menu->clear();
            for (ADMInt32 i = 0; i < list_->Count(); ++i) {
                AdmEntry* entry = list_->At(i);
                if (entry->separator) {
                    menu->addSeparator();
                    continue;
                }
                QAction* action = menu->addAction(QString::fromStdString(entry->text));
                action->setCheckable(true);
                action->setChecked(entry == list_->Active());
                QObject::connect(action, &QAction::triggered, menu, [this, entry] {
                    if (!list_->Owns(entry)) return;
                    list_->SetActive(entry);
                    Notify(kADMUserChangedNotifier);
                });
            }
        });
        widget_ = button;
        break;
    }
    case ItemKind::Slider: {
        auto* slider = new QSlider(Qt::Horizontal, parent);
        QObject::connect(slider, &QSlider::valueChanged, slider, [this, slider](int v) {
            if (updating_) return;
            value_ = float(v);
            Notify(slider->isSliderDown() ? kADMIntermediateChangedNotifier
                                          : kADMUserChangedNotifier);
        });
        QObject::connect(slider, &QSlider::sliderReleased, slider,
                         [this] { Notify(kADMUserChangedNotifier); });
        widget_ = slider;
        break;
    }
    case ItemKind::TextEdit: {
        auto* edit = new QLineEdit(parent);
        edit->setAlignment(Qt::AlignRight);
        QObject::connect(edit, &QLineEdit::editingFinished, edit, [this] { CommitEdit(); });
        widget_ = edit;
        break;
    }
    case ItemKind::CheckBox: {
        auto* box = new QCheckBox(parent);
        QObject::connect(box, &QCheckBox::clicked, box, [this](bool checked) {
            boolean_ = checked;
            Notify(kADMUserChangedNotifier);
        });
        widget_ = box;
        break;
    }
    case ItemKind::PushButton: {
        auto* button = new QPushButton(parent);
        button->setAutoDefault(false);
        if (id_ == 1) button->setDefault(true);
        QObject::connect(button, &QPushButton::clicked, button,
                         [this] { Notify(kADMUserChangedNotifier); });
        widget_ = button;
        break;
    }
    }
    ShowValue();
}

void AdmItem::SetText(const std::string& text) {
    text_ = text;
    const QString q = QString::fromStdString(text);
    switch (kind_) {
    case ItemKind::TextStatic:
        static_cast<QLabel*>(widget_)->setText(WithoutMnemonics(text));
        break;
    case ItemKind::PushButton:
        static_cast<QPushButton*>(widget_)->setText(q);
        break;
    case ItemKind::CheckBox:
        static_cast<QCheckBox*>(widget_)->setText(q);
        break;
    case ItemKind::TextEdit: {
        updating_ = true;
        static_cast<QLineEdit*>(widget_)->setText(q);
        updating_ = false;
        bool ok = false;
        const float v = q.toFloat(&ok);
        if (ok) SetFloat(v);
        break;
    }
    case ItemKind::PopupMenu:
        ShowActiveEntry();
        break;
    default:
        if (canvas_) canvas_->MarkInvalid();
        break;
    }
}

std::string AdmItem::Text() const {
    switch (kind_) {
    case ItemKind::TextEdit:
        return static_cast<QLineEdit*>(widget_)->text().toStdString();
    case ItemKind::PopupMenu:
        return list_->Active() ? list_->Active()->text : std::string();
    default:
        return text_;
    }
}

void AdmItem::SetFloat(float value) {
    if (std::isnan(value)) return;
    value_ = std::clamp(value, minimum_, std::max(minimum_, maximum_));
    ShowValue();
}

void AdmItem::SetMinimum(float minimum) {
    if (std::isnan(minimum)) return;
    minimum_ = minimum;
    maximum_ = std::max(maximum_, minimum_);
    SetFloat(value_);
}

void AdmItem::SetMaximum(float maximum) {
    if (std::isnan(maximum)) return;
    maximum_ = maximum;
    minimum_ = std::min(minimum_, maximum_);
    SetFloat(value_);
}

void AdmItem::SetPrecision(int decimals) {
    precision_ = std::clamp(decimals, 0, 6);
    ShowValue();
}

void AdmItem::SetBoolean(bool value) {
    boolean_ = value;
    ShowValue();
}

void AdmItem::SetPicture(ADMInt32 resourceID) {
    picture_ = resourceID;
    if (canvas_) canvas_->MarkInvalid();
}

// A menu too narrow for the chosen entry's text shows only its arrow, as a drop-down button.
void AdmItem::ShowActiveEntry() {
    if (kind_ != ItemKind::PopupMenu) return;
    const AdmEntry* active = list_->Active();
    auto* button = static_cast<QToolButton*>(widget_);
    const QString text = QString::fromStdString(active ? active->text : text_);
    const int room = button->width() - button->iconSize().width();
    button->setText(button->fontMetrics().horizontalAdvance(text) <= room ? text : QString());
}

// Puts the value on the widget without any notifier firing.
void AdmItem::ShowValue() {
    updating_ = true;
    switch (kind_) {
    case ItemKind::Slider: {
        auto* slider = static_cast<QSlider*>(widget_);
        slider->setRange(int(std::lround(minimum_)), int(std::lround(maximum_)));
        slider->setValue(int(std::lround(value_)));
        break;
    }
    case ItemKind::TextEdit: {
        auto* edit = static_cast<QLineEdit*>(widget_);
        edit->setText(QString::number(double(value_), 'f', precision_));
        edit->setModified(false);
        break;
    }
    case ItemKind::CheckBox:
        static_cast<QCheckBox*>(widget_)->setChecked(boolean_);
        break;
    default:
        break;
    }
    updating_ = false;
}

// A typed value is taken when the user leaves the box or presses Enter; text that is not a
// number brings the old value back.
void AdmItem::CommitEdit() {
    auto* edit = static_cast<QLineEdit*>(widget_);
    if (updating_ || !edit->isModified()) return;
    bool ok = false;
    const float typed = edit->text().trimmed().toFloat(&ok);
    if (ok && std::isfinite(typed)) {
        const float scale = std::pow(10.0f, float(precision_));
        SetFloat(std::round(typed * scale) / scale);
    } else {
        ShowValue();
    }
    edit->setModified(false);
    if (ok) Notify(kADMUserChangedNotifier);
}

bool AdmItem::Track(AdmTracker& tracker) {
    if (!track || !MaskAllows(mask, tracker.action)) return false;
    return track(Ref(), reinterpret_cast<ADMTrackerRef>(&tracker));
}

void AdmItem::Notify(const char* type) {
    AdmNotifier notifier{this, &dialog_, type};
    dialog_.Manager().Register(&notifier);
    if (notify)
        notify(Ref(), reinterpret_cast<ADMNotifierRef>(&notifier));
    else
        DefaultNotify(notifier);
    dialog_.Manager().Unregister(&notifier);
}

// Items pass what they notify on to their dialog.
void AdmItem::DefaultNotify(AdmNotifier& notifier) {
    if (dialog_.notify)
        dialog_.notify(dialog_.Ref(), reinterpret_cast<ADMNotifierRef>(&notifier));
    else
        dialog_.DefaultNotify(notifier);
}

void AdmItem::DefaultDraw(AdmDrawer& drawer) {
    const QRect local(QPoint(0, 0), widget_->size());
    switch (kind_) {
    case ItemKind::Frame:
        drawer.Frame(local, true);
        break;
    case ItemKind::PictureStatic: {
        const QImage picture = dialog_.Manager().Picture(picture_, false);
        if (!picture.isNull()) drawer.Image(picture, QPoint(0, 0));
        break;
    }
    case ItemKind::PicturePushButton: {
        drawer.Frame(local, false);
        const QImage icon = dialog_.Manager().Picture(picture_, true);
        if (!icon.isNull()) drawer.Icon(icon, local);
        break;
    }
    default:
        break;
    }
}

// --- dialogs --------------------------------------------------------------------------------

AdmDialog::AdmDialog(DialogManager& manager, const DialogTemplate& layout, bool popup,
                     QWidget* parent)
    : QDialog(parent), manager_(manager) {
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
    installEventFilter(this);
    manager_.Register(this);
    for (const TemplateItem& entry : layout.items) {
        if (Item(entry.id))
            throw ResourceError("item id " + std::to_string(entry.id) + " used twice");
        AdmItem* item = CreateItem(entry.id, entry.type,
                                   QRect(entry.left, entry.top, entry.width, entry.height));
        if (entry.pictureID) item->SetPicture(entry.pictureID);
        if (!entry.text.empty()) item->SetText(entry.text);
    }
}

AdmDialog::~AdmDialog() {
    for (auto& [id, timer] : timers_)
        manager_.Unregister(timer);
    removeEventFilter(this);
    manager_.Unregister(this);
}

AdmItem* AdmDialog::CreateItem(ADMInt32 id, const std::string& typeName, const QRect& bounds) {
    ItemKind kind;
    if (!KindOfType(typeName, kind)) throw ResourceError("unknown item type \"" + typeName + "\"");
    if (id == 0) {
        while (Item(nextItemID_))
            ++nextItemID_;
        id = nextItemID_++;
    }
    items_.push_back(std::make_unique<AdmItem>(*this, id, kind, typeName));
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
    for (auto& [id, timer] : timers_)
        timer->stop();
    return result_;
}

void AdmDialog::EndModal(ADMInt32 itemID) {
    if (ended_) return;
    ended_ = true;
    result_ = itemID;
    for (auto& [id, timer] : timers_)
        timer->stop();
    done(itemID);
}

// Escape and the window's close button cancel.
void AdmDialog::reject() {
    EndModal(2);
}

ADMTimerID AdmDialog::StartTimer(ADMInt32 milliseconds, ADMDialogTimerProc proc) {
    if (!proc || milliseconds < 0 || ended_) return 0;
    const ADMTimerID id = nextTimer_++;
    auto* timer = new QTimer(this);
    timer->setInterval(milliseconds);
    QObject::connect(timer, &QTimer::timeout, this, [this, id, proc] {
        if (!proc(Ref(), id)) AbortTimer(id);
    });
    timers_[id] = timer;
    manager_.Register(timer);
    timer->start();
    return id;
}

void AdmDialog::AbortTimer(ADMTimerID id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    manager_.Unregister(it->second);
    it->second->deleteLater();
    timers_.erase(it);
}

bool AdmDialog::Track(AdmTracker& tracker) {
    if (!track || !MaskAllows(mask, tracker.action)) return false;
    return track(Ref(), reinterpret_cast<ADMTrackerRef>(&tracker));
}

void AdmDialog::Notify(AdmItem* item, const char* type) {
    AdmNotifier notifier{item, this, type};
    manager_.Register(&notifier);
    if (notify)
        notify(Ref(), reinterpret_cast<ADMNotifierRef>(&notifier));
    else
        DefaultNotify(notifier);
    manager_.Unregister(&notifier);
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
    case QEvent::Resize:
        if (AdmItem* item = ItemOfWidget(watched)) item->ShowActiveEntry();
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
    manager_.Register(&tracker);
    const bool handled = item ? item->Track(tracker) : Track(tracker);
    manager_.Unregister(&tracker);
    return handled && event->type() != QEvent::Enter && event->type() != QEvent::Leave;
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
    case Qt::Key_Control:
    case Qt::Key_Meta:
        return false;
    default:
        if (!press) return false;
        tracker.action = kADMKeyStrokeAction;
        tracker.virtualKey = VirtualKey(key->key());
        break;
    }
    manager_.Register(&tracker);
    bool handled = Track(tracker);
    if (!handled && !ended_) {
        if (AdmItem* item = ItemOfWidget(focus)) {
            tracker.point = ToAdm(item->Widget()->mapFromGlobal(PointerPosition()));
            handled = item->Track(tracker);
        }
    }
    manager_.Unregister(&tracker);
    return handled;
}

} // namespace quillon::ui
