#include "dialog/AdmWrappers.h"

#include "pluginapi/PIUIHooks.h"
#include "suites/SuiteHolder.h"

namespace quillon::dialog {
namespace {

using suites::SuiteHolder;
using suites::Use;

SuiteHolder gBasic{nullptr, kADMBasicSuiteVersion8, kADMBasicSuite, 0};
SuiteHolder gDialog{nullptr, kADMDialogSuiteVersion4, kADMDialogSuite, 0};
SuiteHolder gItem{nullptr, kADMItemSuiteVersion3, kADMItemSuite, 0};
SuiteHolder gDrawer{nullptr, kADMDrawerSuiteVersion3, kADMDrawerSuite, 0};
SuiteHolder gImage{nullptr, kADMImageSuiteVersion2, kADMImageSuite, 0};
SuiteHolder gIcon{nullptr, kADMIconSuiteVersion1, kADMIconSuite, 0};
SuiteHolder gNotifier{nullptr, kADMNotifierSuiteVersion1, kADMNotifierSuite, 0};
SuiteHolder gTracker{nullptr, kADMTrackerSuiteVersion1, kADMTrackerSuite, 0};
SuiteHolder gEntry{nullptr, kADMEntrySuiteVersion2, kADMEntrySuite, 0};
SuiteHolder gList{nullptr, kADMListSuiteVersion1, kADMListSuite, 0};
SuiteHolder gUIHooks{nullptr, kPSUIHooksSuiteVersion3, kPSUIHooksSuite, 0};

const ADMBasicSuite8& BasicSuite() {
    return Use<ADMBasicSuite8>(gBasic);
}
const ADMDialogSuite4& DialogSuite() {
    return Use<ADMDialogSuite4>(gDialog);
}
const ADMItemSuite3& ItemSuite() {
    return Use<ADMItemSuite3>(gItem);
}
const ADMDrawerSuite3& DrawerSuite() {
    return Use<ADMDrawerSuite3>(gDrawer);
}
const ADMImageSuite2& ImageSuite() {
    return Use<ADMImageSuite2>(gImage);
}
const ADMIconSuite1& IconSuite() {
    return Use<ADMIconSuite1>(gIcon);
}
const ADMNotifierSuite1& NotifierSuite() {
    return Use<ADMNotifierSuite1>(gNotifier);
}
const ADMTrackerSuite1& TrackerSuite() {
    return Use<ADMTrackerSuite1>(gTracker);
}
const ADMEntrySuite2& EntrySuite() {
    return Use<ADMEntrySuite2>(gEntry);
}
const ADMListSuite1& ListSuite() {
    return Use<ADMListSuite1>(gList);
}

} // namespace

ModalSession* ModalSession::Of(ADMDialogRef dialog) noexcept {
    // The dialog suite was acquired before any callback could run.
    if (!gDialog.suite || !dialog) return nullptr;
    return static_cast<ModalSession*>(
        static_cast<const ADMDialogSuite4*>(gDialog.suite)->GetUserData(dialog));
}

ADMInt32 ModalSession::Finish(ADMInt32 result) {
    if (abandoned_) {
        const int32_t code = *abandoned_;
        abandoned_.reset();
        throw suites::HostError{code};
    }
    // The host has told the user why the dialog could not be built.
    if (result == kADMDialogFailedResult) throw suites::HostError{kSPBadParameterError};
    return result;
}

void detail::AbandonDialog(ADMDialogRef dialog, int32_t code) noexcept {
    if (ModalSession* session = ModalSession::Of(dialog)) session->Abandon(code);
    if (gDialog.suite && dialog)
        static_cast<const ADMDialogSuite4*>(gDialog.suite)->EndModal(dialog, 2, true);
}

ADMDialogRef detail::DialogOfItem(ADMItemRef item) noexcept {
    // The item suite was acquired before the item could call back.
    return gItem.suite && item ? static_cast<const ADMItemSuite3*>(gItem.suite)->GetDialog(item)
                               : nullptr;
}

ADMPoint Tracker::Point() const {
    ADMPoint point{};
    TrackerSuite().GetPoint(ref_, &point);
    return point;
}
ADMInt32 Tracker::Action() const {
    return TrackerSuite().GetAction(ref_);
}
ADMInt32 Tracker::Modifiers() const {
    return TrackerSuite().GetModifiers(ref_);
}
bool Tracker::TestAction(ADMInt32 action) const {
    return TrackerSuite().TestAction(ref_, action);
}
bool Tracker::TestModifier(ADMInt32 modifier) const {
    return TrackerSuite().TestModifier(ref_, modifier);
}
ADMInt32 Tracker::VirtualKey() const {
    return TrackerSuite().GetVirtualKey(ref_);
}

Tracker CurrentState() {
    return Tracker(nullptr);
}

Item Notifier::GetItem() const {
    return Item(NotifierSuite().GetItem(ref_));
}
Dialog Notifier::GetDialog() const {
    return Dialog(NotifierSuite().GetDialog(ref_));
}
bool Notifier::IsType(const char* type) const {
    return NotifierSuite().IsNotifierType(ref_, type);
}

void Drawer::SetRGBColor(uint16_t red, uint16_t green, uint16_t blue) {
    const ADMRGBColor color{red, green, blue};
    DrawerSuite().SetRGBColor(ref_, &color);
}
void Drawer::SetColor(ADMInt32 standardColor) {
    DrawerSuite().SetADMColor(ref_, standardColor);
}
void Drawer::SetDrawMode(ADMInt32 mode) {
    DrawerSuite().SetDrawMode(ref_, mode);
}
void Drawer::Line(ADMPoint from, ADMPoint to) {
    DrawerSuite().DrawLine(ref_, &from, &to);
}
void Drawer::Polygon(std::span<const ADMPoint> points) {
    DrawerSuite().DrawPolygon(ref_, points.data(), static_cast<ADMInt32>(points.size()));
}
void Drawer::Rect(const ADMRect& rect) {
    DrawerSuite().DrawRect(ref_, &rect);
}
void Drawer::FillRect(const ADMRect& rect) {
    DrawerSuite().FillRect(ref_, &rect);
}
void Drawer::SunkenRect(const ADMRect& rect) {
    DrawerSuite().DrawSunkenRect(ref_, &rect);
}
void Drawer::RaisedRect(const ADMRect& rect) {
    DrawerSuite().DrawRaisedRect(ref_, &rect);
}
void Drawer::IconCentered(const Icon& icon, const ADMRect& rect) {
    DrawerSuite().DrawIconCentered(ref_, icon.Ref(), &rect);
}
void Drawer::DrawImage(const Image& image, ADMPoint topLeft) {
    DrawerSuite().DrawADMImage(ref_, image.Ref(), &topLeft);
}

ItemDrawer::ItemDrawer(const Item& item) : Drawer(ItemSuite().CreateDrawer(item.Ref())) {
    if (!Ref()) throw suites::HostError{kSPBadParameterError};
}
ItemDrawer::~ItemDrawer() {
    ItemSuite().DestroyDrawer(Ref());
}

void Entry::SetText(const char* text) {
    EntrySuite().SetText(ref_, text);
}
void Entry::SetSeparator(bool separator) {
    EntrySuite().SetSeparator(ref_, separator);
}
void Entry::SetID(ADMInt32 id) {
    EntrySuite().SetID(ref_, id);
}
ADMInt32 Entry::ID() const {
    return EntrySuite().GetID(ref_);
}
ADMInt32 Entry::Index() const {
    return EntrySuite().GetIndex(ref_);
}
void Entry::Select(bool select) {
    EntrySuite().Select(ref_, select);
}

Entry List::Insert(ADMInt32 index) {
    ADMEntryRef entry = ListSuite().InsertEntry(ref_, index);
    if (!entry) throw suites::HostError{kSPBadParameterError};
    return Entry(entry);
}
void List::Remove(ADMInt32 index) {
    ListSuite().RemoveEntry(ref_, index);
}
ADMInt32 List::Count() const {
    return ListSuite().NumberOfEntries(ref_);
}
Entry List::At(ADMInt32 index) const {
    ADMEntryRef entry = ListSuite().IndexEntry(ref_, index);
    if (!entry) throw suites::HostError{kSPBadParameterError};
    return Entry(entry);
}
ADMInt32 List::ActiveID() const {
    ADMEntryRef entry = ListSuite().GetActiveEntry(ref_);
    return entry ? EntrySuite().GetID(entry) : -1;
}

void Item::SetDrawProc(ADMItemDrawProc proc) {
    ItemSuite().SetDrawProc(ref_, proc);
}
void Item::SetTrackProc(ADMItemTrackProc proc) {
    ItemSuite().SetTrackProc(ref_, proc);
}
bool Item::DefaultTrack(const Tracker& tracker) {
    return ItemSuite().DefaultTrack(ref_, tracker.Ref());
}
void Item::SetMask(ADMInt32 mask) {
    ItemSuite().SetMask(ref_, mask);
}
void Item::SetNotifyProc(ADMItemNotifyProc proc) {
    ItemSuite().SetNotifyProc(ref_, proc);
}
void Item::DefaultNotify(const Notifier& notifier) {
    ItemSuite().DefaultNotify(ref_, notifier.Ref());
}
void Item::SetUserData(ADMUserData data) {
    ItemSuite().SetUserData(ref_, data);
}
ADMUserData Item::UserData() const {
    return ItemSuite().GetUserData(ref_);
}
ADMInt32 Item::ID() const {
    return ItemSuite().GetID(ref_);
}
Dialog Item::GetDialog() const {
    return Dialog(ItemSuite().GetDialog(ref_));
}
ADMRect Item::Bounds() const {
    ADMRect rect{};
    ItemSuite().GetBoundsRect(ref_, &rect);
    return rect;
}
void Item::SetBounds(const ADMRect& bounds) {
    ItemSuite().SetBoundsRect(ref_, &bounds);
}
ADMRect Item::LocalRect() const {
    ADMRect rect{};
    ItemSuite().GetLocalRect(ref_, &rect);
    return rect;
}
ADMPoint Item::ScreenToLocal(ADMPoint point) const {
    ItemSuite().ScreenToLocalPoint(ref_, &point);
    return point;
}
void Item::Invalidate() {
    ItemSuite().Invalidate(ref_);
}
void Item::Enable(bool enable) {
    ItemSuite().Enable(ref_, enable);
}
bool Item::IsEnabled() const {
    return ItemSuite().IsEnabled(ref_);
}
void Item::SetText(const char* text) {
    ItemSuite().SetText(ref_, text);
}
void Item::SetFloatValue(float value) {
    ItemSuite().SetFloatValue(ref_, value);
}
float Item::FloatValue() const {
    return ItemSuite().GetFloatValue(ref_);
}
void Item::SetRange(float minimum, float maximum) {
    ItemSuite().SetMinFloatValue(ref_, minimum);
    ItemSuite().SetMaxFloatValue(ref_, maximum);
}
void Item::SetPrecision(ADMInt32 decimals) {
    ItemSuite().SetPrecision(ref_, decimals);
}
void Item::SetBooleanValue(bool value) {
    ItemSuite().SetBooleanValue(ref_, value);
}
bool Item::BooleanValue() const {
    return ItemSuite().GetBooleanValue(ref_);
}
void Item::SetPictureID(ADMInt32 resourceID) {
    ItemSuite().SetPictureID(ref_, resourceID);
}
List Item::GetList() const {
    ADMListRef list = ItemSuite().GetList(ref_);
    if (!list) throw suites::HostError{kSPBadParameterError};
    return List(list);
}

ADMInt32 Dialog::Modal(ADMPluginRef plugin, const char* name, ADMInt32 resourceID, ADMInt32 style,
                       ADMDialogInitProc init, ModalSession& session, ADMInt32 options) {
    return session.Finish(
        DialogSuite().Modal(plugin, name, resourceID, style, init, &session, options));
}

ADMInt32 Dialog::PopupModal(ADMPluginRef plugin, const char* name, ADMInt32 resourceID,
                            ADMDialogInitProc init, ModalSession& session, ADMInt32 options) {
    return session.Finish(
        DialogSuite().PopupModal(plugin, name, resourceID, init, &session, options));
}

void Dialog::EndModal(ADMInt32 itemID, bool cancelling) {
    DialogSuite().EndModal(ref_, itemID, cancelling);
}
ADMUserData Dialog::UserData() const {
    return DialogSuite().GetUserData(ref_);
}
void Dialog::SetTitle(const char* text) {
    DialogSuite().SetText(ref_, text);
}
ADMRect Dialog::Bounds() const {
    ADMRect rect{};
    DialogSuite().GetBoundsRect(ref_, &rect);
    return rect;
}
void Dialog::SetBounds(const ADMRect& bounds) {
    DialogSuite().SetBoundsRect(ref_, &bounds);
}
ADMRect Dialog::LocalRect() const {
    ADMRect rect{};
    DialogSuite().GetLocalRect(ref_, &rect);
    return rect;
}
void Dialog::SetMinimumSize(ADMInt32 width, ADMInt32 height) {
    DialogSuite().SetMinWidth(ref_, width);
    DialogSuite().SetMinHeight(ref_, height);
}
void Dialog::SetTrackProc(ADMDialogTrackProc proc) {
    DialogSuite().SetTrackProc(ref_, proc);
}
bool Dialog::DefaultTrack(const Tracker& tracker) {
    return DialogSuite().DefaultTrack(ref_, tracker.Ref());
}
void Dialog::SetMask(ADMInt32 mask) {
    DialogSuite().SetMask(ref_, mask);
}
void Dialog::SetNotifyProc(ADMDialogNotifyProc proc) {
    DialogSuite().SetNotifyProc(ref_, proc);
}
void Dialog::DefaultNotify(const Notifier& notifier) {
    DialogSuite().DefaultNotify(ref_, notifier.Ref());
}
void Dialog::Invalidate() {
    DialogSuite().Invalidate(ref_);
}
Item Dialog::GetItem(ADMInt32 itemID) const {
    ADMItemRef item = DialogSuite().GetItem(ref_, itemID);
    if (!item) throw suites::HostError{kSPBadParameterError};
    return Item(item);
}
Item Dialog::CreateItem(const char* itemType, const ADMRect& bounds, ADMInt32 itemID) {
    ADMItemRef item = DialogSuite().CreateItem(ref_, itemID, itemType, &bounds, nullptr, nullptr);
    if (!item) throw suites::HostError{kSPBadParameterError};
    return Item(item);
}
ADMTimerID Dialog::CreateTimer(ADMInt32 milliseconds, ADMDialogTimerProc proc) {
    return DialogSuite().CreateTimer(ref_, milliseconds, proc);
}
void Dialog::AbortTimer(ADMTimerID timer) {
    DialogSuite().AbortTimer(ref_, timer);
}
void* Dialog::WindowRef() const {
    return DialogSuite().GetWindowRef(ref_);
}

Image::Image(ADMInt32 width, ADMInt32 height) : ref_(ImageSuite().Create(width, height)) {
    if (!ref_) throw suites::HostError{kSPBadParameterError};
}
Image::~Image() {
    ImageSuite().Destroy(ref_);
}
ADMInt32 Image::Width() const {
    return ImageSuite().GetWidth(ref_);
}
ADMInt32 Image::Height() const {
    return ImageSuite().GetHeight(ref_);
}
ADMInt32 Image::RowBytes() const {
    return ImageSuite().GetByteWidth(ref_);
}
ADMInt32 Image::BitsPerPixel() const {
    return ImageSuite().GetBitsPerPixel(ref_);
}

Image::Pixels::Pixels(Image& image)
    : image_(image), base_(ImageSuite().BeginBaseAddressAccess(image.Ref())),
      rowBytes_(image.RowBytes()) {
    if (!base_) throw suites::HostError{kSPBadParameterError};
}
Image::Pixels::~Pixels() {
    ImageSuite().EndBaseAddressAccess(image_.Ref());
}

Icon::Icon(ADMPluginRef plugin, ADMInt32 resourceID)
    : ref_(IconSuite().GetFromResource(plugin, resourceID, 0)) {
    if (!ref_) throw suites::HostError{kSPBadParameterError};
}
Icon::~Icon() {
    IconSuite().Destroy(ref_);
}
ADMInt32 Icon::Width() const {
    return IconSuite().GetWidth(ref_);
}
ADMInt32 Icon::Height() const {
    return IconSuite().GetHeight(ref_);
}

void ErrorAlert(const char* text) {
    BasicSuite().ErrorAlert(text);
}

ADMRect ScreenWorkArea() {
    ADMRect area{};
    BasicSuite().GetScreenDimensions(nullptr, &area);
    return area;
}

void SetCursor(const char* cursorName) {
    Use<PSUIHooksSuite1>(gUIHooks).SetCursor(cursorName);
}

} // namespace quillon::dialog
