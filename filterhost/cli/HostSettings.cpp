#include "cli/HostSettings.h"

#include <map>
#include <string>

namespace quillon::cli {

void AddHostSettings(CLI::App& app, HostSettings& settings) {
    using filterhost::EyedropperSample;
    static const std::map<std::string, EyedropperSample> kSamples = {
        {"point", EyedropperSample::Point},
        {"3x3", EyedropperSample::Average3x3},
        {"5x5", EyedropperSample::Average5x5}};
    app.add_option("--eyedropper", settings.eyedropper,
                   "square the application's eyedropper averages over: point, 3x3 or 5x5")
        ->transform(CLI::CheckedTransformer(kSamples, CLI::ignore_case));
}

} // namespace quillon::cli
