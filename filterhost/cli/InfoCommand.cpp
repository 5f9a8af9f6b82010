// quillon info: the plug-ins found and what their registration says.
#include "cli/Commands.h"
#include "cli/FilterOptions.h"

#include "core/HostFailure.h"
#include "core/module/PluginModule.h"

#include <iostream>

namespace quillon::cli {
namespace {

std::string ModeList(uint16_t mask) {
    static const std::pair<uint16_t, const char*> kModes[] = {
        {PIModeBitmap, "Bitmap"},        {PIModeGrayScale, "Grayscale"},
        {PIModeIndexedColor, "Indexed"}, {PIModeRGBColor, "RGB"},
        {PIModeCMYKColor, "CMYK"},       {PIModeHSLColor, "HSL"},
        {PIModeHSBColor, "HSB"},         {PIModeMultichannel, "Multichannel"},
        {PIModeDuotone, "Duotone"},      {PIModeLabColor, "Lab"}};
    std::string out;
    for (const auto& [bit, name] : kModes) {
        if (!(mask & bit)) continue;
        if (!out.empty()) out += ", ";
        out += name;
    }
    return out.empty() ? "none" : out;
}

int RunInfo(const GlobalOptions& global) {
    const auto folder = PluginFolder(global);
    auto scan = filterhost::ScanPluginFolder(folder);
    for (const auto& failure : scan.failures)
        std::cerr << "quillon: " << failure << "\n";
    if (scan.modules.empty()) {
        std::cerr << "quillon: no filter plug-ins found in " << folder.string() << "\n";
        return kExitFailure;
    }
    bool failed = false;
    for (const auto& module : scan.modules) {
        const auto& pipl = module->Pipl();
        std::cout << module->File().filename().string() << "\n"
                  << "  menu name:   " << pipl.name << "\n"
                  << "  category:    " << pipl.category << "\n"
                  << "  entry point: " << pipl.entryPoint << "\n"
                  << "  modes:       " << ModeList(pipl.modeMask) << "\n";
        if (!pipl.enabledModes.empty()) {
            std::cout << "  enabled for:";
            for (const auto& mode : pipl.enabledModes)
                std::cout << " " << mode;
            std::cout << "\n";
        }
        if (pipl.maxWidth > 0 || pipl.maxHeight > 0)
            std::cout << "  size limit:  " << pipl.maxWidth << " x " << pipl.maxHeight
                      << " pixels\n";
        if (pipl.hasTerminology) std::cout << "  scripting:   " << pipl.uniqueString << "\n";
        try {
            const auto parameters = module->Parameters();
            if (!parameters.empty()) std::cout << "  parameters:  (--set NAME=VALUE)\n";
            for (const auto& p : parameters)
                std::cout << "    " << p.name << " (" << filterhost::FourCCText(p.key) << ", "
                          << TypeInWords(p.type) << "): " << p.description << "\n";
        } catch (const filterhost::HostFailure& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            failed = true;
        }
    }
    return scan.failures.empty() && !failed ? kExitOk : kExitFailure;
}

} // namespace

void AddInfoCommand(CLI::App& app, const GlobalOptions& global, int& status) {
    auto* info =
        app.add_subcommand("info", "list the filter plug-ins found and their registration");
    info->callback([&global, &status] { status = RunInfo(global); });
}

} // namespace quillon::cli
