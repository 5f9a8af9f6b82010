// The dialog-manager suites called the way a plug-in calls them, with the dialogs driven by real
// window-system events from scripts.
#include "AdmTestSupport.h"

#include <QCursor>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace quillon::test {
namespace {

using resources::TemplateItem;

struct TrackEvent {
    ADMInt32 item; // -1 for the dialog
    ADMInt32 action;
    ADMInt32 modifiers;
    ADMInt32 key;
    ADMPoint point;
};

struct Note {
    std::string type;
    ADMInt32 item; // -1 for the dialog
};

// What the plug-in callbacks saw.
struct Log {
    std::vector<TrackEvent> tracks;
    std::vector<Note> notes;
    std::vector<ADMRect> localRects;
    std::map<std::string, ADMItemRef> items;
    std::map<std::string, int> counts;
    std::vector<std::string> failures;
    ADMDialogRef dialog = nullptr;
} gLog;

void Check(bool ok, const std::string& what) {
    if (!ok) gLog.failures.push_back(what);
}

ADMItemRef Item(ADMDialogRef dialog, ADMInt32 id) {
    return gSuites.dialog->GetItem(dialog, id);
}

ADMBoolean RecordItemTrack(ADMItemRef item, ADMTrackerRef tracker) noexcept {
    ADMPoint point{};
    gSuites.tracker->GetPoint(tracker, &point);
    gLog.tracks.push_back({gSuites.item->GetID(item), gSuites.tracker->GetAction(tracker),
                           gSuites.tracker->GetModifiers(tracker),
                           gSuites.tracker->GetVirtualKey(tracker), point});
    if (gSuites.tracker->TestAction(tracker, kADMButtonDownAction)) {
        // The null tracker's screen point is this event's point on the screen.
        ADMPoint now{};
        gSuites.tracker->GetPoint(nullptr, &now);
        gSuites.item->ScreenToLocalPoint(item, &now);
        Check(now.h == point.h && now.v == point.v, "null tracker point");
    }
    return false;
}

ADMBoolean RecordDialogTrack(ADMDialogRef, ADMTrackerRef tracker) noexcept {
    ADMPoint point{};
    gSuites.tracker->GetPoint(tracker, &point);
    gLog.tracks.push_back({-1, gSuites.tracker->GetAction(tracker),
                           gSuites.tracker->GetModifiers(tracker),
                           gSuites.tracker->GetVirtualKey(tracker), point});
    return false;
}

void RecordNotify(ADMDialogRef dialog, ADMNotifierRef notifier) noexcept {
    ADMItemRef item = gSuites.notifier->GetItem(notifier);
    const ADMInt32 id = item ? gSuites.item->GetID(item) : -1;
    Check(gSuites.notifier->GetDialog(notifier) == dialog, "notifier dialog");
    for (const char* type :
         {kADMUserChangedNotifier, kADMIntermediateChangedNotifier, kADMBoundsChangedNotifier})
        if (gSuites.notifier->IsNotifierType(notifier, type)) gLog.notes.push_back({type, id});
    if (gSuites.notifier->IsNotifierType(notifier, kADMBoundsChangedNotifier)) {
        ADMRect local{};
        gSuites.dialog->GetLocalRect(dialog, &local);
        gLog.localRects.push_back(local);
    }
    gSuites.dialog->DefaultNotify(dialog, notifier);
}

const TemplateItem kOK{1, kADMTextPushButtonType, 220, 200, 80, 24, 0, "OK"};
const TemplateItem kCancel{2, kADMTextPushButtonType, 130, 200, 80, 24, 0, "Cancel"};
const TemplateItem kFrame{10, kADMFrameType, 20, 30, 100, 80, 0, ""};

class AdmSuitesTest : public AdmTest {
  protected:
    void SetUp() override {
        AdmTest::SetUp();
        gLog = Log{};
        SetTemplate(320, 240, {kOK, kCancel, kFrame});
    }
    void TearDown() override {
        EXPECT_TRUE(gLog.failures.empty()) << gLog.failures.front();
        EXPECT_EQ(scriptFailure_, "");
        AdmTest::TearDown();
    }

