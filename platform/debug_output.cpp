#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace gmd {

namespace {

struct Sink {
    std::mutex mutex;
    std::function<void(std::string_view)> custom;
    FILE* file = nullptr;
    bool initialised = false;
    bool enabled = false;

    void InitLocked() {
        if (initialised) {
            return;
        }
        initialised = true;
        if (const char* path = std::getenv("GMD_DEBUG_FILE"); path != nullptr && *path != '\0') {
            file = std::fopen(path, "a");
            enabled = file != nullptr;
        } else if (const char* flag = std::getenv("GMD_DEBUG");
                   flag != nullptr && std::string(flag) != "0" && *flag != '\0') {
            file = stderr;
            enabled = true;
        }
    }
};

Sink& TheSink() {
    static Sink sink;
    return sink;
}

}  // namespace

void DebugTrace(std::string_view line) {
    Sink& sink = TheSink();
    std::lock_guard lock(sink.mutex);
    if (sink.custom) {
        sink.custom(line);
        return;
    }
    sink.InitLocked();
    if (!sink.enabled) {
        return;
    }
    // Trace lines may carry their own newline; keep one per line.
    std::fwrite(line.data(), 1, line.size(), sink.file);
    if (line.empty() || line.back() != '\n') {
        std::fputc('\n', sink.file);
    }
    std::fflush(sink.file);
}

bool DebugTraceEnabled() {
    Sink& sink = TheSink();
    std::lock_guard lock(sink.mutex);
    sink.InitLocked();
    return sink.enabled || sink.custom != nullptr;
}

void SetDebugTraceSink(std::function<void(std::string_view)> sink) {
    Sink& s = TheSink();
    std::lock_guard lock(s.mutex);
    s.custom = std::move(sink);
}

}  // namespace gmd
