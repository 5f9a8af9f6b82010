#include "ProbeCommands.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"quillon-probe: drives the engine and the codec layer from the shell"};
    app.require_subcommand(1);
    AddEngineCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& e) {
        // A failure the subcommand has already described.
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        // Usage errors exit with 2; --help exits with 0.
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    return 0;
}
