#pragma once
// The offline-learning test of the airports that an add-on airport scan generated, asked of the
// download server ahead of its turn. Each answer waits on the server far longer than it works, so
// up to the scan-task limit of them are asked at once, on scan workers, each on a download handle
// that keeps its connection to the server for the next one. The answers, with the lines each
// logged, are taken in the order of the codes, so that the log reads as when they were asked one
// after another.

#include "core/download.h"
#include "core/scan_workers.h"

#include <cstddef>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <string>
#include <vector>

class OfflineLearningQueries {
public:
    // Starts asking for the first codes; `codes` must outlive the queries.
    explicit OfflineLearningQueries(const std::vector<std::string>& codes);

    // gf_suitableForOfflineLearning of the next code, with what it logged written now; throws
    // what it threw.
    bool next();

private:
    struct Answer {
        bool suitable = false;
        std::vector<std::string> logLines;
        std::exception_ptr failure;
    };

    void askAhead();
    Answer ask(const std::string& code);
    CurlHandle takeHandle();

    const std::vector<std::string>& codes;
    std::size_t asked = 0;
    std::deque<std::future<Answer>> pending; // oldest first
    std::mutex handlesMutex;
    std::vector<CurlHandle> idleHandles;
    ScanWorkers workers; // last: its threads have ended before the handles go
};
