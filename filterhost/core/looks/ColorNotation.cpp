#include "core/looks/ColorNotation.h"

#include "core/HostFailure.h"
#include "core/suites/ColorServices.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace quillon::filterhost {
namespace {

// Reads one colour from text; positions in errors count from `base` + 1.
class NotationReader {
  public:
    NotationReader(std::string_view text, size_t base) : text_(text), base_(base) {}

    WrittenColor Color(bool pixelAllowed) {
        SkipSpaces();
        WrittenColor color;
        if (AtEnd()) Fail("expected a colour (#rrggbb, rgb(R,G,B), lab(L,a,b) or @X,Y)");
        if (text_[p_] == '#') {
            ++p_;
            Hex(color);
        } else if (text_[p_] == '@') {
            if (!pixelAllowed) Fail("@X,Y names a colour of the picture, so only FROM can use it");
            ++p_;
            color.kind = WrittenColor::Kind::Pixel;
            color.x = Coordinate();
            Expect(',');
            color.y = Coordinate();
        } else if (Keyword("rgb(")) {
            for (int i = 0; i < 3; ++i) {
                if (i > 0) Expect(',');
                color.v[i] = Number("R, G and B run from 0 to 255", 0, 255);
            }
            Expect(')');
        } else if (Keyword("lab(")) {
            color.kind = WrittenColor::Kind::Lab;
            color.v[0] = Number("L* runs from 0 to 100", 0, 100);
            Expect(',');
            color.v[1] = Number("a* runs from -128 to 127", -128, 127);
            Expect(',');
            color.v[2] = Number("b* runs from -128 to 127", -128, 127);
            Expect(')');
        } else {
            Fail("unknown colour notation (use #rrggbb, rgb(R,G,B), lab(L,a,b) or @X,Y)");
        }
        SkipSpaces();
        return color;
    }

    bool AtEnd() const { return p_ >= text_.size(); }
    size_t Offset() const { return p_; }
    [[noreturn]] void Fail(const std::string& what) const {
        throw NotationError(base_ + std::min(p_, text_.size()) + 1, what);
    }

  private:
    void SkipSpaces() {
        while (!AtEnd() && text_[p_] == ' ')
            ++p_;
    }

    bool Keyword(std::string_view word) {
        if (text_.size() - p_ < word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(text_[p_ + i])) != word[i]) return false;
        p_ += word.size();
        return true;
    }

    void Expect(char c) {
        SkipSpaces();
        if (AtEnd() || text_[p_] != c) Fail(std::string("expected '") + c + "'");
        ++p_;
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        c = char(std::tolower(static_cast<unsigned char>(c)));
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }

    // #rrggbb, or the short #rgb where each digit stands for itself twice.
    void Hex(WrittenColor& color) {
        const size_t start = p_;
        while (!AtEnd() && HexDigit(text_[p_]) >= 0)
            ++p_;
        const size_t digits = p_ - start;
        if (digits != 6 && digits != 3) {
            if (!AtEnd() && digits < 6 && std::isalnum(static_cast<unsigned char>(text_[p_])))
                Fail("not a hexadecimal digit");
            p_ = start;
            Fail("expected 6 hexadecimal digits after '#'");
        }
        const int per = digits == 6 ? 2 : 1;
        for (int i = 0; i < 3; ++i) {
            int v = 0;
            for (int k = 0; k < per; ++k)
                v = v * 16 + HexDigit(text_[start + size_t(i * per + k)]);
            color.v[i] = per == 1 ? v * 17 : v;
        }
    }

    double Number(const char* range, double low, double high) {
        SkipSpaces();
        const size_t start = p_;
        const char* first = text_.data() + p_;
        const char* last = text_.data() + text_.size();
        // from_chars would also take "nan" and "inf"; a colour component is digits only.
        if (first == last ||
            !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '-' || *first == '.'))
            Fail("expected a number");
        double v = 0;
        auto [end, error] = std::from_chars(first, last, v, std::chars_format::fixed);
        if (error != std::errc() || !std::isfinite(v)) Fail("expected a number");
        p_ += size_t(end - first);
        if (v < low || v > high) {
            p_ = start;
            Fail(range);
        }
        SkipSpaces();
        return v;
    }

    int32_t Coordinate() {
        SkipSpaces();
        const char* first = text_.data() + p_;
        const char* last = text_.data() + text_.size();
        if (first == last || !std::isdigit(static_cast<unsigned char>(*first)))
            Fail("expected a pixel coordinate (a whole number from 0)");
        int32_t v = 0;
        auto [end, error] = std::from_chars(first, last, v);
        if (error != std::errc()) Fail("pixel coordinate too large");
        p_ += size_t(end - first);
        SkipSpaces();
        return v;
    }

    std::string_view text_;
    size_t base_;
    size_t p_ = 0;
};

