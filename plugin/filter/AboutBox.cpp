#include "filter/AboutBox.h"

#include "dialog/AdmWrappers.h"
#include "platform/Platform.h"
#include "resources/DialogResources.h"
#include "suites/SuiteHolder.h"

namespace quillon::filter {
namespace {

using dialog::Dialog;
using dialog::Item;
using dialog::Notifier;
using dialog::Tracker;

constexpr ADMInt32 kPopupOptions = 2;

struct NoticeLine {
    int32 top;
    const char* text;
};
constexpr NoticeLine kNoticeLines[] = {
    {170, "Version 2.0.1"},
    {188, "\u00a9 2026 Nerrow Software."},
    {206, "All rights reserved."},
};

void NotifyAbout(ADMDialogRef ref, ADMNotifierRef notifierRef) noexcept {
    dialog::Guarded(ref, [&] {
        Notifier notifier(notifierRef);
        if (notifier.IsType(kADMUserChangedNotifier))
            platform::OpenWebPage(suites::BasicSuite(), kUpdateAddress);
        else
            Dialog(ref).DefaultNotify(notifier);
    });
}

// A press or a key stroke anywhere on the dialog closes it.
ADMBoolean TrackAbout(ADMDialogRef ref, ADMTrackerRef trackerRef) noexcept {
    bool handled = false;
    dialog::Guarded(ref, [&] {
        Tracker tracker(trackerRef);
        const ADMInt32 action = tracker.Action();
        if (action == kADMButtonDownAction || action == kADMKeyStrokeAction) {
            Dialog(ref).EndModal(0, false);
            handled = true;
        } else {
            handled = Dialog(ref).DefaultTrack(tracker);
        }
    });
    return handled;
}

// The picture and the texts close it on a press too.
ADMBoolean TrackAboutItem(ADMItemRef ref, ADMTrackerRef trackerRef) noexcept {
    bool handled = false;
    Item item(ref);
    dialog::Guarded(nullptr, [&] {
        Tracker tracker(trackerRef);
        if (tracker.Action() == kADMButtonDownAction) {
            item.GetDialog().EndModal(0, true);
            handled = true;
        } else {
            handled = item.DefaultTrack(tracker);
        }
    });
    return handled;
}

void InitAbout(ADMDialogRef ref) noexcept {
    dialog::Guarded(ref, [&] {
        Dialog about(ref);
        about.SetTitle("Nerrow Quillon");
        about.SetMask(kADMAllActionsMask);
        about.SetNotifyProc(&NotifyAbout);
        about.SetTrackProc(&TrackAbout);
        about.GetItem(resources::kAboutPictureItem).SetTrackProc(&TrackAboutItem);
        for (const NoticeLine& line : kNoticeLines) {
            Item text = about.CreateItem(kADMTextStaticType, {15, line.top, 215, line.top + 20});
            text.SetText(line.text);
            text.SetMask(kADMAllActionsMask);
            text.SetTrackProc(&TrackAboutItem);
        }
    });
}

} // namespace

void ShowAboutBox(const AboutRecord& about) {
    dialog::ModalSession session;
    Dialog::PopupModal(about.plugInRef, "About", resources::kAboutDialogID, &InitAbout, session,
                       kPopupOptions);
}

} // namespace quillon::filter
