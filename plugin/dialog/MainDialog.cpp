#include "dialog/MainDialog.h"

#include "dialog/RememberedSample.h"
#include "engine/FuzzinessScale.h"
#include "resources/DialogResources.h"

#include <initializer_list>
#include <memory>
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
constexpr ADMRect kNoBounds = {0, 0, 0, 0};

using engine::EngineFuzziness;

// The edit box's and the slider's scale of the engine's fuzziness.
float UserFuzziness(float f) {
    return static_cast<float>(engine::UserFuzziness(f));
}

ADMPluginRef PluginRefOf(const FilterRecord* record) {
    return record ? static_cast<ADMPluginRef>(record->plugInRef) : nullptr;
}

// --- the dialog manager's callbacks, each handing over to the dialog object -----------------

template <typename Pane, typename Get>
void DrawPane(ADMItemRef item, ADMDrawerRef drawerRef, Get get) noexcept {
    GuardedItem(item, [&] {
        Drawer drawer(drawerRef);
        Pane::Draw(get(MainDialog::Of(detail::DialogOfItem(item))), drawer);
    });
}

template <typename Pane, typename Get>
ADMBoolean TrackPane(ADMItemRef item, ADMTrackerRef tracker, Get get) noexcept {
    GuardedItem(item, [&] {
        Pane::Track(get(MainDialog::Of(detail::DialogOfItem(item))), Tracker(tracker));
    });
    return false;
}

constexpr auto LeftOf = [](MainDialog& d) -> QLNImagePane& { return d.LeftPane(); };
constexpr auto RightOf = [](MainDialog& d) -> QLNImagePane& { return d.RightPane(); };
constexpr auto SwatchesOf = [](MainDialog& d) -> SwatchPane& { return d.Swatches(); };

void DrawLeftPane(ADMItemRef item, ADMDrawerRef drawer) noexcept {
    DrawPane<QLNImagePane>(item, drawer, LeftOf);
}
ADMBoolean TrackLeftPane(ADMItemRef item, ADMTrackerRef tracker) noexcept {
    return TrackPane<QLNImagePane>(item, tracker, LeftOf);
}
void DrawRightPane(ADMItemRef item, ADMDrawerRef drawer) noexcept {
    DrawPane<QLNImagePane>(item, drawer, RightOf);
}
ADMBoolean TrackRightPane(ADMItemRef item, ADMTrackerRef tracker) noexcept {
    return TrackPane<QLNImagePane>(item, tracker, RightOf);
}
void DrawSwatches(ADMItemRef item, ADMDrawerRef drawer) noexcept {
    DrawPane<SwatchPane>(item, drawer, SwatchesOf);
}
ADMBoolean TrackSwatches(ADMItemRef item, ADMTrackerRef tracker) noexcept {
    return TrackPane<SwatchPane>(item, tracker, SwatchesOf);
}

void OnLeftPaneEvent(QLNImagePane& pane, const Tracker& tracker, PaneEvent event) {
    MainDialog::Of(pane).OnLeftPane(tracker, event);
}
void OnRightPaneEvent(QLNImagePane& pane, const Tracker&, PaneEvent event) {
    MainDialog::Of(pane).OnRightPane(event);
}
void OnSwatchEdit(SwatchPane& pane, const Tracker&, SwatchChange change) {
    MainDialog::Of(pane).OnSwatches(change);
}
void OnZoomChanged(ZoomControl& zoom, Dialog dialog, bool fitOnScreen) {
    MainDialog::Of(dialog.Ref()).OnZoomChanged(zoom, fitOnScreen);
}
void OnToolChosen(QLNToolButton& button) {
    MainDialog::Of(button).ChooseTool(button.ButtonTool());
}
void UpdateHint(QLNItem& item, HintReason reason) {
    MainDialog::Of(item).Hints().Show(item.ItemRef(), reason);
}

// The standard controls: their hint, then the dialog manager's own tracking.
ADMBoolean StandardTrack(ADMItemRef ref, ADMTrackerRef trackerRef) noexcept {
    bool handled = false;
    GuardedItem(ref, [&] {
        Item item(ref);
        const Tracker tracker(trackerRef);
        MainDialog::Of(detail::DialogOfItem(ref)).Hints().OnStandardTrack(ref, tracker.Action());
        handled = item.DefaultTrack(tracker);
    });
    return handled;
}

void NotifyMainDialog(ADMDialogRef ref, ADMNotifierRef notifier) noexcept {
    Guarded(ref, [&] { MainDialog::Of(ref).Notify(Notifier(notifier)); });
}