    // Index of the first recorded event after `from` that matches, or -1.
    int Find(int from, ADMInt32 item, ADMInt32 action, ADMInt32 modifiers = -1) const {
        for (size_t i = size_t(from + 1); i < gLog.tracks.size(); ++i) {
            const TrackEvent& e = gLog.tracks[i];
            if (e.item == item && e.action == action && (modifiers < 0 || e.modifiers == modifiers))
                return int(i);
        }
        return -1;
    }
};

// --- modal results --------------------------------------------------------------------------

struct ModalCase {
    const char* name;
    const char* script;
    ADMInt32 result;
};

class ModalResultTest : public AdmSuitesTest, public ::testing::WithParamInterface<ModalCase> {};

TEST_P(ModalResultTest, ClosingItemIsTheResult) {
    EXPECT_EQ(Run(nullptr, GetParam().script), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Modal, ModalResultTest,
                         ::testing::Values(ModalCase{"OK", "click 260 212", 1},
                                           ModalCase{"Cancel", "click 170 212", 2},
                                           ModalCase{"Escape", "key escape", 2},
                                           ModalCase{"Enter", "key enter", 1},
                                           ModalCase{"LeftOpen", "# left open\n", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AdmSuitesTest, CallbacksEndTheModalDialog) {
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.item->SetTrackProc(Item(dialog, 10), [](ADMItemRef item, ADMTrackerRef t) noexcept {
            if (!gSuites.tracker->TestAction(t, kADMButtonDownAction)) return ADMBoolean(false);
            gSuites.dialog->EndModal(gSuites.item->GetDialog(item), 7, false);
            return ADMBoolean(true);
        });
    };
    EXPECT_EQ(Run(init, "click 50 60\nclick 260 212"), 7);
    // The second click had no dialog left to go to.
    EXPECT_NE(scriptFailure_.find("line 2"), std::string::npos);
    scriptFailure_.clear();

    auto endAtOnce = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->EndModal(dialog, 3, false);
    };
    EXPECT_EQ(Run(endAtOnce, ""), 3);
}

TEST_F(AdmSuitesTest, BrokenDialogResourcesFailWithAMessage) {
    EXPECT_EQ(gSuites.dialog->Modal(nullptr, "Missing", 99, 0, nullptr, nullptr, 0),
              kADMDialogFailedResult);
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("no dialog resource 99"), std::string::npos);

    auto bytes = resources::BuildDialogTemplate(100, 100, "T", {kOK});
    bytes.resize(bytes.size() - 3);
    AddResource(kPIDialogType, 98, bytes);
    EXPECT_EQ(gSuites.dialog->Modal(nullptr, "Broken", 98, 0, nullptr, nullptr, 0),
              kADMDialogFailedResult);
    ASSERT_EQ(errors_.size(), 2u);
    EXPECT_NE(errors_[1].find("dialog resource 98: truncated item text"), std::string::npos)
        << errors_[1];

    AddResource(
        kPIDialogType, 97,
        resources::BuildDialogTemplate(100, 100, "T", {{5, "ADM Dial Type", 0, 0, 9, 9, 0, ""}}));
    EXPECT_EQ(gSuites.dialog->Modal(nullptr, "Unknown", 97, 0, nullptr, nullptr, 0),
              kADMDialogFailedResult);
    EXPECT_NE(errors_.back().find("unknown item type \"ADM Dial Type\""), std::string::npos);
}

// A dialog whose template fails part way through building leaves nothing lent to the plug-in:
// neither the dialog nor the items, lists and entries made before the failure.
TEST_F(AdmSuitesTest, ADialogThatFailsToBuildLeavesNoHandlesBehind) {
    using filterhost::HandleKind;
    const TemplateItem kMenu{3, kADMPopupMenuType, 10, 10, 80, 20, 0, "Menu"};
    const struct {
        const char* name;
        std::vector<TemplateItem> items;
        const char* error;
    } kCases[] = {
        {"unknown type after good items",
         {kOK, kMenu, {5, "ADM Dial Type", 0, 0, 9, 9, 0, ""}},
         "unknown item type"},
        {"an id used twice", {kOK, kMenu, {3, kADMFrameType, 0, 0, 9, 9, 0, ""}}, "used twice"},
    };
    int32_t id = 90;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        AddResource(kPIDialogType, id, resources::BuildDialogTemplate(100, 100, "T", c.items));
        EXPECT_EQ(gSuites.dialog->Modal(nullptr, "Failing", id, 0, nullptr, nullptr, 0),
                  kADMDialogFailedResult);
        ASSERT_FALSE(errors_.empty());
        EXPECT_NE(errors_.back().find(c.error), std::string::npos) << errors_.back();
        for (HandleKind kind :
             {HandleKind::Dialog, HandleKind::Item, HandleKind::List, HandleKind::Entry})
            EXPECT_EQ(session_.Handles().Count(kind), 0u) << int(kind);
        ++id;
    }
}

// --- items ----------------------------------------------------------------------------------

