// What every dialog item shares: its place in the dialog, its callbacks, the text and values the
// item suite sets and reads, and its handle. One class per kind of item (AdmControlItems.h,
// AdmCanvasItems.h) makes the widget and shows these on it.
#pragma once

#include "pluginapi/ADMSuites.h"
#include "ui/AdmEvents.h"
#include "ui/Owners.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>

class QWidget;

namespace quillon::ui {

class AdmDialog;
class AdmList;
class CanvasWidget;

class AdmItem {
  public:
    virtual ~AdmItem();
    AdmItem(const AdmItem&) = delete;
    AdmItem& operator=(const AdmItem&) = delete;

    AdmDialog& Dialog() const { return dialog_; }
    ADMInt32 ID() const { return id_; }
    const std::string& TypeName() const { return typeName_; }
    QWidget* Widget() const { return widget_; }
    // The canvas of a custom item; null for the standard ones.
    virtual CanvasWidget* Canvas() const { return nullptr; }
    // The entries of a popup menu; null for other items.
    virtual AdmList* List() const { return nullptr; }

    ADMItemRef Ref() { return reinterpret_cast<ADMItemRef>(this); }

    void SetText(const std::string& text);
    virtual std::string Text() const { return text_; }
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

    // The value the item shows a person: a number, a check, a menu's entries, or none.
    using Shown = std::variant<std::monostate, float, bool, const AdmList*>;
    virtual Shown ShownValue() const { return {}; }
    // The item's widget changed size.
    virtual void Resized() {}

    // A tracker event for this item; true when the callback handled it.
    bool Track(AdmTracker& tracker);
    // Tells the plug-in that the value changed: the item's notify callback, else the default.
    void Notify(const char* type);
    void DefaultNotify(AdmNotifier& notifier);

    ADMItemDrawProc draw = nullptr;
    ADMItemTrackProc track = nullptr;
    ADMItemNotifyProc notify = nullptr;
    ADMInt32 mask = kADMDefaultItemMask;
    ADMUserData userData = nullptr;

  protected:
    AdmItem(AdmDialog& dialog, ADMInt32 id, std::string typeName);
    // Each kind's constructor hands over the widget it made on the dialog, then shows the value.
    void Adopt(QWidget* widget);
    // Puts the value on the widget without any notifier firing.
    void ShowValue();
    int Precision() const { return precision_; }

    // The text the plug-in set, to show on the widget.
    virtual void ShowText(const std::string&) {}
    // The value and limits, to show on the widget; notifiers are held back meanwhile.
    virtual void PutValue() {}
    // A change of the picture resource.
    virtual void ShowPicture() {}

    std::string text_;
    float value_ = 0;
    bool boolean_ = false;
    // Set while the host itself changes a widget, so no notifier fires.
    bool updating_ = false;

  private:
    AdmDialog& dialog_;
    ADMInt32 id_;
    std::string typeName_;
    LentHandle lent_;
    QWidget* widget_ = nullptr;
    std::optional<InstalledFilter> filter_;
    float minimum_ = 0, maximum_ = 100;
    int precision_ = 0;
    ADMInt32 picture_ = 0;
};

// Whether the dialog manager has items of a type name.
bool IsItemType(const std::string& typeName);
// A new item of a type name on a dialog; null for a type the dialog manager does not know.
std::unique_ptr<AdmItem> MakeItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);

} // namespace quillon::ui
