#pragma once
// The offline-learning test of the airports that an add-on airport scan generated, asked of the
// download server ahead of its turn. Each answer waits on the server far longer than it takes to
// judge, so the stock files of the next codes are downloaded at once, on the scan's own thread,
// on connections kept for the next ones. Each file is judged, and what that logs written, in the
// order of the codes, so that the log reads as when they were asked one after another.

#include "core/download.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class OfflineLearningQueries {
public:
    // Starts asking for the first codes; `codes` must outlive the queries.
    explicit OfflineLearningQueries(const std::vector<std::string>& codes);
    // A scan that ends early leaves no stock file asked for ahead in the working folder.
    ~OfflineLearningQueries();
    OfflineLearningQueries(const OfflineLearningQueries&) = delete;
    OfflineLearningQueries& operator=(const OfflineLearningQueries&) = delete;

    // gf_suitableForOfflineLearning of the next code.
    bool next();

private:
    void askAhead();

    const std::vector<std::string>& codes;
    std::size_t taken = 0;
    std::optional<DownloadsAtOnce> downloads; // until the files are given up
    // Of each code asked ahead, oldest first: the number of its download; none while a recent
    // failure pauses its file.
    std::deque<std::optional<std::size_t>> asked;
};