TEST_F(AdmSuitesTest, ItemsAreCreatedByTypeName) {
    auto init = [](ADMDialogRef dialog) noexcept {
        const char* const kTypes[] = {kADMFrameType,        kADMTextStaticType,
                                      kADMPopupMenuType,    kADMPicturePushButtonType,
                                      kADMSliderType,       kADMTextEditType,
                                      kADMTextCheckBoxType, kADMTextPushButtonType,
                                      kADMPictureStaticType};
        int32 top = 0;
        for (const char* type : kTypes) {
            const ADMRect bounds{5, top, 105, top + 20};
            ADMItemRef item =
                gSuites.dialog->CreateItem(dialog, 0, type, &bounds, nullptr, nullptr);
            Check(item != nullptr, std::string("created ") + type);
            if (!item) continue;
            ADMRect got{}, local{};
            gSuites.item->GetBoundsRect(item, &got);
            gSuites.item->GetLocalRect(item, &local);
            Check(got.left == 5 && got.top == top && got.right == 105 && got.bottom == top + 20,
                  std::string("bounds of ") + type);
            Check(local.left == 0 && local.right == 100 && local.bottom == 20, "local rect");
            Check(gSuites.item->GetDialog(item) == dialog, "dialog of item");
            Check(gSuites.dialog->GetItem(dialog, gSuites.item->GetID(item)) == item, "item by id");
            Check((gSuites.item->GetList(item) != nullptr) ==
                      (std::strcmp(type, kADMPopupMenuType) == 0),
                  "only popups have lists");
            top += 21;
        }
        const ADMRect bounds{0, 0, 10, 10};
        gLog.counts["unknown"] =
            gSuites.dialog->CreateItem(dialog, 0, "ADM Dial Type", &bounds, nullptr, nullptr) ? 1
                                                                                              : 0;
        gLog.counts["taken id"] =
            gSuites.dialog->CreateItem(dialog, 10, kADMFrameType, &bounds, nullptr, nullptr) ? 1
                                                                                             : 0;
        ADMItemRef moved = Item(dialog, 10);
        const ADMRect to{40, 50, 90, 70};
        gSuites.item->SetBoundsRect(moved, &to);
        ADMRect got{};
        gSuites.item->GetBoundsRect(moved, &got);
        Check(got.left == 40 && got.top == 50 && got.right == 90 && got.bottom == 70, "set bounds");
        gSuites.item->Enable(moved, false);
        Check(!gSuites.item->IsEnabled(moved), "disabled");
        int userData = 0;
        gSuites.item->SetUserData(moved, &userData);
        Check(gSuites.item->GetUserData(moved) == &userData, "user data");
        gSuites.dialog->EndModal(dialog, 1, false);
    };
    EXPECT_EQ(Run(init, ""), 1);
    EXPECT_EQ(gLog.counts["unknown"], 0);
    EXPECT_EQ(gLog.counts["taken id"], 0);
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("ADM Dial Type"), std::string::npos);
}

TEST_F(AdmSuitesTest, ValuesStayBetweenMinimumAndMaximum) {
    SetTemplate(320, 240,
                {kOK,
                 kCancel,
                 {20, kADMTextEditType, 20, 30, 80, 24, 0, ""},
                 {21, kADMSliderType, 20, 100, 200, 24, 0, ""},
                 {22, kADMTextCheckBoxType, 20, 150, 150, 24, 0, "Preserve &Luminosity"}});
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->SetNotifyProc(dialog, &RecordNotify);
        ADMItemRef edit = Item(dialog, 20);
        gSuites.item->SetMinFloatValue(edit, 1);
        gSuites.item->SetMaxFloatValue(edit, 10);
        gSuites.item->SetFloatValue(edit, 20);
        Check(gSuites.item->GetFloatValue(edit) == 10, "clamped to the maximum");
        gSuites.item->SetFloatValue(edit, -5);
        Check(gSuites.item->GetFloatValue(edit) == 1, "clamped to the minimum");
        Check(gSuites.item->GetMinFloatValue(edit) == 1 &&
                  gSuites.item->GetMaxFloatValue(edit) == 10,
              "range");
        gSuites.item->SetFloatValue(edit, 5);
        char text[16];
        gSuites.item->GetText(edit, text, sizeof text);
        Check(std::strcmp(text, "5") == 0, std::string("no decimals shows ") + text);
        gSuites.item->SetPrecision(edit, 2);
        gSuites.item->GetText(edit, text, sizeof text);
        Check(std::strcmp(text, "5.00") == 0, std::string("two decimals shows ") + text);
        Check(gSuites.item->GetText(edit, text, 3) == 4 && std::strcmp(text, "5.") == 0,
              "text cut to the buffer");
        gSuites.item->SetPrecision(edit, 0);

        ADMItemRef slider = Item(dialog, 21);
        gSuites.item->SetMinFloatValue(slider, 10);
        gSuites.item->SetMaxFloatValue(slider, 100);
        gSuites.item->SetFloatValue(slider, 50);
        Check(gSuites.item->GetFloatValue(slider) == 50, "slider value");
        gSuites.item->SetBooleanValue(Item(dialog, 22), false);
        // Values set by the plug-in never notify.
        Check(gLog.notes.empty(), "no notifier for programmatic values");
        gSuites.dialog->SetNotifyProc(dialog, [](ADMDialogRef d, ADMNotifierRef notifier) noexcept {
            RecordNotify(d, notifier);
            ADMItemRef from = gSuites.notifier->GetItem(notifier);
            if (from && gSuites.item->GetID(from) == 1) {
                gLog.counts["edit"] = int(gSuites.item->GetFloatValue(Item(d, 20)));
                gLog.counts["check"] = gSuites.item->GetBooleanValue(Item(d, 22));
            }
        });
    };
    // Typed 42 is held to 10 when the focus moves on; the check box is ticked by a click.
    EXPECT_EQ(Run(init, "click 60 42\nkey a ctrl\nkey 4\nkey 2\nkey tab\nclick 30 162\n"
                        "click 260 212"),
              1);
    EXPECT_EQ(gLog.counts["edit"], 10);
    EXPECT_EQ(gLog.counts["check"], 1);
    std::vector<ADMInt32> committed;
    for (const Note& n : gLog.notes)
        if (n.type == kADMUserChangedNotifier) committed.push_back(n.item);
    EXPECT_EQ(committed, (std::vector<ADMInt32>{20, 22, 1}));
}

