// The protocol driver: tiles handed out and written back, rectangles, progress, abort, refusals.
#include "core/HostFailure.h"
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace quillon::filterhost;

std::string ModulePath(const char* name) {
    return std::string(TEST_MODULE_DIR) + "/" + name;
}

Document Gradient(ColorMode mode, int depth, int32_t width, int32_t height) {
    Document d = MakeDocument(mode, depth, width, height, true);
    const int max = depth == 16 ? 32768 : 255;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (size_t p = 0; p < d.planes.size(); ++p)
                d.At(int(p), x, y) = uint16_t((x * 37 + y * 11 + int(p) * 101) % (max + 1));
    return d;
}

class FilterDriverTest : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(FilterDriverTest, EveryTileIsHandedOutAndWrittenBack) {
    const auto [depth, big] = GetParam();
    PluginModule module(ModulePath("Invert.8bf"));
    FilterSession host;
    Document document = Gradient(ColorMode::RGB, depth, 1000, 300);
    const Document before = document;
    RunOptions options;
    options.tileWidth = 256;
    options.tileHeight = 128;
    options.bigDocument = big;
    RunTrace trace;
    options.trace = &trace;
    RunReport report = host.Run(module, document, options);
    ASSERT_EQ(report.result, 0);
    EXPECT_EQ(trace.advanceCalls, 12); // 4 columns x 3 rows
    EXPECT_EQ(trace.tilesWritten, 12);
    const int max = depth == 16 ? 32768 : 255;
    for (int32_t y = 0; y < 300; y += 7)
        for (int32_t x = 0; x < 1000; x += 13) {
            for (int p = 0; p < 3; ++p)
                ASSERT_EQ(document.At(p, x, y), max - before.At(p, x, y)) << x << "," << y;
            ASSERT_EQ(document.At(3, x, y), before.At(3, x, y)) << "alpha is not a requested plane";
        }
    EXPECT_EQ(host.Memory().LiveHandles(), 0u);
    EXPECT_EQ(host.Suites().Outstanding(), 0);
}

INSTANTIATE_TEST_SUITE_P(DepthsAndCoordinates, FilterDriverTest,
                         ::testing::Combine(::testing::Values(8, 16), ::testing::Bool()));

// Rows said final hold their final samples when they are said so, unless a later call says the
// filter came back above them; a filter that does come back says so.
TEST(FilterDriver, RowsAreSaidFinalOnceTheFilterIsDoneWithThem) {
    struct Case {
        const char* module;
        bool comesBack;
    };
    for (const Case c : {Case{"Invert.8bf", false}, Case{"TwoPasses.8bf", true}}) {
        SCOPED_TRACE(c.module);
        PluginModule module(ModulePath(c.module));
        FilterSession host;
        Document document = Gradient(ColorMode::RGB, 8, 90, 70);
        RunOptions options;
        options.tileWidth = 32;
        options.tileHeight = 16;
        std::vector<std::pair<int32_t, Document>> said;
        options.rowsFinal = [&](int32_t rows) { said.emplace_back(rows, document); };
        ASSERT_EQ(host.Run(module, document, options).result, 0);
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back().first, 64) << "the top of the last row of tiles";
        bool cameBack = false;
        for (size_t i = 0; i < said.size(); ++i) {
            const auto& [rows, then] = said[i];
            cameBack = cameBack || (i > 0 && rows < said[i - 1].first);
            const bool reopened =
                std::any_of(said.begin() + ptrdiff_t(i) + 1, said.end(),
                            [rows = rows](const auto& s) { return s.first < rows; });
            if (reopened) continue;
            for (size_t p = 0; p < document.planes.size(); ++p)
                EXPECT_TRUE(std::equal(then.planes[p].begin(),
                                       then.planes[p].begin() + ptrdiff_t(rows) * 90,
                                       document.planes[p].begin()))
                    << "rows above " << rows << ", plane " << p;
        }
        EXPECT_EQ(cameBack, c.comesBack);
    }
}

TEST(FilterDriver, AbortStopsTheRunWithTheModuleResult) {
    PluginModule module(ModulePath("Invert.8bf"));
    FilterSession host;
    Document document = Gradient(ColorMode::RGB, 8, 100, 100);
    RunOptions options;
    options.tileWidth = options.tileHeight = 50;
    options.abort = [] { return true; };
    RunTrace trace;
    options.trace = &trace;
    RunReport report = host.Run(module, document, options);
    EXPECT_EQ(report.result, userCanceledErr);
    EXPECT_EQ(report.failedSelector, filterSelectorStart);
    EXPECT_EQ(trace.advanceCalls, 2);
    ASSERT_EQ(trace.progressCalls.size(), 1u);
}

// Planes the document lacks, over a rectangle with pixels in it, are refused with the reason
// whether the plug-in advances itself or leaves the rectangle for the host; the refused tile is
// not handed out and the run stops there.
TEST(FilterDriver, PlanesTheDocumentLacksEndTheRun) {
    for (const char* file : {"BadPlanes.8bf", "BadPlanesPending.8bf"}) {
        PluginModule module(ModulePath(file));
        FilterSession host;
        Document document = Gradient(ColorMode::RGB, 8, 40, 30);
        const Document before = document;
        RunTrace trace;
        RunOptions options;
        options.trace = &trace;
        RunReport report = host.Run(module, document, options);
        EXPECT_EQ(report.result, filterBadParameters) << file;
        EXPECT_NE(report.failedSelector, filterSelectorContinue) << file << ": continued";
        EXPECT_EQ(report.hostFailure, "the filter asked for planes 0 to 7 of a document with 4")
            << file;
        EXPECT_EQ(trace.advanceCalls, 1) << file;
        EXPECT_EQ(trace.tilesWritten, 0) << file;
        EXPECT_EQ(document.planes, before.planes) << file;
    }
}

TEST(FilterDriver, RefusesModesTheModuleDoesNotEnable) {
    PluginModule module(ModulePath("Invert.8bf"));
    FilterSession host;
    for (ColorMode mode : {ColorMode::CMYK, ColorMode::Lab}) {
        Document document = MakeDocument(mode, 8, 4, 4);
        try {
            host.Run(module, document, {});
            ADD_FAILURE() << "accepted " << ModeName(mode);
        } catch (const HostFailure& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("cannot filter ") + ModeName(mode)),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST(FilterDriver, BrokenModulesAreRefusedWithTheReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"NoPipl.8bf", "no PIPL resource"},
        {"NoEntry.8bf", "entry point MissingMain not found"},
        {"TruncatedPipl.8bf", "truncated PIPL"},
        {"Absent.8bf", "cannot load module"},
    };
    for (const auto& [file, reason] : cases) {
        try {
            PluginModule module(ModulePath(file));
            ADD_FAILURE() << file << " loaded";
        } catch (const HostFailure& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}

TEST(FilterDriver, DocumentsRefuseImpossibleSizes) {
    EXPECT_THROW(MakeDocument(ColorMode::RGB, 8, 0, 10), HostFailure);
    EXPECT_THROW(MakeDocument(ColorMode::RGB, 8, 100000, 100000), HostFailure);
    EXPECT_THROW(MakeDocument(ColorMode::RGB, 12, 10, 10), HostFailure);
}

} // namespace
