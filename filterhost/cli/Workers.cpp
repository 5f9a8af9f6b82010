#include "cli/Workers.h"

#include "cli/Commands.h"
#include "cli/InterruptHandler.h"
#include "core/HostFailure.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <map>

namespace quillon::cli {
namespace {

constexpr int kMaxWorkers = 64;

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
    std::string answer;
};

} // namespace

WorkersOutcome RunInWorkers(size_t count, int jobs,
                            const std::function<std::string(size_t)>& task) {
    const size_t most =
        size_t(std::clamp(jobs > 0 ? jobs : int(sysconf(_SC_NPROCESSORS_ONLN)), 1, kMaxWorkers));
    gStop = 0;
    for (auto& worker : gRunning)
        worker = 0;
    InterruptHandler handler(OnWorkersInterrupt);
    WorkersOutcome outcome;
    outcome.answers.resize(count);
    std::map<pid_t, Running> running;
    size_t next = 0;
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
            running[pid] = {next++, fds[0], {}};
        }
        // Whichever worker ends first; its short answer waits in the pipe until it is read.
        siginfo_t ended{};
        if (waitid(P_ALL, 0, &ended, WEXITED | WNOWAIT) != 0) {
            if (errno == EINTR) continue;
            break;
        }
        const pid_t pid = ended.si_pid;
        for (auto& slot : gRunning)
            if (slot == pid) slot = 0;
        int raw = 0;
        const auto found = running.find(pid);
        if (found == running.end()) {
            while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
            }
            continue;
        }
        Running& done = found->second;
        done.answer = ReadAll(done.answerPipe);
        while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        close(done.answerPipe);
        WorkerAnswer& answer = outcome.answers[done.task];
        answer.ok = WIFEXITED(raw) && WEXITSTATUS(raw) == kExitOk;
        answer.text = std::move(done.answer);
        if (!answer.ok && answer.text.empty())
            answer.text = WIFSIGNALED(raw)
                              ? "the worker ended by signal " + std::to_string(WTERMSIG(raw))
                              : "the worker failed";
        running.erase(found);
    }
    outcome.stoppedBy = gStop;
    return outcome;
}

} // namespace quillon::cli
