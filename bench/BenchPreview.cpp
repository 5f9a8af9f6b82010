// Frames of the dialog's document preview. A new view reads the shown part of the document
// through the host's channel ports at display size and converts it to the engine's space; every
// frame transforms those colours through 30 adjustments and converts them to the display's RGB,
// as the left pane does at every draw.
#include "core/documents/Document.h"
#include "core/session/FilterSession.h"
#include "core/suites/ChannelPorts.h"
#include "core/suites/ColorServices.h"
#include "dialog/PreviewRows.h"
#include "engine/ColorEngine.h"
#include "history/EditHistory.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace quillon;

constexpr int32_t kDocumentWidth = 6000;
constexpr int32_t kDocumentHeight = 4000;
// The left pane of a 1200 x 800 dialog, less its frame.
constexpr int32_t kInnerWidth = (1200 - 126) / 2 - 4;
constexpr int32_t kInnerHeight = 800 - 110 - 4;
constexpr int kAdjustments = 30;

// Smooth light and colour gradients with a fine ripple: a landscape seen from afar.
const filterhost::Document& Picture() {
    static const filterhost::Document document = [] {
        filterhost::Document d = filterhost::MakeDocument(filterhost::ColorMode::RGB, 8,
                                                          kDocumentWidth, kDocumentHeight);
        for (int32_t y = 0; y < kDocumentHeight; ++y)
            for (int32_t x = 0; x < kDocumentWidth; ++x) {
                const double u = double(x) / kDocumentWidth, v = double(y) / kDocumentHeight;
                const double ripple = 12 * std::sin(x * 0.05) * std::cos(y * 0.07);
                d.At(0, x, y) = uint16_t(std::clamp(90 + 120 * u + ripple, 0.0, 255.0));
                d.At(1, x, y) = uint16_t(std::clamp(170 - 90 * v + ripple, 0.0, 255.0));
                d.At(2, x, y) = uint16_t(std::clamp(60 + 150 * v * (1 - u), 0.0, 255.0));
            }
        return d;
    }();
    return document;
}

void Convert16(void*, uint16_t from, uint16_t to, engine::ColorRecord16* records, int32_t count) {
    filterhost::ColorServices::Suite()->Convert16(
        int16_t(from), int16_t(to), reinterpret_cast<Color16*>(records), int16_t(count));
}

// Thirty adjustments spread over the colours of the picture.
std::unique_ptr<engine::ColorEngine> Adjusted() {
    auto engine = std::make_unique<engine::ColorEngine>();
    engine->SetConvert16(&Convert16, nullptr);
    // The fixed points of the mesh; without them nothing is built and nothing transformed.
    engine->Reset();
    for (int k = 0; k < kAdjustments; ++k) {
        engine::StoredAdjustment a;
        a.original[0] = 6000 + k * 800;
        a.original[1] = 16384 + int32_t(5000 * std::sin(k * 1.7));
        a.original[2] = 16384 + int32_t(5000 * std::cos(k * 2.3));
        a.target[0] = a.original[0] + 1500;
        a.target[1] = a.original[1] - 2000;
        a.target[2] = a.original[2] + 1000;
        engine->LoadAdjustment(a);
    }
    engine->Rebuild();
    return engine;
}

// What changes before each frame.
enum class Edit { None, Fuzziness, PickedTarget };

// The colour picker's report of a new target (two colours in turn) as the swatch strip applies
// it: 8-bit Lab widened, its RGB for the strip, the selected adjustment's target set.
void SetPickedTarget(engine::ColorEngine& engine, bool first) {
    const PSColorSpaceSuite1& cs = *filterhost::ColorServices::Suite();
    const uint8_t picked[4] = {0, uint8_t(first ? 140 : 100), uint8_t(first ? 90 : 170), 150};
    uint16_t wide[4] = {};
    cs.Convert8to16(picked, wide, 4);
    Color16 rgb{0, wide[1], wide[2], wide[3]};
    cs.Convert16(plugIncolorServicesLabSpace, plugIncolorServicesRGBSpace, &rgb, 1);
    engine.SetTarget({0, wide[1], wide[2], wide[3]}, {rgb.c0, rgb.c1, rgb.c2, rgb.c3},
                     std::nullopt);
}

