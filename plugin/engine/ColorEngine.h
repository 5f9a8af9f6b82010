#pragma once

#include "engine/ColorRecord.h"
#include "engine/Geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>

namespace quillon::engine {

extern "C" {
// Converts `count` 16-bit records in place between two host colour spaces (the host's
// colour-space suite on the plug-in's side). Its result is not examined.
typedef void (*Convert16Fn)(void* context, uint16_t fromSpace, uint16_t toSpace,
                            ColorRecord16* records, int32_t count);
// Returns a fresh non-negative pseudo-random integer.
typedef int32_t (*RandomFn)(void* context);
}

// Table and mesh capacities. The table holds the fixed points, the user adjustments and the
// anchor points of the last build.
inline constexpr int32_t kTableCapacity = 1024;
inline constexpr int32_t kCandidateCapacity = 1024;
inline constexpr int32_t kTetrahedronCapacity = 5000;
inline constexpr int32_t kTriangleCapacity = 4000;
inline constexpr int32_t kFixedPointCount = 12;

// Limits that bound the cost of a build. A build stops placing anchor points before the mesh
// would hold more than kPointLimit points or (3D) more than kTetrahedronLimit tetrahedra; the
// adjustments whose anchors were left out then reach farther, but the mesh still covers the
// whole colour cube.
inline constexpr int32_t kPointLimit = 512;
inline constexpr int32_t kTetrahedronLimit = 2500;

// Most user adjustments the table accepts; every way of adding adjustments refuses beyond it.
// 200 points in general position give about 1400 tetrahedra and 400 triangles, so a build
// without anchors fits well inside the limits and capacities; 200 points along two skew lines,
// the worst arrangement known to us, still give fewer than 5000 tetrahedra (about 4950). Should
// an arrangement exhaust the tetrahedron array all the same, the build leaves the remaining
// adjustments out of the mesh, which still covers the cube.
inline constexpr int32_t kMaxUserAdjustments = 200;

// Single-precision value just below 4/9 (bit pattern 0x3EE38E37): the default fuzziness.
inline constexpr float kDefaultFuzziness = 0.44444439f;

struct Position {
    int32_t h;
    int32_t v;
};
inline constexpr Position kNoPosition{-1, -1};

// One record of the adjustment table. Colours are L, a, b; only the mesh point `position` is in
// the mesh's order a, b, L, and only the mesh reads it.
struct Adjustment {
    int32_t id = 0;           // identity as a mesh vertex
    int32_t position[3] = {}; // mesh point (a, b, L); moved by a nudge until the next build
    uint8_t fixed = 0;        // one of the twelve fixed points
    int32_t originalRgb[3] = {};
    int32_t original[3] = {}; // L, a, b
    int32_t targetRgb[3] = {};
    int32_t target[3] = {}; // L, a, b
    Position documentPosition = kNoPosition;
    Position samplePosition = kNoPosition;
    uint8_t locked = 0;      // pins the original: the target follows it
    uint8_t provisional = 0; // target taken from the transformation, not chosen yet
};

// The persistent part of an adjustment, as saved settings and "Colors" texts hold it.
struct StoredAdjustment {
    int32_t original[3] = {}; // L, a, b
    int32_t target[3] = {};   // L, a, b
    bool locked = false;
    Position document = kNoPosition;
    Position sample = kNoPosition;
};

class ColorEngine;

// Where evaluation looks first for the simplex that contains a colour: one list of simplex
// indices per mesh. Evaluation moves each simplex it finds to the front, so that a run of
// similar colours costs one point test each; where a colour lies on a face shared by two
// simplices, the one earlier in the order answers. Each caller that evaluates keeps its own
// order (a pass, a preview, a thread), so the mesh itself is only read; an order starts again
// from the array order after every build of its mesh. Trivially constructible: it may live in
// any buffer of sizeof(SearchOrder) bytes.
class SearchOrder {
  public:
    std::span<const int32_t> Tetrahedra() const { return tetrahedra_.View(); }
    std::span<const int32_t> Triangles() const { return triangles_.View(); }

