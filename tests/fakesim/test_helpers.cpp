#include "test_helpers.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fakesim_test {

fakesim::Config quickConfig(const std::filesystem::path& folder)
{
    fakesim::Config config;
    config.tracePath = folder / "trace.jsonl";
    config.secondLength = std::chrono::milliseconds(100);
    config.frameRate = 10.0;
    config.zuluStartUnix = 1709294400;  // 2024-03-01 12:00:00
    return config;
}

std::vector<nlohmann::json> readTrace(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::vector<nlohmann::json> lines;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        auto parsed = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << path << ":" << number << " is not JSON: " << line;
        EXPECT_TRUE(parsed.is_object() && parsed.contains("t") && parsed.contains("type")) << line;
        if (!parsed.is_discarded())
            lines.push_back(std::move(parsed));
    }
    return lines;
}

std::vector<nlohmann::json> traceOfType(const std::filesystem::path& path, const std::string& type)
{
    std::vector<nlohmann::json> out;
    for (auto& line : readTrace(path))
        if (line.value("type", "") == type)
            out.push_back(std::move(line));
    return out;
}

} // namespace fakesim_test
