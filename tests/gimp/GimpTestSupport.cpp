#include "GimpTestSupport.h"

#include "core/documents/ImageFiles.h"
#include "core/documents/ImageFormats.h"

#include <lcms2.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillon::testing {

using namespace filterhost;
namespace fs = std::filesystem;

Samples ReadSamples(const fs::path& file) {
    const Document d = ReadImageFile(file).document;
    static const SampleScale16 scale(FromFile16, ToFile16);
    Samples s{d.width, d.height, d.depth, int(d.planes.size()), {}};
    s.values.resize(size_t(d.width) * size_t(d.height) * d.planes.size());
    size_t at = 0;
    for (size_t i = 0; i < size_t(d.width) * size_t(d.height); ++i)
        for (size_t c = 0; c < d.planes.size(); ++c) {
            const uint16_t host = d.planes[c][i];
            const bool offsets = c < d.fileOffsets.size() && !d.fileOffsets[c].empty();
            s.values[at++] =
                d.depth == 8 ? host : scale.Write(host, offsets ? d.fileOffsets[c][i] : 0);
        }
    return s;
}

Document MakePicture(int depth, bool alpha) {
    Document d = MakeDocument(ColorMode::RGB, depth, 48, 32, alpha);
    const int top = depth == 8 ? 255 : 32768;
    for (int32_t y = 0; y < d.height; ++y)
        for (int32_t x = 0; x < d.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int gradient = (x * 5 + y * 7 + c * 90) % 256;
                const int grey = 119;
                const int v = x < 16 ? grey : gradient;
                d.At(c, x, y) = uint16_t(
                    depth == 8 ? v : std::min(top, (v * top + 127) / 255 + (x + y + c) % 5 * 17));
            }
            if (alpha) d.At(3, x, y) = uint16_t((x * 37 + y * 11) % 256);
        }
    return d;
}

std::vector<uint8_t> WideProfile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

std::string GimpTest::Missing() {
    if (std::string(QUILLON_GIMP_DIR).empty())
        return "quillon-gimp was not built: libgimp2.0-dev (pkg-config gimp-2.0) was missing when "
               "the build was configured";
    if (std::system("command -v gimp > /dev/null 2>&1") != 0)
        return "gimp is not installed (no gimp on PATH; scripts/install-deps.sh installs it)";
    return {};
}

void GimpTest::SetUp() {
    folder_ = fs::temp_directory_path() /
              ("quillon-gimp-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "config");
    if (!Missing().empty()) return;
    // Installed as make install-gimp installs it: the bridge and the module side by side.
    const fs::path plugins = folder_ / "gimp2" / "plug-ins" / "quillon-gimp";
    fs::create_directories(plugins);
    for (const char* file : {"quillon-gimp", "Quillon.8bf"})
        fs::copy_file(fs::path(QUILLON_GIMP_DIR) / file, plugins / file);
    // GIMP saves its data into folders of its settings folder, which must exist.
    for (const char* data : {"brushes", "gradients", "patterns", "palettes", "tool-presets"})
        fs::create_directories(folder_ / "gimp2" / data);
}

void GimpTest::TearDown() {
    fs::remove_all(folder_);
}

namespace {

Finished Shell(const std::string& command, const fs::path& log) {
    const int raw = std::system((command + " > '" + log.string() + "' 2>&1").c_str());
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

} // namespace

Finished GimpTest::Gimp(const std::string& scheme, const std::string& environment,
                        const std::string& wrapper) {
    std::ofstream(folder_ / "batch.scm") << scheme;
    // No display but the wrapper's, so no dialog reaches the user's screen. The sanitizers' leak
    // report would list GLib's, GEGL's and Qt's process-lifetime caches.
    return Shell("cd '" + folder_.string() +
                     "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM GIMP2_DIRECTORY='" +
                     (folder_ / "gimp2").string() + "' XDG_CONFIG_HOME='" +
                     (folder_ / "config").string() + "' ASAN_OPTIONS=detect_leaks=0 " +
                     environment + " timeout 300 " + wrapper + " gimp -i -d -f -b '(load \"" +
                     (folder_ / "batch.scm").string() + "\")' -b '(gimp-quit 0)'",
                 folder_ / "gimp.log");
}

std::string GimpTest::Notes() const {
    std::ifstream in(folder_ / "notes.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Finished GimpTest::Quillon(const std::string& arguments) {
    return Shell("cd '" + folder_.string() + "' && XDG_CONFIG_HOME='" +
                     (folder_ / "config").string() + "' '" QUILLON_BINARY "' " + arguments,
                 folder_ / "quillon.log");
}

} // namespace quillon::testing