TEST_F(AdmSuitesTest, SliderDragIsIntermediateUntilReleased) {
    SetTemplate(320, 240, {kOK, kCancel, {21, kADMSliderType, 20, 100, 200, 24, 0, ""}});
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->SetNotifyProc(dialog, &RecordNotify);
        ADMItemRef slider = Item(dialog, 21);
        gSuites.item->SetMinFloatValue(slider, 0);
        gSuites.item->SetMaxFloatValue(slider, 100);
        gSuites.item->SetFloatValue(slider, 0);
        gSuites.item->SetNotifyProc(slider, [](ADMItemRef item, ADMNotifierRef n) noexcept {
            gLog.counts["value"] = int(gSuites.item->GetFloatValue(item));
            gSuites.item->DefaultNotify(item, n);
        });
    };
    Run(init, "press 25 112\ndrag 60 112\ndrag 120 112\nrelease 120 112");
    ASSERT_GE(gLog.notes.size(), 2u);
    for (size_t i = 0; i + 1 < gLog.notes.size(); ++i)
        EXPECT_EQ(gLog.notes[i].type, kADMIntermediateChangedNotifier) << i;
    EXPECT_EQ(gLog.notes.back().type, kADMUserChangedNotifier);
    EXPECT_EQ(gLog.notes.back().item, 21);
    EXPECT_GT(gLog.counts["value"], 30);
    EXPECT_LT(gLog.counts["value"], 70);
}

TEST_F(AdmSuitesTest, PopupMenuListsEntries) {
    SetTemplate(320, 240, {kOK, kCancel, {30, kADMPopupMenuType, 20, 30, 90, 24, 0, ""}});
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->SetNotifyProc(dialog, &RecordNotify);
        ADMListRef list = gSuites.item->GetList(Item(dialog, 30));
        ADMEntryRef one = gSuites.list->InsertEntry(list, 0);
        gSuites.entry->SetText(one, "&One");
        gSuites.entry->SetID(one, 11);
        ADMEntryRef two = gSuites.list->InsertEntry(list, 1);
        gSuites.entry->SetText(two, "&Two");
        gSuites.entry->SetID(two, 22);
        ADMEntryRef separator = gSuites.list->InsertEntry(list, 1);
        gSuites.entry->SetSeparator(separator, true);
        ADMEntryRef gone = gSuites.list->InsertEntry(list, -1);
        Check(gSuites.list->NumberOfEntries(list) == 4, "four entries");
        Check(gSuites.entry->GetIndex(gone) == 3, "appended");
        gSuites.list->RemoveEntry(list, 3);
        Check(gSuites.list->NumberOfEntries(list) == 3, "one removed");
        Check(gSuites.entry->GetIndex(two) == 2, "the separator sits between");
        Check(gSuites.list->GetEntry(list, 22) == two, "entry by id");
        Check(gSuites.list->IndexEntry(list, 0) == one, "entry by index");
        Check(gSuites.list->GetActiveEntry(list) == nullptr, "nothing chosen yet");
        gSuites.entry->Select(one, true);
        Check(gSuites.list->GetActiveEntry(list) == one, "selected");
        char text[16];
        gSuites.item->GetText(Item(dialog, 30), text, sizeof text);
        Check(std::strcmp(text, "&One") == 0, "the button shows the chosen entry");
        Check(gLog.notes.empty(), "selecting does not notify");
        gSuites.item->SetNotifyProc(
            Item(dialog, 30), [](ADMItemRef item, ADMNotifierRef n) noexcept {
                ADMEntryRef active = gSuites.list->GetActiveEntry(gSuites.item->GetList(item));
                gLog.counts["chosen"] = active ? gSuites.entry->GetID(active) : -1;
                gSuites.item->DefaultNotify(item, n);
            });
    };
    // The menu opens under the button; 't' chooses "&Two".
    Run(init, "click 60 42\nkey t");
    EXPECT_EQ(gLog.counts["chosen"], 22);
    ASSERT_EQ(gLog.notes.size(), 1u);
    EXPECT_EQ(gLog.notes[0].type, kADMUserChangedNotifier);
    EXPECT_EQ(gLog.notes[0].item, 30);
}