ADMBoolean TrackMainDialog(ADMDialogRef ref, ADMTrackerRef tracker) noexcept {
    bool handled = false;
    Guarded(ref, [&] { handled = MainDialog::Of(ref).Track(Tracker(tracker)); });
    return handled;
}

void InitMainDialog(ADMDialogRef ref) noexcept {
    Guarded(ref, [&] { MainDialog::Of(ref).Init(Dialog(ref)); });
}

Item CreateFrame(Dialog dialog, const char* failure) {
    try {
        return dialog.CreateItem(kADMFrameType, kNoBounds);
    } catch (const suites::HostError&) {
        ErrorAlert(failure);
        throw;
    }
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

} // namespace

// --- history --------------------------------------------------------------------------------

// Undo and redo show their effects through the dialog's controls and frames.
class MainDialog::HistoryView : public history::HistoryView {
  public:
    explicit HistoryView(MainDialog& dialog) : dialog_(dialog) {}
    void RefreshAfterRemoval() override { RefreshAfterRecordChange(); }
    // The selection moved with the table: each pane's mark follows it.
    void RefreshAfterRecordChange() override { dialog_.Edited(kRefreshSamplers | kRefreshTable); }
    void ShowFuzziness(float) override { dialog_.Edited(kRefreshSettings | kRefreshPreview); }
    void ShowPreserveLuminosity(bool) override {
        dialog_.Edited(kRefreshSettings | kRefreshPreview);
    }
    void SnapshotSelection() override { dialog_.edits_.TakeSelectionSnapshot(); }

  private:
    MainDialog& dialog_;
};

// --- the object -----------------------------------------------------------------------------

MainDialog::MainDialog(const MainDialogServices& services)
    : services_(services), documentEyedropper_(services.record),
      edits_(services.engine, history_, documentEyedropper_, sampleEyedropper_,
             services.memory.fuzzinessBeforeDrag),
      hint_(services.engine, items_, leftPane_, rightPane_, swatches_, buttons_),
      samples_(rightPane_, rightZoom_, services.engine, services.memory.chart, services.basic) {}

MainDialog::~MainDialog() {
    Unbind();
}

MainDialog& MainDialog::Of(ADMDialogRef dialog) {
    ModalSession* session = ModalSession::Of(dialog);
    if (!session) throw suites::HostError{kSPBadParameterError};
    return static_cast<MainDialog&>(*session);
}

MainDialog& MainDialog::Of(const QLNItem& item) {
    return Of(item.GetItem().GetDialog().Ref());
}

void MainDialog::Unbind() {
    // The display images belong to the dialog manager's session of this opening.
    leftPane_.ReleaseDisplay();
    rightPane_.ReleaseDisplay();
    for (QLNItem* item : std::initializer_list<QLNItem*>{&leftPane_, &rightPane_, &swatches_})
        item->Bind(nullptr, nullptr);
    for (QLNToolButton& button : buttons_)
        button.Unbind();
    hover.Forget();
}

bool MainDialog::Run() {
    struct Done {
        MainDialog& dialog;
        ~Done() {
            dialog.Unbind();
            dialog.items_ = {};
        }
    } done{*this};
    return Dialog::Modal(PluginRefOf(services_.record), "MyDialog", resources::kMainDialogID,
                         kMainDialogStyle, &InitMainDialog, *this, 0) == kOKItem;
}

bool RunMainDialog(const MainDialogServices& services) {
    return std::make_unique<MainDialog>(services)->Run();
}

void MainDialog::Edited(Refresh what) {
    if ((what & kRefreshStrip) && swatches_.ItemRef()) swatches_.GetItem().Invalidate();
    if ((what & kRefreshPreview) && leftPane_.ItemRef()) leftPane_.GetItem().Invalidate();
    PlaceSamplers(what);
    if ((what & kRefreshDocumentHint) && leftPane_.ItemRef())
        hint_.Show(leftPane_.ItemRef(), HintReason::Changed);
    if (what & kRefreshSettings) SyncSettingsControls();
    if (what & kRefreshControls) UpdateControlStates();
}

void MainDialog::PlaceSamplers(Refresh which) {
    if (which & kRefreshDocumentSampler) leftPane_.PlaceSampler(edits_.SelectedDocumentPoint());
    if (which & kRefreshSampleSampler) rightPane_.PlaceSampler(edits_.SelectedSamplePoint());
}