uint16_t Host16(double v) {
    return uint16_t(std::clamp(std::lround(v), 0L, 32768L));
}

// The colour-space code and 16-bit record of one document pixel, as the eyedropper reads it.
Color16 PixelRecord(const Document& d, int32_t x, int32_t y) {
    auto sample = [&](int plane) {
        const uint16_t v = d.At(plane, x, y);
        return d.depth == 16 ? v : EightToHost16(uint8_t(v));
    };
    if (d.mode == ColorMode::CMYK) return {sample(0), sample(1), sample(2), sample(3)};
    return {0, sample(0), sample(1), sample(2)};
}

HostLab ToHostLab(ColorServices& services, ColorSpace space, Color16 record) {
    if (space != plugIncolorServicesLabSpace)
        services.Convert16(space, plugIncolorServicesLabSpace, &record, 1);
    return {record.c1, record.c2, record.c3};
}

HostLab Resolve(const WrittenColor& color, const Document& d, ColorServices& services,
                EyedropperSample sample) {
    switch (color.kind) {
    case WrittenColor::Kind::Lab:
        return {Host16(color.v[0] * 32768.0 / 100.0), Host16(16384 + color.v[1] * 128.0),
                Host16(16384 + color.v[2] * 128.0)};
    case WrittenColor::Kind::Rgb: {
        Color16 rgb{0, Host16(color.v[0] * 32768.0 / 255.0), Host16(color.v[1] * 32768.0 / 255.0),
                    Host16(color.v[2] * 32768.0 / 255.0)};
        return ToHostLab(services, plugIncolorServicesRGBSpace, rgb);
    }
    case WrittenColor::Kind::Pixel:
        break;
    }
    if (color.x >= d.width || color.y >= d.height)
        throw HostFailure("@" + std::to_string(color.x) + "," + std::to_string(color.y) +
                          " lies outside the picture (" + std::to_string(d.width) + " x " +
                          std::to_string(d.height) + " pixels)");
    // The eyedropper's square, clipped to the document, averaged in the document's own space.
    const int reach = sample == EyedropperSample::Point        ? 0
                      : sample == EyedropperSample::Average3x3 ? 1
                                                               : 2;
    uint32_t sum[4] = {0, 0, 0, 0};
    uint32_t count = 0;
    for (int dx = -reach; dx <= reach; ++dx)
        for (int dy = -reach; dy <= reach; ++dy) {
            const int64_t x = int64_t(color.x) + dx, y = int64_t(color.y) + dy;
            if (x < 0 || y < 0 || x >= d.width || y >= d.height) continue;
            const Color16 r = PixelRecord(d, int32_t(x), int32_t(y));
            sum[0] += r.c0;
            sum[1] += r.c1;
            sum[2] += r.c2;
            sum[3] += r.c3;
            ++count;
        }
    const Color16 average{uint16_t(sum[0] / count), uint16_t(sum[1] / count),
                          uint16_t(sum[2] / count), uint16_t(sum[3] / count)};
    return ToHostLab(services, ColorSpaceOf(d.mode), average);
}

} // namespace

ColorMapping ParseColorMapping(std::string_view text) {
    NotationReader from(text, 0);
    ColorMapping mapping;
    mapping.from = from.Color(true);
    if (from.AtEnd() || text[from.Offset()] != ':')
        from.Fail(from.AtEnd() ? "expected ':' and the colour it becomes"
                               : "expected ':' after the first colour");
    const size_t colon = from.Offset();
    NotationReader to(text.substr(colon + 1), colon + 1);
    mapping.to = to.Color(false);
    if (!to.AtEnd()) to.Fail("unexpected text after the second colour");
    return mapping;
}

WrittenColor ParseWrittenColor(std::string_view text, bool pixelAllowed) {
    NotationReader reader(text, 0);
    const WrittenColor color = reader.Color(pixelAllowed);
    if (!reader.AtEnd()) reader.Fail("unexpected text after the colour");
    return color;
}

ResolvedMapping ResolveMapping(const ColorMapping& mapping, const Document& document,
                               EyedropperSample sample) {
    const bool rgb = document.mode == ColorMode::RGB, cmyk = document.mode == ColorMode::CMYK;
    ColorServices services(
        rgb ? std::span<const uint8_t>(document.iccProfile) : std::span<const uint8_t>(),
        cmyk ? std::span<const uint8_t>(document.iccProfile) : std::span<const uint8_t>());
    ResolvedMapping resolved;
    resolved.from = Resolve(mapping.from, document, services, sample);
    resolved.to = Resolve(mapping.to, document, services, sample);
    if (NeedsPicture(mapping)) {
        resolved.hasPosition = true;
        resolved.x = mapping.from.x;
        resolved.y = mapping.from.y;
    }
    return resolved;
}

} // namespace quillon::filterhost