TEST_F(AdmSuitesTest, PicturePushButtonNotifiesWhenReleasedOverIt) {
    SetTemplate(320, 240, {kOK, kCancel, {40, kADMPicturePushButtonType, 150, 30, 30, 30, 0, ""}});
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->SetNotifyProc(dialog, &RecordNotify);
    };
    Run(init, "press 165 45\nrelease 250 45\nclick 165 45");
    ASSERT_EQ(gLog.notes.size(), 1u);
    EXPECT_EQ(gLog.notes[0].type, kADMUserChangedNotifier);
    EXPECT_EQ(gLog.notes[0].item, 40);
}

// --- trackers -------------------------------------------------------------------------------

TEST_F(AdmSuitesTest, TrackersCarryActionsPointsAndModifiers) {
    SetTemplate(320, 240, {kOK, kCancel, kFrame, {20, kADMTextEditType, 150, 30, 80, 24, 0, ""}});
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->SetMask(dialog, kADMAllActionsMask);
        gSuites.dialog->SetTrackProc(dialog, &RecordDialogTrack);
        ADMItemRef frame = Item(dialog, 10);
        gSuites.item->SetMask(frame, kADMAllActionsMask);
        gSuites.item->SetTrackProc(frame, &RecordItemTrack);
    };
    Run(init,
        "move 5 5\nmove 30 40\npress 30 40\ndrag 40 50\nrelease 40 50\n"
        "click 30 40 ctrl\nclick 30 40 ctrl+shift\nclick 30 40 alt\ndblclick 35 45\nmove 5 5\n"
        "click 160 40\nhold shift\nletgo shift\nhold alt\nletgo alt\nkey z ctrl\nkey tab\n");

    // Mouse on the frame, in its own coordinates.
    int at = Find(-1, 10, kADMEnterAction);
    ASSERT_GE(at, 0);
    at = Find(at, 10, kADMMouseMovedUpAction);
    ASSERT_GE(at, 0);
    EXPECT_EQ(gLog.tracks[size_t(at)].point.h, 10);
    EXPECT_EQ(gLog.tracks[size_t(at)].point.v, 10);
    at = Find(at, 10, kADMButtonDownAction, 0);
    ASSERT_GE(at, 0);
    at = Find(at, 10, kADMMouseMovedDownAction);
    ASSERT_GE(at, 0);
    EXPECT_EQ(gLog.tracks[size_t(at)].point.h, 20);
    EXPECT_EQ(gLog.tracks[size_t(at)].point.v, 20);
    at = Find(at, 10, kADMButtonUpAction);
    ASSERT_GE(at, 0);
    for (ADMInt32 modifiers :
         {ADMInt32(kADMControlKeyModifier), kADMControlKeyModifier | kADMShiftKeyModifier,
          ADMInt32(kADMOptionKeyModifier)}) {
        at = Find(at, 10, kADMButtonDownAction, modifiers);
        ASSERT_GE(at, 0) << modifiers;
    }
    at = Find(at, 10, kADMButtonDownAction, 0);
    ASSERT_GE(at, 0);
    at = Find(at, 10, kADMButtonDownAction, kADMDoubleClickModifier);
    ASSERT_GE(at, 0) << "double click";
    at = Find(at, 10, kADMLeaveAction);
    ASSERT_GE(at, 0);
    // The background belongs to the dialog.
    EXPECT_GE(Find(-1, -1, kADMMouseMovedUpAction), 0);

    // Keys reach the dialog while the edit box has the focus.
    at = Find(at, -1, kADMShiftKeyDownAction);
    ASSERT_GE(at, 0);
    at = Find(at, -1, kADMShiftKeyUpAction);
    ASSERT_GE(at, 0);
    at = Find(at, -1, kADMAltKeyDownAction);
    ASSERT_GE(at, 0);
    at = Find(at, -1, kADMAltKeyUpAction);
    ASSERT_GE(at, 0);
    at = Find(at, -1, kADMKeyStrokeAction, kADMControlKeyModifier);
    ASSERT_GE(at, 0);
    EXPECT_EQ(gLog.tracks[size_t(at)].key, 'Z');
    at = Find(at, -1, kADMKeyStrokeAction);
    ASSERT_GE(at, 0);
    EXPECT_EQ(gLog.tracks[size_t(at)].key, kADMTabKey);
}

