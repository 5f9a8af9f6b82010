// The host's dialog manager as the plug-in uses it: thin wrappers over the ten suites, acquired
// on first use. A suite the host cannot give abandons the operation with a HostError (after the
// message), and so does an item or dialog the host cannot make.
#pragma once

#include "pluginapi/ADMSuites.h"

#include <optional>
#include <span>

namespace quillon::dialog {

class Dialog;
class Item;
class Icon;
class Image;

class Tracker {
  public:
    explicit Tracker(ADMTrackerRef ref) : ref_(ref) {}
    ADMPoint Point() const;
    ADMInt32 Action() const;
    ADMInt32 Modifiers() const;
    bool TestAction(ADMInt32 action) const;
    bool TestModifier(ADMInt32 modifier) const;
    ADMInt32 VirtualKey() const;
    ADMTrackerRef Ref() const { return ref_; }

  private:
    ADMTrackerRef ref_;
};

// The mouse point on the screen and the keys held now, outside any track callback.
Tracker CurrentState();

class Notifier {
  public:
    explicit Notifier(ADMNotifierRef ref) : ref_(ref) {}
    Item GetItem() const;
    Dialog GetDialog() const;
    bool IsType(const char* notifierType) const;
    ADMNotifierRef Ref() const { return ref_; }

  private:
    ADMNotifierRef ref_;
};

class Drawer {
  public:
    explicit Drawer(ADMDrawerRef ref) : ref_(ref) {}
    void SetRGBColor(uint16_t red, uint16_t green, uint16_t blue);
    void SetColor(ADMInt32 standardColor);
    void SetDrawMode(ADMInt32 mode);
    void Line(ADMPoint from, ADMPoint to);
    void Polygon(std::span<const ADMPoint> points);
    void Rect(const ADMRect& rect);
    void FillRect(const ADMRect& rect);
    void SunkenRect(const ADMRect& rect);
    void RaisedRect(const ADMRect& rect);
    void IconCentered(const Icon& icon, const ADMRect& rect);
    void DrawImage(const Image& image, ADMPoint topLeft);
    ADMDrawerRef Ref() const { return ref_; }

  private:
    ADMDrawerRef ref_;
};

// A drawer on an item's window that paints at once; released when it goes out of scope.
class ItemDrawer : public Drawer {
  public:
    explicit ItemDrawer(const Item& item);
    ~ItemDrawer();
    ItemDrawer(const ItemDrawer&) = delete;
    ItemDrawer& operator=(const ItemDrawer&) = delete;
};

class Entry {
  public:
    explicit Entry(ADMEntryRef ref) : ref_(ref) {}
    void SetText(const char* text);
    void SetSeparator(bool separator);
    void SetID(ADMInt32 id);
    ADMInt32 ID() const;
    ADMInt32 Index() const;
    void Select(bool select);
    ADMEntryRef Ref() const { return ref_; }

  private:
    ADMEntryRef ref_;
};

class List {
  public:
    explicit List(ADMListRef ref) : ref_(ref) {}
    Entry Insert(ADMInt32 index);
    void Remove(ADMInt32 index);
    ADMInt32 Count() const;
    Entry At(ADMInt32 index) const;
    // The entry the user chose; id -1 when none.
    ADMInt32 ActiveID() const;

  private:
    ADMListRef ref_;
};

class Item {
  public:
    explicit Item(ADMItemRef ref) : ref_(ref) {}
    void SetDrawProc(ADMItemDrawProc proc);
    void SetTrackProc(ADMItemTrackProc proc);
    bool DefaultTrack(const Tracker& tracker);
    void SetMask(ADMInt32 mask);
    void SetNotifyProc(ADMItemNotifyProc proc);
    void DefaultNotify(const Notifier& notifier);
    void SetUserData(ADMUserData data);
    ADMUserData UserData() const;
    ADMInt32 ID() const;
    Dialog GetDialog() const;
    ADMRect Bounds() const;
    void SetBounds(const ADMRect& bounds);
    ADMRect LocalRect() const;
    ADMPoint ScreenToLocal(ADMPoint screenPoint) const;
    void Invalidate();
    void Enable(bool enable);
    bool IsEnabled() const;
    void SetText(const char* text);
    void SetFloatValue(float value);
    float FloatValue() const;
    void SetRange(float minimum, float maximum);
    void SetPrecision(ADMInt32 decimals);
    void SetBooleanValue(bool value);
    bool BooleanValue() const;
    void SetPictureID(ADMInt32 resourceID);
    List GetList() const;
    ADMItemRef Ref() const { return ref_; }

  private:
    ADMItemRef ref_;
};

class Dialog;

// One modal run of a dialog. The dialog manager hands it back to every callback as the dialog's
// user data; it keeps the first failure of a callback, which the Modal call raises when the run
// ends. A dialog's own state derives from it.
class ModalSession {
  public:
    ModalSession() = default;
    virtual ~ModalSession() = default;
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;

