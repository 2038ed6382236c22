// A child process a test starts: the program run with an environment of the test's choosing,
// ended (SIGKILL) and reaped when the object goes, however the test ends, so that no child
// outlives its test.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace shelltest {

class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    ChildProcess() = default;
    ~ChildProcess() { end(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with these variables set and its standard error into `errorLog` (left
    // as it is when empty); false when no child could be made.
    bool start(const std::string& program, const Environment& environment, const std::string& errorLog = {}) {
        end();
        pid_ = fork();
        if (pid_ == 0) {
            for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
            if (!errorLog.empty()) {
                const int fd = open(errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (fd >= 0) dup2(fd, 2);
            }
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        exited_ = false;
        return pid_ > 0;
    }

    pid_t pid() const { return pid_; }
    // Reaps the child when it has ended.
    bool running() {
        if (pid_ <= 0 || exited_) return false;
        if (waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
        return !exited_;
    }
    bool exitedWith(int code) {
        return !running() && pid_ > 0 && WIFEXITED(status_) && WEXITSTATUS(status_) == code;
    }
    std::string describe() {
        if (running()) return "running";
        if (pid_ <= 0) return "not started";
        if (WIFSIGNALED(status_)) return "signal " + std::to_string(WTERMSIG(status_));
        return "exit code " + std::to_string(WEXITSTATUS(status_));
    }

    void end() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
            exited_ = true;
        }
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool exited_ = false;
};

}  // namespace shelltest