TEST_F(AdmSuitesTest, DefaultMaskKeepsMovesAway) {
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.item->SetTrackProc(Item(dialog, 10), &RecordItemTrack);
    };
    Run(init, "move 30 40\nclick 30 40\nmove 5 5");
    std::vector<ADMInt32> actions;
    for (const TrackEvent& e : gLog.tracks)
        actions.push_back(e.action);
    EXPECT_EQ(actions, (std::vector<ADMInt32>{kADMButtonDownAction, kADMButtonUpAction}));
}

// --- drawing --------------------------------------------------------------------------------

QImage CanvasOf(ADMItemRef item) {
    auto* adm = reinterpret_cast<ui::AdmItem*>(item);
    adm->Canvas()->Refresh();
    return adm->Canvas()->Canvas().copy();
}

void DrawTestPicture(ADMItemRef item, ADMDrawerRef drawer) noexcept {
    const ADMRGBColor orange{200 * 257, 100 * 257, 50 * 257};
    gSuites.drawer->SetRGBColor(drawer, &orange);
    const ADMRect all{0, 0, 100, 80};
    gSuites.drawer->FillRect(drawer, &all);
    gSuites.drawer->SetADMColor(drawer, kADMBackgroundColor);
    const ADMRect pane{0, 60, 20, 80};
    gSuites.drawer->FillRect(drawer, &pane);
    gSuites.drawer->SetADMColor(drawer, kADMBlackColor);
    const ADMRect outline{30, 60, 40, 70};
    gSuites.drawer->DrawRect(drawer, &outline);
    const ADMRect sunken{50, 60, 70, 80};
    gSuites.drawer->DrawSunkenRect(drawer, &sunken);
    const ADMRect raised{75, 60, 95, 80};
    gSuites.drawer->DrawRaisedRect(drawer, &raised);

    // An image whose first pixel is blue 10, green 20, red 30 in memory.
    ADMImageRef image = gSuites.image->Create(3, 2);
    uint8_t* base = gSuites.image->BeginBaseAddressAccess(image);
    const ADMInt32 rowBytes = gSuites.image->GetByteWidth(image);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* pixel = base + y * rowBytes + x * 4;
            pixel[0] = 10, pixel[1] = 20, pixel[2] = 30;
        }
    gSuites.image->EndBaseAddressAccess(image);
    const ADMPoint at{5, 5};
    gSuites.drawer->DrawADMImage(drawer, image, &at);
    gSuites.image->Destroy(image);

    ADMIconRef icon = gSuites.icon->GetFromResource(nullptr, 5, 0);
    const ADMRect box{60, 0, 70, 10};
    gSuites.drawer->DrawIconCentered(drawer, icon, &box);
    gSuites.icon->Destroy(icon);
    (void)item;
}