void MainDialog::UpdateControlStates() {
    if (!dialog_.Ref()) return;
    const bool adjusting = services_.engine.UserCount() > 0;
    for (ADMInt32 id : {items_.slider, items_.fuzzinessEdit, items_.checkBox})
        dialog_.GetItem(id).Enable(adjusting);
    rightPane_.SetActive(adjusting);
}

void MainDialog::SyncSettingsControls() {
    if (!dialog_.Ref()) return;
    const float user = UserFuzziness(services_.engine.Fuzziness());
    dialog_.GetItem(items_.slider).SetFloatValue(user * kSliderScale);
    dialog_.GetItem(items_.fuzzinessEdit).SetFloatValue(user);
    dialog_.GetItem(items_.checkBox).SetBooleanValue(services_.engine.PreserveLuminosity());
}

void MainDialog::ChooseTool(Tool tool) {
    services_.memory.tool = tool;
    for (QLNToolButton& button : buttons_)
        button.SetPressed(button.ButtonTool() == tool);
    leftPane_.SetTool(tool);
    rightPane_.SetTool(tool);
}

// --- the panes' and the strip's edits -------------------------------------------------------

void MainDialog::OnLeftPane(const Tracker& tracker, PaneEvent event) {
    const bool ctrl =
        event == PaneEvent::SamplerPlaced && tracker.TestModifier(kADMControlKeyModifier);
    Edited(edits_.OnDocumentSampler(event, leftPane_.SamplerImagePoint(), ctrl,
                                    leftPane_.LiveAdjustment()));
}

// A picture file dropped on the right pane opens as Open Sample would open it.
void MainDialog::OnRightPane(PaneEvent event) {
    if (event == PaneEvent::FileDropped) {
        OnOpenSample(false);
        return;
    }
    Edited(edits_.OnSampleSampler(event, rightPane_.SamplerImagePoint()));
}

void MainDialog::OnSwatches(SwatchChange change) {
    Edited(edits_.OnSwatchChange(change));
}

// --- notifications --------------------------------------------------------------------------

void MainDialog::OnSliderMoved(Item slider) {
    const float user = slider.FloatValue() * (1.0f / kSliderScale);
    dialog_.GetItem(items_.fuzzinessEdit).SetFloatValue(user);
    Edited(edits_.DragFuzziness(EngineFuzziness(user)));
}

void MainDialog::OnSliderCommitted(Item slider) {
    const float user = slider.FloatValue() * (1.0f / kSliderScale);
    dialog_.GetItem(items_.fuzzinessEdit).SetFloatValue(user);
    Edited(edits_.CommitFuzzinessDrag(EngineFuzziness(user)));
}

void MainDialog::OnFuzzinessEdited(Item edit) {
    const float user = edit.FloatValue();
    dialog_.GetItem(items_.slider).SetFloatValue(user * kSliderScale);
    Edited(edits_.SetFuzziness(EngineFuzziness(user)));
}

// Alt-Open Sample goes back to the built-in sample and forgets the file; a dropped file is always
// opened.
void MainDialog::OnOpenSample(bool builtIn) {
    bool changed = false;
    if (builtIn) {
        services_.samplePath[0] = 0;
        samples_.LoadBuiltIn();
        changed = true;
    } else {
        samples_.ChooseFile(dialog_, services_.samplePath);
        changed = rightPane_.HasUserSample();
    }
    if (changed) {
        RememberSample(services_.basic, services_.samplePath.data());
        rightZoom_.SetLevelFitAtMost100();
        rightPane_.ComputeGeometry();
        rightPane_.GetItem().Invalidate();
    }
    UpdateControlStates();
    ShowZoom(rightZoom_);
}

// Returns false when the notification is to go no further.
bool MainDialog::OnUserChanged(Item item) {
    const ADMInt32 id = item.ID();
    if (id == kCancelItem && altHeld_) {
        Edited(edits_.Reset());
        dialog_.Invalidate();
        return false;
    }
    if (id == kOpenSampleItem)
        OnOpenSample(altHeld_);
    else if (id == items_.slider)
        OnSliderCommitted(item);
    else if (id == items_.fuzzinessEdit)
        OnFuzzinessEdited(item);
    else if (id == items_.checkBox)
        Edited(edits_.SetPreserveLuminosity(item.BooleanValue()));
    else if (id == items_.leftZoomMenu)
        leftZoom_.OnMenuChoice(item);
    else if (id == items_.rightZoomMenu)
        rightZoom_.OnMenuChoice(item);
    return true;
}

