#include "airports/offline_learning_queries.h"

#include "airports/airport_file_queries.h"
#include "core/log.h"
#include "core/scan_throttle.h"

#include <algorithm>

OfflineLearningQueries::OfflineLearningQueries(const std::vector<std::string>& codes)
    : codes(codes), workers(static_cast<std::size_t>(std::max(g_scanTasksLimit.load(), 1)), ScanWorkers::Tasks::Waiting)
{
    askAhead();
}

bool OfflineLearningQueries::next()
{
    Answer answer = pending.front().get();
    pending.pop_front();
    askAhead();
    gf_logHeldLines(answer.logLines);
    if (answer.failure)
        std::rethrow_exception(answer.failure);
    return answer.suitable;
}

void OfflineLearningQueries::askAhead()
{
    const auto limit = static_cast<std::size_t>(std::max(g_scanTasksLimit.load(), 1));
    while (asked < codes.size() && pending.size() < limit) {
        gf_waitForScanSlot();
        const std::string& code = codes[asked++];
        pending.push_back(workers.launch(std::packaged_task<Answer()>([this, &code] { return ask(code); })));
    }
}

OfflineLearningQueries::Answer OfflineLearningQueries::ask(const std::string& code)
{
    const ScanSlotRelease slot;
    CurlHandle handle = takeHandle();
    Answer answer;
    {
        LogHold hold;
        try {
            answer.suitable = gf_suitableForOfflineLearning(code, handle.get());
        } catch (...) {
            answer.failure = std::current_exception();
        }
        answer.logLines = hold.take();
    }
    std::lock_guard lock(handlesMutex);
    idleHandles.push_back(std::move(handle));
    return answer;
}

CurlHandle OfflineLearningQueries::takeHandle()
{
    {
        std::lock_guard lock(handlesMutex);
        if (!idleHandles.empty()) {
            CurlHandle handle = std::move(idleHandles.back());
            idleHandles.pop_back();
            return handle;
        }
    }
    return gf_newCurlHandle();
}
