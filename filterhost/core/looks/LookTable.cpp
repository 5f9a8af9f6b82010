#include "core/looks/LookTable.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace quillon::filterhost {

Document MakeLattice(int size, int32_t width) {
    const int64_t points = int64_t(size) * size * size;
    if (size < 2 || width <= 0 || points % width != 0)
        throw HostFailure("a lattice of " + std::to_string(size) + " points per axis cannot be " +
                          std::to_string(width) + " pixels wide");
    Document d = MakeDocument(ColorMode::RGB, 16, width, int32_t(points / width));
    std::vector<uint16_t> level(size_t(size), 0);
    for (int k = 0; k < size; ++k)
        level[size_t(k)] = uint16_t(std::lround(k * 32768.0 / (size - 1)));
    size_t i = 0;
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r, ++i) {
                d.planes[0][i] = level[size_t(r)];
                d.planes[1][i] = level[size_t(g)];
                d.planes[2][i] = level[size_t(b)];
            }
    return d;
}

void WriteCubeFile(const Document& lattice, int size, const std::string& title,
                   const std::vector<std::string>& comments, const std::filesystem::path& file) {
    const size_t points = size_t(size) * size_t(size) * size_t(size);
    if (lattice.mode != ColorMode::RGB || lattice.depth != 16 ||
        size_t(lattice.width) * size_t(lattice.height) != points)
        throw HostFailure("not a lattice of " + std::to_string(size) + " points per axis");
    WriteThroughTemporary(file, [&](const std::filesystem::path& temporary) {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << "TITLE \"" << title << "\"\n";
        for (const std::string& line : comments)
            out << "# " << line << "\n";
        out << "DOMAIN_MIN 0.0 0.0 0.0\nDOMAIN_MAX 1.0 1.0 1.0\nLUT_3D_SIZE " << size << "\n";
        char line[64];
        for (size_t i = 0; i < points; ++i) {
            const int n =
                std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", lattice.planes[0][i] / 32768.0,
                              lattice.planes[1][i] / 32768.0, lattice.planes[2][i] / 32768.0);
            out.write(line, n);
        }
        out.flush();
        if (!out) throw HostFailure("cannot write " + file.string());
    });
}

} // namespace quillon::filterhost