ADMBoolean CheckDrawing(ADMDialogRef dialog, ADMTimerID) noexcept {
    ADMItemRef frame = Item(dialog, 10);
    const QImage drawn = CanvasOf(frame);
    Check(drawn.pixel(50, 30) == qRgb(200, 100, 50), "RGB fill");
    Check(drawn.pixel(10, 70) == ui::StandardColor(kADMBackgroundColor).rgb(), "colour 19");
    Check(drawn.pixel(30, 65) == qRgb(0, 0, 0) && drawn.pixel(35, 65) == qRgb(200, 100, 50),
          "rectangle outline only");
    Check(drawn.pixel(50, 60) != drawn.pixel(69, 79), "sunken frame shades");
    Check(drawn.pixel(5, 5) == qRgb(30, 20, 10) && drawn.pixel(7, 6) == qRgb(30, 20, 10),
          "image in blue-green-red order");
    // A 4 x 2 icon centred in a 10 x 10 box starts at (3, 4).
    Check(drawn.pixel(63, 4) == qRgb(0, 255, 0) && drawn.pixel(66, 5) == qRgb(0, 255, 0), "icon");
    Check(drawn.pixel(62, 4) == qRgb(200, 100, 50) && drawn.pixel(63, 6) == qRgb(200, 100, 50),
          "icon centred");

    // The sampler mark drawn twice in exclusive-or mode leaves nothing behind.
    auto mark = [frame](ADMRGBColor colour) {
        ADMDrawerRef drawer = gSuites.item->CreateDrawer(frame);
        gSuites.drawer->SetDrawMode(drawer, kADMXORMode);
        gSuites.drawer->SetRGBColor(drawer, &colour);
        const ADMPoint c{40, 40};
        gSuites.drawer->DrawLine(drawer, &c, &c);
        const ADMPoint outline[] = {{36, 38}, {38, 36}, {42, 36}, {44, 38}, {44, 42},
                                    {42, 44}, {38, 44}, {36, 42}, {36, 38}};
        gSuites.drawer->DrawPolygon(drawer, outline, 9);
        const ADMPoint a{33, 40}, b{35, 40};
        gSuites.drawer->DrawLine(drawer, &a, &b);
        const ADMRect box{10, 10, 30, 20};
        gSuites.drawer->DrawRect(drawer, &box);
        gSuites.drawer->FillRect(drawer, &box);
        gSuites.item->DestroyDrawer(drawer);
    };
    for (ADMRGBColor colour :
         {ADMRGBColor{127 * 257, 127 * 257, 127 * 257}, ADMRGBColor{0, 0, 0}}) {
        mark(colour);
        const QImage once = CanvasOf(frame);
        Check(once != drawn, "the mark shows");
        Check(once.pixel(38, 36) != drawn.pixel(38, 36), "outline drawn");
        mark(colour);
        Check(CanvasOf(frame) == drawn, "drawn twice, the mark is gone");
    }
    gSuites.dialog->EndModal(dialog, 1, false);
    return false;
}

TEST_F(AdmSuitesTest, DrawerPaintsAndExclusiveOrUndoesItself) {
    AddResource(kPIIconType, 5, SolidBitmap(4, 2, 32, {0, 255, 0, 255}));
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.item->SetDrawProc(Item(dialog, 10), &DrawTestPicture);
        gSuites.dialog->CreateTimer(dialog, 20, &CheckDrawing);
    };
    EXPECT_EQ(Run(init, "wait 2000"), 1);
}

TEST_F(AdmSuitesTest, ImagesAndIcons) {
    ADMImageRef image = gSuites.image->Create(3, 2);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(gSuites.image->GetWidth(image), 3);
    EXPECT_EQ(gSuites.image->GetHeight(image), 2);
    EXPECT_EQ(gSuites.image->GetBitsPerPixel(image), 32);
    EXPECT_GE(gSuites.image->GetByteWidth(image), 12);
    gSuites.image->Destroy(image);
    for (auto [w, h] : {std::pair{0, 5}, {5, -1}, {20000, 2}})
        EXPECT_EQ(gSuites.image->Create(w, h), nullptr) << w << " x " << h;

    AddResource(kPIIconType, 5, SolidBitmap(4, 2, 32, {1, 2, 3, 4}));
    AddResource(kPIBitmapType, 6, SolidBitmap(7, 3, 24, {1, 2, 3}));
    auto truncated = SolidBitmap(4, 2, 32, {1, 2, 3, 4});
    truncated.pop_back();
    AddResource(kPIIconType, 7, truncated);
    ADMIconRef icon = gSuites.icon->GetFromResource(nullptr, 5, 0);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(gSuites.icon->GetWidth(icon), 4);
    EXPECT_EQ(gSuites.icon->GetHeight(icon), 2);
    gSuites.icon->Destroy(icon);
    icon = gSuites.icon->GetFromResource(nullptr, 6, 0);
    ASSERT_NE(icon, nullptr) << "a bitmap serves as an icon";
    EXPECT_EQ(gSuites.icon->GetWidth(icon), 7);
    gSuites.icon->Destroy(icon);
    EXPECT_EQ(gSuites.icon->GetFromResource(nullptr, 8, 0), nullptr);
    EXPECT_EQ(gSuites.icon->GetFromResource(nullptr, 7, 0), nullptr);
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("expected 32"), std::string::npos) << errors_[0];
}

// --- timers, sizes, cursors -----------------------------------------------------------------

