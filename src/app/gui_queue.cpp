#include "app/gui_queue.h"

#include "core/log.h"

#include <atomic>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace {

std::mutex guiQueueMutex;
std::deque<GuiTask> guiTasks;       // under guiQueueMutex
std::function<void()> wakeGui;      // under guiQueueMutex
std::thread::id guiThreadId;        // under guiQueueMutex
std::atomic<bool> queueOpen{false};

} // namespace

void gf_openGuiQueue(std::function<void()> wake)
{
    std::lock_guard lock(guiQueueMutex);
    guiTasks.clear();
    wakeGui = std::move(wake);
    guiThreadId = std::this_thread::get_id();
    queueOpen.store(true);
}

void gf_closeGuiQueue()
{
    std::deque<GuiTask> dropped;
    {
        std::lock_guard lock(guiQueueMutex);
        queueOpen.store(false);
        dropped.swap(guiTasks);
        wakeGui = nullptr;
        guiThreadId = {};
    }
    // The tasks' captures are destroyed outside the lock.
}

bool gf_guiQueueOpen()
{
    return queueOpen.load();
}

bool gf_isGuiThread()
{
    std::lock_guard lock(guiQueueMutex);
    return queueOpen.load() && guiThreadId == std::this_thread::get_id();
}

bool gf_postToGui(GuiTask task)
{
    std::function<void()> wake;
    {
        std::lock_guard lock(guiQueueMutex);
        if (!queueOpen.load())
            return false;
        // Only the first task of a batch wakes the GUI thread; it drains the whole batch.
        if (guiTasks.empty())
            wake = wakeGui;
        guiTasks.push_back(std::move(task));
    }
    if (wake)
        wake();
    return true;
}

bool gf_runOnGui(GuiTask task)
{
    if (gf_isGuiThread()) {
        task();
        return true;
    }
    return gf_postToGui(std::move(task));
}

std::size_t gf_drainGuiQueue()
{
    std::deque<GuiTask> batch;
    {
        std::lock_guard lock(guiQueueMutex);
        batch.swap(guiTasks);
    }
    for (GuiTask& task : batch) {
        // One failing task must not take the rest of the batch with it.
        try {
            task();
        } catch (const std::exception& e) {
            gf_logWarning(fmt::format("{} exception {}", "gf_drainGuiQueue", e.what()));
        }
    }
    return batch.size();
}