    // The session of the dialog; null for a dialog not run through Dialog::Modal.
    static ModalSession* Of(ADMDialogRef dialog) noexcept;

    void Abandon(int32_t code) {
        if (!abandoned_) abandoned_ = code;
    }
    // Raises the failure kept, if any; the dialog manager's result otherwise.
    ADMInt32 Finish(ADMInt32 result);

  private:
    std::optional<int32_t> abandoned_;
};

class Dialog {
  public:
    explicit Dialog(ADMDialogRef ref) : ref_(ref) {}
    // Run the dialog of a module resource; the result is the closing item's id. A callback that
    // failed with a HostError ends the dialog, and the error is raised here.
    // The session is the dialog's user data for the whole run.
    static ADMInt32 Modal(ADMPluginRef plugin, const char* name, ADMInt32 resourceID,
                          ADMInt32 style, ADMDialogInitProc init, ModalSession& session,
                          ADMInt32 options);
    static ADMInt32 PopupModal(ADMPluginRef plugin, const char* name, ADMInt32 resourceID,
                               ADMDialogInitProc init, ModalSession& session, ADMInt32 options);

    void EndModal(ADMInt32 itemID, bool cancelling);
    ADMUserData UserData() const;
    void SetTitle(const char* text);
    ADMRect Bounds() const;
    void SetBounds(const ADMRect& bounds);
    ADMRect LocalRect() const;
    void SetMinimumSize(ADMInt32 width, ADMInt32 height);
    void SetTrackProc(ADMDialogTrackProc proc);
    bool DefaultTrack(const Tracker& tracker);
    void SetMask(ADMInt32 mask);
    void SetNotifyProc(ADMDialogNotifyProc proc);
    void DefaultNotify(const Notifier& notifier);
    void Invalidate();
    Item GetItem(ADMInt32 itemID) const;
    Item CreateItem(const char* itemType, const ADMRect& bounds, ADMInt32 itemID = 0);
    ADMTimerID CreateTimer(ADMInt32 milliseconds, ADMDialogTimerProc proc);
    void AbortTimer(ADMTimerID timer);
    void* WindowRef() const;
    ADMDialogRef Ref() const { return ref_; }

  private:
    ADMDialogRef ref_;
};

class Image {
  public:
    Image(ADMInt32 width, ADMInt32 height);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ADMInt32 Width() const;
    ADMInt32 Height() const;
    ADMInt32 RowBytes() const;
    ADMInt32 BitsPerPixel() const;
    ADMImageRef Ref() const { return ref_; }

    // Direct access to the blue-green-red pixels for as long as it lives.
    class Pixels {
      public:
        explicit Pixels(Image& image);
        ~Pixels();
        Pixels(const Pixels&) = delete;
        Pixels& operator=(const Pixels&) = delete;
        uint8_t* Row(ADMInt32 y) const { return base_ + ptrdiff_t(y) * rowBytes_; }

      private:
        Image& image_;
        uint8_t* base_;
        ptrdiff_t rowBytes_;
    };

  private:
    ADMImageRef ref_;
};

class Icon {
  public:
    Icon(ADMPluginRef plugin, ADMInt32 resourceID);
    ~Icon();
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;
    ADMInt32 Width() const;
    ADMInt32 Height() const;
    ADMIconRef Ref() const { return ref_; }

  private:
    ADMIconRef ref_;
};

void ErrorAlert(const char* text);
ADMRect ScreenWorkArea();

// Shows the host cursor of that name.
void SetCursor(const char* cursorName);

// The body of a callback handed to the dialog manager: a HostError it throws ends the dialog
// (cancelled) and is raised again by the Modal call that showed it. Returns whether the body ran
// to its end.
template <typename Body> bool Guarded(ADMDialogRef dialog, Body&& body) noexcept;

// The same for an item's callback: a failure ends the dialog that owns the item.
template <typename Body> bool GuardedItem(ADMItemRef item, Body&& body) noexcept;

namespace detail {
void AbandonDialog(ADMDialogRef dialog, int32_t code) noexcept;
ADMDialogRef DialogOfItem(ADMItemRef item) noexcept;
} // namespace detail

} // namespace quillon::dialog

#include "suites/HostError.h"

template <typename Body> bool quillon::dialog::Guarded(ADMDialogRef dialog, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (const suites::HostError& error) {
        detail::AbandonDialog(dialog, error.code);
    } catch (...) {
        detail::AbandonDialog(dialog, kSPBadParameterError);
    }
    return false;
}

template <typename Body> bool quillon::dialog::GuardedItem(ADMItemRef item, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (const suites::HostError& error) {
        detail::AbandonDialog(detail::DialogOfItem(item), error.code);
    } catch (...) {
        detail::AbandonDialog(detail::DialogOfItem(item), kSPBadParameterError);
    }
    return false;
}
