// Replays a script against every dialog the host shows: each command goes to the dialog (or the
// menu) on top when its turn comes, as real window-system events. When the script runs out,
// every dialog still open, and any opened later, is cancelled; a window that closes by itself
// (the progress after OK) is left to its work.
#pragma once

#include "ui/Owners.h"
#include "ui/Script.h"

#include <QObject>
#include <QPoint>

#include <string>
#include <vector>

class QWidget;
class QWindow;

namespace quillon::ui {

class ScriptRunner : public QObject {
  public:
    // Starts listening; the first dialog shown starts the script.
    explicit ScriptRunner(std::vector<ScriptCommand> commands);
    ~ScriptRunner() override;

    // Called once the host is done: the first failure, or commands left for a dialog that
    // never came; empty when the whole script ran.
    std::string Failure() const;
    // The line of the first command left over once every dialog had closed, when no command
    // failed; 0 otherwise.
    int LeftOver() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Step();
    bool TypeNext(const ScriptCommand& command, QWidget* dialog);
    void Execute(const ScriptCommand& command, QWidget* dialog);
    void Fail(const ScriptCommand& command, const std::string& message);
    void CancelOpenDialogs();
    void Mouse(QWidget* dialog, QPoint point, int type, Qt::MouseButton button,
               uint8_t extraModifiers);
    void Key(QWidget* dialog, int qtKey, const QString& text, bool press, uint8_t modifiers);
    void Wheel(QWidget* dialog, QPoint point, int notches);
    void Drop(QWidget* dialog, QPoint point, const std::string& file);
    Qt::KeyboardModifiers Modifiers(uint8_t extra) const;
    void Screenshot(QWidget* dialog, const ScriptCommand& command);
    void State(QWidget* dialog, const ScriptCommand& command);

    std::vector<ScriptCommand> commands_;
    size_t next_ = 0;
    // Characters of the current type command already typed: one goes per step, so the event
    // loop runs between keys as it does for a person typing.
    qsizetype typed_ = 0;
    bool started_ = false;
    bool finished_ = false;
    std::string failure_;
    uint8_t held_ = 0;
    Qt::MouseButtons buttons_ = Qt::NoButton;
    // Window-system timestamps in milliseconds; separate clicks are spaced beyond the double-click
    // interval.
    ulong timestamp_ = 1000;
    // Every window's events pass the runner while it lives.
    InstalledFilter filter_;
};

} // namespace quillon::ui
