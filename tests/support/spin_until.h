#pragma once
// How UI tests wait: the Qt event loop runs (posted messages, timers, other processes' output)
// until a condition holds. The limit only matters when a test fails, so it is generous enough
// for sanitizer builds and busy machines.

#include <QTest>
#include <chrono>
#include <functional>

namespace gmd::test {

// False when the limit passes first.
inline bool SpinUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

}  // namespace gmd::test
