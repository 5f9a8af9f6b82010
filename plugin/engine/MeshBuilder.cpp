#include "engine/MeshBuilder.h"

#include <algorithm>
#include <cstring>

namespace quillon::engine::detail {
namespace {

// Corner sets of the initial meshes: corner c, its neighbours, the outer point nearest to c.
constexpr int16_t kCornerSets3[4][5] = {
    {4, 5, 6, 8, 0}, {7, 5, 6, 11, 1}, {10, 6, 8, 11, 2}, {9, 5, 8, 11, 3}};
constexpr int16_t kCentralTetrahedron[4] = {5, 6, 8, 11};
constexpr int16_t kCornerSets2[2][4] = {{4, 6, 8, 0}, {10, 6, 8, 2}};

} // namespace

template <int D> uint32_t MeshBuilder<D>::Hash(const int32_t key[D]) {
    uint32_t h = 2166136261u;
    for (int k = 0; k < D; ++k) {
        h ^= static_cast<uint32_t>(key[k]);
        h *= 0x9E3779B1u;
        h ^= h >> 15;
    }
    return h;
}

template <int D> void MeshBuilder<D>::FaceKey(const Simplex& s, int slot, int32_t key[D]) const {
    for (int k = 0; k < D; ++k)
        key[k] = context_.table[s.v[FaceTable<D>::value[slot][k]]].id;
    std::sort(key, key + D);
}

template <int D> typename MeshBuilder<D>::FaceEntry* MeshBuilder<D>::Find(const int32_t key[D]) {
    for (uint32_t i = Hash(key) & kHashMask;; i = (i + 1) & kHashMask) {
        FaceEntry& e = faces_[i];
        if (!Used(e)) return nullptr;
        if (std::equal(key, key + D, e.key)) return &e;
    }
}

template <int D> bool MeshBuilder<D>::AddLister(const int32_t key[D], uint32_t serial) {
    uint32_t i = Hash(key) & kHashMask;
    for (; Used(faces_[i]); i = (i + 1) & kHashMask) {
        FaceEntry& e = faces_[i];
        if (!std::equal(key, key + D, e.key)) continue;
        if (e.count >= 2) return false;
        e.lister[e.count++] = serial;
        return true;
    }
    if (facesUsed_ >= kHashMaxUsed) return false;
    FaceEntry& e = faces_[i];
    std::copy(key, key + D, e.key);
    e.epoch = epoch_;
    e.count = 1;
    e.lister[0] = serial;
    ++facesUsed_;
    return true;
}

template <int D> bool MeshBuilder<D>::RemoveLister(const int32_t key[D], uint32_t serial) {
    FaceEntry* e = Find(key);
    if (e == nullptr) return false;
    if (e->lister[0] == serial) {
        e->lister[0] = e->lister[1];
    } else if (e->count < 2 || e->lister[1] != serial) {
        return false;
    }
    if (--e->count == 0) Erase(static_cast<uint32_t>(e - faces_));
    return true;
}

// Backward-shift deletion keeps every probe chain unbroken without tombstones.
template <int D> void MeshBuilder<D>::Erase(uint32_t slot) {
    faces_[slot].count = 0;
    --facesUsed_;
    uint32_t hole = slot;
    for (uint32_t j = (slot + 1) & kHashMask; Used(faces_[j]); j = (j + 1) & kHashMask) {
        const uint32_t home = Hash(faces_[j].key) & kHashMask;
        const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
        if (stays) continue;
        faces_[hole] = faces_[j];
        faces_[j].count = 0;
        hole = j;
    }
}

template <int D> void MeshBuilder<D>::Append(const int16_t v[kVertices], bool outer) {
    Simplex& s = simplices_[count_];
    std::copy(v, v + kVertices, s.v);
    s.outer = outer ? 1 : 0;
    s.serial = nextSerial_++;
    if (!outer) {
        const Adjustment* t = context_.table;
        if constexpr (D == 3)
            s.sphere = Circumsphere(t[v[0]].position, t[v[1]].position, t[v[2]].position,
                                    t[v[3]].position);
        else
            s.sphere = Circumcircle(t[v[0]].position, t[v[1]].position, t[v[2]].position);
    }
    if (regular_) {
        for (int f = 0; f < ListedFaces(s); ++f) {
            int32_t key[D];
            FaceKey(s, f, key);
            if (!AddLister(key, s.serial)) regular_ = false;
        }
    }
    ++count_;
}

template <int D> void MeshBuilder<D>::InitialMesh() {
    count_ = 0;
    nextSerial_ = 0;
    // A new epoch empties the face hash without touching it.
    if (++epoch_ == 0) {
        std::memset(faces_, 0, sizeof faces_);
        epoch_ = 1;
    }
    facesUsed_ = 0;
    if constexpr (D == 3) {
        for (const auto& set : kCornerSets3) {
            const int16_t c = set[0], p = set[1], q = set[2], r = set[3], o = set[4];
            const int16_t inner[4] = {c, p, q, r};
            const int16_t outer[3][4] = {{c, p, q, o}, {c, q, r, o}, {c, p, r, o}};
            Append(inner, false);
            for (const auto& t : outer)
                Append(t, true);
        }
        Append(kCentralTetrahedron, false);
    } else {
        for (const auto& set : kCornerSets2) {
            const int16_t c = set[0], p = set[1], q = set[2], o = set[3];
            const int16_t inner[3] = {c, p, q};
            const int16_t outer[2][3] = {{c, p, o}, {c, q, o}};
            Append(inner, false);
            for (const auto& t : outer)
                Append(t, true);
        }
    }
}

template <int D> int32_t MeshBuilder<D>::IndexOfSerial(uint32_t serial) const {
    int32_t lo = 0, hi = count_;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (simplices_[mid].serial < serial)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < count_ && simplices_[lo].serial == serial ? lo : -1;
}

// Faces of kept simplices shared with a removed one, found through the removed simplices.
template <int D> bool MeshBuilder<D>::FindBoundaryFast() {
    boundaryCount_ = 0;
    for (int32_t n = 0; n < removedCount_; ++n) {
        const Simplex& r = simplices_[removedList_[n]];
        for (int f = 0; f < kFaces; ++f) {
            int32_t key[D];
            FaceKey(r, f, key);
            const FaceEntry* e = Find(key);
            if (e == nullptr || e->count != 2) return false;
            const uint32_t other = e->lister[0] == r.serial ? e->lister[1] : e->lister[0];
            const int32_t j = IndexOfSerial(other);
            if (j < 0) return false;
            if (removed_[j]) continue;
            int slot = -1;
            for (int g = 0; g < ListedFaces(simplices_[j]) && slot < 0; ++g) {
                int32_t k2[D];
                FaceKey(simplices_[j], g, k2);
                if (std::equal(key, key + D, k2)) slot = g;
            }
            if (slot < 0) return false;
            boundary_[boundaryCount_++] = {j, slot};
        }
    }
    std::sort(boundary_, boundary_ + boundaryCount_,
              [](const BoundaryFace& a, const BoundaryFace& b) {
                  return a.simplex != b.simplex ? a.simplex < b.simplex : a.slot < b.slot;
              });
    return true;
}

// Two faces are equal when each vertex id of the first occurs among those of the second.
template <int D> bool MeshBuilder<D>::HasFace(const Simplex& s, const Simplex& of, int slot) const {
    const Adjustment* t = context_.table;
    for (int g = 0; g < ListedFaces(s); ++g) {
        bool equal = true;
        for (int k = 0; k < D && equal; ++k) {
            const int32_t id = t[of.v[FaceTable<D>::value[slot][k]]].id;
            bool found = false;
            for (int m = 0; m < D && !found; ++m)
                found = t[s.v[FaceTable<D>::value[g][m]]].id == id;
            equal = found;
        }
        if (equal) return true;
    }
    return false;
}

template <int D> void MeshBuilder<D>::FindBoundaryPlain() {
    boundaryCount_ = 0;
    for (int32_t t = 0; t < count_; ++t) {
        if (removed_[t]) continue;
        for (int f = 0; f < ListedFaces(simplices_[t]); ++f) {
            bool shared = false;
            for (int32_t u = 0; u < count_ && !shared; ++u)
                shared = u != t && !removed_[u] && HasFace(simplices_[u], simplices_[t], f);
            if (!shared) boundary_[boundaryCount_++] = {t, f};
        }
    }
}

template <int D>
typename MeshBuilder<D>::InsertResult MeshBuilder<D>::Insert(int32_t record, int32_t limit) {
    const Adjustment* table = context_.table;
    const int32_t* p = table[record].position;

    // Cavity: every inner simplex whose circumsphere strictly contains the point.
    removedCount_ = 0;
    for (int32_t i = 0; i < count_; ++i) {
        const Simplex& s = simplices_[i];
        if (s.outer) continue;
        const bool inside = D == 3 ? InCircumsphere(s.sphere, p) : InCircumcircle(s.sphere, p);
        if (inside) {
            removed_[i] = 1;
            removedList_[removedCount_++] = i;
        }
    }

    // Boundary of the cavity, in the order of the kept simplices and their face lists.
    if (regular_ && !FindBoundaryFast()) regular_ = false;
    if (!regular_) FindBoundaryPlain();

    auto clearMarks = [&] {
        for (int32_t n = 0; n < removedCount_; ++n)
            removed_[removedList_[n]] = 0;
    };
    if (count_ - removedCount_ + boundaryCount_ > limit) {
        clearMarks();
        return InsertResult::OverLimit;
    }

    // A new simplex in the plane (3D) or on the line (2D) of its face fails the insertion.
    bool degenerate = false;
    for (int32_t n = 0; n < boundaryCount_; ++n) {
        const Simplex& s = simplices_[boundary_[n].simplex];
        int16_t* v = newVertices_[n];
        for (int k = 0; k < D; ++k)
            v[k] = s.v[FaceTable<D>::value[boundary_[n].slot][k]];
        v[D] = static_cast<int16_t>(record);
        int64_t det;
        if constexpr (D == 3)
            det = SimplexDeterminant3(table[v[0]].position, table[v[1]].position,
                                      table[v[2]].position, table[v[3]].position);
        else
            det = SimplexDeterminant2(table[v[0]].position, table[v[1]].position,
                                      table[v[2]].position);
        if (det == 0) {
            degenerate = true;
            break;
        }
    }

    // Remove the cavity, keeping the order of the survivors.
    if (regular_) {
        for (int32_t n = 0; n < removedCount_ && regular_; ++n) {
            const Simplex& r = simplices_[removedList_[n]];
            for (int f = 0; f < kFaces; ++f) {
                int32_t key[D];
                FaceKey(r, f, key);
                if (!RemoveLister(key, r.serial)) regular_ = false;
            }
        }
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < count_; ++i) {
        if (removed_[i]) {
            removed_[i] = 0;
            continue;
        }
        if (kept != i) simplices_[kept] = simplices_[i];
        ++kept;
    }
    count_ = kept;
    if (degenerate) {
        regular_ = false;
        return InsertResult::Degenerate;
    }

    // Re-fill: join the point to every boundary face.
    const int32_t firstNew = count_;
    for (int32_t n = 0; n < boundaryCount_; ++n)
        Append(newVertices_[n], false);
    if (regular_) {
        for (int32_t i = firstNew; i < count_ && regular_; ++i) {
            for (int f = 0; f < kFaces; ++f) {
                int32_t key[D];
                FaceKey(simplices_[i], f, key);
                const FaceEntry* e = Find(key);
                if (e == nullptr || e->count != 2) regular_ = false;
            }
        }
    }
    return InsertResult::Inserted;
}

template <int D> void MeshBuilder<D>::Nudge(int32_t record) {
    Adjustment& a = context_.table[record];
    for (int k = 0; k < D; ++k) {
        const int32_t r = context_.random(context_.randomContext);
        const int32_t moved = a.position[k] + (r & 255) - 128;
        a.position[k] = std::clamp(moved, context_.bounds[2 * k], context_.bounds[2 * k + 1]);
    }
}

template <int D> bool MeshBuilder<D>::IdsDistinct(int32_t first, int32_t end) {
    int32_t n = 0;
    for (int32_t i = 0; i < kFixedPointCount; ++i)
        ids_[n++] = context_.table[i].id;
    for (int32_t i = first; i < end; ++i)
        ids_[n++] = context_.table[i].id;
    std::sort(ids_, ids_ + n);
    return std::adjacent_find(ids_, ids_ + n) == ids_ + n;
}

template <int D>
typename MeshBuilder<D>::Outcome MeshBuilder<D>::Build(const BuildContext& context, int32_t first,
                                                       int32_t end, int32_t anchorBegin,
                                                       int32_t anchorLimit) {
    context_ = context;
    const bool distinct = !plainOnly_ && IdsDistinct(first, end);
    for (int attempt = 1;; ++attempt) {
        regular_ = distinct;
        InitialMesh();
        int32_t i = first;
        for (; i < end; ++i) {
            const int32_t limit = i >= anchorBegin ? std::min(anchorLimit, kCapacity) : kCapacity;
            const InsertResult r = Insert(i, limit);
            if (r == InsertResult::OverLimit) return {true, i};
            if (r == InsertResult::Degenerate) break;
        }
        if (i == end || attempt == kAttempts) return {false, end};
        Nudge(i);
    }
}

void AnchorScratch::Clear() {
    for (Slot& s : slots)
        s.used = 0;
}

bool AnchorScratch::Insert(const int32_t p[3]) {
    uint32_t h = 2166136261u;
    for (int k = 0; k < 3; ++k) {
        h ^= static_cast<uint32_t>(p[k]);
        h *= 0x9E3779B1u;
        h ^= h >> 15;
    }
    for (uint32_t i = h & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
        Slot& s = slots[i];
        if (!s.used) {
            std::copy(p, p + 3, s.p);
            s.used = 1;
            return true;
        }
        if (std::equal(p, p + 3, s.p)) return false;
    }
}

template class MeshBuilder<3>;
template class MeshBuilder<2>;

} // namespace quillon::engine::detail