TEST_F(AdmSuitesTest, TimersRepeatUntilStoppedOrAborted) {
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->CreateTimer(dialog, 5, [](ADMDialogRef, ADMTimerID) noexcept {
            return ADMBoolean(++gLog.counts["repeating"] < 3);
        });
        const ADMTimerID aborted =
            gSuites.dialog->CreateTimer(dialog, 5, [](ADMDialogRef, ADMTimerID) noexcept {
                ++gLog.counts["aborted"];
                return ADMBoolean(true);
            });
        gSuites.dialog->AbortTimer(dialog, aborted);
    };
    Run(init, "wait 300");
    EXPECT_EQ(gLog.counts["repeating"], 3);
    EXPECT_EQ(gLog.counts["aborted"], 0);
}

TEST_F(AdmSuitesTest, MinimumSizeHoldsAndResizesNotify) {
    SetTemplate(200, 100, {kOK, kCancel});
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.dialog->SetMinWidth(dialog, 300);
        gSuites.dialog->SetMinHeight(dialog, 200);
        ADMRect local{};
        gSuites.dialog->GetLocalRect(dialog, &local);
        Check(local.right == 300 && local.bottom == 200, "grown to the minimum");
        gSuites.dialog->SetNotifyProc(dialog, &RecordNotify);
    };
    Run(init, "resize 100 100\nresize 400 300");
    ASSERT_FALSE(gLog.localRects.empty());
    for (const ADMRect& r : gLog.localRects) {
        EXPECT_GE(r.right, 300);
        EXPECT_GE(r.bottom, 200);
    }
    EXPECT_EQ(gLog.localRects.back().right, 400);
    EXPECT_EQ(gLog.localRects.back().bottom, 300);
    for (const Note& n : gLog.notes) {
        EXPECT_EQ(n.type, kADMBoundsChangedNotifier);
        EXPECT_EQ(n.item, -1);
    }
}

TEST_F(AdmSuitesTest, HostCursorsByName) {
    auto init = [](ADMDialogRef dialog) noexcept {
        gSuites.item->SetTrackProc(Item(dialog, 10), [](ADMItemRef item, ADMTrackerRef) noexcept {
            QWidget* widget = reinterpret_cast<ui::AdmItem*>(item)->Widget();
            const std::pair<const char*, Qt::CursorShape> kCursors[] = {
                {"Photoshop Cursor Hand", Qt::OpenHandCursor},
                {"Photoshop Cursor Grab", Qt::ClosedHandCursor},
                {"Photoshop Cursor Arrow", Qt::ArrowCursor},
                {"Photoshop Cursor Eyedropper", Qt::BitmapCursor},
                {"Photoshop Cursor Zoom In", Qt::BitmapCursor},
                {"Photoshop Cursor Zoom Out", Qt::BitmapCursor},
                {"Photoshop Cursor Path Arrow", Qt::BitmapCursor}};
            for (const auto& [name, shape] : kCursors) {
                Check(gSuites.hooks->SetCursor(name) == 0, name);
                Check(widget->cursor().shape() == shape, std::string("shape of ") + name);
            }
            Check(gSuites.hooks->SetCursor("Photoshop Cursor Lasso") != 0, "unknown name refused");
            Check(widget->cursor().shape() == Qt::BitmapCursor, "unknown name changes nothing");
            gLog.counts["tracked"]++;
            return ADMBoolean(false);
        });
    };
    Run(init, "click 30 40");
    EXPECT_EQ(gLog.counts["tracked"], 2); // down and up
}

TEST_F(AdmSuitesTest, ForeignHandlesAreRefused) {
    int junk[16] = {};
    auto* dialog = reinterpret_cast<ADMDialogRef>(junk);
    auto* item = reinterpret_cast<ADMItemRef>(junk);
    EXPECT_EQ(gSuites.dialog->GetItem(dialog, 1), nullptr);
    const ADMRect bounds{0, 0, 5, 5};
    EXPECT_EQ(gSuites.dialog->CreateItem(dialog, 0, kADMFrameType, &bounds, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(gSuites.item->GetID(item), 0);
    EXPECT_EQ(gSuites.item->GetList(item), nullptr);
    EXPECT_EQ(gSuites.item->CreateDrawer(item), nullptr);
    gSuites.item->SetText(item, "ignored");
    EXPECT_EQ(gSuites.tracker->GetAction(reinterpret_cast<ADMTrackerRef>(junk)), 0);
    EXPECT_EQ(gSuites.list->NumberOfEntries(reinterpret_cast<ADMListRef>(junk)), 0);
    EXPECT_EQ(gSuites.image->GetWidth(reinterpret_cast<ADMImageRef>(junk)), 0);
    EXPECT_EQ(junk[0], 0);
    ADMRect area{};
    gSuites.basic->GetScreenDimensions(nullptr, &area);
    EXPECT_GT(area.right - area.left, 0);
    EXPECT_GT(area.bottom - area.top, 0);
}

} // namespace
} // namespace quillon::test
