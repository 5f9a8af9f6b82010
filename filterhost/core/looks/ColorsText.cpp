#include "core/looks/ColorsText.h"

#include "core/HostFailure.h"

#include <cstdint>
#include <sstream>

namespace quillon::filterhost {
namespace {

constexpr int64_t kFullScale = 32768;
// The most characters of a bad item a message quotes.
constexpr size_t kQuotedItem = 64;

// An item as a message may quote it: bytes that are not printable ASCII as \xHH, so that a stray
// NUL or escape cannot cut or garble the message, and a long item cut short.
std::string Shown(const std::string& item) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    for (size_t i = 0; i < item.size() && i < kQuotedItem; ++i) {
        const auto c = static_cast<unsigned char>(item[i]);
        if (c >= 0x20 && c < 0x7f && c != '"') {
            shown += char(c);
        } else {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 15];
        }
    }
    if (item.size() > kQuotedItem) shown += "...";
    return shown;
}

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    bool Accept(char c) {
        if (AtEnd() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    void Expect(char c) {
        if (!Accept(c)) Fail(std::string("expected '") + c + "'");
    }
    void ExpectWord(const char* word) {
        for (const char* c = word; *c; ++c)
            Expect(*c);
    }
    // Digits, with a minus first when allowed; at most max in size.
    int64_t Number(bool allowMinus, int64_t max, const char* what) {
        const bool negative = allowMinus && Accept('-');
        const size_t first = pos_;
        int64_t v = 0;
        bool beyond = false;
        while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            v = v * 10 + (text_[pos_++] - '0');
            beyond = beyond || v > max + (negative ? 1 : 0);
            if (beyond) v = 0; // the digits are still read, to name the whole number
        }
        if (beyond)
            Fail(std::string(what) + " " + text_.substr(first, pos_ - first) + " is beyond " +
                     std::to_string(max),
                 first);
        if (pos_ == first) Fail(std::string("expected a ") + what);
        return negative ? -v : v;
    }
    HostLab Color() {
        ExpectWord("Lab[");
        uint16_t c[3] = {};
        for (int k = 0; k < 3; ++k) {
            c[k] = uint16_t(Number(false, kFullScale, "component"));
            if (k < 2) Expect(',');
        }
        Expect(']');
        return {c[0], c[1], c[2]};
    }
    void OptionalPosition() {
        if (!Accept('[')) return;
        Number(true, INT32_MAX, "position");
        Expect(',');
        Number(true, INT32_MAX, "position");
        Expect(']');
    }
    void StartItem(int number) {
        item_ = number;
        itemStart_ = pos_;
    }
    size_t Offset() const { return pos_; }

    [[noreturn]] void Fail(const std::string& what) const { Fail(what, pos_); }
    [[noreturn]] void Fail(const std::string& what, size_t at) const {
        const size_t end = text_.find(' ', itemStart_);
        const std::string item =
            Shown(text_.substr(itemStart_, end == std::string::npos ? end : end - itemStart_));
        throw HostFailure("item " + std::to_string(item_) + " (\"" + item + "\") at character " +
                          std::to_string(at + 1) + ": " + what);
    }

  private:
    const std::string& text_;
    size_t pos_ = 0;
    int item_ = 0;
    size_t itemStart_ = 0;
};

} // namespace

std::vector<ColorsTextItem> ReadColorsText(const std::string& text) {
    Reader r(text);
    std::vector<ColorsTextItem> items;
    while (r.Accept(' ')) {
    }
    while (!r.AtEnd()) {
        r.StartItem(int(items.size()) + 1);
        ColorsTextItem item{r.Color(), std::nullopt};
        r.OptionalPosition();
        if (r.Accept(':')) {
            if (r.AtEnd() || text[r.Offset()] == ' ') r.Fail("':' without a target colour");
            item.to = r.Color();
            r.OptionalPosition();
        }
        items.push_back(item);
        if (!r.AtEnd() && !r.Accept(' ')) r.Fail("expected a space after the item");
        while (r.Accept(' ')) {
        }
    }
    return items;
}

ColorsSummary CheckColorsText(const std::string& text) {
    const std::vector<ColorsTextItem> items = ReadColorsText(text);
    ColorsSummary summary;
    summary.items = int(items.size());
    for (const ColorsTextItem& item : items)
        if (item.to &&
            (item.to->L != item.from.L || item.to->a != item.from.a || item.to->b != item.from.b))
            ++summary.moves;
    return summary;
}

std::string ColorsItem(const HostLab& from, const std::optional<ColorsPosition>& at,
                       const HostLab& to) {
    std::ostringstream item;
    item << "Lab[" << from.L << "," << from.a << "," << from.b << "]";
    if (at) item << "[" << at->x << "," << at->y << "]";
    item << ":Lab[" << to.L << "," << to.a << "," << to.b << "] ";
    return item.str();
}

} // namespace quillon::filterhost