// One frame at a zoom factor, the view's top-left at `scroll`: of a view read anew, or after an
// edit of a view already read: a change of fuzziness (4 and 5 in turn) as when the user moves
// the slider, or a new target from the picker.
void RenderFrames(benchmark::State& state, double zoom, int32_t scrollX, int32_t scrollY,
                  Edit edit = Edit::None) {
    const filterhost::Document& document = Picture();
    filterhost::FilterSession session;
    session.OpenColors();
    filterhost::ChannelPorts& ports = session.OpenPorts(document);
    const auto engine = Adjusted();
    const int32_t width = std::min(kInnerWidth, int32_t(kDocumentWidth * zoom));
    const int32_t height = std::min(kInnerHeight, int32_t(kDocumentHeight * zoom));
    const VRect source{scrollY, scrollX,
                       std::min(kDocumentHeight, int32_t(std::ceil(scrollY + height / zoom))),
                       std::min(kDocumentWidth, int32_t(std::ceil(scrollX + width / zoom)))};
    std::vector<uint8_t> planes[4];
    for (auto& plane : planes)
        plane.assign(size_t(width) * size_t(height), 0);
    std::vector<Color16> row(static_cast<size_t>(width));
    std::vector<uint8_t> display(size_t(width) * size_t(height) * 4);
    const dialog::PreviewPlanes preview{
        {planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data()},
        width,
        height,
        plugIncolorServicesRGBSpace,
        false,
        true};
    dialog::IcsColours ics;
    bool low = false, first = true;
    engine->Select(engine->FirstUserIndex() + kAdjustments / 2);
    for (auto _ : state) {
        low = !low;
        if (edit == Edit::Fuzziness) engine->SetFuzziness(low ? 3.0f / 9 : 4.0f / 9);
        if (edit == Edit::PickedTarget) SetPickedTarget(*engine, low);
        // The pane reads the document only for a new view; an edit maps the kept colours.
        if (edit == Edit::None || first) {
            dialog::ReadPreviewPlanes(
                ports.Channels(), *ports.Procs(), source, width, height,
                {planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data()});
            ics.Forget();
        }
        first = false;
        dialog::ConvertPreviewRows(preview, *engine, *filterhost::ColorServices::Suite(), ics,
                                   row.data(), {display.data(), ptrdiff_t(width) * 4, 4});
        benchmark::DoNotOptimize(display.data());
    }
    state.counters["display_pixels"] = double(width) * height;
}

// "Fit in View": the whole document in the pane.
void BM_PreviewFitInView(benchmark::State& state) {
    RenderFrames(
        state,
        std::min(double(kInnerWidth) / kDocumentWidth, double(kInnerHeight) / kDocumentHeight), 0,
        0);
}
BENCHMARK(BM_PreviewFitInView)->Unit(benchmark::kMillisecond);

// 100% and 200% in the middle of the document: only the shown region is read, so a frame costs
// about the same as at "Fit in View".
void BM_PreviewZoomed(benchmark::State& state) {
    const double zoom = double(state.range(0)) / 100.0;
    RenderFrames(state, zoom, kDocumentWidth / 2, kDocumentHeight / 2);
}
BENCHMARK(BM_PreviewZoomed)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

// A fuzziness change with 30 adjustments: the mesh rebuilt and the pane of a 1200 x 800 dialog
// drawn anew at 100%, every pixel of it mapped again.
void BM_PreviewAfterFuzzinessChange(benchmark::State& state) {
    RenderFrames(state, 1.0, kDocumentWidth / 2, kDocumentHeight / 2, Edit::Fuzziness);
}
BENCHMARK(BM_PreviewAfterFuzzinessChange)->Unit(benchmark::kMillisecond);