void MainDialog::Notify(const Notifier& notifier) {
    if (notifier.IsType(kADMBoundsChangedNotifier)) {
        Layout();
    } else if (notifier.IsType(kADMIntermediateChangedNotifier)) {
        const Item item = notifier.GetItem();
        if (item.Ref() && item.ID() == items_.slider) OnSliderMoved(item);
    } else if (notifier.IsType(kADMUserChangedNotifier)) {
        const Item item = notifier.GetItem();
        if (item.Ref() && !OnUserChanged(item)) return;
    }
    dialog_.DefaultNotify(notifier);
}

// --- keys -----------------------------------------------------------------------------------

void MainDialog::ShowAltLabels(bool alt) {
    altHeld_ = alt;
    dialog_.GetItem(kCancelItem).SetText(alt ? "Reset" : "Cancel");
    dialog_.GetItem(kOpenSampleItem).SetText(alt ? "Close Sample" : "Open Sample");
}

// A key with exactly the modifiers given; nullopt when it is none of the dialog's shortcuts.
std::optional<bool> MainDialog::Shortcut(const Tracker& tracker) {
    const ADMInt32 key = tracker.VirtualKey();
    const ADMInt32 modifiers = tracker.Modifiers() & kModifierKeys;
    const ADMInt32 ctrl = kADMControlKeyModifier;
    const ADMInt32 ctrlShift = kADMControlKeyModifier | kADMShiftKeyModifier;
    if (key == '=' && modifiers == ctrl) {
        leftZoom_.ZoomIn(dialog_);
        return true;
    }
    if (key == '-' && modifiers == ctrl) {
        leftZoom_.ZoomOut(dialog_);
        return true;
    }
    if ((key == '0' || key == '1') && modifiers == ctrl) {
        leftZoom_.ZoomTo(key == '0' ? ZoomControl::kFitInView : ZoomControl::kActualPixels,
                         dialog_);
        return true;
    }
    HistoryView view(*this);
    if (key == 'Z' && modifiers == ctrl) return edits_.Undo(view);
    if ((key == 'Z' && modifiers == ctrlShift) || (key == 'Y' && modifiers == ctrl))
        return edits_.Redo(view);
    return std::nullopt;
}

// M held, without modifiers, shows what the adjustments move.
bool MainDialog::IsMovesKey(const Tracker& tracker) {
    return (tracker.VirtualKey() == 'M' || tracker.VirtualKey() == 'm') &&
           (tracker.Modifiers() & kModifierKeys) == 0;
}

bool MainDialog::Track(const Tracker& tracker) {
    switch (tracker.Action()) {
    case kADMShiftKeyDownAction:
        leftPane_.OnShiftDown();
        break;
    case kADMShiftKeyUpAction:
        leftPane_.OnShiftUp();
        break;
    case kADMAltKeyDownAction:
        ShowAltLabels(true);
        break;
    case kADMAltKeyUpAction:
        ShowAltLabels(false);
        break;
    // Space held lends the hand tool to both panes; let go, the chosen tool is back.
    case kADMSpaceKeyDownAction:
        leftPane_.SetTool(Tool::Hand);
        rightPane_.SetTool(Tool::Hand);
        return true;
    case kADMSpaceKeyUpAction:
        leftPane_.SetTool(services_.memory.tool);
        rightPane_.SetTool(services_.memory.tool);
        return true;
    case kADMKeyStrokeAction:
        if (const std::optional<bool> result = Shortcut(tracker); result && *result) return true;
        if (IsMovesKey(tracker)) {
            leftPane_.SetShowMoves(true);
            return true;
        }
        break;
    case kADMKeyReleaseAction:
        if (IsMovesKey(tracker)) {
            leftPane_.SetShowMoves(false);
            return true;
        }
        break;
    default:
        break;
    }
    return dialog_.DefaultTrack(tracker);
}

// --- creation -------------------------------------------------------------------------------

void MainDialog::BindPane(QLNImagePane& pane, Item frame, ADMItemDrawProc draw,
                          ADMItemTrackProc track, ZoomControl& zoom, PaneEventCallback events) {
    frame.SetDrawProc(draw);
    frame.SetTrackProc(track);
    frame.SetMask(kADMAllActionsMask);
    pane.Bind(frame.Ref(), &hover);
    pane.SetZoomControl(&zoom);
    pane.SetEngine(&services_.engine);
    pane.SetHintCallback(&UpdateHint);
    pane.SetEventCallback(events);
}

