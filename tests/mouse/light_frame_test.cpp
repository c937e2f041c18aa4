// Frame hand-over and sending: whole frames, the 10 ms cadence, failures, detached devices.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mouse/light_frame_channel.h"
#include "mouse/light_frame_sender.h"
#include "platform/debug_output.h"
#include "tests/support/virtual_mouse_rig.h"

namespace gmd::light {
namespace {

using std::chrono::milliseconds;
using TimePoint = FramePacer::TimePoint;

// Frames published every `stepMs` for one simulated second, a sender that sends whenever its
// pacer lets it: the send times in ms.
std::vector<int> SimulatedSends(int stepMs) {
    FramePacer pacer;
    uint64_t newest = 0;
    std::vector<int> sends;
    const TimePoint start{};
    for (int t = 0; t < 1000; ++t) {
        if (t % stepMs == 0) {
            ++newest;
        }
        const auto at = pacer.NextSendAt(newest);
        if (at && *at <= start + milliseconds(t)) {
            pacer.Sent(newest, start + milliseconds(t));
            sends.push_back(t);
        }
    }
    return sends;
}

TEST(FramePacer, FastStepsGiveOneFramePer10MsSlowStepsEveryFrame) {
    struct Case {
        int stepMs;
        size_t frames;
        int interval;
    };
    for (const Case c : {Case{3, 100, 10}, Case{8, 100, 10}, Case{10, 100, 10}, Case{15, 67, 15},
                         Case{30, 34, 30}}) {
        const std::vector<int> sends = SimulatedSends(c.stepMs);
        ASSERT_EQ(sends.size(), c.frames) << c.stepMs;
        EXPECT_EQ(sends.front(), 0);
        for (size_t i = 1; i < sends.size(); ++i) {
            // Never closer than 10 ms; fast steps leave no gap wider than 10 ms either.
            EXPECT_EQ(sends[i] - sends[i - 1], c.interval) << c.stepMs << " at " << i;
        }
    }
    // Nothing newer: nothing to send.
    FramePacer pacer;
    EXPECT_FALSE(pacer.NextSendAt(0));
    pacer.Sent(4, TimePoint{});
    EXPECT_FALSE(pacer.NextSendAt(4));
    EXPECT_EQ(pacer.NextSendAt(5), TimePoint{} + milliseconds(10));
}

class RecordingSink final : public LightFrameSink {
  public:
    bool Ready() const override { return ready.load(); }
    int Send(std::span<const uint8_t> frame) override {
        std::lock_guard lock(mutex);
        frames.emplace_back(frame.begin(), frame.end());
        return result.load();
    }
    size_t Count() {
        std::lock_guard lock(mutex);
        return frames.size();
    }
    std::atomic<bool> ready{true};
    std::atomic<int> result{1};
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> frames;
};

struct SenderRig {
    SenderRig() {
        SetDebugTraceSink([this](std::string_view line) {
            std::lock_guard lock(logMutex);
            log.emplace_back(line);
        });
        thread = std::thread([this] { RunLightFrameSender(frames, sink, stop, "mouse"); });
    }
    ~SenderRig() {
        stop.Set();
        thread.join();
        SetDebugTraceSink(nullptr);
    }
    void Publish(uint8_t value) {
        const std::vector<Led> leds(2, Led{value, value, value, 255});
        const std::vector<uint8_t> bytes(51, value);
        frames.Publish(leds, bytes);
    }
    size_t LogLines() {
        std::lock_guard lock(logMutex);
        return log.size();
    }
    LightFrameChannel frames;
    RecordingSink sink;
    StopEvent stop;
    std::mutex logMutex;
    std::vector<std::string> log;
    std::thread thread;
};

TEST(LightFrameSender, SendsWholeNewestFramesAndLogsOncePerFailureStreak) {
    SenderRig rig;
    rig.Publish(1);
    ASSERT_TRUE(test::WaitFor([&] { return rig.sink.Count() == 1; }));
    EXPECT_EQ(rig.sink.frames[0], std::vector<uint8_t>(51, 1));

    rig.sink.result = kResultWriteFailed;
    for (uint8_t v = 2; v < 8; ++v) {
        rig.Publish(v);
        const size_t before = v - 1;
        ASSERT_TRUE(test::WaitFor([&] { return rig.sink.Count() > before; }));
    }
    EXPECT_EQ(rig.LogLines(), 1u);  // six failures, one line
    {
        std::lock_guard lock(rig.logMutex);
        EXPECT_NE(rig.log[0].find("mouse light frame not sent: result -1"), std::string::npos);
    }
    // It keeps going; a success ends the streak, the next failure is told again.
    rig.sink.result = kResultSuccess;
    rig.Publish(8);
    ASSERT_TRUE(test::WaitFor([&] { return rig.sink.Count() == 8; }));
    rig.sink.result = kResultNoReply;
    rig.Publish(9);
    ASSERT_TRUE(test::WaitFor([&] { return rig.LogLines() == 2; }));

    // A device that cannot take frames gets none.
    rig.sink.ready = false;
    rig.Publish(10);
    ASSERT_TRUE(test::WaitFor([&] { return rig.frames.Sequence() == 10; }));
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(rig.sink.Count(), 9u);
}

TEST(LightFrameChannel, ReadersSeeWholeFrames) {
    LightFrameChannel frames;
    EXPECT_EQ(frames.Latest().sequence, 0u);
    std::atomic<bool> done{false};
    std::atomic<size_t> seen{0};
    std::thread writer([&] {
        for (int i = 0; i < 20000 || seen.load() < 100; ++i) {
            const auto v = static_cast<uint8_t>(i);
            const std::vector<Led> leds(20, Led{v, v, v, v});
            // Alternating sizes, as when the synchronised engine takes the mouse over.
            const std::vector<uint8_t> bytes(i % 2 == 0 ? 51 : 60, v);
            frames.Publish(leds, bytes);
        }
        done = true;
    });
    while (!done) {
        const LightFrame frame = frames.Latest();
        if (frame.sequence == 0) {
            continue;
        }
        ++seen;
        ASSERT_EQ(frame.bytes.size(), frame.sequence % 2 == 1 ? 51u : 60u);
        const uint8_t v = frame.bytes.front();
        for (const uint8_t b : frame.bytes) {
            ASSERT_EQ(b, v);
        }
        ASSERT_EQ(frame.leds.front().red, v);
        ASSERT_EQ(frame.leds.back().alpha, v);
    }
    writer.join();
    EXPECT_GE(frames.Sequence(), 20000u);
}

}  // namespace
}  // namespace gmd::light
