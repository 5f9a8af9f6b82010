// Drawing a 1200 x 800 display image into a custom item and presenting it, the way the preview
// pane redraws: the plug-in fills a dialog-manager image and draws it in its draw callback (or
// through a drawer made for the item), and the host puts the item on the screen.
#include "core/session/FilterSession.h"
#include "pluginapi/ADMSuites.h"
#include "pluginapi/PIResources.h"
#include "resources/DialogResources.h"
#include "ui/AdmItem.h"
#include "ui/DialogManager.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

namespace {

using namespace quillon;

constexpr int kWidth = 1200, kHeight = 800;

struct State {
    const ADMDialogSuite4* dialog;
    const ADMItemSuite3* item;
    const ADMDrawerSuite3* drawer;
    const ADMImageSuite2* image;
    ADMItemRef frame = nullptr;
    ADMImageRef display = nullptr;
    uint8_t shade = 0;
    int64_t draws = 0;
} g;

// A fresh picture each frame, so nothing is served from a cache.
void FillDisplay() {
    uint8_t* base = g.image->BeginBaseAddressAccess(g.display);
    const ADMInt32 rowBytes = g.image->GetByteWidth(g.display);
    ++g.shade;
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(base + ptrdiff_t(y) * rowBytes);
        for (int x = 0; x < kWidth; ++x)
            row[x] = uint32_t(x + g.shade) | uint32_t(y + g.shade) << 8 | uint32_t(g.shade) << 16;
    }
    g.image->EndBaseAddressAccess(g.display);
}

void DrawDisplay(ADMItemRef, ADMDrawerRef drawer) noexcept {
    ++g.draws;
    const ADMPoint origin{0, 0};
    g.drawer->DrawADMImage(drawer, g.display, &origin);
}

QWidget* FrameWidget() {
    return reinterpret_cast<ui::AdmItem*>(g.frame)->Widget();
}

void BM_InvalidateAndPresent(benchmark::State& state) {
    const int64_t before = g.draws;
    for (auto _ : state) {
        FillDisplay();
        g.item->Invalidate(g.frame);
        FrameWidget()->repaint();
    }
    // Every frame must have run the draw callback, or nothing was measured.
    if (g.draws - before != int64_t(state.iterations())) state.SkipWithError("frames not drawn");
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InvalidateAndPresent)->Unit(benchmark::kMillisecond);

void BM_ImmediateDrawer(benchmark::State& state) {
    for (auto _ : state) {
        FillDisplay();
        ADMDrawerRef drawer = g.item->CreateDrawer(g.frame);
        const ADMPoint origin{0, 0};
        g.drawer->DrawADMImage(drawer, g.display, &origin);
        g.item->DestroyDrawer(drawer);
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImmediateDrawer)->Unit(benchmark::kMillisecond);

// The benchmarks run inside the modal dialog's event loop, once the dialog is on the screen.
ADMBoolean RunBenchmarks(ADMDialogRef dialog, ADMTimerID) noexcept {
    benchmark::RunSpecifiedBenchmarks();
    g.dialog->EndModal(dialog, 1, false);
    return false;
}

void Init(ADMDialogRef dialog) noexcept {
    g.frame = g.dialog->GetItem(dialog, 10);
    g.item->SetDrawProc(g.frame, &DrawDisplay);
    g.dialog->CreateTimer(dialog, 200, &RunBenchmarks);
}

template <typename T>
const T* Acquire(filterhost::SuiteRegistry& r, const char* name, int32 version) {
    const void* suite = nullptr;
    r.Basic()->AcquireSuite(name, version, &suite);
    return static_cast<const T*>(suite);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    const auto layout =
        resources::BuildDialogTemplate(kWidth + 20, kHeight + 20, "Preview",
                                       {{10, kADMFrameType, 10, 10, kWidth, kHeight, 0, ""}});
    filterhost::FilterSession session;
    filterhost::SuiteRegistry& registry = session.Suites();
    ui::DialogManager::Open(session, [&layout](uint32_t type, int32_t id) {
        return type == kPIDialogType && id == 1 ? std::span<const uint8_t>(layout)
                                                : std::span<const uint8_t>();
    });
    g.dialog = Acquire<ADMDialogSuite4>(registry, kADMDialogSuite, kADMDialogSuiteVersion4);
    g.item = Acquire<ADMItemSuite3>(registry, kADMItemSuite, kADMItemSuiteVersion3);
    g.drawer = Acquire<ADMDrawerSuite3>(registry, kADMDrawerSuite, kADMDrawerSuiteVersion3);
    g.image = Acquire<ADMImageSuite2>(registry, kADMImageSuite, kADMImageSuiteVersion2);
    g.display = g.image->Create(kWidth, kHeight);
    const ADMInt32 result = g.dialog->Modal(nullptr, "Preview", 1, 0, &Init, nullptr, 0);
    g.image->Destroy(g.display);
    benchmark::Shutdown();
    return result == 1 ? 0 : 1;
}
