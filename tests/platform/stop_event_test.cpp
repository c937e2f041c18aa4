#include "platform/stop_event.h"

#include <gtest/gtest.h>

#include <thread>

namespace gmd {
namespace {

TEST(StopEvent, SetActionRunsOnSetAtOnceWhenAlreadySetAndNotAfterRemoval) {
    StopEvent stop;
    int runs = 0;
    {
        const StopEvent::SetAction action(stop, [&] { ++runs; });
        EXPECT_EQ(runs, 0);
        stop.Set();
        EXPECT_EQ(runs, 1);
        const StopEvent::SetAction late(stop, [&] { runs += 10; });
        EXPECT_EQ(runs, 11);
    }
    stop.Reset();
    stop.Set();
    EXPECT_EQ(runs, 11);
}

TEST(StopEvent, WaitEndsWhenAnotherThreadSetsAndTheActionRunsThere) {
    StopEvent stop;
    EXPECT_FALSE(stop.Wait(1));
    std::thread::id actionThread;
    const StopEvent::SetAction action(stop, [&] { actionThread = std::this_thread::get_id(); });
    std::thread::id setterThread;
    std::thread setter([&] {
        setterThread = std::this_thread::get_id();
        stop.Set();
    });
    EXPECT_TRUE(stop.Wait(-1));
    setter.join();
    EXPECT_EQ(actionThread, setterThread);
    EXPECT_TRUE(stop.IsSet());
    stop.Reset();
    EXPECT_FALSE(stop.IsSet());
    EXPECT_FALSE(stop.Wait(0));
}

TEST(StopEvent, WaitUntilAPassedDeadlineOnlyTellsWhetherSetAndAFutureOneEndsOnSet) {
    using Clock = std::chrono::steady_clock;
    StopEvent stop;
    EXPECT_FALSE(stop.WaitUntil(Clock::now() - std::chrono::seconds(1)));
    std::thread setter([&] { stop.Set(); });
    EXPECT_TRUE(stop.WaitUntil(Clock::now() + std::chrono::hours(1)));
    setter.join();
    EXPECT_TRUE(stop.WaitUntil(Clock::now() - std::chrono::seconds(1)));
}

}  // namespace
}  // namespace gmd
