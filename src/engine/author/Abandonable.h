#pragma once
// A step of work that takes long and cannot stop halfway (compiling a big timeline, applying an
// edit to it), made so that the program need not wait for it when it quits: it runs on a thread
// of its own, on data it owns, and the one who waits for it may give up. The work must take
// everything it touches by value and touch nothing that the program's end destroys.

#include "platform/Platform.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// The result of `work`, or nothing as soon as `abandoned` is seen set: the work then ends by itself,
// unseen. What `work` throws is thrown here.
template <typename Work>
auto RunUnlessAbandoned(Work work, const std::atomic<bool>& abandoned) -> std::optional<decltype(work())> {
    using Result = decltype(work());
    constexpr auto kLook = std::chrono::milliseconds(20);
    struct Shared {
        std::mutex mutex;
        std::condition_variable ended;
        std::optional<Result> result;
        std::exception_ptr failure;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)]() mutable {
        platform::SetThreadPriorityBelowNormal();
        std::optional<Result> result;
        std::exception_ptr failure;
        try {
            result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->result = std::move(result);
        shared->failure = failure;
        shared->ended.notify_one();
    }).detach();
    std::unique_lock<std::mutex> lock(shared->mutex);
    while (!shared->result && !shared->failure) {
        if (abandoned) return std::nullopt;
        shared->ended.wait_for(lock, kLook);
    }
    if (shared->failure) std::rethrow_exception(shared->failure);
    return std::move(shared->result);
}
