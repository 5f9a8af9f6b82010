// The filter run on documents of sampled colours, for the commands that compute pairs (fit,
// --protect): the host never works out a look itself, it asks the filter what colours become.
#pragma once

#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/HostSettings.h"
#include "core/looks/LookPairs.h"
#include "core/looks/LookSamples.h"

#include <memory>
#include <optional>
#include <vector>

namespace quillon::cli {

struct GlobalOptions;

// The parameters a run is given in place of the user's own.
struct TrialSettings {
    std::vector<filterhost::LookPair> pairs;
    std::optional<double> fuzziness;        // 1..10; the user's when not set
    std::optional<bool> preserveLuminosity; // the user's when not set
};

// What the filter made of the user's parameters (an action, --last, --colors, --map, --set).
struct GivenSettings {
    std::vector<filterhost::LookPair> pairs;
    double fuzziness = 5;
    bool preserveLuminosity = true;
};

class LookTrials {
  public:
    // `picture` gives the colour frame and the pixels @X,Y names; it must outlive the trials.
    LookTrials(const GlobalOptions& global, const HostSettings& host, const FilterOptions& base,
               const filterhost::Document& picture);

    const filterhost::ColorFrame& Frame() const { return frame_; }
    // The user's parameters as the filter recorded them.
    GivenSettings Given();
    // The records after a filter run with `settings` on a document of them.
    std::vector<Color16> Run(const std::vector<Color16>& records, const TrialSettings& settings);
    // The same, in Lab.
    std::vector<filterhost::LabColor> RunLab(const std::vector<Color16>& records,
                                             const TrialSettings& settings);
    // The options of a real run with these settings.
    FilterOptions With(const TrialSettings& settings) const;
    int Runs() const { return runs_; }

  private:
    // One load of the filter for every trial; each run reads the options anew.
    FilterResult RunWith(FilterOptions options, filterhost::Document& document);

    const GlobalOptions& global_;
    const HostSettings& host_;
    FilterOptions base_; // --map items resolved against the picture
    filterhost::ColorFrame frame_;
    FilterOptions current_;
    std::unique_ptr<FilterRunner> runner_;
    int runs_ = 0;
};

} // namespace quillon::cli
