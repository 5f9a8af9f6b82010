#include "engine/ColorEngine.h"

#include "engine/MeshBuilder.h"
#include "engine/SearchGrid.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quillon::engine {
namespace {

// The generator used when none is injected (the same linear congruential generator as the
// classic C library's rand()).
int32_t DefaultRandom(void* context) {
    auto* state = static_cast<uint32_t*>(context);
    *state = *state * 214013u + 2531011u;
    return static_cast<int32_t>((*state >> 16) & 0x7FFF);
}

// Jitter steps before a duplicate original is accepted; only a degenerate injected random
// source can get near it.
constexpr int kMaxJitterSteps = 1000;

int32_t ClampFull(int32_t v) {
    return std::clamp(v, 0, kFullScale16);
}

void ClampColor(ColorRecord16& c) {
    c.c1 = static_cast<uint16_t>(ClampFull(c.c1));
    c.c2 = static_cast<uint16_t>(ClampFull(c.c2));
    c.c3 = static_cast<uint16_t>(ClampFull(c.c3));
}

} // namespace

ColorEngine::ColorEngine()
    : random_(DefaultRandom), randomContext_(&randomState_),
      builder3_(std::make_unique<detail::MeshBuilder<3>>()),
      builder2_(std::make_unique<detail::MeshBuilder<2>>()),
      anchors_(std::make_unique<detail::AnchorScratch>()),
      grid3_(std::make_unique<detail::SearchGrid<3>>()),
      grid2_(std::make_unique<detail::SearchGrid<2>>()), order_(std::make_unique<SearchOrder>()) {
    order_->tetrahedra_.build = order_->triangles_.build = 0;
}

ColorEngine::~ColorEngine() = default;

void ColorEngine::SetConvert16(Convert16Fn convert, void* context) {
    convert_ = convert;
    convertContext_ = context;
}

void ColorEngine::SetRandomSource(RandomFn random, void* context) {
    if (random == nullptr) {
        random_ = DefaultRandom;
        randomContext_ = &randomState_;
    } else {
        random_ = random;
        randomContext_ = context;
    }
}

int32_t ColorEngine::NextRandom() {
    return random_(randomContext_);
}

// Every record and anchor candidate takes a new id; after 2^31 of them within one run the ids
// start again above the fixed points rather than overflow.
int32_t ColorEngine::NewId() {
    const int32_t id = nextId_;
    nextId_ = nextId_ == INT32_MAX ? kFixedPointCount : nextId_ + 1;
    return id;
}

void ColorEngine::Companion(const int32_t lab[3], int32_t rgb[3]) {
    if (convert_ == nullptr) {
        std::fill(rgb, rgb + 3, 0);
        return;
    }
    ColorRecord16 r{0, static_cast<uint16_t>(lab[0]), static_cast<uint16_t>(lab[1]),
                    static_cast<uint16_t>(lab[2])};
    convert_(convertContext_, icsCode_, kSpaceRgb, &r, 1);
    rgb[0] = r.c1;
    rgb[1] = r.c2;
    rgb[2] = r.c3;
}

void ColorEngine::Companion(ColorRecord16& color, ColorRecord16& rgb) {
    const int32_t lab[3] = {color.c1, color.c2, color.c3};
    int32_t out[3];
    Companion(lab, out);
    rgb = {0, static_cast<uint16_t>(out[0]), static_cast<uint16_t>(out[1]),
           static_cast<uint16_t>(out[2])};
}

bool ColorEngine::CopySelected(Adjustment& out) const {
    if (!SelectedIsUser()) return false;
    out = table_[selected_];
    return true;
}

void ColorEngine::ComputeRadii() {
    const float f2 = fuzziness_ * fuzziness_;
    radius2D_ = radius2DRange_[0] + f2 * (radius2DRange_[1] - radius2DRange_[0]);
    radius3D_ = radius3DRange_[0] + f2 * (radius3DRange_[1] - radius3DRange_[0]);
}

void ColorEngine::SetFuzziness(float f) {
    fuzziness_ = std::isfinite(f) ? f : kDefaultFuzziness;
    ComputeRadii();
    Rebuild();
}

void ColorEngine::SetPreserveLuminosity(bool on) {
    chromaOnly_ = on ? 1 : 0;
    Rebuild();
}