// A colour picker change followed live: one adjustment's target moved and the pane of a
// 1200 x 800 dialog drawn anew at "Fit in View", as each change in the open picker asks.
void BM_PreviewAfterPickerChange(benchmark::State& state) {
    RenderFrames(
        state,
        std::min(double(kInnerWidth) / kDocumentWidth, double(kInnerHeight) / kDocumentHeight), 0,
        0, Edit::PickedTarget);
}
BENCHMARK(BM_PreviewAfterPickerChange)->Unit(benchmark::kMillisecond);

// --- one update of the pane on an 8000 x 6000 photograph ------------------------------------

constexpr int32_t kPhotoWidth = 8000;
constexpr int32_t kPhotoHeight = 6000;

// Gradients with grain: most neighbouring pixels differ a little, as in a photograph.
const filterhost::Document& Photograph() {
    static const filterhost::Document document = [] {
        filterhost::Document d =
            filterhost::MakeDocument(filterhost::ColorMode::RGB, 8, kPhotoWidth, kPhotoHeight);
        uint32_t seed = 12345;
        for (int32_t y = 0; y < kPhotoHeight; ++y)
            for (int32_t x = 0; x < kPhotoWidth; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int grain = int(seed >> 28) - 8;
                const int u = x * 160 / kPhotoWidth, v = y * 150 / kPhotoHeight;
                d.At(0, x, y) = uint16_t(std::clamp(60 + u + grain, 0, 255));
                d.At(1, x, y) = uint16_t(std::clamp(200 - v + grain, 0, 255));
                d.At(2, x, y) = uint16_t(std::clamp(40 + (u + v) / 2 - grain, 0, 255));
            }
        return d;
    }();
    return document;
}

// The history's requests to the dialog: the bench draws the pane itself after each edit.
class NoView : public history::HistoryView {
  public:
    void RefreshAfterRemoval() override {}
    void RefreshAfterRecordChange() override {}
    void ShowFuzziness(float) override {}
    void ShowPreserveLuminosity(bool) override {}
    void SnapshotSelection() override {}
};

// What the user did before the pane is drawn anew.
enum class Update : int64_t { Click = 0, Fuzziness = 1, Undo = 2 };

// The document's colour at a point, read through the host as the eyedropper reads it, in the
// engine's space, and its RGB.
std::pair<engine::ColorRecord16, engine::ColorRecord16> ColourAt(filterhost::ChannelPorts& ports,
                                                                 int32_t x, int32_t y) {
    const PSColorSpaceSuite1& cs = *filterhost::ColorServices::Suite();
    uint8_t samples[4] = {};
    int k = 1;
    for (const ReadChannelDesc* channel = ports.Channels(); channel; channel = channel->next) {
        const VRect pixel{y, x, y + 1, x + 1};
        const PixelMemoryDesc memory{&samples[k++], 8, 8, 0, 8};
        VRect wrote{};
        ports.Suite()->ReadPixelsFromLevel(channel->port, 0, &pixel, &memory, &wrote);
    }
    uint16_t wide[4] = {};
    cs.Convert8to16(samples, wide, 4);
    Color16 rgb{0, wide[1], wide[2], wide[3]};
    Color16 lab = rgb;
    cs.Convert16(plugIncolorServicesRGBSpace, plugIncolorServicesLabSpace, &lab, 1);
    return {{0, lab.c1, lab.c2, lab.c3}, {0, rgb.c1, rgb.c2, rgb.c3}};
}

