#include "core/looks/LookPairs.h"

#include "core/HostFailure.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace quillon::filterhost {
namespace {

class PairReader {
  public:
    explicit PairReader(const std::string& text) : text_(text) {}

    bool AtEnd() const { return p_ >= text_.size(); }
    bool Accept(char c) {
        if (AtEnd() || text_[p_] != c) return false;
        ++p_;
        return true;
    }
    void Expect(char c) {
        if (!Accept(c)) Fail(std::string("expected '") + c + "'");
    }
    int64_t Number(bool allowMinus, int64_t max) {
        const bool negative = allowMinus && Accept('-');
        int64_t v = 0;
        const auto [end, error] =
            std::from_chars(text_.data() + p_, text_.data() + text_.size(), v);
        if (error != std::errc() || v > max) Fail("expected a number up to " + std::to_string(max));
        p_ = size_t(end - text_.data());
        return negative ? -v : v;
    }
    HostLab Color() {
        for (char c : std::string("Lab["))
            Expect(c);
        uint16_t v[3];
        for (int k = 0; k < 3; ++k) {
            if (k > 0) Expect(',');
            v[k] = uint16_t(Number(false, 32768));
        }
        Expect(']');
        return {v[0], v[1], v[2]};
    }
    void SkipPosition() {
        if (!Accept('[')) return;
        Number(true, INT32_MAX);
        Expect(',');
        Number(true, INT32_MAX);
        Expect(']');
    }
    void NextItem() { ++item_; }
    [[noreturn]] void Fail(const std::string& what) const {
        throw HostFailure("Colors item " + std::to_string(item_) + " at character " +
                          std::to_string(p_ + 1) + ": " + what);
    }

  private:
    const std::string& text_;
    size_t p_ = 0;
    int item_ = 0;
};

} // namespace

std::string PairsText(const std::vector<LookPair>& pairs) {
    std::ostringstream text;
    for (const LookPair& p : pairs) {
        text << "Lab[" << p.from.L << "," << p.from.a << "," << p.from.b << "]";
        if (p.Moves()) text << ":Lab[" << p.to.L << "," << p.to.a << "," << p.to.b << "]";
        text << " ";
    }
    return text.str();
}

std::vector<LookPair> ReadPairs(const std::string& text) {
    PairReader r(text);
    std::vector<LookPair> pairs;
    while (r.Accept(' ')) {
    }
    while (!r.AtEnd()) {
        r.NextItem();
        LookPair pair;
        pair.from = r.Color();
        r.SkipPosition();
        if (r.Accept(':')) {
            pair.to = r.Color();
            r.SkipPosition();
        } else {
            pair.to = pair.from;
            pair.locked = true;
        }
        pairs.push_back(pair);
        if (!r.AtEnd() && !r.Accept(' ')) r.Fail("expected a space after the item");
        while (r.Accept(' ')) {
        }
    }
    return pairs;
}

double PairReach(double fuzziness) {
    const double f = (fuzziness - 1) / 9;
    const double low = std::sqrt(49152.0), high = std::sqrt(3.0 * 1073741824.0) / 2;
    return (low + f * f * (high - low)) * 100.0 / 32768.0;
}

} // namespace quillon::filterhost
