// Driving quillon edit's dialog at 600 x 300 from a script, and reading back what `state` wrote.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace quillon::testing {

// Where things are at 600 x 300, for the document of PickingPicturesTest: the 64 x 48 picture sits
// at 100% in the middle of the left pane (client x 136..199, y 151..198), red left of x 168; a
// 32 x 32 sample sits in the middle of the right pane (client x 455..486, y 159..190).
inline constexpr const char* kSmall = "resize 600 300\nwait 50\n";
inline constexpr const char* kClickOK = "click 540 22\n";
inline constexpr const char* kClickCancel = "click 540 52\n";
inline constexpr const char* kClickRed = "click 145 175\nwait 20\n";
inline constexpr const char* kClickSample = "click 470 175\nwait 20\n";
// Preserve Luminosity starts on; a click turns it off.
inline constexpr const char* kClickLuminosity = "click 245 50\nwait 20\n";

inline constexpr const char* kTextStatic = "ADM Text Static Type";

// The n-th item of a type, in the order the dialog made them.
inline nlohmann::json Nth(const nlohmann::json& state, const std::string& type, size_t n) {
    size_t seen = 0;
    for (const nlohmann::json& item : state["items"])
        if (item["type"] == type && seen++ == n) return item;
    ADD_FAILURE() << "no " << type << " number " << n;
    return nlohmann::json::object();
}

// The hint line: the first static text the dialog makes.
inline std::string HintText(const nlohmann::json& state) {
    return Nth(state, kTextStatic, 0).value("text", "");
}

} // namespace quillon::testing
