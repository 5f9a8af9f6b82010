// The plug-in's working dialog: the document on the left, the sample on the right, the swatch
// strip between them, the tools, zoom menus, fuzziness and luminosity controls and the buttons.
// One MainDialog object holds everything of one opening; the dialog manager hands it back to
// every callback as the dialog's user data.
#pragma once

#include "dialog/AdmWrappers.h"
#include "dialog/DialogItems.h"
#include "dialog/EditController.h"
#include "dialog/Eyedroppers.h"
#include "dialog/HintLine.h"
#include "dialog/ImagePanes.h"
#include "dialog/QLNItem.h"
#include "dialog/SampleLoading.h"
#include "dialog/SwatchPane.h"
#include "dialog/ToolButtons.h"
#include "dialog/ZoomControl.h"
#include "engine/ColorEngine.h"
#include "history/EditHistory.h"
#include "pluginapi/PIFilter.h"

#include <span>

namespace quillon::dialog {

// What the dialog keeps from one opening to the next, for as long as the module is loaded.
struct DialogMemory {
    Tool tool = Tool::Eyedropper;
    // The engine's fuzziness when a slider drag began; -1 when none is under way.
    float fuzzinessBeforeDrag = -1.0f;
    BuiltInChart chart;
};

// What the dialog works on, from the filter around it.
struct MainDialogServices {
    FilterRecord* record;
    const SPBasicSuite* basic;
    engine::ColorEngine& engine;
    // The sample file's path; empty for the built-in chart.
    std::span<wchar_t> samplePath;
    DialogMemory& memory;
    // Replaces the engine's settings with the parameters the host recorded, if any.
    void (*applyRecordedParameters)();
};

// Runs the dialog modally; true when the user confirmed with OK.
bool RunMainDialog(const MainDialogServices& services);

class MainDialog : public CustomItemsSession {
  public:
    explicit MainDialog(const MainDialogServices& services);
    ~MainDialog() override;

    // The dialog object of the dialog, of an item's dialog, or of a custom item's.
    static MainDialog& Of(ADMDialogRef dialog);
    static MainDialog& Of(const QLNItem& item);

    bool Run();

    // After an edit: brings the parts it changed up to date.
    void Edited(Refresh what);

    // Callbacks of the dialog manager and of the items, each for this dialog.
    void Init(Dialog dialog);
    void Notify(const Notifier& notifier);
    bool Track(const Tracker& tracker);
    void OnLeftPane(const Tracker& tracker, PaneEvent event);
    void OnRightPane(PaneEvent event);
    void OnSwatches(SwatchChange change);
    void OnZoomChanged(ZoomControl& zoom, bool fitOnScreen);
    void ChooseTool(Tool tool);

    QLNPreviewImagePane& LeftPane() { return leftPane_; }
    QLNSampleImagePane& RightPane() { return rightPane_; }
    SwatchPane& Swatches() { return swatches_; }
    HintLine& Hints() { return hint_; }

  private:
    class HistoryView;

    // Layout and zoom, in DialogLayout.cpp.
    void Layout();
    void FitToScreen();
    void ShowZoom(const ZoomControl& zoom);

    void CreateItems();
    void BindPane(QLNImagePane& pane, Item frame, ADMItemDrawProc draw, ADMItemTrackProc track,
                  ZoomControl& zoom, PaneEventCallback events);
    void UpdateControlStates();
    void SyncSettingsControls();
    void PlaceSamplers(Refresh which);

    bool OnUserChanged(Item item);
    void OnSliderMoved(Item slider);
    void OnSliderCommitted(Item slider);
    void OnFuzzinessEdited(Item edit);
    void OnOpenSample(bool builtIn);
    void ShowAltLabels(bool alt);
    std::optional<bool> Shortcut(const Tracker& tracker);
    static bool IsMovesKey(const Tracker& tracker);
    void Unbind();

    MainDialogServices services_;
    Dialog dialog_{nullptr};
    MainItems items_{};
    ZoomControl leftZoom_;
    ZoomControl rightZoom_;
    QLNPreviewImagePane leftPane_;
    QLNSampleImagePane rightPane_;
    SwatchPane swatches_;
    ToolButtons buttons_ = MakeToolButtons();
    history::EditHistory history_;
    QLNPreviewEyedropper documentEyedropper_;
    QLNSampleEyedropper sampleEyedropper_{rightPane_};
    EditController edits_;
    HintLine hint_;
    SampleLoader samples_;
    bool altHeld_ = false;
    bool layoutRunning_ = false;
};

} // namespace quillon::dialog
