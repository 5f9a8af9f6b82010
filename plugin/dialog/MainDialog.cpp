#include "dialog/MainDialog.h"

#include "dialog/DialogObjects.h"
#include "dialog/Eyedroppers.h"
#include "dialog/HintLine.h"
#include "dialog/RememberedSample.h"
#include "dialog/SampleLoading.h"
#include "dialog/ToolButtons.h"
#include "resources/DialogResources.h"
#include "suites/PluginState.h"

#include <cstdio>
#include <initializer_list>
#include <optional>

namespace quillon::dialog {
namespace {

constexpr ADMInt32 kMainDialogStyle = 10;
constexpr ADMInt32 kMinimumWidth = 600;
constexpr ADMInt32 kMinimumHeight = 300;
constexpr ADMInt32 kModifierKeys =
    kADMControlKeyModifier | kADMShiftKeyModifier | kADMOptionKeyModifier;
// Ticks of the fuzziness slider per unit of the edit box.
constexpr float kSliderScale = 10.0f;
// The engine's fuzziness per unit of the edit box above 1.
constexpr float kFuzzinessPerUnit = 0.11111111f;
constexpr float kNoFuzzinessCaptured = -1.0f;

MainItems gItems{};
const MainDialogServices* gServices = nullptr;
bool gAltHeld = false;
bool gLayoutRunning = false;
// The engine's fuzziness when a slider drag began; kept from one opening to the next.
float gFuzzinessBeforeDrag = kNoFuzzinessCaptured;

engine::ColorEngine& Engine() {
    return suites::Engine();
}

// 9f + 1: the edit box's scale of the engine's fuzziness f.
float UserFuzziness(float f) {
    return 9.0f * f + 1.0f;
}

float EngineFuzziness(float user) {
    return (user - 1.0f) * kFuzzinessPerUnit;
}

struct ImageSize {
    int32_t width, height;
};

ImageSize DocumentSize() {
    const FilterRecord& record = *suites::State().filterRecord;
    if (record.bigDocumentData)
        return {record.bigDocumentData->imageSize32.h, record.bigDocumentData->imageSize32.v};
    return {record.imageSize.h, record.imageSize.v};
}

void Place(Item item, int32_t x, int32_t y, int32_t width, int32_t height) {
    item.SetBounds({x, y, x + width, y + height});
}

// Keeps the item's height.
void PlaceKeepingHeight(Item item, int32_t x, int32_t y, int32_t width) {
    const ADMRect bounds = item.Bounds();
    Place(item, x, y, width, bounds.bottom - bounds.top);
}

// The zoom's label shows its factor and its menu checks its level (none for the hidden one).
void ShowZoom(Dialog dialog, const ZoomControl& zoom) {
    const bool left = &zoom == &LeftZoom();
    char text[32];
    std::snprintf(text, sizeof text, "%3.2f%%", zoom.Factor() * 100.0);
    dialog.GetItem(left ? gItems.leftZoomLabel : gItems.rightZoomLabel).SetText(text);
    const List menu = dialog.GetItem(left ? gItems.leftZoomMenu : gItems.rightZoomMenu).GetList();
    for (ADMInt32 i = 0; i < menu.Count(); ++i) {
        Entry entry = menu.At(i);
        entry.Select(entry.ID() == zoom.Level());
    }
}

void OnZoomChanged(ZoomControl& zoom, Dialog dialog, bool fitOnScreen) {
    if (fitOnScreen) {
        FitDialogToScreen(dialog);
    } else {
        QLNImagePane& pane = &zoom == &LeftZoom() ? static_cast<QLNImagePane&>(LeftPane())
                                                  : static_cast<QLNImagePane&>(RightPane());
        pane.CenterOn(std::nullopt);
        pane.GetItem().Invalidate();
    }
    ShowZoom(dialog, zoom);
}

// --- the custom items' callbacks ------------------------------------------------------------

template <typename Pane> void DrawPane(Pane& pane, ADMItemRef item, ADMDrawerRef drawerRef) {
    GuardedItem(item, [&] {
        Drawer drawer(drawerRef);
        Pane::Draw(pane, drawer);
    });
}

template <typename Pane> void TrackPane(Pane& pane, ADMItemRef item, ADMTrackerRef trackerRef) {
    GuardedItem(item, [&] { Pane::Track(pane, Tracker(trackerRef)); });
}

void DrawLeftPane(ADMItemRef item, ADMDrawerRef drawer) noexcept {
    DrawPane<QLNImagePane>(LeftPane(), item, drawer);
}
ADMBoolean TrackLeftPane(ADMItemRef item, ADMTrackerRef tracker) noexcept {
    TrackPane<QLNImagePane>(LeftPane(), item, tracker);
    return false;
}
void DrawRightPane(ADMItemRef item, ADMDrawerRef drawer) noexcept {
    DrawPane<QLNImagePane>(RightPane(), item, drawer);
}
ADMBoolean TrackRightPane(ADMItemRef item, ADMTrackerRef tracker) noexcept {
    TrackPane<QLNImagePane>(RightPane(), item, tracker);
    return false;
}
void DrawSwatches(ADMItemRef item, ADMDrawerRef drawer) noexcept {
    DrawPane<SwatchPane>(Swatches(), item, drawer);
}
ADMBoolean TrackSwatches(ADMItemRef item, ADMTrackerRef tracker) noexcept {
    TrackPane<SwatchPane>(Swatches(), item, tracker);
    return false;
}

// --- history --------------------------------------------------------------------------------

// Undo and redo show their effects through the dialog's controls and frames.
class DialogHistoryView : public history::HistoryView {
  public:
    explicit DialogHistoryView(Dialog dialog) : dialog_(dialog) {}
    void RefreshAfterRemoval() override { RefreshAfterRecordChange(); }
    void RefreshAfterRecordChange() override {
        // The selection moved with the table: each pane's mark follows it.
        PlaceLeftSampler();
        PlaceRightSampler();
        Swatches().GetItem().Invalidate();
        LeftPane().GetItem().Invalidate();
        UpdateControlStates(dialog_);
    }
    void ShowFuzziness(float) override {
        SyncFuzzinessControls(dialog_);
        LeftPane().GetItem().Invalidate();
    }
    void ShowPreserveLuminosity(bool) override {
        SyncFuzzinessControls(dialog_);
        LeftPane().GetItem().Invalidate();
    }
    void SnapshotSelection() override { TakeSelectionSnapshot(); }

