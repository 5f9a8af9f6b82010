// The fuzziness as people see it, 1..10, and the engine's, 0..1: engine = (user - 1) / 9. The
// dialog, the recorded parameters and the tools convert through these alone, so a value shown,
// recorded and replayed is the same float.
#pragma once

namespace quillon::engine {

constexpr float EngineFuzziness(double user) {
    return static_cast<float>((user - 1) * 0.1111111111111111);
}

constexpr double UserFuzziness(float engine) {
    return double(engine) * 9 + 1;
}

} // namespace quillon::engine
