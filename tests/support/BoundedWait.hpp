#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Waits of the tests that end in a failure naming what was awaited, instead of in a hang that
// only ctest's timeout ends. The call site comes from the compiler's builtins, which both g++
// and clang 14 (whose library lacks std::source_location) provide.
namespace vorla::bounded {

// Far more than any awaited work needs on a loaded machine under a sanitizer, far less than
// ctest's timeout.
inline constexpr std::chrono::seconds waitLimit{30};

// Reports the failure and ends the test program: whatever was awaited may still run and would
// touch the test's objects once they are gone. Standard error gets it too, since that is all a
// death test shows of its child.
[[noreturn]] inline void gaveUp(const std::string& what, const char* file = __builtin_FILE(),
                                int line = __builtin_LINE()) {
    const std::string message =
        "gave up after " + std::to_string(waitLimit.count()) + " s waiting for " + what;
    ADD_FAILURE_AT(file, line) << message;
    std::fprintf(stderr, "%s:%d: %s\n", file, line, message.c_str());
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

// The value of a std::future or std::shared_future (or its exception) once it is ready.
template <typename Future>
auto get(Future&& future, const std::string& what, const char* file = __builtin_FILE(),
         int line = __builtin_LINE()) {
    if (future.wait_for(waitLimit) != std::future_status::ready) {
        gaveUp(what, file, line);
    }
    return future.get();
}

// Gives up on its scope when it lasts longer than the limit: for waits that take no limit of
// their own (a join, a queue's sync, a main loop) and for tests whose calls block by design.
class Watchdog {
public:
    explicit Watchdog(std::string what, const char* file = __builtin_FILE(),
                      int line = __builtin_LINE())
        : watcher_([this, what = std::move(what), file, line] {
              std::unique_lock lock(mutex_);
              if (!ended_.wait_for(lock, waitLimit, [this] { return over_; })) {
                  gaveUp(what, file, line);
              }
          }) {}
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog() {
        {
            const std::lock_guard lock(mutex_);
            over_ = true;
        }
        ended_.notify_one();
        watcher_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool over_ = false;
    std::thread watcher_; // last, so that it starts once the rest exists
};

// Runs one wait that takes no limit of its own.
template <typename Wait>
void run(const std::string& what, Wait&& wait, const char* file = __builtin_FILE(),
         int line = __builtin_LINE()) {
    const Watchdog watchdog(what, file, line);
    std::forward<Wait>(wait)();
}

inline void join(std::vector<std::thread>& threads, const std::string& what,
                 const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    run(
        what,
        [&threads] {
            for (std::thread& thread : threads) {
                thread.join();
            }
        },
        file, line);
}

} // namespace vorla::bounded
