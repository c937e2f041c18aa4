#pragma once
// Runs a helper program as a child process: no shell, the arguments as given, standard output
// collected, and a time-out after which the child (and anything it started) is killed, so a
// hanging helper never hangs us.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace gmd {

struct ChildProcessResult {
    bool started = false;   // false: the program was not found or could not be run
    bool timedOut = false;  // killed at the time-out
    int exitCode = -1;      // the exit status when it exited on its own, else -1
    std::string output;     // standard output, the first kChildOutputLimit bytes
    std::string error;      // why it did not succeed, for the log

    bool Succeeded() const { return started && !timedOut && exitCode == 0; }
};

inline constexpr size_t kChildOutputLimit = 64 * 1024;

// argv[0] is looked up in PATH unless it holds a '/'. Standard input and standard error are
// /dev/null.
ChildProcessResult RunChildProcess(const std::vector<std::string>& argv,
                                   std::chrono::milliseconds timeout);

// The executable file of that name in PATH; empty when there is none.
std::filesystem::path FindInPath(std::string_view program);

}  // namespace gmd
