#include "core/session/FilterSession.h"

#include "core/HostFailure.h"

#include <cstring>

namespace quillon::filterhost {
namespace {

std::span<const uint8_t> ProfileFor(const Document& d, ColorMode mode) {
    return d.mode == mode ? std::span<const uint8_t>(d.iccProfile) : std::span<const uint8_t>();
}

void CheckModuleTakes(const PluginModule& module, const Document& d) {
    if (!module.Enables(ImageModeOf(d)))
        throw HostFailure(module.Pipl().name + " cannot filter " + ModeName(d.mode) + " " +
                          std::to_string(d.depth) + "-bit documents");
    const PiplInfo& pipl = module.Pipl();
    if ((pipl.maxWidth > 0 && d.width > pipl.maxWidth) ||
        (pipl.maxHeight > 0 && d.height > pipl.maxHeight))
        throw HostFailure(pipl.name + " cannot filter a document of " + std::to_string(d.width) +
                          " x " + std::to_string(d.height) + " pixels");
}

} // namespace

class FilterSession::DocumentScope {
  public:
    DocumentScope(FilterSession& session, Document& document, const RunOptions& options,
                  RunReport& report)
        : session_(session), use_(session) {
        ColorServices& colors = session.OpenColors(ProfileFor(document, ColorMode::RGB),
                                                   ProfileFor(document, ColorMode::CMYK));
        colors.SetDocumentSpace(ColorSpaceOf(document.mode));
        if (options.pickColor) colors.SetPickColorHook(options.pickColor);
        if (options.trace) colors.CountConversionsIn(&options.trace->conversions);
        session.OpenPorts(document);
        session.driver_ = std::make_unique<FilterDriver>(session, document, options, report);
        session.TakeFailure();
    }
    ~DocumentScope() {
        session_.driver_.reset();
        session_.ClosePorts();
        session_.CloseColors();
    }
    DocumentScope(const DocumentScope&) = delete;
    DocumentScope& operator=(const DocumentScope&) = delete;

  private:
    FilterSession& session_;
    InUse use_;
};

FilterSession::FilterSession(std::filesystem::path registryFile)
    : SessionServices(std::move(registryFile)) {}

FilterSession::~FilterSession() {
    driver_.reset();
    Memory().DisposeHandle(reinterpret_cast<Handle>(data_));
}

std::vector<uint8_t> FilterSession::DataSlotBytes() {
    Handle h = reinterpret_cast<Handle>(data_);
    if (!Memory().IsLive(h)) return {};
    const auto* p = reinterpret_cast<const uint8_t*>(Memory().HandleData(h));
    return {p, p + Memory().HandleSize(h)};
}

void FilterSession::SetDataSlotBytes(const std::vector<uint8_t>& bytes) {
    Memory().DisposeHandle(reinterpret_cast<Handle>(data_));
    data_ = 0;
    if (bytes.empty()) return;
    Handle h = Memory().NewHandle(bytes.size());
    std::memcpy(Memory().HandleData(h), bytes.data(), bytes.size());
    data_ = reinterpret_cast<intptr_t>(h);
}

int16_t FilterSession::CallSelector(const PluginModule& module, int16_t selector,
                                    Document& document, const RunOptions& options) {
    RunReport report;
    DocumentScope scope(*this, document, options, report);
    int16 result = 0;
    module.Entry()(selector, &driver_->Record(), &data_, &result);
    return result;
}

int16_t FilterSession::About(const PluginModule& module) {
    InUse use(*this);
    AboutRecord about{nullptr, SuiteRegistry::Basic(), nullptr};
    int16 result = 0;
    module.Entry()(filterSelectorAbout, &about, &data_, &result);
    return result;
}

RunReport FilterSession::Run(const PluginModule& module, Document& document,
                             const RunOptions& options) {
    CheckModuleTakes(module, document);
    RunReport report;
    {
        DocumentScope scope(*this, document, options, report);
        driver_->Drive(module, data_);
        report.hostFailure = TakeFailure();
    }
    return report;
}

} // namespace quillon::filterhost
