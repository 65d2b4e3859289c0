#pragma once
// The threads that run one folder walk's scan tasks. Starting a thread costs far more than
// decoding a BGL file or reading an aircraft.cfg when the machine is busy (each new thread waits
// its turn in the scheduler), so the walk hands its tasks to a few threads that take one task
// after another. The scan-task throttle still decides when a task may start; there are never
// more threads than its limit, so the throttle's count is the number of tasks running.

#include "core/scan_throttle.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

class ScanWorkers {
public:
    explicit ScanWorkers(std::size_t limit);
    // Lets every handed task run to its end, then ends the threads.
    ~ScanWorkers();
    ScanWorkers(const ScanWorkers&) = delete;
    ScanWorkers& operator=(const ScanWorkers&) = delete;

    // Queues the task; a thread is started while fewer than the limit run. Throws
    // std::system_error when the first thread cannot be started.
    void run(std::packaged_task<void()> task);

    // Runs a task that holds a scan slot and gives it back (gf_releaseScanSlot) when it ends. The
    // slot is counted before the task is handed on, so that a task that ends at once never takes
    // the count below the tasks really running.
    template <typename Result>
    std::future<Result> launch(std::packaged_task<Result()> task)
    {
        std::future<Result> result = task.get_future();
        g_scanTasksRunning.fetch_add(1);
        try {
            run(std::packaged_task<void()>(std::move(task)));
        } catch (...) {
            gf_releaseScanSlot();
            throw;
        }
        return result;
    }

private:
    // With the mutex held.
    void lf_startThread();
    // The body of a worker thread: takes tasks until the workers close.
    void work();
    void takeTasks();

    const std::size_t limit;
    std::mutex mutex;
    std::condition_variable handed;
    std::deque<std::packaged_task<void()>> queue;
    std::size_t idle = 0;
    bool closing = false;
    std::vector<std::thread> threads;
};

// The buffer of the scan worker that runs the calling task, kept from one task to the next, so
// that a task reading a file need not ask the system for fresh memory every time; null when the
// caller runs on no scan worker.
std::vector<std::uint8_t>* gf_scanWorkerBuffer();