  private:
    Dialog dialog_;
};

// A commit that leaves the fuzziness as it was (a click on the slider's handle, the same number
// typed again) is no edit to undo.
void RecordFuzziness(float before, float after) {
    if (before == after) return;
    history::HistoryEntry entry;
    entry.kind = history::EditKind::Fuzz;
    entry.fuzzinessBefore = before;
    entry.fuzzinessAfter = after;
    History().Push(entry);
}

void RecordLuminosity() {
    history::HistoryEntry entry;
    entry.kind = history::EditKind::Lum;
    History().Push(entry);
}

bool UndoEdit(Dialog dialog) {
    DialogHistoryView view(dialog);
    return History().Undo(Engine(), view);
}

bool RedoEdit(Dialog dialog) {
    DialogHistoryView view(dialog);
    return History().Redo(Engine(), view);
}

// --- notifications --------------------------------------------------------------------------

void OnSliderMoved(Dialog dialog, Item slider) {
    if (gFuzzinessBeforeDrag == kNoFuzzinessCaptured) gFuzzinessBeforeDrag = Engine().Fuzziness();
    const float user = slider.FloatValue() * (1.0f / kSliderScale);
    dialog.GetItem(gItems.fuzzinessEdit).SetFloatValue(user);
    Engine().SetFuzziness(EngineFuzziness(user));
    LeftPane().GetItem().Invalidate();
}

// A value committed without a drag before it (a key, a click on the groove) is applied here, so
// the history never records a change that did not happen.
void OnSliderCommitted(Dialog dialog, Item slider) {
    const float user = slider.FloatValue() * (1.0f / kSliderScale);
    if (gFuzzinessBeforeDrag == kNoFuzzinessCaptured ||
        EngineFuzziness(user) != Engine().Fuzziness())
        OnSliderMoved(dialog, slider);
    RecordFuzziness(gFuzzinessBeforeDrag, Engine().Fuzziness());
    gFuzzinessBeforeDrag = kNoFuzzinessCaptured;
}

void OnFuzzinessEdited(Dialog dialog, Item edit) {
    const float user = edit.FloatValue();
    dialog.GetItem(gItems.slider).SetFloatValue(user * kSliderScale);
    const float before = Engine().Fuzziness();
    Engine().SetFuzziness(EngineFuzziness(user));
    RecordFuzziness(before, Engine().Fuzziness());
    LeftPane().GetItem().Invalidate();
}

void OnLuminosityChanged(Item box) {
    Engine().SetPreserveLuminosity(box.BooleanValue());
    LeftPane().GetItem().Invalidate();
    RecordLuminosity();
}

// Alt-Open Sample goes back to the built-in sample and forgets the file.
void OnOpenSample(Dialog dialog) {
    bool changed = false;
    if (gAltHeld) {
        suites::State().sampleFilePath[0] = 0;
        LoadBuiltInSample();
        changed = true;
    } else {
        ChooseSampleFile(dialog);
        changed = RightPane().HasUserSample();
    }
    if (changed) {
        RememberSample(suites::State().basic, suites::State().sampleFilePath);
        RightZoom().SetLevelFitAtMost100();
        RightPane().ComputeGeometry();
        RightPane().GetItem().Invalidate();
    }
    UpdateControlStates(dialog);
    ShowZoom(dialog, RightZoom());
}

// Returns false when the notification is to go no further.
bool OnUserChanged(Dialog dialog, Item item) {
    const ADMInt32 id = item.ID();
    if (id == kCancelItem && gAltHeld) {
        ResetAdjustments(dialog);
        return false;
    }
    if (id == kOKItem)
        suites::State().dialogAccepted = true;
    else if (id == kOpenSampleItem)
        OnOpenSample(dialog);
    else if (id == gItems.slider)
        OnSliderCommitted(dialog, item);
    else if (id == gItems.fuzzinessEdit)
        OnFuzzinessEdited(dialog, item);
    else if (id == gItems.checkBox)
        OnLuminosityChanged(item);
    else if (id == gItems.leftZoomMenu)
        LeftZoom().OnMenuChoice(item);
    else if (id == gItems.rightZoomMenu)
        RightZoom().OnMenuChoice(item);
    return true;
}

void NotifyMainDialog(ADMDialogRef ref, ADMNotifierRef notifierRef) noexcept {
    Guarded(ref, [&] {
        Dialog dialog(ref);
        const Notifier notifier(notifierRef);
        if (notifier.IsType(kADMBoundsChangedNotifier)) {
            LayoutDialog(dialog);
        } else if (notifier.IsType(kADMIntermediateChangedNotifier)) {
            const Item item = notifier.GetItem();
            if (item.Ref() && item.ID() == gItems.slider) OnSliderMoved(dialog, item);
        } else if (notifier.IsType(kADMUserChangedNotifier)) {
            const Item item = notifier.GetItem();
            if (item.Ref() && !OnUserChanged(dialog, item)) return;
        }
        dialog.DefaultNotify(notifier);
    });
}

// --- keys -----------------------------------------------------------------------------------

void ShowAltLabels(Dialog dialog, bool alt) {
    gAltHeld = alt;
    dialog.GetItem(kCancelItem).SetText(alt ? "Reset" : "Cancel");
    dialog.GetItem(kOpenSampleItem).SetText(alt ? "Close Sample" : "Open Sample");
}

// A key with exactly the modifiers given; nullopt when it is none of the dialog's shortcuts.
std::optional<bool> Shortcut(Dialog dialog, const Tracker& tracker) {
    const ADMInt32 key = tracker.VirtualKey();
    const ADMInt32 modifiers = tracker.Modifiers() & kModifierKeys;
    const ADMInt32 ctrl = kADMControlKeyModifier;
    const ADMInt32 ctrlShift = kADMControlKeyModifier | kADMShiftKeyModifier;
    if (key == '=' && modifiers == ctrl) {
        LeftZoom().ZoomIn(dialog);
        return true;
    }
    if (key == '-' && modifiers == ctrl) {
        LeftZoom().ZoomOut(dialog);
        return true;
    }
    if (key == 'Z' && modifiers == ctrl) return UndoEdit(dialog);
    if ((key == 'Z' && modifiers == ctrlShift) || (key == 'Y' && modifiers == ctrl))
        return RedoEdit(dialog);
    return std::nullopt;
}

ADMBoolean TrackMainDialog(ADMDialogRef ref, ADMTrackerRef trackerRef) noexcept {
    bool handled = false;
    Guarded(ref, [&] {
        Dialog dialog(ref);
        const Tracker tracker(trackerRef);
        switch (tracker.Action()) {
        case kADMShiftKeyDownAction:
            LeftPane().OnShiftDown();
            break;
        case kADMShiftKeyUpAction:
            LeftPane().OnShiftUp();
            break;
        case kADMAltKeyDownAction:
            ShowAltLabels(dialog, true);
            break;
        case kADMAltKeyUpAction:
            ShowAltLabels(dialog, false);
            break;
        case kADMKeyStrokeAction:
            if (const std::optional<bool> result = Shortcut(dialog, tracker)) {
                handled = *result;
                if (handled) return;
            }
            break;
        default:
            break;
        }
        handled = dialog.DefaultTrack(tracker);
    });
    return handled;
}

// --- creation -------------------------------------------------------------------------------

constexpr ADMRect kNoBounds = {0, 0, 0, 0};

Item CreateFrame(Dialog dialog, const char* failure) {
    try {
        return dialog.CreateItem(kADMFrameType, kNoBounds);
    } catch (const suites::HostError&) {
        ErrorAlert(failure);
        throw;
    }
}

void BindPane(QLNImagePane& pane, Item frame, ADMItemDrawProc draw, ADMItemTrackProc track,
              ZoomControl& zoom, PaneEventCallback events) {
    frame.SetDrawProc(draw);
    frame.SetTrackProc(track);
    frame.SetMask(kADMAllActionsMask);
    pane.Bind(frame.Ref());
    pane.SetZoomControl(&zoom);
    pane.SetEngine(&Engine());
    pane.SetHintCallback(&UpdateHint);
    pane.SetEventCallback(events);
}

Item CreateStandard(Dialog dialog, const char* type) {
    Item item = dialog.CreateItem(type, kNoBounds);
    item.SetTrackProc(&StandardTrack);
    item.SetMask(kADMAllActionsMask);
    return item;
}

void CreateZoomItems(Dialog dialog, ZoomControl& zoom, ADMInt32& menuID, ADMInt32& labelID) {
    Item menu = CreateStandard(dialog, kADMPopupMenuType);
    zoom.FillMenu(menu);
    zoom.SetChangedCallback(&OnZoomChanged);
    menuID = menu.ID();
    labelID = dialog.CreateItem(kADMTextStaticType, kNoBounds).ID();
}

void CreateItems(Dialog dialog) {
    for (ADMInt32 id : {kOKItem, kCancelItem, kOpenSampleItem}) {
        Item button = dialog.GetItem(id);
        button.SetTrackProc(&StandardTrack);
        button.SetMask(kADMAllActionsMask);
    }

    Item left = CreateFrame(dialog, "Could not create source frame");
    BindPane(LeftPane(), left, &DrawLeftPane, &TrackLeftPane, LeftZoom(), &OnLeftPaneEvent);
    LeftPane().SetShowSampler(true);
    LeftPane().SetLiveAdjustment(true);
    gItems.leftFrame = left.ID();

    Item right = CreateFrame(dialog, "Could not create target frame");
    BindPane(RightPane(), right, &DrawRightPane, &TrackRightPane, RightZoom(), &OnRightPaneEvent);
    gItems.rightFrame = right.ID();

    Item swatches = dialog.CreateItem(kADMFrameType, kNoBounds);
    swatches.SetDrawProc(&DrawSwatches);
    swatches.SetTrackProc(&TrackSwatches);
    swatches.SetMask(kADMAllActionsMask);
    Swatches().Bind(swatches.Ref());
    Swatches().SetEngine(&Engine());
    Swatches().SetChangeCallback(&OnSwatchEdit);
    Swatches().SetHintCallback(&UpdateHint);
    gItems.swatchFrame = swatches.ID();

    // The frame first: it paints its whole area, and the text must lie above it.
    gItems.hintFrame = dialog.CreateItem(kADMFrameType, kNoBounds).ID();
    Item hint = dialog.CreateItem(kADMTextStaticType, kNoBounds);
    hint.SetText("Enjoy this product");
    gItems.hintText = hint.ID();

    CreateZoomItems(dialog, LeftZoom(), gItems.leftZoomMenu, gItems.leftZoomLabel);
    CreateZoomItems(dialog, RightZoom(), gItems.rightZoomMenu, gItems.rightZoomLabel);

    for (QLNToolButton& button : ToolButtons()) {
        Item item = dialog.CreateItem(kADMPicturePushButtonType, kNoBounds);
        item.SetDrawProc(&DrawToolButton);
        item.SetTrackProc(&TrackToolButton);
        item.SetMask(kADMAllActionsMask);
        button.Bind(item.Ref());
        button.SetHintCallback(&UpdateHint);
    }

    Item label = dialog.CreateItem(kADMTextStaticType, kNoBounds);
    label.SetText("&Fuzziness:");
    gItems.fuzzinessLabel = label.ID();
    Item slider = CreateStandard(dialog, kADMSliderType);
    slider.SetRange(10.0f, 100.0f);
    gItems.slider = slider.ID();
    Item edit = CreateStandard(dialog, kADMTextEditType);
    edit.SetRange(1.0f, 10.0f);
    edit.SetPrecision(0);
    gItems.fuzzinessEdit = edit.ID();
    Item box = CreateStandard(dialog, kADMTextCheckBoxType);
    box.SetText("Preserve &Luminosity");
    gItems.checkBox = box.ID();
}

void InitMainDialog(ADMDialogRef ref) noexcept {
    Guarded(ref, [&] {
        Dialog dialog(ref);
        gAltHeld = false;
        gLayoutRunning = false;
        ForgetHoveredItem();
        ResetHintLine();

        dialog.SetBounds({0, 0, kMinimumWidth, kMinimumHeight});
        dialog.SetTitle("Nerrow Quillon");
        dialog.SetMinimumSize(kMinimumWidth, kMinimumHeight);
        dialog.SetMask(kADMAllActionsMask);
        dialog.SetTrackProc(&TrackMainDialog);
        CreateItems(dialog);

        SyncFuzzinessControls(dialog);
        LayoutDialog(dialog);
        ChooseTool(CurrentTool());
        dialog.SetNotifyProc(&NotifyMainDialog);

        suites::PluginState& state = suites::State();
        state.sampleFilePath[0] = 0;
        LoadRememberedSample(state.basic, state.sampleFilePath);
        // A remembered file that is gone or unreadable gives way to the chart without a word.
        if (!state.sampleFilePath[0] || !LoadSampleFile(state.sampleFilePath, true))
            LoadBuiltInSample();
        if (gServices && gServices->applyRecordedParameters) gServices->applyRecordedParameters();
        // The table is refilled at every opening, so earlier edits no longer name its records.
        History().Clear();
        TakeSelectionSnapshot();
        CheckRememberedPositions();

        FitDialogToScreen(dialog);
        PlaceLeftSampler();
        PlaceRightSampler();
        SyncFuzzinessControls(dialog);
        UpdateControlStates(dialog);
    });
}

} // namespace

const MainItems& MainDialogItems() {
    return gItems;
}

void ShowHintText(const char* text) {
    if (!gItems.hintText) return;
    LeftPane().GetItem().GetDialog().GetItem(gItems.hintText).SetText(text);
}

void UpdateControlStates(Dialog dialog) {
    const bool adjusting = Engine().UserCount() > 0;
    for (ADMInt32 id : {gItems.slider, gItems.fuzzinessEdit, gItems.checkBox})
        dialog.GetItem(id).Enable(adjusting);
    RightPane().SetActive(adjusting);
}

void SyncFuzzinessControls(Dialog dialog) {
    const float user = UserFuzziness(Engine().Fuzziness());
    dialog.GetItem(gItems.slider).SetFloatValue(user * kSliderScale);
    dialog.GetItem(gItems.fuzzinessEdit).SetFloatValue(user);
    dialog.GetItem(gItems.checkBox).SetBooleanValue(Engine().PreserveLuminosity());
}

//  +------------------+ Fuzziness [slider] [e]  [  OK  ]
//  | hint line        | [x] Luminosity  [Open] [Cancel]
//  +------------------+
//  [t] +----------+ +--+ +----------+
//  [t] |   left   | |sw| |  right   |
//  [t] |  P wide  | |  | |  P wide  |
//      +----------+ +--+ +----------+
//      [v] 100.00%       [v] 100.00%
void LayoutDialog(Dialog dialog) {
    if (gLayoutRunning) return;
    gLayoutRunning = true;
    struct Done {
        ~Done() { gLayoutRunning = false; }
    } done;

    const ADMRect local = dialog.LocalRect();
    const int32_t w = local.right - local.left;
    const int32_t h = local.bottom - local.top;
    const int32_t pane = (w - 126) / 2;
    const int32_t paneHeight = h - 110;

    PlaceKeepingHeight(dialog.GetItem(kOKItem), w - 110, 10, 100);
    PlaceKeepingHeight(dialog.GetItem(kCancelItem), w - 110, 40, 100);
    PlaceKeepingHeight(dialog.GetItem(kOpenSampleItem), w - 220, 40, 100);
    Place(dialog.GetItem(gItems.hintFrame), 10, 10, w - 395, 60);
    Place(dialog.GetItem(gItems.hintText), 20, 15, w - 415, 50);
    Place(dialog.GetItem(gItems.fuzzinessLabel), w - 365, 10, 70, 20);
    Place(dialog.GetItem(gItems.slider), w - 300, 10, 144, 21);
    Place(dialog.GetItem(gItems.fuzzinessEdit), w - 151, 10, 30, 16);
    Place(dialog.GetItem(gItems.checkBox), w - 365, 40, 140, 20);
    for (int32_t k = 0; k < 3; ++k)
        Place(Item(ToolButtons()[size_t(k)].ItemRef()), 10, 80 + 24 * k, 25, 20);
    Place(dialog.GetItem(gItems.leftFrame), 50, 80, pane, paneHeight);
    Place(dialog.GetItem(gItems.swatchFrame), pane + 55, 80, 56, paneHeight);
    Place(dialog.GetItem(gItems.rightFrame), pane + 116, 80, pane, paneHeight);
    Place(dialog.GetItem(gItems.leftZoomMenu), 50, h - 29, 14, 17);
    Place(dialog.GetItem(gItems.leftZoomLabel), 69, h - 26, 50, 17);
    Place(dialog.GetItem(gItems.rightZoomMenu), pane + 116, h - 29, 14, 17);
    Place(dialog.GetItem(gItems.rightZoomLabel), pane + 135, h - 26, 50, 17);

    // The panes and the zooms follow the new size.
    QLNPreviewImagePane& left = LeftPane();
    QLNSampleImagePane& right = RightPane();
    const ImageSize document = DocumentSize();
    left.SetPaneSize(pane, paneHeight);
    left.SetImageSize(document.width, document.height);
    LeftZoom().SetFit(document.width, document.height, left.InnerWidth(), left.InnerHeight());
    ShowZoom(dialog, LeftZoom());
    right.SetPaneSize(pane, paneHeight);
    RightZoom().SetFit(right.ImageWidth(), right.ImageHeight(), right.InnerWidth(),
                       right.InnerHeight());
    if (right.InnerWidth() > 0) ShowZoom(dialog, RightZoom());
    Swatches().UpdateVisibleRows();
    left.ComputeGeometry();
    right.ComputeGeometry();
    ChooseTool(CurrentTool());
}

void FitDialogToScreen(Dialog dialog) {
    LeftZoom().SetLevelFitAtMost100();
    RightZoom().SetLevelFitAtMost100();
    const ADMRect area = ScreenWorkArea();
    dialog.SetBounds({area.left + 2, area.top + 2, area.right - 2, area.bottom - 2});
    // A dialog that already had this size hears of no change, and the levels are new.
    LayoutDialog(dialog);
}

void ResetAdjustments(Dialog dialog) {
    Engine().ClearAdjustments();
    PlaceLeftSampler();
    PlaceRightSampler();
    SyncFuzzinessControls(dialog);
    UpdateControlStates(dialog);
    dialog.Invalidate();
}

bool RunMainDialog(const MainDialogServices& services) {
    gServices = &services;
    struct Done {
        ~Done() {
            gServices = nullptr;
            gItems = {};
            // The display images belong to the dialog manager's session of this opening.
            LeftPane().ReleaseDisplay();
            RightPane().ReleaseDisplay();
            // The items are gone with the dialog; the objects wait for the next opening.
            for (QLNItem* item :
                 std::initializer_list<QLNItem*>{&LeftPane(), &RightPane(), &Swatches()})
                item->Bind(nullptr);
            for (QLNToolButton& button : ToolButtons())
                button.Bind(nullptr);
            ForgetHoveredItem();
        }
    } done;
    suites::State().dialogAccepted = false;
    const FilterRecord* record = suites::State().filterRecord;
    Dialog::Modal(record ? static_cast<ADMPluginRef>(record->plugInRef) : nullptr, "MyDialog",
                  resources::kMainDialogID, kMainDialogStyle, &InitMainDialog, nullptr, 0);
    return suites::State().dialogAccepted;
}

} // namespace quillon::dialog
