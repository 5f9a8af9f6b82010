#include "ui/Script.h"

#include <charconv>
#include <map>

namespace quillon::ui {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

int32_t Number(int line, std::string_view word, int32_t minimum, int32_t maximum,
               const char* what) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size())
        throw ScriptError(line, std::string(what) + " '" + std::string(word) + "' is not a number");
    if (value < minimum || value > maximum)
        throw ScriptError(line, std::string(what) + " " + std::string(word) + " out of range " +
                                    std::to_string(minimum) + ".." + std::to_string(maximum));
    return value;
}

uint8_t Modifier(int line, std::string_view word) {
    if (word == "shift") return kScriptShift;
    if (word == "ctrl") return kScriptCtrl;
    if (word == "alt") return kScriptAlt;
    throw ScriptError(line, "unknown modifier '" + std::string(word) + "' (shift, ctrl, alt)");
}

// Modifiers follow the fixed arguments, as words or joined with '+'.
uint8_t Modifiers(int line, const std::vector<std::string_view>& words, size_t first) {
    uint8_t bits = 0;
    for (size_t i = first; i < words.size(); ++i) {
        std::string_view rest = words[i];
        while (!rest.empty()) {
            const size_t plus = rest.find('+');
            bits |= Modifier(line, rest.substr(0, plus));
            rest = plus == std::string_view::npos ? std::string_view() : rest.substr(plus + 1);
        }
    }
    return bits;
}

void Arguments(int line, const std::vector<std::string_view>& words, size_t minimum,
               size_t maximum) {
    const size_t count = words.size() - 1;
    if (count < minimum || count > maximum)
        throw ScriptError(line, "'" + std::string(words[0]) + "' takes " +
                                    (minimum == maximum ? std::to_string(minimum)
                                                        : std::to_string(minimum) + " to " +
                                                              std::to_string(maximum)) +
                                    " arguments, got " + std::to_string(count));
}

void Point(int line, const std::vector<std::string_view>& words, ScriptCommand& command) {
    command.x = Number(line, words[1], -kScriptMaxCoordinate, kScriptMaxCoordinate, "x");
    command.y = Number(line, words[2], -kScriptMaxCoordinate, kScriptMaxCoordinate, "y");
}

// The rest of the line after the verb and the blanks that follow it, without trailing blanks.
std::string_view Rest(std::string_view text, std::string_view verb) {
    std::string_view rest = text.substr(text.find(verb) + verb.size());
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
        rest.remove_suffix(1);
    return rest;
}

// File names may hold spaces.
std::string FileArgument(int line, std::string_view text, std::string_view verb,
                         std::string_view extension) {
    const std::string_view rest = Rest(text, verb);
    if (rest.size() <= extension.size() || rest.substr(rest.size() - extension.size()) != extension)
        throw ScriptError(line, "'" + std::string(verb) + "' needs a file name ending in " +
                                    std::string(extension));
    return std::string(rest);
}

