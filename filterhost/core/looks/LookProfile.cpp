#include "core/looks/LookProfile.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace quillon::filterhost {
namespace {

// The profile's Lab encoding (ICC v4, 16 bits: L 0..100 over 0..65535, a and b neutral at
// 0x8080, one unit 257) against the host's (L 0..32768, a and b neutral at 16384, one unit 128).
uint16_t ToHost(int channel, uint16_t v) {
    return channel == 0 ? uint16_t(std::lround(v * 32768.0 / 65535.0))
                        : uint16_t(std::min(32768L, std::lround(v * 128.0 / 257.0)));
}
uint16_t FromHost(int channel, uint16_t v) {
    const double scaled = channel == 0 ? v * 65535.0 / 32768.0 : v * 257.0 / 128.0;
    return uint16_t(std::clamp(std::lround(scaled), 0L, 65535L));
}

struct StageFree {
    void operator()(cmsStage* s) const { cmsStageFree(s); }
};
struct PipelineFree {
    void operator()(cmsPipeline* p) const { cmsPipelineFree(p); }
};
struct ProfileClose {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
struct MluFree {
    void operator()(cmsMLU* m) const { cmsMLUfree(m); }
};

// The grid points in sampling order, or the filtered lattice handed back in that order.
struct LatticeWalk {
    Document* fill = nullptr;
    const Document* read = nullptr;
    size_t next = 0;
};

int WalkLattice(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    auto* walk = static_cast<LatticeWalk*>(cargo);
    const size_t i = walk->next++;
    for (int c = 0; c < 3; ++c) {
        if (walk->fill && i < walk->fill->planes[size_t(c)].size())
            walk->fill->planes[size_t(c)][i] = ToHost(c, in[c]);
        if (walk->read && i < walk->read->planes[size_t(c)].size())
            out[c] = FromHost(c, walk->read->planes[size_t(c)][i]);
    }
    return 1;
}

std::unique_ptr<cmsStage, StageFree> Table(int size) {
    std::unique_ptr<cmsStage, StageFree> table(
        cmsStageAllocCLut16bit(nullptr, cmsUInt32Number(size), 3, 3, nullptr));
    if (!table) throw HostFailure("cannot make a colour table of " + std::to_string(size) + "³");
    return table;
}

void CheckSize(int size) {
    if (size < 2 || size > 255)
        throw HostFailure("a colour table of " + std::to_string(size) +
                          " points per axis is not possible; 2 to 255");
}

} // namespace

Document MakeLabLattice(int size) {
    CheckSize(size);
    Document lattice = MakeDocument(ColorMode::Lab, 16, size * size, size);
    const auto table = Table(size);
    LatticeWalk walk{&lattice, nullptr, 0};
    if (!cmsStageSampleCLut16bit(table.get(), WalkLattice, &walk, SAMPLER_INSPECT))
        throw HostFailure("cannot walk a colour table of " + std::to_string(size) + "³");
    return lattice;
}

void WriteLabProfile(const Document& lattice, int size, const std::string& description,
                     const std::filesystem::path& file) {
    CheckSize(size);
    const size_t points = size_t(size) * size_t(size) * size_t(size);
    if (lattice.mode != ColorMode::Lab || lattice.depth != 16 ||
        size_t(lattice.width) * size_t(lattice.height) != points)
        throw HostFailure("not a Lab lattice of " + std::to_string(size) + " points per axis");
    auto table = Table(size);
    LatticeWalk walk{nullptr, &lattice, 0};
    if (!cmsStageSampleCLut16bit(table.get(), WalkLattice, &walk, 0))
        throw HostFailure("cannot fill a colour table of " + std::to_string(size) + "³");

    std::unique_ptr<void, ProfileClose> profile(cmsCreateProfilePlaceholder(nullptr));
    std::unique_ptr<cmsPipeline, PipelineFree> pipeline(cmsPipelineAlloc(nullptr, 3, 3));
    std::unique_ptr<cmsMLU, MluFree> name(cmsMLUalloc(nullptr, 1)), rights(cmsMLUalloc(nullptr, 1));
    if (!profile || !pipeline || !name || !rights)
        throw HostFailure("cannot make the profile " + file.string() + ": out of memory");
    cmsSetProfileVersion(profile.get(), 4.3);
    cmsSetDeviceClass(profile.get(), cmsSigAbstractClass);
    cmsSetColorSpace(profile.get(), cmsSigLabData);
    cmsSetPCS(profile.get(), cmsSigLabData);
    cmsSetHeaderRenderingIntent(profile.get(), INTENT_PERCEPTUAL);
    // A v4 table is stored as curves, table, curves: identity curves on both sides. The
    // pipeline owns each stage once it is inserted.
    std::unique_ptr<cmsStage, StageFree> before(cmsStageAllocToneCurves(nullptr, 3, nullptr)),
        after(cmsStageAllocToneCurves(nullptr, 3, nullptr));
    for (auto* stage : {&before, &table, &after}) {
        if (!*stage || !cmsPipelineInsertStage(pipeline.get(), cmsAT_END, stage->get()))
            throw HostFailure("cannot make the profile " + file.string());
        stage->release();
    }
    cmsMLUsetASCII(name.get(), "en", "US", description.c_str());
    cmsMLUsetASCII(rights.get(), "en", "US", "No copyright, use freely");
    if (!cmsWriteTag(profile.get(), cmsSigAToB0Tag, pipeline.get()) ||
        !cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, name.get()) ||
        !cmsWriteTag(profile.get(), cmsSigCopyrightTag, rights.get()) ||
        !cmsWriteTag(profile.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ()))
        throw HostFailure("cannot make the profile " + file.string());
    cmsUInt32Number length = 0;
    if (!cmsSaveProfileToMem(profile.get(), nullptr, &length))
        throw HostFailure("cannot make the profile " + file.string());
    std::string bytes(length, '\0');
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &length))
        throw HostFailure("cannot make the profile " + file.string());
    WriteFileAtomically(file, bytes);
}

} // namespace quillon::filterhost