  private:
    friend class ColorEngine;
    template <int32_t Capacity> struct List {
        uint64_t build; // the mesh build it follows; 0 before the first
        int32_t count;
        int32_t order[Capacity];
        int32_t rank[Capacity]; // position of each simplex in `order`
        std::span<const int32_t> View() const { return {order, build == 0 ? 0 : size_t(count)}; }
        // Starts again from the array order when the mesh was built again since.
        void Follow(int32_t simplices, uint64_t meshBuild) {
            if (build == meshBuild) return;
            build = meshBuild;
            count = simplices;
            for (int32_t i = 0; i < simplices; ++i)
                order[i] = rank[i] = i;
        }
    };
    List<kTetrahedronCapacity> tetrahedra_;
    List<kTriangleCapacity> triangles_;
};
static_assert(std::is_trivially_default_constructible_v<SearchOrder>);

namespace detail {
template <int D> class MeshBuilder;
template <int D> class SearchGrid;
struct AnchorScratch;
} // namespace detail

// The colour transformation: the adjustment table, the settings and the mesh built from them.
// Build once (Rebuild may work hard), map many (Transform8/16 never allocate and never fail).
// Large (several megabytes): allocate it once; it is neither copied nor moved because the
// meshes refer to its own table.
class ColorEngine {
  public:
    ColorEngine();
    ~ColorEngine();
    ColorEngine(const ColorEngine&) = delete;
    ColorEngine& operator=(const ColorEngine&) = delete;

    // Companion RGB values come from this conversion; without one they stay 0.
    void SetConvert16(Convert16Fn convert, void* context);
    // Source of the jitter of duplicate originals and the nudge of failed insertions; a small
    // unseeded generator by default.
    void SetRandomSource(RandomFn random, void* context);

    // Queries.
    int32_t UserCount() const { return entryCount_ - firstUser_; }
    int32_t Selected() const { return selected_; }
    void Select(int32_t index) { selected_ = index; }
    bool CopySelected(Adjustment& out) const;
    float Fuzziness() const { return fuzziness_; }
    bool PreserveLuminosity() const { return chromaOnly_ != 0; }
    uint16_t IcsCode() const { return icsCode_; }
    int32_t FirstUserIndex() const { return firstUser_; }
    int32_t EntryCount() const { return entryCount_; }
    int32_t PointCount() const { return pointCount_; }
    const Adjustment& Record(int32_t index) const { return table_[index]; }
    int32_t TetrahedronCount() const { return tetrahedronCount_; }
    int32_t TriangleCount() const { return triangleCount_; }

    // Settings; each rebuilds. A non-finite fuzziness is replaced by the default.
    void SetFuzziness(float f);
    void SetPreserveLuminosity(bool on);

    // Table edits.
    void Reset();
    void ClearAdjustments();
    // Appends a stored adjustment without rebuilding. Components are clamped into 0..32768.
    // Refused (false) once kMaxUserAdjustments adjustments are in the table.
    bool LoadAdjustment(const StoredAdjustment& stored);
    // An eyedropper click in the document. Refused (false, nothing changes) once the table holds
    // kMaxUserAdjustments adjustments.
    bool AddAdjustment(ColorRecord16 original, ColorRecord16 originalRgb, Position document,
                       bool takeTargetFromTransformation);
    // Moves the selected adjustment; the jitter of a duplicate original is written back into
    // `color` and `rgb`.
    void ChangeOriginal(ColorRecord16& color, ColorRecord16& rgb, Position document);
    // With no sample position only its horizontal coordinate becomes -1.
    void SetTarget(const ColorRecord16& color, const ColorRecord16& rgb,
                   std::optional<Position> sample);
    void RemoveSelected();
    // Whole-record edits of the history. Refused when the index is not a user slot or the table
    // already holds kMaxUserAdjustments adjustments.
    bool InsertAdjustmentAt(const Adjustment& record, int32_t index);
    bool AppendAdjustment(const Adjustment& record);
    void ReplaceSelected(const Adjustment& record);
    void ForgetSamplePositions();
    // Marks a user adjustment's document or sample position unknown; the mesh is unaffected.
    void ForgetPositions(int32_t index, bool document, bool sample);

