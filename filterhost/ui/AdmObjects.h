// The objects behind the dialog manager's opaque references, built on Qt widgets. Internal to the
// host's user interface; plug-ins see them only as ADM*Ref handles.
#pragma once

#include "pluginapi/ADMSuites.h"
#include "ui/DialogTemplate.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace quillon::ui {

class AdmDialog;
class AdmItem;
class DialogManager;

enum class ItemKind {
    Frame,
    TextStatic,
    PictureStatic,
    PopupMenu,
    PicturePushButton,
    Slider,
    TextEdit,
    CheckBox,
    PushButton
};

// The item kind of a type name; false for names the dialog manager does not know.
bool KindOfType(const std::string& typeName, ItemKind& kind);

struct AdmTracker {
    ADMPoint point;
    ADMInt32 action;
    ADMInt32 modifiers;
    ADMInt32 virtualKey;
};

struct AdmNotifier {
    AdmItem* item;
    AdmDialog* dialog;
    const char* type;
};

struct AdmImage {
    QImage image; // RGB32: blue, green, red, unused in memory
};

struct AdmIcon {
    QImage image; // ARGB32
};

class AdmList;

struct AdmEntry {
    AdmList* list;
    ADMInt32 id = 0;
    std::string text;
    bool separator = false;
};

class AdmList {
  public:
    explicit AdmList(AdmItem& item) : item_(item) {}
    AdmEntry* Insert(ADMInt32 index);
    void Remove(ADMInt32 index);
    AdmEntry* At(ADMInt32 index) const;
    AdmEntry* WithID(ADMInt32 id) const;
    ADMInt32 IndexOf(const AdmEntry* entry) const;
    ADMInt32 Count() const { return ADMInt32(entries_.size()); }
    AdmEntry* Active() const { return active_; }
    // Programmatic choice: shown, never notified.
    void SetActive(AdmEntry* entry);
    bool Owns(const AdmEntry* entry) const { return IndexOf(entry) >= 0; }
    AdmItem& Item() const { return item_; }

  private:
    AdmItem& item_;
    std::vector<std::unique_ptr<AdmEntry>> entries_;
    AdmEntry* active_ = nullptr;
};

// A drawer paints on an item's canvas in the item's coordinates.
class AdmDrawer {
  public:
    AdmDrawer(AdmItem& item, bool immediate);
    ~AdmDrawer();
    void SetColor(QColor color) { color_ = color; }
    void SetMode(ADMInt32 mode) { mode_ = mode; }
    void Line(QPoint from, QPoint to);
    void Polygon(const std::vector<QPoint>& points);
    void Rect(const QRect& rect);
    void Fill(const QRect& rect);
    void Frame(const QRect& rect, bool sunken);
    void Icon(const QImage& icon, const QRect& rect);
    void Image(const QImage& image, QPoint topLeft);
    AdmItem& Item() const { return item_; }
    bool Immediate() const { return immediate_; }

  private:
    template <typename Paint> void Draw(QRect bounds, Paint&& paint);
    AdmItem& item_;
    bool immediate_;
    QColor color_ = Qt::black;
    ADMInt32 mode_ = kADMNormalMode;
};

// Custom items keep their picture in a canvas: the draw callback paints it when the item is
// invalid, the paint handler only copies it out.
class CanvasWidget : public QWidget {
  public:
    CanvasWidget(AdmItem& item, QWidget* parent);
    QImage& Canvas();
    void MarkInvalid();
    // Runs the draw callback now if the canvas is out of date.
    void Refresh();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    AdmItem& item_;
    QImage canvas_;
    bool invalid_ = true;
    bool pressed_ = false;
};

class AdmItem {
  public:
    AdmItem(AdmDialog& dialog, ADMInt32 id, ItemKind kind, std::string typeName);
    ~AdmItem();

    AdmDialog& Dialog() const { return dialog_; }
    ADMInt32 ID() const { return id_; }
    ItemKind Kind() const { return kind_; }
    const std::string& TypeName() const { return typeName_; }
    QWidget* Widget() const { return widget_; }
    CanvasWidget* Canvas() const { return canvas_; }
    AdmList* List() const { return list_.get(); }

    ADMItemRef Ref() { return reinterpret_cast<ADMItemRef>(this); }

    void SetText(const std::string& text);
    std::string Text() const;
    void SetFloat(float value);
    float Float() const { return value_; }
    void SetMinimum(float minimum);
    void SetMaximum(float maximum);
    float Minimum() const { return minimum_; }
    float Maximum() const { return maximum_; }
    void SetPrecision(int decimals);
    void SetBoolean(bool value);
    bool Boolean() const { return boolean_; }
    void SetPicture(ADMInt32 resourceID);
    ADMInt32 Picture() const { return picture_; }
    // Shows the list's active entry on the menu button.
    void ShowActiveEntry();

    // A tracker event for this item; true when the callback handled it.
    bool Track(AdmTracker& tracker);
    // Tells the plug-in that the value changed: the item's notify callback, else the default.
    void Notify(const char* type);
    void DefaultNotify(AdmNotifier& notifier);
    // Draws the item's standard look when it has no draw callback.
    void DefaultDraw(AdmDrawer& drawer);

    ADMItemDrawProc draw = nullptr;
    ADMItemTrackProc track = nullptr;
    ADMItemNotifyProc notify = nullptr;
    ADMInt32 mask = kADMDefaultItemMask;
    ADMUserData userData = nullptr;

  private:
    void BuildWidget();
    void ShowValue();
    void CommitEdit();

    AdmDialog& dialog_;
    ADMInt32 id_;
    ItemKind kind_;
    std::string typeName_;
    QWidget* widget_ = nullptr;
    CanvasWidget* canvas_ = nullptr;
    std::unique_ptr<AdmList> list_;
    std::string text_;
    float value_ = 0, minimum_ = 0, maximum_ = 100;
    int precision_ = 0;
    bool boolean_ = false;
    ADMInt32 picture_ = 0;
    // Set while the host itself changes a widget, so no notifier fires.
    bool updating_ = false;
};

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

    ADMDialogTrackProc track = nullptr;
    ADMDialogNotifyProc notify = nullptr;
    ADMInt32 mask = kADMAllActionsMask;
    ADMUserData userData = nullptr;
    bool initialised = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

  private:
    bool TrackMouse(QObject* watched, QEvent* event);
    bool TrackKey(QObject* watched, QEvent* event);
    AdmItem* ItemOfWidget(QObject* widget) const;

    DialogManager& manager_;
    std::vector<std::unique_ptr<AdmItem>> items_;
    std::map<ADMTimerID, QTimer*> timers_;
    ADMTimerID nextTimer_ = 1;
    ADMInt32 nextItemID_ = 1000;
    bool ended_ = false;
    ADMInt32 result_ = 0;
    QSize notifiedSize_;
};

// The pointer on the screen: the window system's, or the one a script moves.
QPoint PointerPosition();
void SetScriptedPointer(std::optional<QPoint> position);

// Tracker modifier bits of Qt's keyboard modifiers.
ADMInt32 TrackerModifiers(Qt::KeyboardModifiers modifiers);
// The virtual key of a Qt key code, kADMUnknownKey for none.
ADMInt32 VirtualKey(int qtKey);
// Whether an action passes a track mask.
bool MaskAllows(ADMInt32 mask, ADMInt32 action);
// The standard colours by number.
QColor StandardColor(ADMInt32 number);

} // namespace quillon::ui