void ColorEngine::Reset() {
    for (int k = 0; k < 3; ++k) {
        bounds_[2 * k] = 0;
        bounds_[2 * k + 1] = kFullScale16;
    }
    outerMargin_ = 4000;
    radius2DRange_[0] = std::sqrt(32768.0);
    radius2DRange_[1] = std::sqrt(2147483648.0);
    radius3DRange_[0] = std::sqrt(49152.0);
    radius3DRange_[1] = std::sqrt(3.0 * 1073741824.0) / 2;
    ComputeRadii();

    // Outer points at alternate corners of the enlarged cube, then the cube corners 256 beyond
    // the bounds: record 4 + 4i + 2j + k is (X(i), Y(j), Z(k)).
    auto lo = [&](int axis, int32_t by) { return bounds_[2 * axis] - by; };
    auto hi = [&](int axis, int32_t by) { return bounds_[2 * axis + 1] + by; };
    const int32_t m = outerMargin_;
    const int32_t outer[4][3] = {{lo(0, m), lo(1, m), lo(2, m)},
                                 {lo(0, m), hi(1, m), hi(2, m)},
                                 {hi(0, m), hi(1, m), lo(2, m)},
                                 {hi(0, m), lo(1, m), hi(2, m)}};
    for (int32_t i = 0; i < kFixedPointCount; ++i) {
        Adjustment& a = table_[i];
        a = Adjustment{};
        a.id = i;
        a.fixed = 1;
        if (i < 4) {
            std::copy(outer[i], outer[i] + 3, a.position);
        } else {
            const int bits[3] = {((i - 4) >> 2) & 1, ((i - 4) >> 1) & 1, (i - 4) & 1};
            for (int k = 0; k < 3; ++k)
                a.position[k] = bits[k] ? hi(k, 256) : lo(k, 256);
            Assign(a.target, MeshToLab(a.position));
        }
    }
    firstUser_ = entryCount_ = pointCount_ = nextId_ = kFixedPointCount;
    Rebuild();
}

void ColorEngine::ClearAdjustments() {
    entryCount_ = firstUser_;
    selected_ = -1;
    fuzziness_ = kDefaultFuzziness;
    ComputeRadii();
    chromaOnly_ = 1;
    Rebuild();
}

bool ColorEngine::LoadAdjustment(const StoredAdjustment& stored) {
    if (UserCount() >= kMaxUserAdjustments || entryCount_ >= kTableCapacity) return false;
    const int32_t index = entryCount_;
    selected_ = index;
    ++entryCount_;
    Adjustment& a = table_[index];
    a = Adjustment{};
    int32_t original[3], target[3];
    for (int k = 0; k < 3; ++k) {
        original[k] = ClampFull(stored.original[k]);
        target[k] = ClampFull(stored.target[k]);
    }
    std::copy(original, original + 3, a.original);
    Assign(a.position, LabToMesh(original));
    Companion(original, a.originalRgb);
    std::copy(target, target + 3, a.target);
    Companion(target, a.targetRgb);
    a.locked = stored.locked ? 1 : 0;
    a.documentPosition = stored.document;
    a.samplePosition = stored.sample;
    a.id = NewId();
    return true;
}

bool ColorEngine::AddAdjustment(ColorRecord16 original, ColorRecord16 originalRgb,
                                Position document, bool takeTargetFromTransformation) {
    if (UserCount() >= kMaxUserAdjustments || entryCount_ >= kTableCapacity) return false;
    ClampColor(original);
    ColorRecord16 target = original;
    ColorRecord16 targetRgb = originalRgb;
    if (takeTargetFromTransformation) {
        Transform16(&target, 1);
        Companion(target, targetRgb);
    }
    const int32_t index = entryCount_;
    table_[index] = Adjustment{};
    table_[index].id = NewId();
    selected_ = index;
    ++entryCount_;
    ChangeOriginal(original, originalRgb, document);
    SetTarget(target, targetRgb, Position{-1, -1});
    table_[index].locked = takeTargetFromTransformation ? 0 : 1;
    table_[index].provisional = 1;
    return true;
}

