#include "EngineInspector.h"
#include "TestSupport.h"

#include "filter/ColorsText.h"
#include "filter/SettingsBlock.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon::filter {
namespace {

using engine::ColorEngine;
using engine::ColorRecord16;
using engine::test::Lab;
using engine::test::MakeEngine;

std::vector<ColorRecord16> Transformed(ColorEngine& e) {
    std::vector<ColorRecord16> colours;
    for (int32_t l = 0; l <= 32768; l += 2048)
        for (int32_t a = 0; a <= 32768; a += 2048)
            for (int32_t b = 0; b <= 32768; b += 2048)
                colours.push_back(Lab(l, a, b));
    e.Transform16(colours.data(), int32_t(colours.size()));
    return colours;
}

bool Same(const std::vector<ColorRecord16>& x, const std::vector<ColorRecord16>& y) {
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (x[i].c1 != y[i].c1 || x[i].c2 != y[i].c2 || x[i].c3 != y[i].c3) return false;
    return true;
}

// Saved settings set the mode, the fuzziness and the adjustments, then build the mesh once: the
// same mesh as applying them one by one, each with its own rebuild.
TEST(SettingsLoadTest, SavedSettingsBuildTheMeshOnce) {
    for (bool chromaOnly : {false, true}) {
        SCOPED_TRACE(chromaOnly ? "chroma-only" : "3D");
        auto source = MakeEngine(chromaOnly);
        source->SetFuzziness(0.3f);
        ASSERT_TRUE(ParseColors(*source, "Lab[20000,16000,17000]:Lab[22000,17000,15000] "
                                         "Lab[5000,26000,9000]:Lab[7000,22000,12000] "
                                         "Lab[30000,9000,25000] "));
        source->Rebuild();
        std::vector<uint8_t> block(kSettingsSize);
        WriteSettingsBlock(*source, block);

        auto loaded = MakeEngine(!chromaOnly);
        const uint64_t before = engine::EngineInspector::BuildCount(*loaded);
        ReadSettingsBlock(block, *loaded);
        EXPECT_EQ(engine::EngineInspector::BuildCount(*loaded), before + 1);
        EXPECT_EQ(loaded->PreserveLuminosity(), chromaOnly);
        EXPECT_EQ(loaded->UserCount(), 3);

        auto stepwise = MakeEngine(chromaOnly);
        stepwise->SetFuzziness(0.3f);
        ASSERT_TRUE(ParseColors(*stepwise, "Lab[20000,16000,17000]:Lab[22000,17000,15000] "
                                           "Lab[5000,26000,9000]:Lab[7000,22000,12000] "
                                           "Lab[30000,9000,25000] "));
        stepwise->Rebuild();
        EXPECT_TRUE(Same(Transformed(*loaded), Transformed(*stepwise)));
    }
}

TEST(SettingsLoadTest, NestedBatchesRebuildOnceWhenTheOutermostCloses) {
    auto e = MakeEngine(false);
    const uint64_t before = engine::EngineInspector::BuildCount(*e);
    {
        ColorEngine::EditBatch outer(*e);
        e->Reset();
        {
            ColorEngine::EditBatch inner(*e);
            e->SetFuzziness(0.1f);
            e->SetPreserveLuminosity(true);
        }
        EXPECT_EQ(engine::EngineInspector::BuildCount(*e), before);
        e->SetFuzziness(0.2f);
    }
    EXPECT_EQ(engine::EngineInspector::BuildCount(*e), before + 1);
    // A batch in which nothing asks for a rebuild builds nothing.
    { ColorEngine::EditBatch idle(*e); }
    EXPECT_EQ(engine::EngineInspector::BuildCount(*e), before + 1);
}

} // namespace
} // namespace quillon::filter
