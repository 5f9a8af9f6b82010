#include "cli/Workers.h"

#include "cli/Commands.h"
#include "core/HostFailure.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <iostream>
#include <map>
#include <optional>

namespace quillon::cli {
namespace {

// How long stopped workers may take to cancel before they are ended.
constexpr auto kPatience = std::chrono::seconds(1);

// The signal that stops the run and the workers it goes on to: a fixed table, because a signal
// handler may neither allocate nor lock.
std::atomic<int> gStop{0};
std::atomic<pid_t> gRunning[kMaxWorkers];

extern "C" void OnWorkersInterrupt(int signal) {
    const int saved = errno;
    gStop = signal;
    for (auto& worker : gRunning)
        if (const pid_t pid = worker.load(); pid > 0) kill(pid, signal);
    errno = saved;
}

void WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, size_t(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return text;
    }
}

// The worker's side: the task, its answer on the pipe, and the status.
[[noreturn]] void Work(const std::function<std::string(size_t)>& task, size_t i, int answerPipe) {
    bool ok = false;
    std::string text;
    try {
        text = task(i);
        ok = true;
    } catch (const std::exception& e) {
        text = e.what();
    }
    WriteAll(answerPipe, text);
    close(answerPipe);
    std::cout.flush();
    std::cerr.flush();
    _exit(ok ? kExitOk : kExitFailure);
}

struct Running {
    size_t task;
    int answerPipe;
    std::chrono::steady_clock::time_point start;
};

// No stop asked and no worker known, before the handler that reads them is installed.
void (*Cleared())(int) {
    gStop = 0;
    for (auto& worker : gRunning)
        worker = 0;
    return OnWorkersInterrupt;
}

} // namespace

WorkerPool::WorkerPool() : handler_(Cleared()) {}

WorkersOutcome WorkerPool::Run(size_t count, int jobs,
                               const std::function<std::string(size_t)>& task,
                               const std::function<void(size_t, const WorkerAnswer&)>& ended) {
    const size_t most =
        size_t(std::clamp(jobs > 0 ? jobs : int(sysconf(_SC_NPROCESSORS_ONLN)), 1, kMaxWorkers));
    WorkersOutcome outcome;
    outcome.answers.resize(count);
    std::map<pid_t, Running> running;
    size_t next = 0;
    std::optional<std::chrono::steady_clock::time_point> stoppedAt;
    bool insisted = false;
    while ((next < count && !gStop) || !running.empty()) {
        while (next < count && running.size() < most && !gStop) {
            int fds[2];
            if (pipe(fds) != 0) throw filterhost::HostFailure("cannot start a worker: no pipes");
            std::cout.flush();
            std::cerr.flush();
            // Signals wait while the worker is forked, so none is lost before it is known.
            sigset_t signals, previous;
            sigemptyset(&signals);
            for (int signal : InterruptHandler::kSignals)
                sigaddset(&signals, signal);
            sigprocmask(SIG_BLOCK, &signals, &previous);
            const pid_t pid = fork();
            if (pid == 0) {
                close(fds[0]);
                for (int signal : InterruptHandler::kSignals)
                    std::signal(signal, SIG_DFL);
                sigprocmask(SIG_SETMASK, &previous, nullptr);
                Work(task, next, fds[1]);
            }
            if (pid > 0) *std::find(std::begin(gRunning), std::end(gRunning), 0) = pid;
            sigprocmask(SIG_SETMASK, &previous, nullptr);
            close(fds[1]);
            if (pid < 0) {
                close(fds[0]);
                throw filterhost::HostFailure("cannot start a worker process");
            }
            running[pid] = {next++, fds[0], std::chrono::steady_clock::now()};
        }
        if (gStop != 0 && !stoppedAt) stoppedAt = std::chrono::steady_clock::now();
        if (stoppedAt && !insisted && std::chrono::steady_clock::now() - *stoppedAt > kPatience) {
            for (const auto& [worker, unused] : running)
                kill(worker, gStop);
            insisted = true;
        }
        // Whichever worker ends first; its short answer waits in the pipe until it is read. The
        // worker leaves the table before it is reaped, so its number is never signalled once the
        // system may give it to another process.
        siginfo_t ending{};
        if (waitid(P_ALL, 0, &ending, WEXITED | WNOWAIT | (stoppedAt ? WNOHANG : 0)) != 0) {
            if (errno == EINTR) continue;
            break;
        }
        const pid_t pid = ending.si_pid;
        if (pid == 0) {
            usleep(20000);
            continue;
        }
        for (auto& slot : gRunning)
            if (slot == pid) slot = 0;
        int raw = 0;
        const auto found = running.find(pid);
        if (found == running.end()) {
            while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
            }
            continue;
        }
        const Running& done = found->second;
        WorkerAnswer& answer = outcome.answers[done.task];
        answer.text = ReadAll(done.answerPipe);
        while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        close(done.answerPipe);
        answer.ended = true;
        answer.ok = WIFEXITED(raw) && WEXITSTATUS(raw) == kExitOk;
        answer.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - done.start)
                                  .count();
        // A worker ended at once by a repeated interrupt has no answer to give.
        if (!answer.ok && answer.text.empty())
            answer.text = insisted ? "cancelled"
                          : WIFSIGNALED(raw)
                              ? "the worker ended by signal " + std::to_string(WTERMSIG(raw))
                              : "the worker failed";
        if (ended) ended(done.task, answer);
        running.erase(found);
    }
    outcome.stoppedBy = gStop;
    return outcome;
}

} // namespace quillon::cli
