// How a command that can be interrupted takes Ctrl-C and SIGTERM.
#pragma once

#include <csignal>

namespace quillon::cli {

// Ctrl-C and SIGTERM go to `handler` while the object lives; the handling before it comes back
// after it. Every command that can be interrupted installs its handler through it.
class InterruptHandler {
  public:
    static constexpr int kSignals[2] = {SIGINT, SIGTERM};

    explicit InterruptHandler(void (*handler)(int));
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

  private:
    struct sigaction previous_[2]{};
};

} // namespace quillon::cli