void ColorEngine::ChangeOriginal(ColorRecord16& color, ColorRecord16& rgb, Position document) {
    if (!SelectedIsUser()) return;
    ClampColor(color);
    auto duplicate = [&] {
        for (int32_t i = 0; i < entryCount_; ++i) {
            if (i == selected_) continue;
            const int32_t* o = table_[i].original;
            if (o[1] == color.c2 && o[2] == color.c3 && (chromaOnly_ || o[0] == color.c1))
                return true;
        }
        return false;
    };
    for (int step = 0; step < kMaxJitterSteps && duplicate(); ++step) {
        uint16_t* channels[3] = {&color.c1, &color.c2, &color.c3};
        for (int k = 0; k < 3; ++k) {
            const int32_t moved = *channels[k] + (NextRandom() & 255) - 128;
            const int axis = kAxisOfChannel[k];
            *channels[k] =
                static_cast<uint16_t>(std::clamp(moved, bounds_[2 * axis], bounds_[2 * axis + 1]));
        }
        Companion(color, rgb);
    }

    Adjustment& a = table_[selected_];
    if (a.locked) {
        SetTarget(color, rgb, std::nullopt);
        a.locked = 1;
    } else if (a.provisional) {
        ColorRecord16 shown = color;
        Transform16(&shown, 1);
        ColorRecord16 shownRgb;
        Companion(shown, shownRgb);
        SetTarget(shown, shownRgb, std::nullopt);
        a.provisional = 1;
    }
    a.originalRgb[0] = rgb.c1;
    a.originalRgb[1] = rgb.c2;
    a.originalRgb[2] = rgb.c3;
    a.original[0] = color.c1;
    a.original[1] = color.c2;
    a.original[2] = color.c3;
    Assign(a.position, MeshPointOf(color));
    a.documentPosition = document;
    Rebuild();
}

void ColorEngine::SetTarget(const ColorRecord16& color, const ColorRecord16& rgb,
                            std::optional<Position> sample) {
    if (!SelectedIsUser()) return;
    Adjustment& a = table_[selected_];
    a.targetRgb[0] = rgb.c1;
    a.targetRgb[1] = rgb.c2;
    a.targetRgb[2] = rgb.c3;
    a.target[0] = color.c1;
    a.target[1] = color.c2;
    a.target[2] = color.c3;
    if (sample)
        a.samplePosition = *sample;
    else
        a.samplePosition.h = -1;
    a.locked = 0;
    a.provisional = 0;
    RefreshVertex(a);
}

void ColorEngine::RemoveSelected() {
    if (!SelectedIsUser()) return;
    std::copy(table_ + selected_ + 1, table_ + entryCount_, table_ + selected_);
    --entryCount_;
    if (selected_ >= entryCount_) {
        --selected_;
        if (selected_ < firstUser_) selected_ = -1;
    }
    Rebuild();
}

bool ColorEngine::InsertAdjustmentAt(const Adjustment& record, int32_t index) {
    if (index < firstUser_ || index > entryCount_ || UserCount() >= kMaxUserAdjustments ||
        entryCount_ >= kTableCapacity)
        return false;
    std::copy_backward(table_ + index, table_ + entryCount_, table_ + entryCount_ + 1);
    ++entryCount_;
    selected_ = index;
    table_[index] = record;
    Rebuild();
    return true;
}

bool ColorEngine::AppendAdjustment(const Adjustment& record) {
    if (UserCount() >= kMaxUserAdjustments || entryCount_ >= kTableCapacity) return false;
    table_[entryCount_++] = record;
    Rebuild();
    return true;
}

void ColorEngine::ReplaceSelected(const Adjustment& record) {
    if (!SelectedIsUser()) return;
    table_[selected_] = record;
    Rebuild();
}

void ColorEngine::ForgetSamplePositions() {
    for (int32_t i = 0; i < pointCount_; ++i)
        table_[i].samplePosition.h = -1;
}

void ColorEngine::ForgetPositions(int32_t index, bool document, bool sample) {
    if (index < firstUser_ || index >= entryCount_) return;
    if (document) table_[index].documentPosition.h = -1;
    if (sample) table_[index].samplePosition.h = -1;
}

void ColorEngine::RefreshVertex(const Adjustment& record) {
    // Init rereads the vertex positions; a simplex only moves if a record was replaced since
    // the build, and the grid, which lists simplices by their boxes and faces, follows then.
    bool moved = false;
    auto refresh = [&](auto& simplex) {
        if (!simplex.HasVertex(record)) return;
        const auto before = simplex;
        simplex.Init();
        moved = moved || !simplex.SamePlace(before);
    };
    if (chromaOnly_) {
        for (int32_t i = 0; i < triangleCount_; ++i)
            refresh(triangles_[i]);
        if (moved) grid2_->Build(triangleCount_, triangles_);
    } else {
        for (int32_t i = 0; i < tetrahedronCount_; ++i)
            refresh(tetrahedra_[i]);
        if (moved) grid3_->Build(tetrahedronCount_, tetrahedra_);
    }
}

} // namespace quillon::engine
