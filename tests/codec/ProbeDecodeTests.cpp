// quillon-probe decode, as outside checks use it.
#include "CodecTestSupport.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace quillon::codec::testing {
namespace {

using namespace fixtures;

struct ProbeRun {
    int status;
    std::string err;
};

class ProbeDecode : public ::testing::Test {
  protected:
    // Tests may run in parallel processes, so every file carries the test's name.
    std::string Path(const std::string& name) const {
        return ::testing::TempDir() + "probe-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + name;
    }

    void Write(const std::string& path, const Bytes& b) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), long(b.size()));
    }

    ProbeRun Probe(const std::string& args) {
        std::string errPath = Path("stderr.txt");
        int raw = std::system((std::string(QUILLON_PROBE) + " " + args + " 2>" + errPath).c_str());
        std::stringstream err;
        err << std::ifstream(errPath).rdbuf();
        std::remove(errPath.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, err.str()};
    }

    void TearDown() override {
        for (const char* n : {"in.bmp", "out.ppm", "bad.psd"})
            std::remove(Path(n).c_str());
    }
};

TEST_F(ProbeDecode, WritesABinaryPpmOnSuccess) {
    Picture p = Pattern(7, 3);
    Write(Path("in.bmp"), MakeBmpRgb(p, 24, false));
    ProbeRun run = Probe("decode " + Path("in.bmp") + " " + Path("out.ppm"));
    ASSERT_EQ(run.status, 0) << run.err;
    std::ifstream in(Path("out.ppm"), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string header = "P6\n7 3\n255\n";
    ASSERT_EQ(content.substr(0, header.size()), header);
    EXPECT_EQ(Bytes(content.begin() + long(header.size()), content.end()), p.rgb);
}

TEST_F(ProbeDecode, FailureReportsTheCodeAndWritesNothing) {
    PsdLayout lab{4, 4, 9, 8, false, Planes(Pattern(4, 4)), {}, {}};
    Write(Path("bad.psd"), MakePsd(lab));
    ProbeRun run = Probe("decode " + Path("bad.psd") + " " + Path("out.ppm"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("codec error 47"), std::string::npos) << run.err;
    EXPECT_FALSE(std::ifstream(Path("out.ppm")).good());

    ProbeRun missing = Probe("decode " + Path("no-such-file") + " " + Path("out.ppm"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("codec error 2"), std::string::npos) << missing.err;
    EXPECT_FALSE(std::ifstream(Path("out.ppm")).good());
}

TEST_F(ProbeDecode, UsageErrorsExitWith2) {
    EXPECT_EQ(Probe("decode onlyone").status, 2);
    EXPECT_EQ(Probe("").status, 2);
}

} // namespace
} // namespace quillon::codec::testing
