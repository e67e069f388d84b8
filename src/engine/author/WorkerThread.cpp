#include "author/WorkerThread.h"

#include "platform/Platform.h"

#include <utility>

WorkerThread::WorkerThread() : thread([this] { Run(); }) {}

WorkerThread::~WorkerThread() { Stop(); }

void WorkerThread::Post(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (stopping) return;
        tasks.push_back(std::move(task));
    }
    wake.notify_one();
}

void WorkerThread::Stop() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        dropped.swap(tasks);
    }
    wake.notify_one();
    if (thread.joinable()) thread.join();
}

void WorkerThread::Run() {
    platform::SetThreadPriorityBelowNormal();
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || !tasks.empty(); });
            if (stopping) return;
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        task();
    }
}
