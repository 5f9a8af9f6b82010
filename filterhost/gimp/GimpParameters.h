// The parameters of plug-in-quillon as the filter takes them: each found in the module's
// terminology by its declared name and typed by its declared type, as the command line's --set
// finds them; and what GIMP keeps of the last use for the rest of its session.
#pragma once

#include "core/module/Terminology.h"
#include "core/suites/Descriptor.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon::gimp {

// What a procedure call gives.
struct CallValues {
    std::string colors;
    double fuzziness = 1;
    bool preserveLuminosity = true;
    double amount = 100;
};

// The calling error of values out of range (fuzziness 1..10, amount 0..100, a malformed Colors
// text), naming the parameter; empty when they are good.
std::string CheckCallValues(const CallValues& values);

// The descriptor the filter plays back. Throws HostFailure when the terminology lacks one of the
// parameters or declares it with another type.
filterhost::Descriptor PlaybackOf(const CallValues& values,
                                  const std::vector<filterhost::TerminologyParameter>& declared);

// What one use leaves for the next in this GIMP session: the parameters the filter recorded and
// the amount.
struct LastUse {
    filterhost::Descriptor parameters;
    double amount = 100;
};

std::string LastUseText(const LastUse& use);
// Null when the text is not one LastUseText wrote.
std::optional<LastUse> ReadLastUse(const std::string& text);

} // namespace quillon::gimp