void MainDialog::CreateItems() {
    Dialog dialog = dialog_;
    for (ADMInt32 id : {kOKItem, kCancelItem, kOpenSampleItem}) {
        Item button = dialog.GetItem(id);
        button.SetTrackProc(&StandardTrack);
        button.SetMask(kADMAllActionsMask);
    }

    Item left = CreateFrame(dialog, "Could not create source frame");
    BindPane(leftPane_, left, &DrawLeftPane, &TrackLeftPane, leftZoom_, &OnLeftPaneEvent);
    leftPane_.SetDocument(services_.record);
    leftPane_.SetShowSampler(true);
    leftPane_.SetLiveAdjustment(true);
    items_.leftFrame = left.ID();

    Item right = CreateFrame(dialog, "Could not create target frame");
    BindPane(rightPane_, right, &DrawRightPane, &TrackRightPane, rightZoom_, &OnRightPaneEvent);
    items_.rightFrame = right.ID();

    Item swatches = dialog.CreateItem(kADMFrameType, kNoBounds);
    swatches.SetDrawProc(&DrawSwatches);
    swatches.SetTrackProc(&TrackSwatches);
    swatches.SetMask(kADMAllActionsMask);
    swatches_.Bind(swatches.Ref(), &hover);
    swatches_.SetEngine(&services_.engine);
    swatches_.SetPluginRef(PluginRefOf(services_.record));
    swatches_.SetChangeCallback(&OnSwatchEdit);
    swatches_.SetHintCallback(&UpdateHint);
    items_.swatchFrame = swatches.ID();

    // The frame first: it paints its whole area, and the text must lie above it.
    items_.hintFrame = dialog.CreateItem(kADMFrameType, kNoBounds).ID();
    Item hint = dialog.CreateItem(kADMTextStaticType, kNoBounds);
    hint.SetText("Enjoy this product");
    items_.hintText = hint.ID();

    CreateZoomItems(dialog, leftZoom_, items_.leftZoomMenu, items_.leftZoomLabel);
    CreateZoomItems(dialog, rightZoom_, items_.rightZoomMenu, items_.rightZoomLabel);

    for (QLNToolButton& button : buttons_) {
        button.BindButton(dialog.CreateItem(kADMPicturePushButtonType, kNoBounds), &hover,
                          PluginRefOf(services_.record), &OnToolChosen);
        button.SetHintCallback(&UpdateHint);
    }

    Item label = dialog.CreateItem(kADMTextStaticType, kNoBounds);
    label.SetText("&Fuzziness:");
    items_.fuzzinessLabel = label.ID();
    Item slider = CreateStandard(dialog, kADMSliderType);
    slider.SetRange(10.0f, 100.0f);
    items_.slider = slider.ID();
    Item edit = CreateStandard(dialog, kADMTextEditType);
    edit.SetRange(1.0f, 10.0f);
    edit.SetPrecision(0);
    items_.fuzzinessEdit = edit.ID();
    Item box = CreateStandard(dialog, kADMTextCheckBoxType);
    box.SetText("Preserve &Luminosity");
    items_.checkBox = box.ID();
}

void MainDialog::Init(Dialog dialog) {
    dialog_ = dialog;
    altHeld_ = false;
    layoutRunning_ = false;
    hover.Forget();
    hint_.Reset();

    dialog.SetBounds({0, 0, kMinimumWidth, kMinimumHeight});
    dialog.SetTitle("Nerrow Quillon");
    dialog.SetMinimumSize(kMinimumWidth, kMinimumHeight);
    dialog.SetMask(kADMAllActionsMask);
    dialog.SetTrackProc(&TrackMainDialog);
    CreateItems();

    SyncSettingsControls();
    Layout();
    ChooseTool(services_.memory.tool);
    dialog.SetNotifyProc(&NotifyMainDialog);

    services_.samplePath[0] = 0;
    LoadRememberedSample(services_.basic, services_.samplePath);
    // A remembered file that is gone or unreadable gives way to the chart without a word.
    if (!services_.samplePath[0] || !samples_.LoadFile(services_.samplePath.data(), true))
        samples_.LoadBuiltIn();
    if (services_.applyRecordedParameters) services_.applyRecordedParameters();
    edits_.BeginOpening();

    FitToScreen();
    Edited(kRefreshSamplers | kRefreshSettings | kRefreshControls);
}

} // namespace quillon::dialog
