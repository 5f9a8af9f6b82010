// A filter module's scripting terminology: the events it answers and the parameters each takes,
// with their names, descriptor keys and value types. Untrusted bytes from a module on disk.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon::filterhost {

struct TerminologyParameter {
    std::string name;
    uint32_t key = 0;  // the descriptor key the value is recorded under
    uint32_t type = 0; // the value's type code: 'bool', 'doub', 'long', 'TEXT', 'Pth ', ...
    std::string description;
    uint16_t flags = 0;
};

struct TerminologyEvent {
    std::string name;
    std::string description;
    uint32_t eventClass = 0;
    uint32_t id = 0;
    std::vector<TerminologyParameter> parameters;
};

struct Terminology {
    std::vector<TerminologyEvent> events;

    // The event of that class and id, null when there is none.
    const TerminologyEvent* Event(uint32_t eventClass, uint32_t id) const;
};

// Throws HostFailure naming what is wrong when the bytes are not a terminology resource.
Terminology ParseTerminology(std::span<const uint8_t> bytes);

} // namespace quillon::filterhost
