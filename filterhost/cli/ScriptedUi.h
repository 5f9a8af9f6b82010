// What the commands that show a plug-in's dialogs share: the script that may drive them, the
// display they appear on, and the user interface the host offers the module while it runs.
#pragma once

#include "cli/FilterRun.h"
#include "cli/HostSettings.h"
#include "core/module/PluginModule.h"
#include "core/session/FilterSession.h"
#include "ui/DialogManager.h"
#include "ui/Script.h"
#include "ui/ScriptRunner.h"

#include <CLI/CLI.hpp>
#include <QApplication>

#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

struct ScriptOptions {
    std::string script;
    bool show = false;
};

// --script FILE and --show.
void AddScriptOptions(CLI::App& command, ScriptOptions& options);

// Reads and checks the whole script before any dialog opens; on failure says why on standard
// error and sets status (1 unreadable, 2 malformed).
std::optional<std::vector<ui::ScriptCommand>> LoadScript(const std::string& file, int& status);

// Chooses where the dialogs appear, before the application starts: Qt's offscreen platform for a
// script that is not to be seen (with the options QT_QPA_PLATFORM gives it, if it names that
// platform), else the user's display. Throws HostFailure when there is no display to show `what`
// on.
void ChooseDisplay(bool scripted, bool show, const char* what);

// The application, and the dialog manager over the module's resources and the action services
// that the filter session offers the module while this lives, and the script (from scriptFile)
// that drives the dialogs.
class DialogSession : public RunScope {
  public:
    DialogSession(filterhost::FilterSession& session, const filterhost::PluginModule& module,
                  const HostSettings& settings,
                  std::optional<std::vector<ui::ScriptCommand>> commands, std::string scriptFile);
    // The dialogs go before the application they live in.
    ~DialogSession() override;
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    // The script's first failure; empty when it ran whole or there is none.
    std::string ScriptFailure() const { return runner_ ? runner_->Failure() : std::string(); }
    bool Scripted() const { return runner_.has_value(); }
    // A script that failed fails the run, and target is not written; commands left once the
    // dialogs have closed are only noted.
    void Finished(const std::filesystem::path& target) override;

  private:
    int argc_ = 1;
    char name_[8] = "quillon";
    char* argv_[2] = {name_, nullptr};
    QApplication application_;
    filterhost::FilterSession& session_;
    std::optional<ui::ScriptRunner> runner_;
    std::string scriptFile_;
};

} // namespace quillon::cli
