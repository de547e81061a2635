#pragma once

// Collects DebugTrace texts while it lives.
#include <mutex>
#include <string>
#include <vector>

#include "propkt/debug_trace.h"

namespace kvtlnk {

class TraceCapture {
  public:
    TraceCapture() {
        {
            std::lock_guard<std::mutex> lock(mutex());
            store().clear();
        }
        previous_ = setDebugSink(&sink);
    }
    ~TraceCapture() { setDebugSink(previous_); }
    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> lock(mutex());
        return store();
    }

  private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& store() {
        static std::vector<std::string> s;
        return s;
    }
    static void sink(const char* text) {
        std::lock_guard<std::mutex> lock(mutex());
        store().push_back(text);
    }
    DebugSink previous_;
};

}  // namespace kvtlnk
