// --map items come from the command line and scripts: any text must parse or fail with a
// position inside it, and a parsed mapping must resolve against a small document.
#include "core/HostFailure.h"
#include "core/looks/ColorNotation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillon::filterhost;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const ColorMapping mapping = ParseColorMapping(text);
        static const Document document = [] {
            Document d = MakeDocument(ColorMode::Lab, 16, 7, 5);
            for (auto& plane : d.planes)
                for (size_t i = 0; i < plane.size(); ++i)
                    plane[i] = uint16_t(i * 997 % 32769);
            return d;
        }();
        const ResolvedMapping resolved =
            ResolveMapping(mapping, document, EyedropperSample::Average5x5);
        if (ColorsItem(resolved).size() > 92) std::abort(); // the filter's longest item
    } catch (const NotationError& e) {
        if (e.Position() < 1 || e.Position() > size + 1) std::abort();
    } catch (const HostFailure&) {
    }
    return 0;
}
