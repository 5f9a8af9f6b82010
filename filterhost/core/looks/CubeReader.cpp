#include "core/looks/CubeReader.h"

#include "core/HostFailure.h"
#include "core/looks/LookTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>

namespace quillon::filterhost {
namespace {

class CubeLines {
  public:
    explicit CubeLines(std::string_view text) : text_(text) {}

    // The next line without its end and surrounding blanks; false at the end of the text.
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        const size_t end = std::min(text_.find('\n', pos_), text_.size());
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.remove_suffix(1);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
            line.remove_prefix(1);
        return true;
    }
    [[noreturn]] void Fail(const std::string& what) const {
        throw HostFailure("line " + std::to_string(number_) + ": " + what);
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
    size_t number_ = 0;
};

// Words of a line split at blanks; at most `n` are read, a further one is an error.
size_t Words(std::string_view line, std::string_view* words, size_t n) {
    size_t count = 0;
    while (!line.empty()) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        line.remove_prefix(start);
        const size_t end = std::min(line.find_first_of(" \t"), line.size());
        if (count == n) return n + 1;
        words[count++] = line.substr(0, end);
        line.remove_prefix(end);
    }
    return count;
}

bool Number(std::string_view word, double& v) {
    // from_chars takes no leading '+'; a .cube writer may put one.
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), v);
    return error == std::errc() && end == word.data() + word.size() && std::isfinite(v);
}

void Triple(const CubeLines& lines, std::string_view line, std::array<double, 3>& v,
            const char* what) {
    std::string_view w[4];
    if (Words(line, w, 4) != 4) lines.Fail(std::string(what) + " takes three numbers");
    for (int k = 0; k < 3; ++k)
        if (!Number(w[k + 1], v[size_t(k)]))
            lines.Fail(std::string(what) + ": \"" + std::string(w[k + 1]) + "\" is not a number");
}

} // namespace

CubeLut ParseCube(std::string_view text) {
    CubeLines lines(text);
    CubeLut lut;
    std::string_view line;
    size_t expected = 0;
    while (lines.Next(line)) {
        if (line.empty() || line.front() == '#') continue;
        const bool numeric = std::isdigit(static_cast<unsigned char>(line.front())) ||
                             line.front() == '-' || line.front() == '+' || line.front() == '.';
        if (!numeric) {
            if (!lut.points.empty()) lines.Fail("a keyword after the table's values");
            std::string_view w[3];
            const size_t n = Words(line, w, 2);
            if (w[0] == "TITLE") continue;
            if (w[0] == "LUT_3D_SIZE") {
                double size = 0;
                if (n != 2 || !Number(w[1], size) || size != std::floor(size))
                    lines.Fail("LUT_3D_SIZE takes one whole number");
                if (size < kMinCubeSize || size > kMaxCubeSize)
                    lines.Fail("LUT_3D_SIZE " + std::string(w[1]) + " is outside " +
                               std::to_string(kMinCubeSize) + ".." + std::to_string(kMaxCubeSize));
                lut.size = int(size);
                expected = size_t(lut.size) * size_t(lut.size) * size_t(lut.size);
                lut.points.reserve(expected);
            } else if (w[0] == "DOMAIN_MIN") {
                Triple(lines, line, lut.domainMin, "DOMAIN_MIN");
            } else if (w[0] == "DOMAIN_MAX") {
                Triple(lines, line, lut.domainMax, "DOMAIN_MAX");
            } else if (w[0] == "LUT_3D_INPUT_RANGE") {
                std::string_view r[3];
                double lo = 0, hi = 0;
                if (Words(line, r, 3) != 3 || !Number(r[1], lo) || !Number(r[2], hi))
                    lines.Fail("LUT_3D_INPUT_RANGE takes two numbers");
                lut.domainMin = {lo, lo, lo};
                lut.domainMax = {hi, hi, hi};
            } else if (w[0] == "LUT_1D_SIZE" || w[0] == "LUT_1D_INPUT_RANGE") {
                lines.Fail("a 1D LUT; only 3D LUTs can be learnt");
            } else {
                lines.Fail("unknown keyword \"" + std::string(w[0].substr(0, 40)) + "\"");
            }
            continue;
        }
        if (lut.size == 0) lines.Fail("values before LUT_3D_SIZE");
        if (lut.points.size() == expected)
            lines.Fail("more than " + std::to_string(expected) + " values (LUT_3D_SIZE " +
                       std::to_string(lut.size) + ")");
        std::string_view w[3];
        if (Words(line, w, 3) != 3) lines.Fail("expected three numbers");
        std::array<float, 3> p{};
        for (int k = 0; k < 3; ++k) {
            double v = 0;
            if (!Number(w[k], v))
                lines.Fail("\"" + std::string(w[k].substr(0, 40)) + "\" is not a number");
            p[size_t(k)] = float(std::clamp(v, -1e6, 1e6));
        }
        lut.points.push_back(p);
    }
    if (lut.size == 0) throw HostFailure("no LUT_3D_SIZE: not a 3D LUT");
    if (lut.points.size() != expected)
        throw HostFailure(std::to_string(lut.points.size()) + " values where LUT_3D_SIZE " +
                          std::to_string(lut.size) + " needs " + std::to_string(expected));
    for (int k = 0; k < 3; ++k)
        if (!(lut.domainMax[size_t(k)] > lut.domainMin[size_t(k)]))
            throw HostFailure("the domain's maximum must lie above its minimum");
    return lut;
}

