// A small window with the progress of the work that follows a dialog's OK (the filter over the
// whole picture, then the writing of the result) and a Cancel button.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <atomic>
#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;

namespace quillon::ui {

// Marks a modal window that closes by itself once its work is done: a script that runs out
// leaves it open rather than cancelling it.
inline constexpr const char* kClosesItselfProperty = "quillonClosesItself";

class ProgressWindow : public QDialog {
  public:
    // Appears once the work has taken `delayMilliseconds` and no other modal dialog is open: a
    // short job shows no window. Needs a running QApplication.
    explicit ProgressWindow(int delayMilliseconds);

    // The filter's progress through the picture.
    void Update(int32_t done, int32_t total);
    // The result is being written to `file`; its progress is not known.
    void Writing(const std::string& file);
    // Whether the user asked to stop; on the application's thread the window's events are
    // handled first, so the button answers while the work goes on. Any thread may ask.
    bool Cancelled();

  protected:
    void reject() override;

  private:
    // Shows the window when it is due, and lets its events through now and then.
    void Pump();

    QLabel* label_;
    QProgressBar* bar_;
    int delay_;
    QElapsedTimer started_;
    QElapsedTimer pumped_;
    bool began_ = false;
    std::atomic<bool> cancelled_{false};
};

} // namespace quillon::ui
