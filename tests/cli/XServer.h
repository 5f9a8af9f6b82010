// A real X server with a window manager, for the tests that need what a desktop does to a
// window: Xvfb on a display of its own and openbox managing it. Where either program is missing
// or the server does not come up, Missing() says why and the test skips with that message.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace quillon::testing {

class XServer {
  public:
    XServer(int width, int height) {
        for (const char* program : {"Xvfb", "openbox"})
            if (std::system(("command -v " + std::string(program) + " > /dev/null").c_str()) != 0) {
                missing_ = std::string(program) + " is not installed";
                return;
            }
        // A display number no other server holds.
        for (display_ = 40 + ::getpid() % 200;; ++display_)
            if (!std::filesystem::exists("/tmp/.X" + std::to_string(display_) + "-lock")) break;
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        server_ = Start({"Xvfb", Display(), "-screen", "0", screen, "-nolisten", "tcp"}, false);
        if (!WaitFor("test -S /tmp/.X11-unix/X" + std::to_string(display_))) {
            missing_ = "Xvfb did not start on " + Display();
            return;
        }
        // openbox names itself on the root window as soon as it takes the screen, but frames
        // no window until it has read its theme and fonts, which on a fresh or busy machine
        // takes seconds; the command it runs at the end of its start-up says it is ready.
        ready_ = std::filesystem::temp_directory_path() /
                 ("quillon-openbox-ready-" + std::to_string(display_));
        std::filesystem::remove(ready_);
        manager_ =
            Start({"openbox", "--sm-disable", "--startup", "touch " + ready_.string()}, true);
        if (!WaitFor("test -f " + ready_.string())) {
            missing_ = "openbox did not start on " + Display();
            return;
        }
    }
    ~XServer() {
        for (pid_t pid : {manager_, server_})
            if (pid > 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
        std::error_code ignored;
        std::filesystem::remove(ready_, ignored);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Empty when the server and its window manager run.
    const std::string& Missing() const { return missing_; }
    std::string Display() const { return ":" + std::to_string(display_); }

  private:
    pid_t Start(const std::vector<std::string>& arguments, bool onDisplay) {
        const pid_t pid = ::fork();
        if (pid != 0) return pid;
        if (onDisplay) ::setenv("DISPLAY", Display().c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }

    // Up to 30 s: a server and its manager start in well under one, but a loaded machine may
    // hold them back.
    static bool WaitFor(const std::string& check) {
        for (int tries = 0; tries < 600; ++tries) {
            if (std::system(check.c_str()) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string missing_;
    int display_ = 0;
    std::filesystem::path ready_;
    pid_t server_ = -1;
    pid_t manager_ = -1;
};

} // namespace quillon::testing
