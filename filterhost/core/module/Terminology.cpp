#include "core/module/Terminology.h"

#include "core/HostFailure.h"
#include "core/module/ResourceReader.h"

namespace quillon::filterhost {
namespace {

class TerminologyReader : public ResourceReader {
  public:
    explicit TerminologyReader(std::span<const uint8_t> bytes)
        : ResourceReader(bytes, "terminology") {}

    // A count of records at least `smallest` bytes each cannot exceed what the bytes hold, so a
    // damaged count fails here instead of reserving for it.
    uint16_t Count(size_t smallest, const char* what) {
        const uint16_t count = U16(what);
        if (count > Left() / smallest)
            throw HostFailure(std::string("terminology claims more ") + what + " than it holds");
        return count;
    }

    TerminologyParameter Parameter() {
        TerminologyParameter p;
        p.name = PascalString("parameter name");
        p.key = U32("parameter key");
        p.type = U32("parameter type");
        p.description = PascalString("parameter description");
        p.flags = U16("parameter flags");
        return p;
    }

    TerminologyEvent Event() {
        TerminologyEvent e;
        e.name = PascalString("event name");
        e.description = PascalString("event description");
        e.eventClass = U32("event class");
        e.id = U32("event id");
        U32("reply type");
        PascalString("reply description");
        U16("reply flags");
        U32("direct parameter type");
        PascalString("direct parameter description");
        U16("direct parameter flags");
        // A parameter takes at least two empty strings, two codes and its flags: 12 bytes.
        const uint16_t count = Count(12, "parameters");
        e.parameters.reserve(count);
        for (uint16_t i = 0; i < count; ++i)
            e.parameters.push_back(Parameter());
        return e;
    }

    // Classes, comparison operators and enumerations are read past: filters take no objects.
    void SkipClass() {
        PascalString("class name");
        U32("class id");
        PascalString("class description");
        for (uint16_t n = Count(12, "properties"); n > 0; --n)
            Parameter();
        for (uint16_t n = Count(6, "elements"); n > 0; --n) {
            U32("element type");
            Bytes(size_t(Count(4, "key forms")) * 4, "key forms");
        }
    }
    void SkipComparison() {
        PascalString("comparison name");
        U32("comparison id");
        PascalString("comparison description");
    }
    void SkipEnumeration() {
        U32("enumeration id");
        for (uint16_t n = Count(6, "enumerators"); n > 0; --n) {
            PascalString("enumerator name");
            U32("enumerator id");
            PascalString("enumerator description");
        }
    }
};

} // namespace

const TerminologyEvent* Terminology::Event(uint32_t eventClass, uint32_t id) const {
    for (const TerminologyEvent& e : events)
        if (e.eventClass == eventClass && e.id == id) return &e;
    return nullptr;
}

Terminology ParseTerminology(std::span<const uint8_t> bytes) {
    TerminologyReader r(bytes);
    if (r.U16("header") != 1) throw HostFailure("terminology has an unknown format");
    r.U8("major version");
    r.U8("minor version");
    r.U16("language");
    r.U16("script");
    Terminology terminology;
    // The smallest suite: two empty strings, its code, level, version and four empty counts.
    for (uint16_t s = r.Count(18, "suites"); s > 0; --s) {
        r.PascalString("suite name");
        r.PascalString("suite description");
        r.U32("suite code");
        r.U16("suite level");
        r.U16("suite version");
        // The smallest event: four empty strings, four codes and three 16-bit fields.
        for (uint16_t n = r.Count(26, "events"); n > 0; --n)
            terminology.events.push_back(r.Event());
        for (uint16_t n = r.Count(10, "classes"); n > 0; --n)
            r.SkipClass();
        for (uint16_t n = r.Count(6, "comparison operators"); n > 0; --n)
            r.SkipComparison();
        for (uint16_t n = r.Count(6, "enumerations"); n > 0; --n)
            r.SkipEnumeration();
    }
    return terminology;
}

} // namespace quillon::filterhost