ScriptCommand ParseLine(int line, std::string_view text,
                        const std::vector<std::string_view>& words) {
    static const std::map<std::string_view, ScriptVerb> kVerbs = {
        {"click", ScriptVerb::Click},     {"dblclick", ScriptVerb::DoubleClick},
        {"press", ScriptVerb::Press},     {"drag", ScriptVerb::Drag},
        {"release", ScriptVerb::Release}, {"move", ScriptVerb::Move},
        {"key", ScriptVerb::Key},         {"hold", ScriptVerb::Hold},
        {"letgo", ScriptVerb::LetGo},     {"wait", ScriptVerb::Wait},
        {"resize", ScriptVerb::Resize},   {"screenshot", ScriptVerb::Screenshot},
        {"state", ScriptVerb::State},     {"type", ScriptVerb::Type},
        {"wheel", ScriptVerb::Wheel},     {"drop", ScriptVerb::Drop}};
    const auto verb = kVerbs.find(words[0]);
    if (verb == kVerbs.end())
        throw ScriptError(line, "unknown command '" + std::string(words[0]) + "'");
    ScriptCommand command;
    command.line = line;
    command.verb = verb->second;
    switch (command.verb) {
    case ScriptVerb::Click:
    case ScriptVerb::DoubleClick:
    case ScriptVerb::Press:
        Arguments(line, words, 2, 5);
        Point(line, words, command);
        command.modifiers = Modifiers(line, words, 3);
        break;
    case ScriptVerb::Drag:
    case ScriptVerb::Release:
    case ScriptVerb::Move:
        Arguments(line, words, 2, 2);
        Point(line, words, command);
        break;
    case ScriptVerb::Key: {
        Arguments(line, words, 1, 4);
        const std::string_view key = words[1];
        if (key == "enter")
            command.key = ScriptKey::Enter;
        else if (key == "escape")
            command.key = ScriptKey::Escape;
        else if (key == "tab")
            command.key = ScriptKey::Tab;
        else if (key.size() == 1 && key[0] > ' ' && key[0] < 0x7f)
            command.character = key[0];
        else
            throw ScriptError(line, "unknown key '" + std::string(key) +
                                        "' (a character, enter, escape or tab)");
        command.modifiers = Modifiers(line, words, 2);
        break;
    }
    case ScriptVerb::Hold:
    case ScriptVerb::LetGo:
        Arguments(line, words, 1, 1);
        if (words[1].size() == 1 && words[1][0] > ' ' && words[1][0] < 0x7f)
            command.character = words[1][0];
        else
            command.modifiers = words[1] == "space" ? kScriptSpace : Modifier(line, words[1]);
        break;
    case ScriptVerb::Drop: {
        if (words.size() < 4) throw ScriptError(line, "'drop' takes X, Y and a file name");
        Point(line, words, command);
        // The file name is the rest of the line after the point, and may hold spaces.
        std::string_view rest = Rest(text, words[0]);
        for (int skip = 0; skip < 2; ++skip) {
            rest.remove_prefix(std::min(rest.find_first_of(" \t"), rest.size()));
            while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
                rest.remove_prefix(1);
        }
        command.file = std::string(rest);
        break;
    }
    case ScriptVerb::Wheel:
        Arguments(line, words, 3, 3);
        Point(line, words, command);
        command.notches = Number(line, words[3], -kScriptMaxNotches, kScriptMaxNotches, "notches");
        if (command.notches == 0) throw ScriptError(line, "'wheel' needs a number of notches");
        break;
    case ScriptVerb::Wait:
        Arguments(line, words, 1, 1);
        command.milliseconds = Number(line, words[1], 0, kScriptMaxWait, "wait");
        break;
    case ScriptVerb::Resize:
        Arguments(line, words, 2, 2);
        command.x = Number(line, words[1], 1, kScriptMaxExtent, "width");
        command.y = Number(line, words[2], 1, kScriptMaxExtent, "height");
        break;
    case ScriptVerb::Screenshot:
        command.file = FileArgument(line, text, words[0], ".png");
        break;
    case ScriptVerb::State:
        command.file = FileArgument(line, text, words[0], ".json");
        break;
    case ScriptVerb::Type:
        command.text = std::string(Rest(text, words[0]));
        if (command.text.empty()) throw ScriptError(line, "'type' needs the text to type");
        break;
    }
    return command;
}

} // namespace

std::vector<ScriptCommand> ParseScript(std::string_view text) {
    std::vector<ScriptCommand> commands;
    int line = 0;
    while (!text.empty()) {
        ++line;
        const size_t end = text.find('\n');
        std::string_view current = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (current.size() > kScriptMaxLine) throw ScriptError(line, "line too long");
        for (char c : current)
            if (c == '\0') throw ScriptError(line, "NUL byte in the script");
        const auto words = Words(current);
        if (words.empty() || words[0].front() == '#') continue;
        if (commands.size() == kScriptMaxCommands) throw ScriptError(line, "too many commands");
        commands.push_back(ParseLine(line, current, words));
    }
    return commands;
}

} // namespace quillon::ui
