// Tasks of one command spread over worker processes, one task per process at a time (the
// plug-in keeps process-wide state), for commands that make many results from one input.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillon::cli {

struct WorkerAnswer {
    bool ok = false;
    std::string text; // what the task returned, or why it failed
};

struct WorkersOutcome {
    std::vector<WorkerAnswer> answers; // one per task, in task order
    int stoppedBy = 0;                 // the signal that stopped the run, 0 when none did
};

// Runs task(i) for i from 0 to count - 1 in at most `jobs` processes at once (0: one per core).
// A task's answer is short (it waits in a pipe until its worker has ended). A task that throws
// fails with the exception's text. Ctrl-C or SIGTERM is passed on to the
// running workers, whose tasks see it as the interrupt that InterruptScope reports, and no new
// task starts. Throws HostFailure when no worker can be started.
WorkersOutcome RunInWorkers(size_t count, int jobs, const std::function<std::string(size_t)>& task);

} // namespace quillon::cli
