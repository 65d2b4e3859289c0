#include "airports/offline_learning_queries.h"

#include "airports/airport_file_locator.h"
#include "airports/airport_file_queries.h"

#include <filesystem>
#include <system_error>

namespace {

// Downloads in flight, and stock files on disk waiting for their turn. An answer is small and
// mostly the server's wait: 2,000 of them 20 ms late each take 0.6 s at 64 at once.
constexpr std::size_t kQueriesAhead = 64;

} // namespace

OfflineLearningQueries::OfflineLearningQueries(const std::vector<std::string>& codes)
    : codes(codes), downloads(std::in_place, kQueriesAhead)
{
    askAhead();
}

OfflineLearningQueries::~OfflineLearningQueries()
{
    downloads.reset(); // the transfers still running are given up, their files closed
    for (std::size_t i = 0; i < asked.size(); ++i) {
        std::error_code ignored;
        if (asked[i])
            std::filesystem::remove(gf_airportXmlPath(codes[taken + i]), ignored);
    }
}

bool OfflineLearningQueries::next()
{
    const std::string& code = codes.at(taken++);
    const std::optional<std::size_t> download = asked.front();
    asked.pop_front();
    askAhead();
    bool downloaded = false;
    if (download) {
        std::string failure;
        const bool ended = downloads->wait(*download, failure);
        downloaded = gf_p3dDownloadEnded(gf_stockServerPath(code), ended, failure);
    }
    return gf_suitableStockFileForOfflineLearning(code, downloaded);
}

void OfflineLearningQueries::askAhead()
{
    while (taken + asked.size() < codes.size() && asked.size() < kQueriesAhead) {
        const std::string& code = codes[taken + asked.size()];
        const std::string serverPath = gf_stockServerPath(code);
        if (gf_p3dDownloadDue(serverPath))
            asked.emplace_back(downloads->add(gf_p3dDownloadUrl() + serverPath, gf_airportXmlPath(code), false));
        else
            asked.emplace_back(std::nullopt);
    }
}