// The left pane over the photograph at 100% (in its middle) or at "Fit in View", and what an
// update of it edits.
struct PhotoPane {
    PhotoPane(filterhost::ChannelPorts& ports, bool fit)
        : ports(ports), zoom(fit ? std::min(double(kInnerWidth) / kPhotoWidth,
                                            double(kInnerHeight) / kPhotoHeight)
                                 : 1.0),
          width(std::min(kInnerWidth, int32_t(kPhotoWidth * zoom))),
          height(std::min(kInnerHeight, int32_t(kPhotoHeight * zoom))) {
        const int32_t scrollX = fit ? 0 : kPhotoWidth / 2, scrollY = fit ? 0 : kPhotoHeight / 2;
        source = {scrollY, scrollX,
                  std::min(kPhotoHeight, int32_t(std::ceil(scrollY + height / zoom))),
                  std::min(kPhotoWidth, int32_t(std::ceil(scrollX + width / zoom)))};
        shown.Allocate(width, height);
        display.resize(size_t(width) * size_t(height) * 4);
    }

    // The pane drawn as the dialog draws it: the document read for a new view only.
    void Draw() {
        shown.Read(ports.Channels(), *ports.Procs(), {source, width, height});
        dialog::ConvertPreviewRows(shown.Planes(plugIncolorServicesRGBSpace, false, true), *engine,
                                   *filterhost::ColorServices::Suite(), shown.Ics(), shown.Rows(),
                                   {display.data(), ptrdiff_t(width) * 4, 4});
        benchmark::DoNotOptimize(display.data());
    }

    // A click on the document adds a pair: the colour under the click, and a target for it.
    void Click() {
        const int32_t x = source.left + (source.right - source.left) / 3;
        const int32_t y = source.top + (source.bottom - source.top) / 2;
        const auto [lab, rgb] = ColourAt(ports, x, y);
        engine->AddAdjustment(lab, rgb, {x, y}, true);
        engine::ColorRecord16 target = lab;
        target.c2 = uint16_t(std::min(32768, target.c2 + 3000));
        engine->SetTarget(target, rgb, std::nullopt);
    }

    filterhost::ChannelPorts& ports;
    const std::unique_ptr<engine::ColorEngine> engine = Adjusted();
    history::EditHistory edits;
    NoView view;
    double zoom;
    int32_t width, height;
    VRect source{};
    dialog::PreviewSource shown;
    std::vector<uint8_t> display;
};

// One update: the edit, then the pane drawn anew. Kept whole so that a profile can count the
// instructions of an update.
[[gnu::noinline]] void UpdateOnce(PhotoPane& pane, Update update, bool low) {
    switch (update) {
    case Update::Click:
        pane.Click();
        break;
    case Update::Fuzziness:
        pane.engine->SetFuzziness(low ? 3.0f / 9 : 4.0f / 9);
        break;
    case Update::Undo:
        pane.edits.Undo(*pane.engine, pane.view);
        break;
    }
    pane.Draw();
}

// One update of the left pane on the 48-megapixel photograph. A click's pair is taken back, and
// an undone pair put back, untimed before the next; the fuzziness moves between 4 and 5.
void BM_PreviewUpdate48Mpix(benchmark::State& state) {
    const auto update = Update(state.range(0));
    const filterhost::Document& document = Photograph();
    filterhost::FilterSession session;
    session.OpenColors();
    PhotoPane pane(session.OpenPorts(document), state.range(1) == 0);
    if (update == Update::Undo) {
        pane.Click();
        history::HistoryEntry added;
        added.kind = history::EditKind::AddColor;
        added.indexA = pane.engine->Selected();
        pane.engine->CopySelected(added.entryA);
        added.indexB = pane.engine->FirstUserIndex();
        pane.edits.Push(added);
    }
    pane.Draw();
    bool low = false;
    for (auto _ : state) {
        low = !low;
        UpdateOnce(pane, update, low);
        state.PauseTiming();
        if (update == Update::Click) pane.engine->RemoveSelected();
        if (update == Update::Undo) pane.edits.Redo(*pane.engine, pane.view);
        state.ResumeTiming();
    }
    state.counters["display_pixels"] = double(pane.width) * pane.height;
}
BENCHMARK(BM_PreviewUpdate48Mpix)
    ->ArgNames({"after", "at100"})
    ->ArgsProduct({{int64_t(Update::Click), int64_t(Update::Fuzziness), int64_t(Update::Undo)},
                   {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
