// Scripts that drive the host's dialogs: one command per line, coordinates in the dialog's
// client area.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::ui {

enum class ScriptVerb {
    Click,
    DoubleClick,
    Press,
    Drag,
    Release,
    Move,
    Key,
    Hold,
    LetGo,
    Wait,
    Resize,
    Screenshot,
    State,
    Type,
    Wheel,
    Drop
};

// Modifier keys as bits.
enum ScriptModifier : uint8_t { kScriptShift = 1, kScriptCtrl = 2, kScriptAlt = 4 };
// The space bar, which hold and letgo take beside the modifiers.
inline constexpr uint8_t kScriptSpace = 8;

// Keys without a character of their own.
enum class ScriptKey { Character, Enter, Escape, Tab };

struct ScriptCommand {
    int line = 0;
    ScriptVerb verb = ScriptVerb::Click;
    int32_t x = 0, y = 0;  // points; width and height for resize
    uint8_t modifiers = 0; // with the command; for hold and letgo, the key (or `character`)
    ScriptKey key = ScriptKey::Character;
    char character = 0; // printable ASCII
    int32_t milliseconds = 0;
    int32_t notches = 0; // for wheel: positive turns away from the user
    std::string file;
    std::string text; // for type: UTF-8, typed one character at a time
};

class ScriptError : public std::runtime_error {
  public:
    ScriptError(int line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
    int Line() const { return line_; }

  private:
    int line_;
};

// Throws ScriptError for the first malformed line.
std::vector<ScriptCommand> ParseScript(std::string_view text);

// Bounds that keep every script finite and every coordinate small.
inline constexpr int32_t kScriptMaxCoordinate = 100000;
inline constexpr int32_t kScriptMaxWait = 600000;
inline constexpr int32_t kScriptMaxExtent = 10000;
inline constexpr int32_t kScriptMaxNotches = 100;
inline constexpr size_t kScriptMaxLine = 4096;
inline constexpr size_t kScriptMaxCommands = 100000;

} // namespace quillon::ui
