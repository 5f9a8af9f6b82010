#pragma once

// Incremental Delaunay construction (Bowyer-Watson) over the engine's table. Internal to the
// engine library.

#include "engine/ColorEngine.h"
#include "engine/Geometry.h"

#include <cstdint>

namespace quillon::engine::detail {

// Faces (D = 3) or edges (D = 2) of a simplex in listing order; an outer simplex lists only
// the first, its side on the boundary of the cube.
template <int D> struct FaceTable;
template <> struct FaceTable<3> {
    static constexpr int value[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
};
template <> struct FaceTable<2> { static constexpr int value[3][2] = {{0, 1}, {0, 2}, {1, 2}}; };

struct BuildContext {
    Adjustment* table;
    const int32_t* bounds; // minimum and maximum of x, y, z
    RandomFn random;
    void* randomContext;
};

// D = 3 builds tetrahedra over (a, b, L), D = 2 triangles over (a, b).
//
// The construction follows the plain algorithm exactly: every insertion tests every simplex's
// circumsphere, keeps the survivors in order, and joins the new point to each face of a kept
// simplex that no other kept simplex lists. Finding those faces by matching every face against
// every kept simplex costs the square of the mesh size per insertion, so while the mesh is
// regular (every listed face listed by exactly two simplices, all vertex ids distinct) a hash
// of faces finds them from the removed simplices alone, with the same result. Any irregularity
// (possible only through rounding in the circumsphere test or duplicate ids) switches the rest
// of the attempt to the plain matching.
template <int D> class MeshBuilder {
  public:
    static constexpr int kVertices = D + 1;
    static constexpr int kFaces = D + 1;
    static constexpr int32_t kCapacity = D == 3 ? kTetrahedronCapacity : kTriangleCapacity;
    static constexpr int kAttempts = 10;

    struct Simplex {
        int16_t v[kVertices]; // table indices
        uint8_t outer;
        uint32_t serial; // increases along the array
        Sphere sphere;   // inner simplices only
    };

    struct Outcome {
        bool cut;          // stopped before a record that did not fit
        int32_t stoppedAt; // that record's index
    };

    // Builds a fresh mesh of the fixed points and the records first..end-1 in order. Records
    // from anchorBegin on are inserted only while the simplex count stays within anchorLimit,
    // every record only within the capacity; the build stops before the first that does not
    // fit. A failed insertion nudges its record and starts again, at most ten times in all;
    // after the tenth failure its cavity stays empty.
    Outcome Build(const BuildContext& context, int32_t first, int32_t end, int32_t anchorBegin,
                  int32_t anchorLimit);

    // Always match faces the plain way (a check on the hashed matching).
    void UsePlainMatching(bool plain) { plainOnly_ = plain; }

    int32_t Count() const { return count_; }
    const Simplex& At(int32_t i) const { return simplices_[i]; }

  private:
    enum class InsertResult { Inserted, Degenerate, OverLimit };

    struct FaceEntry {
        int32_t key[D]; // sorted vertex ids
        uint32_t epoch; // the slot is empty unless this is the current epoch
        int32_t count;  // 0: empty slot
        uint32_t lister[2];
    };
    static constexpr uint32_t kHashSlots = 1u << 15;
    static constexpr uint32_t kHashMask = kHashSlots - 1;
    static constexpr uint32_t kHashMaxUsed = kHashSlots / 4 * 3;

    struct BoundaryFace {
        int32_t simplex;
        int32_t slot;
    };

    void InitialMesh();
    void Append(const int16_t v[kVertices], bool outer);
    InsertResult Insert(int32_t record, int32_t limit);
    bool FindBoundaryFast();
    void FindBoundaryPlain();
    void Nudge(int32_t record);
    bool IdsDistinct(int32_t first, int32_t end);

    int ListedFaces(const Simplex& s) const { return s.outer ? 1 : kFaces; }
    void FaceKey(const Simplex& s, int slot, int32_t key[D]) const;
    bool HasFace(const Simplex& s, const Simplex& of, int slot) const;
    int32_t IndexOfSerial(uint32_t serial) const;

    bool Used(const FaceEntry& e) const { return e.epoch == epoch_ && e.count != 0; }
    FaceEntry* Find(const int32_t key[D]);
    bool AddLister(const int32_t key[D], uint32_t serial);
    bool RemoveLister(const int32_t key[D], uint32_t serial);
    void Erase(uint32_t slot);
    static uint32_t Hash(const int32_t key[D]);

    BuildContext context_{};
    Simplex simplices_[kCapacity];
    int32_t count_ = 0;
    uint32_t nextSerial_ = 0;
    bool regular_ = false;
    bool plainOnly_ = false;

    uint8_t removed_[kCapacity] = {};
    int32_t removedList_[kCapacity] = {};
    int32_t removedCount_ = 0;
    BoundaryFace boundary_[kCapacity * kFaces];
    int32_t boundaryCount_ = 0;
    int16_t newVertices_[kCapacity * kFaces][kVertices];

    FaceEntry faces_[kHashSlots] = {};
    uint32_t facesUsed_ = 0;
    uint32_t epoch_ = 0;
    int32_t ids_[kTableCapacity];
};

// Candidates of one anchor placement and a set of occupied positions.
struct AnchorScratch {
    Adjustment candidates[kCandidateCapacity];
    static constexpr uint32_t kSlots = 2048; // twice the table capacity
    struct Slot {
        int32_t p[3];
        uint8_t used;
    } slots[kSlots];
    void Clear();
    // Inserts a position; false when it was present.
    bool Insert(const int32_t p[3]);
};

extern template class MeshBuilder<3>;
extern template class MeshBuilder<2>;

} // namespace quillon::engine::detail
