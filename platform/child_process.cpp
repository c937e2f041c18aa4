#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace gmd {

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrnoText(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60'000));
}

// Owns the spawn attributes and file actions for one call.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    bool actionsReady = false;
    bool attributesReady = false;

    ~SpawnSetup() {
        if (actionsReady) {
            posix_spawn_file_actions_destroy(&actions);
        }
        if (attributesReady) {
            posix_spawnattr_destroy(&attributes);
        }
    }

    int Prepare(int outputFd) {
        if (const int rc = posix_spawn_file_actions_init(&actions); rc != 0) {
            return rc;
        }
        actionsReady = true;
        if (const int rc = posix_spawnattr_init(&attributes); rc != 0) {
            return rc;
        }
        attributesReady = true;
        int rc = posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (rc == 0) {
            rc = posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
        }
        if (rc == 0) {
            rc =
                posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        if (rc != 0) {
            return rc;
        }
        // Its own process group, so a time-out can kill what it started as well; no signal
        // mask or ignored signals inherited from the calling thread.
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGCHLD);
        rc = posix_spawnattr_setpgroup(&attributes, 0);
        if (rc == 0) {
            rc = posix_spawnattr_setsigmask(&attributes, &none);
        }
        if (rc == 0) {
            rc = posix_spawnattr_setsigdefault(&attributes, &defaults);
        }
        if (rc == 0) {
            rc = posix_spawnattr_setflags(
                &attributes, static_cast<short>(POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                POSIX_SPAWN_SETSIGDEF));
        }
        return rc;
    }
};

// Waits for the child until the deadline; kills its group when the deadline passes.
void Reap(pid_t pid, Clock::time_point deadline, ChildProcessResult& result) {
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            result.error = ErrnoText("waitpid", errno);
            return;
        }
        if (done == 0 && Clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            result.timedOut = true;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.error = "timed out";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
        if (result.exitCode != 0) {
            result.error = "exit status " + std::to_string(result.exitCode);
        }
    } else if (WIFSIGNALED(status)) {
        result.error = "killed by signal " + std::to_string(WTERMSIG(status));
    }
}

}  // namespace

std::filesystem::path FindInPath(std::string_view program) {
    if (program.empty() || program.find('/') != std::string_view::npos) {
        return {};
    }
    const char* path = std::getenv("PATH");
    const std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string_view dir = dirs.substr(start, end - start);
        start = end + 1;
        if (dir.empty() || dir.front() != '/') {
            continue;  // relative entries would depend on our working folder
        }
        const std::filesystem::path candidate = std::filesystem::path(dir) / program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

ChildProcessResult RunChildProcess(const std::vector<std::string>& argv,
                                   std::chrono::milliseconds timeout) {
    ChildProcessResult result;
    if (argv.empty() || argv[0].empty()) {
        result.error = "no program";
        return result;
    }
    const std::filesystem::path program = argv[0].find('/') != std::string::npos
                                              ? std::filesystem::path(argv[0])
                                              : FindInPath(argv[0]);
    if (program.empty()) {
        result.error = argv[0] + " is not in PATH";
        return result;
    }

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = ErrnoText("pipe", errno);
        return result;
    }
    SpawnSetup setup;
    if (const int rc = setup.Prepare(pipeFds[1]); rc != 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        result.error = ErrnoText("spawn set-up", rc);
        return result;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    pid_t pid = -1;
    const int rc =
        posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, args.data(), environ);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        result.error = ErrnoText(argv[0].c_str(), rc);
        return result;
    }
    result.started = true;

    const Clock::time_point deadline = Clock::now() + timeout;
    char buffer[4096];
    for (;;) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;  // time-out (or a poll error): the reaping below kills the child
        }
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // end of output
        }
        const size_t room = kChildOutputLimit - result.output.size();
        result.output.append(buffer, std::min(room, static_cast<size_t>(n)));
    }
    ::close(pipeFds[0]);
    Reap(pid, deadline, result);
    return result;
}

}  // namespace gmd
