#pragma once
// One thread that runs tasks in turn, for work that would hold the thread that hands it over
// (reading or saving a big file), at the lowest priority: the frame goes first. Tasks not yet
// begun when it stops are dropped, unrun.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class WorkerThread {
public:
    WorkerThread();
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Any thread; ignored once stopped.
    void Post(std::function<void()> task);
    // Drops the tasks not begun and waits for the one running, which should end soon. Safe to
    // call more than once.
    void Stop();

private:
    void Run();

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;
    std::thread thread;  // last: it starts once the rest is ready
};