    void Rebuild();

    // While a batch is open, edits that would rebuild (Reset, the settings, table edits) only
    // note that a rebuild is due; the outermost batch rebuilds once when it closes. Loading
    // saved settings or recorded parameters sets several things in a row and needs only the
    // last mesh. Nothing may be transformed while a batch is open.
    class EditBatch {
      public:
        explicit EditBatch(ColorEngine& engine) : engine_(engine) { ++engine_.batchDepth_; }
        ~EditBatch() {
            if (--engine_.batchDepth_ == 0 && engine_.rebuildDue_) engine_.Rebuild();
        }
        EditBatch(const EditBatch&) = delete;
        EditBatch& operator=(const EditBatch&) = delete;

      private:
        ColorEngine& engine_;
    };

    // Transform records of the ICS in place: c1..c3 = L, a, b; c0 is left alone. The mesh is
    // only read, so callers with their own search order may evaluate at the same time (but not
    // while the engine is edited). The forms without an order use the engine's own, for the
    // callers on the thread that edits it.
    void Transform8(ColorRecord8* buffer, int32_t count, SearchOrder& order) const;
    void Transform16(ColorRecord16* buffer, int32_t count, SearchOrder& order) const;
    void Transform8(ColorRecord8* buffer, int32_t count) { Transform8(buffer, count, *order_); }
    void Transform16(ColorRecord16* buffer, int32_t count) { Transform16(buffer, count, *order_); }

  private:
    friend struct EngineInspector;

    bool SelectedIsUser() const { return selected_ >= firstUser_ && selected_ < entryCount_; }
    void ComputeRadii();
    void Companion(const int32_t lab[3], int32_t rgb[3]);
    void Companion(ColorRecord16& color, ColorRecord16& rgb);
    int32_t NextRandom();
    int32_t NewId();
    void RefreshVertex(const Adjustment& record);
    template <int D> void BuildMode(detail::MeshBuilder<D>& builder);
    template <int D> void PlaceAnchors(const detail::MeshBuilder<D>& builder);
    template <typename Records>
    void TransformRecords(Records* buffer, int32_t count, SearchOrder& order) const;

    Adjustment table_[kTableCapacity];
    int32_t firstUser_ = 0;
    int32_t entryCount_ = 0;
    uint16_t icsCode_ = kIcsCode;
    int32_t pointCount_ = 0;
    int32_t nextId_ = 0;
    int32_t selected_ = -1;
    uint8_t chromaOnly_ = 1;

    Tetrahedron tetrahedra_[kTetrahedronCapacity];
    int32_t tetrahedronCount_ = 0;
    Triangle triangles_[kTriangleCapacity];
    int32_t triangleCount_ = 0;
    // Counts of the builds of each mesh; a search order that follows an older build starts
    // again from the array order.
    uint64_t tetrahedronBuild_ = 0;
    uint64_t triangleBuild_ = 0;
    int32_t batchDepth_ = 0;
    bool rebuildDue_ = false;

    float fuzziness_ = kDefaultFuzziness;
    double radius2D_ = 0;
    double radius3D_ = 0;
    int32_t bounds_[6] = {};
    int32_t outerMargin_ = 0;
    double radius2DRange_[2] = {};
    double radius3DRange_[2] = {};

    Convert16Fn convert_ = nullptr;
    void* convertContext_ = nullptr;
    RandomFn random_ = nullptr;
    void* randomContext_ = nullptr;
    uint32_t randomState_ = 1;

    // Working storage of a build, allocated with the engine.
    std::unique_ptr<detail::MeshBuilder<3>> builder3_;
    std::unique_ptr<detail::MeshBuilder<2>> builder2_;
    std::unique_ptr<detail::AnchorScratch> anchors_;
    std::unique_ptr<detail::SearchGrid<3>> grid3_;
    std::unique_ptr<detail::SearchGrid<2>> grid2_;
    std::unique_ptr<SearchOrder> order_;
};

} // namespace quillon::engine
