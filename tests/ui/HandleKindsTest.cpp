// Every suite that takes handles refuses a live handle of another kind: each probe below calls
// one suite with a handle of the kind it expects (which must work) and then with one live handle
// of every other kind (which must be refused, not reinterpreted). The dialog-manager kinds exist
// only inside a running dialog, and trackers and notifiers only inside their callbacks, so the
// table runs from a track callback and again from a notify callback.
#include "AdmTestSupport.h"

#include "pluginapi/PIActions.h"
#include "pluginapi/PIChannelPorts.h"
#include "pluginapi/PIColorSpace.h"

#include <functional>
#include <map>
#include <set>

namespace quillon::test {
namespace {

using filterhost::HandleKind;
using resources::TemplateItem;

constexpr DescriptorKeyID kKey = PI_FOURCC('t', 'e', 's', 't');

struct Probe {
    const char* name;
    HandleKind expects;
    // True when the call refused the handle.
    std::function<bool(void* handle)> refused;
    bool checkAccepted = true;
};

// The host's suites as the plug-in acquires them, and one live object of every kind.
struct World {
    const ADMBasicSuite9* basic;
    const PSHandleSuite2* handles;
    const PSColorSpaceSuite1* colors;
    const PSChannelPortsSuite1* ports;
    const PSActionDescriptorProcs* descriptors;
    const PSDescriptorRegistryProcs* registry;
    const PSActionReferenceProcs* references;
    const PSBasicActionControlProcs* control;
    ReadDescriptorProcs* read;
    WriteDescriptorProcs* write;
    ChannelPortProcs* portProcs;
    std::map<HandleKind, void*> live;
    ADMItemRef frame = nullptr;
    int tablesRun = 0;
} gWorld;

const char* KindName(HandleKind kind) {
    static const char* const kNames[] = {
        "handle",    "buffer", "descriptor", "read token", "write token", "colour",
        "reference", "port",   "dialog",     "item",       "tracker",     "notifier",
        "drawer",    "image",  "icon",       "list",       "entry"};
    return kNames[size_t(kind)];
}

QImage CanvasOf(ADMItemRef item) {
    auto* adm = reinterpret_cast<ui::AdmItem*>(item);
    adm->Canvas()->Refresh();
    return adm->Canvas()->Canvas().copy();
}

std::vector<Probe> Probes() {
    World& w = gWorld;
    return {
        {"handle procs: getSize", HandleKind::Handle,
         [](void* h) { return filterhost::HostMemory::Handles()->getSizeProc(Handle(h)) == 0; }},
        {"handle suite: SetSize", HandleKind::Handle,
         [](void* h) { return w.handles->SetSize(Handle(h), w.handles->GetSize(Handle(h))) != 0; }},
        {"descriptor procs: openRead", HandleKind::Handle,
         [](void* h) {
             PIReadDescriptor token = w.read->openReadDescriptorProc(Handle(h), nullptr);
             if (token) w.read->closeReadDescriptorProc(token);
             return token == nullptr;
         }},
        {"descriptor procs: putText", HandleKind::Handle,
         [](void* h) {
             return w.write->putTextProc(PIWriteDescriptor(w.live[HandleKind::WriteToken]), kKey,
                                         Handle(h)) != noErr;
         }},
        {"buffer procs: lock", HandleKind::Buffer,
         [](void* b) {
             BufferProcs& procs = *filterhost::HostMemory::Buffers();
             Ptr p = procs.lockProc(BufferID(b), false);
             if (p) procs.unlockProc(BufferID(b));
             return p == nullptr;
         }},
        {"descriptor procs: getKey", HandleKind::ReadToken,
         [](void* t) {
             DescriptorKeyID key = 0;
             DescriptorTypeID type = 0;
             int32 flags = 0;
             return !w.read->getKeyProc(PIReadDescriptor(t), &key, &type, &flags);
         }},
        {"descriptor procs: putInteger", HandleKind::WriteToken,
         [](void* t) { return w.write->putIntegerProc(PIWriteDescriptor(t), kKey, 1) != noErr; }},
        {"action descriptor suite: HasKey", HandleKind::Descriptor,
         [](void* d) {
             Boolean has = false;
             return w.descriptors->HasKey(PIActionDescriptor(d), kKey, &has) != kSPNoError;
         }},
        {"descriptor registry suite: Register", HandleKind::Descriptor,
         [](void* d) {
             return w.registry->Register("test", PIActionDescriptor(d), false) != kSPNoError;
         }},
        {"colour-space suite: StuffComponents", HandleKind::Color,
         [](void* c) {
             return w.colors->StuffComponents(ColorID(c), plugIncolorServicesRGBSpace, 0, 1, 2,
                                              3) != kSPNoError;
         }},
        {"colour-space suite: ExtractComponents", HandleKind::Color,
         [](void* c) {
             uint8 c0, c1, c2, c3;
             return w.colors->ExtractComponents(ColorID(c), plugIncolorServicesLabSpace, &c0, &c1,
                                                &c2, &c3, nullptr) != kSPNoError;
         }},
        {"action reference suite: PutProperty", HandleKind::Reference,
         [](void* r) { return w.references->PutProperty(PIActionReference(r), 1, 2) != 0; }},
        // The live reference is not one this host answers, so only refusals show here.
        {"basic action control suite: Get", HandleKind::Reference,
         [](void* r) {
             PIActionDescriptor result = nullptr;
             const bool refused = w.control->Get(&result, PIActionReference(r)) != kSPNoError;
             if (result) w.descriptors->Free(result);
             return refused;
         },
         false},
        {"channel ports suite: GetDepth", HandleKind::Port,
         [](void* p) {
             int32 depth = 0;
             return w.ports->GetDepth(PIChannelPort(p), &depth) != kSPNoError;
         }},
        {"channel port procs: readPixels", HandleKind::Port,
         [](void* p) {
             uint8_t pixel = 0;
             const PixelMemoryDesc memory{&pixel, 8, 8, 0, 8};
             const VRect one{0, 0, 1, 1};
             const PSScaling scaling{one, one};
             VRect wrote{};
             return w.portProcs->readPixelsProc(PIChannelPort(p), &scaling, &one, &memory,
                                                &wrote) != noErr;
         }},
        // The owner's own kind would open a file dialog and wait for the user.
        {"basic suite: GetFile", HandleKind::Dialog,
         [](void* d) {
             char path[64];
             return !gWorld.basic->GetFile(ADMDialogRef(d), "", nullptr, path, sizeof path);
         },
         false},
        {"dialog suite: GetItem", HandleKind::Dialog,
         [](void* d) { return gSuites.dialog->GetItem(ADMDialogRef(d), 10) == nullptr; }},
        {"item suite: GetID", HandleKind::Item,
         [](void* i) { return gSuites.item->GetID(ADMItemRef(i)) == 0; }},
        // Drawing functions answer nothing, so the frame's canvas shows whether one painted.
        {"drawer suite: FillRect", HandleKind::Drawer,
         [](void* d) {
             static uint16_t shade = 0;
             shade = uint16_t(shade + 9000);
             const QImage before = CanvasOf(w.frame);
             const ADMRGBColor colour{shade, uint16_t(65535 - shade), 0};
             gSuites.drawer->SetRGBColor(ADMDrawerRef(d), &colour);
             const ADMRect corner{0, 0, 4, 4};
             gSuites.drawer->FillRect(ADMDrawerRef(d), &corner);
             return CanvasOf(w.frame) == before;
         }},
        {"image suite: GetWidth", HandleKind::Image,
         [](void* i) { return gSuites.image->GetWidth(ADMImageRef(i)) == 0; }},
        {"icon suite: GetWidth", HandleKind::Icon,
         [](void* i) { return gSuites.icon->GetWidth(ADMIconRef(i)) == 0; }},
        {"notifier suite: GetItem", HandleKind::Notifier,
         [](void* n) { return gSuites.notifier->GetItem(ADMNotifierRef(n)) == nullptr; }},
        {"tracker suite: GetAction", HandleKind::Tracker,
         [](void* t) { return gSuites.tracker->GetAction(ADMTrackerRef(t)) == 0; }},
        {"entry suite: GetID", HandleKind::Entry,
         [](void* e) { return gSuites.entry->GetID(ADMEntryRef(e)) == 0; }},
        {"list suite: NumberOfEntries", HandleKind::List,
         [](void* l) { return gSuites.list->NumberOfEntries(ADMListRef(l)) == 0; }},
    };
}

// Runs every probe with every live handle; `extra` is the tracker or notifier of the callback.
void RunTable(ADMDialogRef dialog, HandleKind extraKind, void* extra) {
    World& w = gWorld;
    ADMItemRef popup = gSuites.dialog->GetItem(dialog, 30);
    ADMListRef list = gSuites.item->GetList(popup);
    ADMEntryRef entry = gSuites.list->InsertEntry(list, 0);
    gSuites.entry->SetID(entry, 5);
    ADMDrawerRef drawer = gSuites.item->CreateDrawer(w.frame);
    ADMImageRef image = gSuites.image->Create(3, 2);
    ADMIconRef icon = gSuites.icon->GetFromResource(nullptr, 5, 0);
    std::map<HandleKind, void*> live = w.live;
    live[HandleKind::Dialog] = dialog;
    live[HandleKind::Item] = w.frame;
    live[HandleKind::List] = list;
    live[HandleKind::Entry] = entry;
    live[HandleKind::Drawer] = drawer;
    live[HandleKind::Image] = image;
    live[HandleKind::Icon] = icon;
    live[extraKind] = extra;
    for (const auto& [kind, handle] : live)
        ASSERT_NE(handle, nullptr) << KindName(kind);

    std::set<HandleKind> probed;
    for (const Probe& probe : Probes()) {
        const auto own = live.find(probe.expects);
        if (own == live.end()) continue; // a tracker probe inside the notifier, or the reverse
        probed.insert(probe.expects);
        if (probe.checkAccepted) {
            EXPECT_FALSE(probe.refused(own->second))
                << probe.name << " refused its own kind, a " << KindName(probe.expects);
        }
        for (const auto& [kind, handle] : live)
            if (kind != probe.expects) {
                EXPECT_TRUE(probe.refused(handle))
                    << probe.name << " took a live " << KindName(kind);
            }
    }
    EXPECT_EQ(probed.size(), live.size()) << "a kind without a probe";

    gSuites.icon->Destroy(icon);
    gSuites.image->Destroy(image);
    gSuites.item->DestroyDrawer(drawer);
    gSuites.list->RemoveEntry(list, 0);
    ++w.tablesRun;
}

const TemplateItem kOK{1, kADMTextPushButtonType, 220, 200, 80, 24, 0, "OK"};
const TemplateItem kFrame{10, kADMFrameType, 20, 30, 100, 80, 0, ""};
const TemplateItem kPopup{30, kADMPopupMenuType, 150, 30, 90, 24, 0, ""};

template <typename T> const T* Acquire(const char* name, int32 version) {
    const void* suite = nullptr;
    EXPECT_EQ(filterhost::SuiteRegistry::Basic()->AcquireSuite(name, version, &suite), 0) << name;
    return static_cast<const T*>(suite);
}

class HandleKindsTest : public AdmTest {};

TEST_F(HandleKindsTest, EverySuiteRefusesALiveHandleOfAnotherKind) {
    AddResource(kPIIconType, 5, SolidBitmap(4, 2, 32, {0, 255, 0, 255}));
    SetTemplate(320, 240, {kOK, kFrame, kPopup});
    filterhost::Document document = filterhost::MakeDocument(filterhost::ColorMode::RGB, 8, 4, 4);
    filterhost::ChannelPorts& ports = session_.OpenPorts(document);
    session_.OpenColors();
    session_.OpenActionControl(filterhost::EyedropperSample::Point);

    World& w = gWorld;
    w = World{};
    w.basic = Acquire<ADMBasicSuite9>(kADMBasicSuite, kADMBasicSuiteVersion9);
    w.handles = Acquire<PSHandleSuite2>(kPSHandleSuite, kPSHandleSuiteVersion2);
    w.colors = Acquire<PSColorSpaceSuite1>(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1);
    w.ports = Acquire<PSChannelPortsSuite1>(kPSChannelPortsSuite, kPSChannelPortsSuiteVersion2);
    w.descriptors =
        Acquire<PSActionDescriptorProcs>(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
    w.registry = Acquire<PSDescriptorRegistryProcs>(kPSDescriptorRegistrySuite,
                                                    kPSDescriptorRegistrySuiteVersion);
    w.references =
        Acquire<PSActionReferenceProcs>(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion);
    w.control = Acquire<PSBasicActionControlProcs>(kPSBasicActionControlSuite,
                                                   kPSBasicActionControlSuiteVersion);
    w.read = session_.Descriptors().ReadProcs();
    w.write = session_.Descriptors().WriteProcs();
    w.portProcs = ports.Procs();

    // A handle holding an empty descriptor, and a read token over one with many keys.
    filterhost::Descriptor many;
    for (uint32_t k = 1; k <= 64; ++k)
        many.Put({k, typeInteger, int32_t(k)});
    w.live[HandleKind::Handle] = session_.Descriptors().ToHandle({});
    w.live[HandleKind::ReadToken] =
        w.read->openReadDescriptorProc(session_.Descriptors().ToHandle(many), nullptr);
    w.live[HandleKind::WriteToken] = w.write->openWriteDescriptorProc();
    BufferID buffer = nullptr;
    ASSERT_EQ(filterhost::HostMemory::Buffers()->allocateProc(16, &buffer), noErr);
    w.live[HandleKind::Buffer] = buffer;
    PIActionDescriptor descriptor = nullptr;
    ASSERT_EQ(w.descriptors->Make(&descriptor), kSPNoError);
    w.live[HandleKind::Descriptor] = descriptor;
    ColorID colour = nullptr;
    ASSERT_EQ(w.colors->Make(&colour), kSPNoError);
    w.live[HandleKind::Color] = colour;
    PIActionReference reference = nullptr;
    ASSERT_EQ(w.references->Make(&reference), kSPNoError);
    w.live[HandleKind::Reference] = reference;
    w.live[HandleKind::Port] = ports.Channels()->port;

    auto init = [](ADMDialogRef dialog) noexcept {
        gWorld.frame = gSuites.dialog->GetItem(dialog, 10);
        gSuites.item->SetTrackProc(gWorld.frame, [](ADMItemRef item, ADMTrackerRef t) noexcept {
            if (gSuites.tracker->GetAction(t) == kADMButtonDownAction)
                RunTable(gSuites.item->GetDialog(item), HandleKind::Tracker, t);
            return ADMBoolean(false);
        });
        gSuites.dialog->SetNotifyProc(dialog, [](ADMDialogRef d, ADMNotifierRef n) noexcept {
            ADMItemRef item = gSuites.notifier->GetItem(n);
            if (item && gSuites.item->GetID(item) == 1) RunTable(d, HandleKind::Notifier, n);
            gSuites.dialog->DefaultNotify(d, n);
        });
    };
    EXPECT_EQ(Run(init, "click 50 60\nclick 260 212"), 1);
    EXPECT_EQ(scriptFailure_, "");
    EXPECT_EQ(w.tablesRun, 2) << "both callbacks ran the table";
    // Refused calls changed nothing the objects hold.
    EXPECT_EQ(w.handles->GetSize(Handle(w.live[HandleKind::Handle])),
              int32(filterhost::DescriptorToJson({}).size() + 1));
}

} // namespace
} // namespace quillon::test
