#include "ProbeCommands.h"

#include "engine/ColorEngine.h"
#include "engine/FuzzinessScale.h"
#include "filter/ColorsText.h"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace quillon;

struct EngineOptions {
    std::optional<std::string> colors;
    std::optional<double> fuzziness;
    std::optional<std::string> preserveLuminosity;
    int bits = 16;
    bool stats = false;
};

// Whitespace-separated integers in 0..maxValue, a multiple of three of them.
bool ReadTriples(std::istream& in, int32_t maxValue, std::vector<int32_t>& out) {
    std::string token;
    while (in >> token) {
        int64_t v = 0;
        bool ok = !token.empty() && token.size() <= 10;
        for (char c : token) {
            ok = ok && c >= '0' && c <= '9';
            if (ok) v = v * 10 + (c - '0');
        }
        if (!ok || v > maxValue) {
            std::cerr << "quillon-probe engine: \"" << token << "\" is not an integer in 0.."
                      << maxValue << "\n";
            return false;
        }
        out.push_back(int32_t(v));
    }
    if (out.size() % 3 != 0) {
        std::cerr << "quillon-probe engine: the input holds " << out.size()
                  << " numbers, not whole L a b triples\n";
        return false;
    }
    return true;
}

template <typename Record, typename Transform>
void TransformAndPrint(const std::vector<int32_t>& values, Transform transform) {
    std::vector<Record> records(values.size() / 3);
    for (size_t i = 0; i < records.size(); ++i)
        records[i] = {0, decltype(Record::c1)(values[3 * i]),
                      decltype(Record::c2)(values[3 * i + 1]),
                      decltype(Record::c3)(values[3 * i + 2])};
    transform(records.data(), int32_t(records.size()));
    std::string out;
    for (const Record& r : records)
        out +=
            std::to_string(r.c1) + ' ' + std::to_string(r.c2) + ' ' + std::to_string(r.c3) + '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
}

int RunEngine(const EngineOptions& options) {
    auto engine = std::make_unique<engine::ColorEngine>();
    engine->Reset();
    if (options.preserveLuminosity)
        engine->SetPreserveLuminosity(*options.preserveLuminosity == "on");
    if (options.fuzziness) engine->SetFuzziness(engine::EngineFuzziness(*options.fuzziness));
    if (options.colors) {
        const filter::ParseColorsResult r = filter::ParseColors(*engine, *options.colors);
        // Like the plug-in, keep the adjustments loaded before the fault.
        if (!r)
            std::cerr << "quillon-probe engine: " << filter::DescribeColorsError(r.error)
                      << " at offset " << r.offset << "; " << engine->UserCount()
                      << " adjustments loaded\n";
    }
    engine->Rebuild();

    if (options.stats) {
        std::printf("points=%d tetrahedra=%d triangles=%d users=%d anchors=%d\n",
                    engine->PointCount(), engine->TetrahedronCount(), engine->TriangleCount(),
                    engine->UserCount(), engine->PointCount() - engine->EntryCount());
        return 0;
    }

    std::vector<int32_t> values;
    if (!ReadTriples(std::cin, options.bits == 8 ? 255 : 65535, values)) return 1;
    if (options.bits == 8)
        TransformAndPrint<engine::ColorRecord8>(
            values, [&](engine::ColorRecord8* b, int32_t n) { engine->Transform8(b, n); });
    else
        TransformAndPrint<engine::ColorRecord16>(
            values, [&](engine::ColorRecord16* b, int32_t n) { engine->Transform16(b, n); });
    return 0;
}

} // namespace

void AddEngineCommand(CLI::App& app) {
    auto options = std::make_shared<EngineOptions>();
    CLI::App* cmd = app.add_subcommand(
        "engine", "Transform \"L a b\" triples from standard input through the colour engine");
    cmd->add_option("--colors", options->colors, "adjustments as a \"Colors\" text");
    cmd->add_option("--fuzziness", options->fuzziness, "fuzziness on the user scale 1..10");
    cmd->add_option("--preserve-luminosity", options->preserveLuminosity, "on or off")
        ->check(CLI::IsMember({"on", "off"}));
    cmd->add_option("--bits", options->bits, "16 (0..32768 scale) or 8 (0..255)")
        ->check(CLI::IsMember({8, 16}));
    cmd->add_flag("--stats", options->stats, "print the mesh statistics and exit");
    cmd->callback([options] {
        const int code = RunEngine(*options);
        if (code != 0) throw CLI::RuntimeError(code);
    });
}
