#include "filter/ColorsText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace quillon::filter {
namespace {

class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

    std::size_t Offset() const { return pos_; }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    bool Accept(char c) {
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }
    bool Expect(std::string_view word) {
        for (char c : word)
            if (!Accept(c)) return false;
        return true;
    }
    bool AtDigit() const { return Peek() >= '0' && Peek() <= '9'; }

    // Digits kept modulo 65536; no digits read as 0.
    int32_t Component() {
        uint32_t v = 0;
        while (AtDigit())
            v = (v * 10 + uint32_t(text_[pos_++] - '0')) & 0xFFFF;
        return int32_t(v);
    }

    // Up to three components separated by commas; missing ones are 0.
    void Color(int32_t out[3]) {
        std::fill(out, out + 3, 0);
        for (int k = 0; k < 3; ++k) {
            out[k] = Component();
            if (k < 2 && !Accept(',')) return;
        }
    }

    // An optional minus and digits that fit in 32 bits; no digits read as 0.
    bool Coordinate(int32_t& out) {
        const bool negative = Accept('-');
        int64_t v = 0;
        while (AtDigit()) {
            v = v * 10 + (text_[pos_] - '0');
            if (v > int64_t(INT32_MAX) + (negative ? 1 : 0)) return false;
            ++pos_;
        }
        out = int32_t(negative ? -v : v);
        return true;
    }

    // "[h,v]"; the opening bracket has been accepted.
    bool PositionRest(engine::Position& out) {
        return Coordinate(out.h) && Accept(',') && Coordinate(out.v) && Accept(']');
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

void AppendNumber(std::string& out, int32_t v) {
    char buffer[16];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, r.ptr);
}

void AppendColor(std::string& out, const int32_t lab[3]) {
    // The table only ever holds 0..32768; the clamp keeps the text inside its grammar anyway.
    out += "Lab[";
    for (int c = 0; c < 3; ++c) {
        if (c > 0) out += ',';
        AppendNumber(out, std::clamp(lab[c], 0, engine::kFullScale16));
    }
    out += ']';
}

void AppendPosition(std::string& out, engine::Position p) {
    out += '[';
    AppendNumber(out, p.h);
    out += ',';
    AppendNumber(out, p.v);
    out += ']';
}

} // namespace

ParseColorsResult ParseColors(engine::ColorEngine& engine, std::string_view text) {
    Cursor c(text);
    auto malformed = [&] { return ParseColorsResult{ColorsTextError::Malformed, c.Offset()}; };
    while (!c.AtEnd()) {
        const std::size_t itemStart = c.Offset();
        engine::StoredAdjustment item;
        if (!c.Expect("Lab[")) return malformed();
        c.Color(item.original);
        if (!c.Accept(']')) return malformed();
        if (c.Accept('[') && !c.PositionRest(item.document)) return malformed();
        if (c.Accept(':')) {
            if (!c.Expect("Lab[")) return malformed();
            c.Color(item.target);
            if (!c.Accept(']')) return malformed();
            if (c.Accept('[') && !c.PositionRest(item.sample)) return malformed();
        } else {
            item.locked = true;
            std::copy(item.original, item.original + 3, item.target);
        }
        while (c.Accept(' ')) {
        }
        if (!engine.LoadAdjustment(item)) return {ColorsTextError::TooManyAdjustments, itemStart};
    }
    return {};
}

std::string FormatColors(const engine::ColorEngine& engine) {
    std::string out;
    for (int32_t i = engine.FirstUserIndex(); i < engine.EntryCount(); ++i) {
        const engine::Adjustment& a = engine.Record(i);
        AppendColor(out, a.original);
        if (a.documentPosition.h != -1) AppendPosition(out, a.documentPosition);
        const bool moves = !std::equal(a.target, a.target + 3, a.original);
        if (!a.locked && moves) {
            out += ':';
            AppendColor(out, a.target);
            if (a.samplePosition.h != -1) AppendPosition(out, a.samplePosition);
        }
        out += ' ';
    }
    return out;
}

const char* DescribeColorsError(ColorsTextError error) {
    switch (error) {
    case ColorsTextError::None:
        return "no error";
    case ColorsTextError::Malformed:
        return "malformed Colors text";
    case ColorsTextError::TooManyAdjustments:
        return "too many adjustments in Colors text";
    }
    return "unknown error";
}

} // namespace quillon::filter
