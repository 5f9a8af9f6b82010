// Tasks of one command spread over worker processes, one task per process at a time (the
// plug-in keeps process-wide state): a batch's pictures, the variants of one picture.
#pragma once

#include "cli/InterruptHandler.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon::cli {

inline constexpr int kMaxWorkers = 256;

struct WorkerAnswer {
    bool ended = false; // false for a task an interrupt kept from starting
    bool ok = false;
    std::string text; // what the task returned, or why it failed
    int64_t milliseconds = 0;
};

struct WorkersOutcome {
    std::vector<WorkerAnswer> answers; // one per task, in task order
    int stoppedBy = 0;                 // the signal that stopped the run, 0 when none did
};

// Ctrl-C and SIGTERM stop the run from the pool's making on: they are passed on to the running
// workers, whose tasks see them as the interrupt that InterruptScope reports, and no new task
// starts. A worker still busy a second later gets the signal again, which ends it at once. One
// pool at a time.
class WorkerPool {
  public:
    WorkerPool();

    // Runs task(i) for i from 0 to count - 1 in at most `jobs` processes at once (0: one per
    // core). A task's answer is short (it waits in a pipe until its worker has ended). A task
    // that throws fails with the exception's text. `ended`, when given, hears of each task as
    // its worker ends. Throws HostFailure when no worker can be started.
    WorkersOutcome Run(size_t count, int jobs, const std::function<std::string(size_t)>& task,
                       const std::function<void(size_t, const WorkerAnswer&)>& ended = {});

  private:
    InterruptHandler handler_;
};

} // namespace quillon::cli
