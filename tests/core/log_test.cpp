#include "core/log.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using testsupport::readTextFile;
using testsupport::TempFolder;

namespace {

std::string firstLine(const fs::path& path)
{
    const std::string text = readTextFile(path);
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST(Log, ThreeOpensKeepTwoGenerationsEachStartingWithTheHeader)
{
    TempFolder folder(true);
    for (int run = 1; run <= 3; ++run) {
        gf_openLog();
        gf_log(fmt::format("run {}", run));
        gf_closeLog();
    }
    const std::regex header(R"(^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] \d\d:\d\d:\d\d \d{4} \(utc\) Orvanta_P3D version \d+\.\d+\.\d+ for Prepar3D v5/v6$)");
    for (const char* name : {"Log00.txt", "Log0.txt", "Log.txt"})
        EXPECT_TRUE(std::regex_match(firstLine(name), header)) << name << ": " << firstLine(name);
    EXPECT_NE(readTextFile("Log00.txt").find("run 1\n"), std::string::npos);
    EXPECT_NE(readTextFile("Log0.txt").find("run 2\n"), std::string::npos);
    EXPECT_NE(readTextFile("Log.txt").find("run 3\n"), std::string::npos);
}

TEST(Log, FirstRunMakesNoBackupAndLineFormsAreExact)
{
    TempFolder folder(true);
    gf_log("before the open is dropped");
    gf_openLog();
    gf_log("plain");
    gf_logLine("line");
    gf_logWarning("w");
    gf_logIndented("i");
    gf_logf("{} liverie{} read", 2, "s");
    gf_closeLog();
    gf_log("after the close is dropped");

    EXPECT_FALSE(fs::exists("Log0.txt"));
    EXPECT_FALSE(fs::exists("Log00.txt"));
    // A text file of the system: every line ends as the system's text files do (CR LF on Windows).
    const std::string text = readTextFile("Log.txt");
    const std::string body = text.substr(text.find('\n') + 1);
    const std::string lastLine = body.substr(body.rfind('\n', body.size() - 2) + 1);
    EXPECT_EQ(body, "plain\nline\n===> w\n          i\n2 liveries read\n" + lastLine);
    EXPECT_TRUE(std::regex_match(lastLine, std::regex(R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3]\d \d\d:\d\d:\d\d \d{4}\n)")));
    EXPECT_EQ(text.find("dropped"), std::string::npos);
}

TEST(Log, ClosingWhileOtherThreadsWriteLosesNoWholeLinesAndNeverCrashes)
{
    TempFolder folder(true);
    gf_openLog();
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&stop, t] {
            while (!stop.load())
                gf_logf("writer {} line", t);
        });
    }
    while (fs::file_size("Log.txt") < 20000) {
        std::this_thread::yield();
    }
    gf_closeLog();
    stop = true;
    for (std::thread& writer : writers)
        writer.join();
    const std::string text = readTextFile("Log.txt");
    // Every line after the header is whole; the last one is the closing time.
    std::size_t pos = text.find('\n') + 1;
    const std::regex line(R"(writer [0-3] line|[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3]\d \d\d:\d\d:\d\d \d{4})");
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        ASSERT_NE(end, std::string::npos) << "unterminated last line";
        ASSERT_TRUE(std::regex_match(text.substr(pos, end - pos), line)) << text.substr(pos, end - pos);
        pos = end + 1;
    }
}

TEST(Log, StarLineBanners)
{
    struct Case {
        std::int64_t width, pad;
        bool before, after;
        const char* text;
        std::string expected;
    };
    const std::vector<Case> cases{
        {70, 0, true, false, "parameters", "\n" + std::string(34, '*') + " parameters " + std::string(34, '*')},
        {70, 10, false, true, "", std::string(80, '*') + "\n"},
        {7, 0, false, false, "", std::string(8, '*')},
        {10, 0, false, false, "12345678", "12345678"},
        {0, 0, false, false, "", ""},
        {-5, 0, true, true, "", "\n\n"},
        {12, 0, false, false, "abc", "***** abc *****"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_starLine(c.width, c.pad, c.before, c.after, c.text), c.expected) << c.width << " " << c.text;
}
