// The real module loaded into a real host, for tests that drive whole uses of the filter.
#pragma once

#include "core/module/Terminology.h"
#include "core/session/FilterSession.h"
#include "resources/PluginResources.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quillon::testing {

using namespace quillon::filterhost;

// The descriptor key of a parameter, as the module's terminology declares it.
inline DescriptorKeyID DeclaredKey(const std::string& name) {
    static const Terminology terminology = ParseTerminology(resources::BuildTerminology());
    for (const TerminologyEvent& event : terminology.events)
        for (const TerminologyParameter& p : event.parameters)
            if (p.name == name) return p.key;
    ADD_FAILURE() << "the terminology declares no \"" << name << "\"";
    return 0;
}

inline const DescriptorKeyID kPrsL = DeclaredKey("Preserve Luminosity");
inline const DescriptorKeyID kFzns = DeclaredKey("Fuzziness");
inline const DescriptorKeyID kQlnF = DeclaredKey("Sample File");
inline const DescriptorKeyID kSmpl = DeclaredKey("Colors");

class PluginFixture : public ::testing::Test {
  protected:
    // The session outlives the module, as a real host's does: unloading releases suites through
    // it.
    FilterSession host_;
    std::unique_ptr<PluginModule> module_ =
        std::make_unique<PluginModule>(std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf");

    // Recorded parameters as a host plays them back; an empty colours text is left out.
    static Descriptor Playback(const std::string& colors, bool preserveLuminosity = false,
                               double fuzziness = 1.0) {
        Descriptor d;
        d.Put({kPrsL, typeBoolean, preserveLuminosity});
        d.Put({kFzns, typeFloat, fuzziness});
        if (!colors.empty()) d.Put({kSmpl, typeChar, colors});
        return d;
    }

    RunReport Run(Document& document, std::optional<Descriptor> playback, RunOptions options = {}) {
        options.playback = std::move(playback);
        return host_.Run(*module_, document, options);
    }
};

inline Document Filled(ColorMode mode, int depth, int32_t width, int32_t height,
                       std::initializer_list<uint16_t> color, bool alpha = false) {
    Document d = MakeDocument(mode, depth, width, height, alpha);
    size_t plane = 0;
    for (uint16_t v : color) {
        std::fill(d.planes[plane].begin(), d.planes[plane].end(), v);
        ++plane;
    }
    return d;
}

} // namespace quillon::testing
