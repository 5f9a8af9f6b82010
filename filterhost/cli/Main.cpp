#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/HostSettings.h"
#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"

#include <unistd.h>

#include <iostream>
#include <new>

namespace quillon::cli {

std::filesystem::path PluginFolder(const GlobalOptions& global) {
    if (!global.pluginFolder.empty()) return global.pluginFolder;
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
}

int ReportingFailures(const std::function<int()>& run) {
    try {
        return run();
    } catch (const UsageError& e) {
        std::cerr << "quillon: " << e.what() << "\n";
        return kExitUsage;
    } catch (const filterhost::HostFailure& e) {
        std::cerr << "quillon: " << e.what() << "\n";
    } catch (const filterhost::Cancelled&) {
        std::cerr << "quillon: cancelled; nothing written\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "quillon: out of memory; nothing written (--max-pixels refuses larger "
                     "pictures sooner)\n";
    } catch (const std::exception& e) {
        std::cerr << "quillon: " << e.what() << "\n";
    }
    return kExitFailure;
}

} // namespace quillon::cli

int main(int argc, char** argv) {
    using namespace quillon::cli;
    CLI::App app{"quillon: recolour pictures by example with filter plug-ins"};
    app.require_subcommand(1);
    app.fallthrough();
    // A usage error is one line, like every other message.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return "quillon: " + std::string(e.what()) + "\n";
    });
    GlobalOptions global;
    app.add_option("--plugins", global.pluginFolder, "folder of filter modules (*.8bf)");
    int status = kExitOk;
    HostSettings settings;
    AddHostSettings(app, settings);
    AddInfoCommand(app, global, status);
    AddApplyCommand(app, global, settings, status);
    AddLutCommand(app, global, settings, status);
    AddFitCommand(app, global, settings, status);
    AddMatchCommand(app, global, settings, status);
    AddAboutCommand(app, global, settings, status);
    AddEditCommand(app, global, settings, status);
    AddVariantsCommand(app, global, settings, status);
    // No failure ends the process with a signal: whatever a command did not catch is one line.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    } catch (const std::bad_alloc&) {
        std::cerr << "quillon: out of memory\n";
        return kExitFailure;
    } catch (const std::exception& e) {
        std::cerr << "quillon: " << e.what() << "\n";
        return kExitFailure;
    }
    return status;
}
