#include "cli/LookTrials.h"

#include <sstream>

namespace quillon::cli {
namespace {

using namespace filterhost;

const DescriptorItem* Recorded(const FilterResult& result, const std::string& name) {
    if (!result.recorded) return nullptr;
    for (const TerminologyParameter& p : result.declared)
        if (p.name == name) return result.recorded->Find(p.key);
    return nullptr;
}

std::string NumberText(double v) {
    std::ostringstream text;
    text.precision(17);
    text << v;
    return text.str();
}

} // namespace

LookTrials::LookTrials(const GlobalOptions& global, const HostSettings& host,
                       const FilterOptions& base, const Document& picture)
    : global_(global), host_(host), base_(base), frame_(picture) {
    // Trials run on other documents, so a colour picked at a pixel is read here, once.
    for (auto& part : base_.colors)
        if (part.mapping && NeedsPicture(*part.mapping)) {
            part.text = ColorsItem(ResolveMapping(*part.mapping, picture, host.eyedropper));
            part.mapping.reset();
        }
}

FilterResult LookTrials::RunWith(FilterOptions options, Document& document) {
    current_ = std::move(options);
    if (!runner_) runner_ = std::make_unique<FilterRunner>(global_, host_, current_);
    return runner_->Run(document, RunOptions{}, "the look");
}

GivenSettings LookTrials::Given() {
    Document probe = frame_.Swatches({});
    const FilterResult result = RunWith(base_, probe);
    GivenSettings given;
    if (const DescriptorItem* colors = Recorded(result, "Colors"))
        if (const auto* text = std::get_if<std::string>(&colors->value))
            given.pairs = ReadPairs(*text);
    if (const DescriptorItem* f = Recorded(result, "Fuzziness"))
        if (const auto* v = std::get_if<double>(&f->value)) given.fuzziness = *v;
    if (const DescriptorItem* p = Recorded(result, "Preserve Luminosity"))
        if (const auto* v = std::get_if<bool>(&p->value)) given.preserveLuminosity = *v;
    return given;
}

FilterOptions LookTrials::With(const TrialSettings& s) const {
    FilterOptions o = base_;
    o.colors.clear();
    // --set comes last, so these replace whatever an action or the user's options say.
    o.set.push_back("Colors=" + PairsText(s.pairs));
    if (s.fuzziness) o.set.push_back("Fuzziness=" + NumberText(*s.fuzziness));
    if (s.preserveLuminosity)
        o.set.push_back(std::string("Preserve Luminosity=") +
                        (*s.preserveLuminosity ? "on" : "off"));
    return o;
}

std::vector<Color16> LookTrials::Run(const std::vector<Color16>& records,
                                     const TrialSettings& settings) {
    Document swatches = frame_.Swatches(records);
    RunWith(With(settings), swatches);
    ++runs_;
    return frame_.Records(swatches, records.size());
}

std::vector<LabColor> LookTrials::RunLab(const std::vector<Color16>& records,
                                         const TrialSettings& settings) {
    return frame_.Lab(Run(records, settings));
}

} // namespace quillon::cli
