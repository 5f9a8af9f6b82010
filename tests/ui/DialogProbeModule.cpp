// A small filter module whose about selector drives the plug-in's dialog-manager wrapper through
// every kind of call, the way the plug-in's own dialogs do. Its result is 0 only when every check
// held; text item 50 names the first check that failed. Compile definitions make the variants
// that ask for an unknown item type or an unknown suite.
#include "dialog/AdmWrappers.h"
#include "pluginapi/PIFilter.h"
#include "pluginapi/PIResources.h"
#include "resources/DialogResources.h"
#include "resources/PluginResources.h"
#include "suites/HostError.h"
#include "suites/SuiteHolder.h"

#include <string>

namespace {

using namespace quillon;
using dialog::Dialog;
using dialog::Item;

const std::vector<uint8_t> kPipl = resources::BuildPropertyList();
const std::vector<uint8_t> kLayout = resources::BuildDialogTemplate(
    320, 240, "Probe",
    {{1, kADMTextPushButtonType, 220, 200, 80, 24, 0, "OK"},
     {2, kADMTextPushButtonType, 130, 200, 80, 24, 0, "Cancel"},
     {10, kADMFrameType, 20, 30, 100, 80, 0, ""},
     {50, kADMTextStaticType, 20, 150, 280, 20, 0, "probe: running"}});
const std::vector<uint8_t> kIcon = {'Q', 'B', 'M', 'P', 2,   0, 1, 0, 32,
                                    0,   9,   9,   9,   255, 9, 9, 9, 255};

const PIResourceEntry kEntries[] = {
    {kPIPropertyListType, kPIPropertyListID, kPipl.data(), uint32(kPipl.size())},
    {kPIDialogType, 1, kLayout.data(), uint32(kLayout.size())},
    {kPIIconType, 5, kIcon.data(), uint32(kIcon.size())}};

std::string gFailed;
int gTimerCalls = 0;
int gFrameDowns = 0;

void Expect(bool ok, const char* check) {
    if (!ok && gFailed.empty()) gFailed = check;
}

void Report(ADMDialogRef ref) {
    const std::string text = gFailed.empty() ? "probe: ok" : "probe: failed " + gFailed;
    Dialog(ref).GetItem(50).SetText(text.c_str());
}

void DrawProbe(ADMItemRef ref, ADMDrawerRef drawerRef) noexcept {
    Item item(ref);
    dialog::Guarded(item.GetDialog().Ref(), [&] {
        dialog::Drawer drawer(drawerRef);
        drawer.SetColor(kADMBackgroundColor);
        drawer.FillRect(item.LocalRect());
        drawer.SetRGBColor(65535, 0, 0);
        drawer.Rect({2, 2, 20, 20});
        drawer.SunkenRect({30, 2, 50, 20});
        drawer.RaisedRect({60, 2, 80, 20});
        dialog::Icon icon(nullptr, 5);
        drawer.IconCentered(icon, {2, 30, 20, 50});
        dialog::Image image(4, 3);
        {
            dialog::Image::Pixels pixels(image);
            pixels.Row(2)[0] = 255;
        }
        drawer.DrawImage(image, {30, 30});
    });
}

ADMBoolean TrackProbe(ADMItemRef ref, ADMTrackerRef trackerRef) noexcept {
    Item item(ref);
    dialog::Guarded(item.GetDialog().Ref(), [&] {
        dialog::Tracker tracker(trackerRef);
        if (!tracker.TestAction(kADMButtonDownAction)) return;
        ++gFrameDowns;
        const ADMPoint point = tracker.Point();
        Expect(point.h == 30 && point.v == 20, "tracker point in item coordinates");
        Expect(tracker.Modifiers() == kADMControlKeyModifier, "tracker modifiers");
        Expect(tracker.TestModifier(kADMControlKeyModifier), "test modifier");
        const ADMPoint local = item.ScreenToLocal(dialog::CurrentState().Point());
        Expect(local.h == point.h && local.v == point.v, "null tracker on the screen");
        dialog::SetCursor("Photoshop Cursor Grab");
        // The sampler mark moves without waiting for a redraw.
        dialog::ItemDrawer drawer(item);
        drawer.SetDrawMode(kADMXORMode);
        drawer.SetRGBColor(127 * 257, 127 * 257, 127 * 257);
        const ADMPoint outline[] = {{26, 18}, {28, 16}, {32, 16}, {34, 18}, {26, 18}};
        drawer.Polygon(outline);
        drawer.Line(point, point);
        Report(item.GetDialog().Ref());
    });
    return false;
}

ADMBoolean TimerProbe(ADMDialogRef, ADMTimerID) noexcept {
    return ++gTimerCalls < 2;
}

void NotifyProbe(ADMDialogRef ref, ADMNotifierRef notifierRef) noexcept {
    dialog::Guarded(ref, [&] {
        dialog::Notifier notifier(notifierRef);
        Expect(notifier.GetDialog().Ref() == ref, "notifier dialog");
        if (notifier.IsType(kADMUserChangedNotifier) && notifier.GetItem().ID() == 1) {
            Expect(gTimerCalls == 2, "timer ran twice");
            Expect(gFrameDowns == 1, "frame pressed once");
        }
        Dialog(ref).DefaultNotify(notifier);
    });
}

void InitProbe(ADMDialogRef ref) noexcept {
    dialog::Guarded(ref, [&] {
        Dialog probe(ref);
        probe.SetTitle("Probe");
        probe.SetMinimumSize(300, 220);
        const ADMRect local = probe.LocalRect();
        Expect(local.right >= 320 && local.bottom >= 240, "local rectangle");
        probe.SetNotifyProc(&NotifyProbe);
        Item frame = probe.GetItem(10);
        Expect(frame.ID() == 10 && frame.GetDialog().Ref() == ref, "item and its dialog");
        frame.SetDrawProc(&DrawProbe);
        frame.SetTrackProc(&TrackProbe);
        frame.SetMask(kADMAllActionsMask);

        Item popup = probe.CreateItem(kADMPopupMenuType, {130, 30, 220, 54});
        dialog::List list = popup.GetList();
        dialog::Entry one = list.Insert(0);
        one.SetText("One");
        one.SetID(11);
        list.Insert(1).SetSeparator(true);
        dialog::Entry two = list.Insert(2);
        two.SetText("Two");
        two.SetID(22);
        two.Select(true);
        Expect(list.Count() == 3 && list.At(2).ID() == 22 && two.Index() == 2, "popup entries");
        Expect(list.ActiveID() == 22, "chosen entry");
        list.Remove(1);
        Expect(list.Count() == 2, "entry removed");

        Item edit = probe.CreateItem(kADMTextEditType, {130, 60, 200, 84}, 60);
        edit.SetRange(1, 10);
        edit.SetPrecision(0);
        edit.SetFloatValue(20);
        Expect(edit.FloatValue() == 10 && edit.ID() == 60, "value held to the maximum");
        Item box = probe.CreateItem(kADMTextCheckBoxType, {130, 90, 300, 114});
        box.SetText("Preserve &Luminosity");
        box.SetBooleanValue(true);
        Expect(box.BooleanValue(), "check box value");
        box.Enable(false);
        Expect(!box.IsEnabled(), "disabled");
        Item slider = probe.CreateItem(kADMSliderType, {130, 120, 300, 144});
        slider.SetRange(10, 100);
        slider.SetFloatValue(50);
        Expect(slider.FloatValue() == 50, "slider value");
        const ADMRect area = dialog::ScreenWorkArea();
        Expect(area.right > area.left && area.bottom > area.top, "work area");
        Expect(probe.CreateTimer(10, &TimerProbe) != 0, "timer made");
        const ADMTimerID aborted = probe.CreateTimer(10, &TimerProbe);
        probe.AbortTimer(aborted);
#ifdef PROBE_UNKNOWN_ITEM
        probe.CreateItem("ADM Bogus Type", {0, 0, 10, 10});
#endif
#ifdef PROBE_UNKNOWN_SUITE
        suites::SuiteHolder bogus{nullptr, 1, "ADM Bogus Suite", 0};
        suites::AcquireSuite(bogus);
#endif
        Report(ref);
    });
}

} // namespace

extern "C" __attribute__((visibility("default")))
const PIResourceDirectory PIResourceTable = {int32(std::size(kEntries)), kEntries};

extern "C" __attribute__((visibility("default"))) void
PluginMain(int16 selector, void* block, intptr_t*, int16* result) noexcept {
    *result = filterBadParameters;
    if (selector != filterSelectorAbout) return;
    suites::SetBasicSuite(static_cast<AboutRecord*>(block)->sSPBasic);
    try {
        dialog::ModalSession session;
        const ADMInt32 closedBy = Dialog::Modal(nullptr, "Probe", 1, 0, &InitProbe, session, 0);
        *result = closedBy == 1 && gFailed.empty() ? int16(noErr) : int16(1);
    } catch (const suites::HostError& error) {
        *result = suites::ToSelectorResult(error.code);
    }
}
