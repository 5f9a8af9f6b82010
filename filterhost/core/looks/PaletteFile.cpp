#include "core/looks/PaletteFile.h"

#include "core/HostFailure.h"

#include <cctype>
#include <charconv>

namespace quillon::filterhost {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool Lower(std::string_view s, std::string_view word) {
    if (s.size() != word.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != word[i]) return false;
    return true;
}

// Whether s is valid UTF-8 (no overlong forms, no surrogates) without control characters.
bool PrintableUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7f) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
        if (length == 0 || c > 0xf4 || s.size() - i < length) return false;
        uint32_t code = c & (0x7f >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            code = code << 6 | (next & 0x3f);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xd800 && code <= 0xdfff))) ||
            (length == 4 && (code < 0x10000 || code > 0x10ffff)))
            return false;
        i += length;
    }
    return true;
}

class Lines {
  public:
    Lines(std::string_view text, const std::string& shown) : text_(text), shown_(shown) {}
    bool Next(std::string_view& line) {
        if (at_ >= text_.size()) return false;
        const size_t end = std::min(text_.find('\n', at_), text_.size());
        line = text_.substr(at_, end - at_);
        at_ = end + 1;
        ++number_;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxPaletteLine)
            Fail("longer than " + std::to_string(kMaxPaletteLine) + " bytes");
        return true;
    }
    size_t Number() const { return number_; }
    [[noreturn]] void Fail(const std::string& what) const {
        throw HostFailure(shown_ + ", line " + std::to_string(number_) + ": " + what);
    }

  private:
    std::string_view text_;
    const std::string& shown_;
    size_t at_ = 0, number_ = 0;
};

void Add(std::vector<NamedColor>& colors, std::string name, const WrittenColor& color,
         const Lines& lines) {
    if (name.size() > kMaxColorName)
        lines.Fail("a name of more than " + std::to_string(kMaxColorName) + " bytes");
    if (!PrintableUtf8(name)) lines.Fail("a name must be UTF-8 text without control characters");
    if (colors.size() == kMaxPaletteEntries)
        lines.Fail("more than " + std::to_string(kMaxPaletteEntries) + " colours");
    colors.push_back({std::move(name), color});
}

// "R G B name": three whole numbers 0..255, then the rest of the line.
void GimpLine(std::string_view line, std::vector<NamedColor>& colors, const Lines& lines) {
    WrittenColor color;
    for (double& v : color.v) {
        line = Trim(line);
        int value = -1;
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
        if (error != std::errc() || value < 0 || value > 255)
            lines.Fail("expected R G B from 0 to 255, then a name");
        v = value;
        line.remove_prefix(size_t(end - line.data()));
        if (!line.empty() && line.front() != ' ' && line.front() != '\t')
            lines.Fail("expected R G B from 0 to 255, then a name");
    }
    const std::string_view name = Trim(line);
    Add(colors, name.empty() ? "line-" + std::to_string(lines.Number()) : std::string(name), color,
        lines);
}

void CsvLine(std::string_view line, std::vector<NamedColor>& colors, const Lines& lines) {
    std::string name;
    std::string_view rest = Trim(line);
    if (!rest.empty() && rest.front() == '"') {
        size_t i = 1;
        for (;; ++i) {
            if (i >= rest.size()) lines.Fail("a quoted name without its closing quote");
            if (rest[i] != '"') {
                name += rest[i];
            } else if (i + 1 < rest.size() && rest[i + 1] == '"') {
                name += '"';
                ++i;
            } else {
                break;
            }
        }
        rest = Trim(rest.substr(i + 1));
        if (rest.empty() || rest.front() != ',') lines.Fail("expected ',' after the quoted name");
        rest.remove_prefix(1);
    } else {
        const size_t comma = rest.find(',');
        if (comma == std::string_view::npos) lines.Fail("expected name,colour");
        name = std::string(Trim(rest.substr(0, comma)));
        rest = rest.substr(comma + 1);
    }
    rest = Trim(rest);
    if (colors.empty() && lines.Number() == 1 && Lower(name, "name") &&
        (Lower(rest, "colour") || Lower(rest, "color")))
        return;
    if (name.empty()) lines.Fail("a colour without a name");
    try {
        Add(colors, std::move(name), ParseWrittenColor(rest, false), lines);
    } catch (const NotationError& e) {
        lines.Fail(std::string("the colour ") + e.what());
    }
}

} // namespace

std::vector<NamedColor> ParsePaletteFile(std::string_view text, const std::string& shown) {
    std::vector<NamedColor> colors;
    Lines lines(text, shown);
    std::string_view line;
    const bool gimp = text.substr(0, 12) == "GIMP Palette";
    if (gimp) lines.Next(line);
    while (lines.Next(line)) {
        if (line.find('\0') != std::string_view::npos) lines.Fail("holds a NUL byte");
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty()) continue;
        if (!gimp) {
            CsvLine(line, colors, lines);
        } else if (trimmed.front() != '#' && trimmed.substr(0, 5) != "Name:" &&
                   trimmed.substr(0, 8) != "Columns:") {
            GimpLine(trimmed, colors, lines);
        }
    }
    if (colors.empty()) throw HostFailure(shown + ": no colours");
    return colors;
}

std::string FileSafeName(std::string_view name) {
    std::string safe;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || std::isalnum(u) || c == '_' || c == '.') {
            if (!(safe.empty() && c == '.')) safe += c;
        } else if (!safe.empty() && safe.back() != '-') {
            safe += '-';
        }
    }
    while (!safe.empty() && safe.back() == '-')
        safe.pop_back();
    return safe.empty() ? "colour" : safe;
}

} // namespace quillon::filterhost
