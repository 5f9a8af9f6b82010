// quillon-probe: drives the plug-in's libraries from the shell.
#include "ProbeCommands.h"

int main(int argc, char** argv) {
    CLI::App app{"Drives Quillon's libraries from the shell"};
    app.require_subcommand(1);
    AddDecodeCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& e) {
        // A subcommand failed and has said why.
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    return 0;
}