CubeLut ReadCubeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw HostFailure("cannot read " + file.string());
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        if (text.size() + size_t(in.gcount()) > kMaxCubeBytes)
            throw HostFailure(file.string() + ": larger than any .cube of size " +
                              std::to_string(kMaxCubeSize));
        text.append(chunk, size_t(in.gcount()));
    }
    try {
        return ParseCube(text);
    } catch (const HostFailure& e) {
        throw HostFailure(file.string() + ": " + e.what());
    }
}

CubeLut LutFromHald(const Document& d) {
    int level = 0;
    for (int l = kMinHaldLevel; l <= kMaxHaldLevel; ++l)
        if (d.width == HaldSide(l)) level = l;
    if (level == 0 || d.height != d.width || d.mode != ColorMode::RGB)
        throw HostFailure("not a Hald CLUT: an RGB picture " + std::to_string(HaldSide(2)) +
                          " to " + std::to_string(HaldSide(kMaxHaldLevel)) +
                          " pixels square, level³ on a side, is expected");
    CubeLut lut;
    lut.size = HaldPointsPerAxis(level);
    const size_t n = size_t(d.width) * size_t(d.height);
    const float scale = d.depth == 16 ? 1.0f / 32768 : 1.0f / 255;
    lut.points.resize(n);
    for (size_t i = 0; i < n; ++i)
        for (size_t k = 0; k < 3; ++k)
            lut.points[i][k] = float(d.planes[k][i]) * scale;
    return lut;
}

std::array<double, 3> CubeLut::Map(const std::array<double, 3>& rgb) const {
    const int n = size;
    int lo[3];
    double f[3];
    for (size_t k = 0; k < 3; ++k) {
        const double t = (rgb[k] - domainMin[k]) / (domainMax[k] - domainMin[k]);
        const double s = std::clamp(t, 0.0, 1.0) * (n - 1);
        lo[k] = std::min(int(s), n - 2);
        f[k] = s - lo[k];
    }
    auto at = [&](int dr, int dg, int db) {
        const size_t i =
            size_t(lo[0] + dr) + size_t(n) * (size_t(lo[1] + dg) + size_t(n) * size_t(lo[2] + db));
        return points[i];
    };
    // The tetrahedron of the cell that holds the point, by the order of its fractions.
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&](int x, int y) { return f[x] > f[y]; });
    std::array<double, 3> out{};
    int corner[3] = {0, 0, 0};
    std::array<float, 3> previous = at(0, 0, 0);
    double weightLeft = 1;
    for (int step = 0; step < 3; ++step) {
        corner[order[step]] = 1;
        const std::array<float, 3> next = at(corner[0], corner[1], corner[2]);
        const double w = weightLeft - f[order[step]];
        for (size_t k = 0; k < 3; ++k)
            out[k] += w * previous[k];
        weightLeft = f[order[step]];
        previous = next;
    }
    for (size_t k = 0; k < 3; ++k)
        out[k] += weightLeft * previous[k];
    return out;
}

} // namespace quillon::filterhost
