#include "platform/child_process.h"

#include <gtest/gtest.h>

namespace gmd {
namespace {

using namespace std::chrono_literals;

TEST(ChildProcessTest, RunsWithoutAShellAndCollectsTheOutput) {
    const ChildProcessResult plain = RunChildProcess({"printf", "%s|", "a b", "$HOME;x"}, 10s);
    EXPECT_TRUE(plain.Succeeded()) << plain.error;
    EXPECT_EQ(plain.output, "a b|$HOME;x|");

    const ChildProcessResult failing = RunChildProcess({"sh", "-c", "printf out; exit 3"}, 10s);
    EXPECT_TRUE(failing.started);
    EXPECT_FALSE(failing.Succeeded());
    EXPECT_EQ(failing.exitCode, 3);
    EXPECT_EQ(failing.output, "out");

    // More output than is kept: the child is still drained, so it ends normally.
    const ChildProcessResult large = RunChildProcess({"head", "-c", "200000", "/dev/zero"}, 10s);
    EXPECT_TRUE(large.Succeeded()) << large.error;
    EXPECT_EQ(large.output.size(), kChildOutputLimit);
}

TEST(ChildProcessTest, MissingProgramsDoNotStart) {
    for (const std::vector<std::string>& argv : std::vector<std::vector<std::string>>{
             {}, {""}, {"gmd-no-such-program"}, {"/nonexistent/gmd-helper"}}) {
        const ChildProcessResult result = RunChildProcess(argv, 10s);
        EXPECT_FALSE(result.started) << (argv.empty() ? "(none)" : argv[0]);
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(ChildProcessTest, AHangingChildAndWhatItStartedAreKilled) {
    // The background sleep keeps standard output open after its parent is gone.
    const ChildProcessResult result = RunChildProcess({"sh", "-c", "sleep 30 & sleep 30"}, 300ms);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.Succeeded());
}

TEST(ChildProcessTest, FindInPath) {
    EXPECT_FALSE(FindInPath("sh").empty());
    EXPECT_TRUE(FindInPath("gmd-no-such-program").empty());
    EXPECT_TRUE(FindInPath("").empty());
    EXPECT_TRUE(FindInPath("bin/sh").empty());
}

}  // namespace
}  // namespace gmd
