// Downloads from file:// folders and from a local HTTP server: success, error status, a target
// that cannot be written, a stalled server, the version file, and archives unpacked into one file.

#include "core/download.h"
#include "core/log.h"
#include "local_http_server.h"
#include "params/names.h"
#include "support/temp_folder.h"
#include "support/zip_maker.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <gtest/gtest.h>

namespace {

// The file:// address of a local folder as RFC 8089 writes it: '/' between names, a drive letter
// after a third slash ("file:///C:/x"), a blank escaped.
std::string fileUrl(const fs::path& folder)
{
    std::string url = "file://";
    const std::string path = folder.generic_string();
    if (!path.starts_with('/'))
        url += '/';
    for (const char c : path)
        url += c == ' ' ? std::string("%20") : std::string(1, c);
    return url;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override { gf_openLog(); }
    void TearDown() override
    {
        gf_closeLog();
        gf_setDownloadLimits(DownloadLimits{});
        gf_allowDownloads();
    }
    std::string log() const { return testsupport::readTextFile(folder.path() / "Log.txt"); }

    testsupport::TempFolder folder{true};
    CurlHandle curl = gf_newCurlHandle();
};

TEST_F(DownloadTest, DownloadBaseFollowsTheEnvironment)
{
    EXPECT_EQ(gf_downloadBase(), fileUrl(folder / "server") + "/");
    {
        testsupport::ScopedEnv base("ORVANTA_DOWNLOAD_BASE", "http://127.0.0.1:9/downloads");
        EXPECT_EQ(gf_downloadBase(), "http://127.0.0.1:9/downloads/");
    }
    const fs::path spaced = folder / "with blank";
    fs::create_directories(spaced);
    fs::current_path(spaced);
    EXPECT_EQ(gf_downloadBase(), fileUrl(spaced / "server") + "/");
    testsupport::writeFile(spaced / "server" / "v.txt", "1.0.0");
    EXPECT_TRUE(gf_downloadFile(curl.get(), gf_downloadBase() + "v.txt", "v.txt", true)) << "the address opens";
    fs::current_path(folder.path());
}

TEST_F(DownloadTest, FileUrlInByteAndTextMode)
{
    ASSERT_TRUE(curl);
    const std::string bytes = std::string("line one\nline two\r\nend\n") + std::string(1, '\0') + "\xFF";
    testsupport::writeFile(folder / "server/data.bin", bytes);
    const std::string url = gf_downloadBase() + "data.bin";

    ASSERT_TRUE(gf_downloadFile(curl.get(), url, "copy.bin", true));
    EXPECT_EQ(testsupport::readFile(folder / "copy.bin"), bytes);
    // The same handle serves the next download; text mode stores line ends as CR LF.
    ASSERT_TRUE(gf_downloadFile(curl.get(), url, "copy.txt", false));
    EXPECT_EQ(testsupport::readFile(folder / "copy.txt"),
              std::string("line one\r\nline two\r\nend\r\n") + std::string(1, '\0') + "\xFF");
}

TEST_F(DownloadTest, HttpStatusDecides)
{
    testsupport::LocalHttpServer server;
    server.serve("/ok.xml", {200, "<airport/>\n", false});
    ASSERT_TRUE(gf_downloadFile(curl.get(), server.url("/ok.xml"), "ok.xml", true));
    EXPECT_EQ(testsupport::readFile(folder / "ok.xml"), "<airport/>\n");

    // 404: a failure, and the target exists, empty.
    EXPECT_FALSE(gf_downloadFile(curl.get(), server.url("/missing.xml"), "missing.xml", true));
    ASSERT_TRUE(fs::exists(folder / "missing.xml"));
    EXPECT_EQ(fs::file_size(folder / "missing.xml"), 0u);
    EXPECT_NE(log().find("download of " + server.url("/missing.xml") + " failed"), std::string::npos);
    EXPECT_EQ(server.requests(), 2);
}

TEST_F(DownloadTest, DownloadsAtOnceEndAsEachAloneWouldInAnyOrderTheyAreWaitedFor)
{
    testsupport::LocalHttpServer server;
    server.serve("/ok.xml", {200, "<airport/>\n", false});
    testsupport::writeFile(folder / "server/local.txt", "a\nb\n");
    DownloadsAtOnce downloads(2);
    const fs::path unwritable = folder / "no-such-folder" / "a.txt";
    const std::size_t ok = downloads.add(server.url("/ok.xml"), "ok.xml", true);
    const std::size_t missing = downloads.add(server.url("/missing.xml"), "missing.xml", true);
    const std::size_t failed = downloads.add(server.url("/ok.xml"), unwritable, true);
    const std::size_t local = downloads.add(gf_downloadBase() + "local.txt", "local.txt", false);

    std::string failure = "from before";
    EXPECT_TRUE(downloads.wait(local, failure));
    EXPECT_EQ(failure, "");
    EXPECT_EQ(testsupport::readFile(folder / "local.txt"), "a\r\nb\r\n");
    EXPECT_FALSE(downloads.wait(failed, failure));
    EXPECT_EQ(failure, "could not open output file: " + unwritable.string());
    EXPECT_TRUE(downloads.wait(ok, failure));
    EXPECT_EQ(testsupport::readFile(folder / "ok.xml"), "<airport/>\n");
    EXPECT_FALSE(downloads.wait(missing, failure));
    EXPECT_TRUE(failure.starts_with("download of " + server.url("/missing.xml") + " failed")) << failure;
    EXPECT_EQ(fs::file_size(folder / "missing.xml"), 0u);
    EXPECT_TRUE(downloads.wait(ok, failure)) << "an ended download keeps its answer";
    EXPECT_EQ(server.requests(), 2);
    EXPECT_EQ(log().find("failed"), std::string::npos) << "the caller logs what failed";
}

TEST_F(DownloadTest, MissingHandleOrUnwritableTargetFailsWithoutTransfer)
{
    testsupport::LocalHttpServer server;
    server.serve("/a.txt", {200, "a", false});
    EXPECT_FALSE(gf_downloadFile(nullptr, server.url("/a.txt"), "a.txt", true));
    EXPECT_FALSE(fs::exists(folder / "a.txt"));

    const fs::path target = folder / "no-such-folder" / "a.txt";
    EXPECT_FALSE(gf_downloadFile(curl.get(), server.url("/a.txt"), target, true));
    EXPECT_NE(log().find("could not open output file: " + target.string() + "\n"), std::string::npos);
    EXPECT_EQ(server.requests(), 0);

    EXPECT_FALSE(gf_downloadFile(curl.get(), gf_downloadBase() + "absent.zip", "absent.zip", true));
}

TEST_F(DownloadTest, StalledServerIsGivenUp)
{
    gf_setDownloadLimits({5, 1000, 1});
    testsupport::LocalHttpServer server;
    server.serve("/dbase.zip", {200, "PK partial", true});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(gf_downloadFile(curl.get(), server.url("/dbase.zip"), "dbase.zip", true));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    // One second of silence ends it; the bound only has to be far below "for ever".
    EXPECT_LT(seconds.count(), 60);
    EXPECT_NE(log().find("download of " + server.url("/dbase.zip") + " failed: Timeout was reached"),
              std::string::npos);
}

// The exit stops downloads: one under way ends without waiting for the server's time limits, and
// one that would start after fails without asking the server.
TEST_F(DownloadTest, StoppedDownloadsEndUnderWayAndAreNotStartedAfter)
{
    const std::string aborted = " failed: Operation was aborted by an application callback";
    // A server answers one request at a time, and a stalled answer lasts until the server stops.
    const auto stallingServer = [] {
        auto server = std::make_unique<testsupport::LocalHttpServer>();
        server->serve("/KHHR.xml", {200, "<airport", true});
        server->onRequest([](const std::string&) { gf_stopDownloads(); });
        return server;
    };
    const auto alone = stallingServer();
    EXPECT_FALSE(gf_downloadFile(curl.get(), alone->url("/KHHR.xml"), "KHHR.xml", true));
    EXPECT_NE(log().find("download of " + alone->url("/KHHR.xml") + aborted), std::string::npos);

    gf_allowDownloads();
    const auto atOnce = stallingServer();
    const std::string url = atOnce->url("/KHHR.xml");
    DownloadsAtOnce downloads(1);
    const std::size_t underWay = downloads.add(url, "a.xml", true);
    const std::size_t after = downloads.add(url, "b.xml", true);
    std::string failure;
    EXPECT_FALSE(downloads.wait(underWay, failure));
    EXPECT_EQ(failure, "download of " + url + aborted);
    EXPECT_FALSE(downloads.wait(after, failure));
    EXPECT_EQ(failure, "download of " + url + aborted);
    EXPECT_FALSE(fs::exists(folder / "b.xml"));
    EXPECT_EQ(atOnce->requests(), 1);
}

TEST_F(DownloadTest, VersionFileIsReadAndRemoved)
{
    testsupport::writeFile(folder / "server/release/version_P3D.json", "10.9.9\n");
    ProgramVersion version{1, 2, 3};
    EXPECT_EQ(gf_downloadVersion(curl.get(), version, gf_downloadBase() + "release/version_P3D.json"),
              (ProgramVersion{10, 9, 9}));
    EXPECT_EQ(version, (ProgramVersion{10, 9, 9}));
    EXPECT_FALSE(fs::exists(g_versionFile));

    testsupport::writeFile(folder / "server/release/json.json", "{\"major\":11,\"minor\":0,\"patch\":1}\r\n");
    EXPECT_EQ(gf_downloadVersion(curl.get(), version, gf_downloadBase() + "release/json.json"),
              (ProgramVersion{11, 0, 1}));

    EXPECT_EQ(gf_downloadVersion(curl.get(), version, gf_downloadBase() + "release/none.json"), ProgramVersion{});
    const std::string expected = "===> downloading \"" + gf_downloadBase() + "release/none.json\" failed\n";
    EXPECT_NE(log().find(expected), std::string::npos);
}

TEST_F(DownloadTest, VersionFileThatCannotBeRemovedDoesNotThrow)
{
    testsupport::LocalHttpServer server;
    server.serve("/version.json", {200, "10.9.9\n", false});
    // While the transfer runs, version.json is made impossible to remove. Where an open file can
    // be removed (Linux) it becomes a folder with a file in it, and the version in it is lost;
    // where it cannot (Windows), the test keeps it open, and the version read stands.
    std::ifstream keptOpen;
    server.onRequest([&](const std::string&) {
        std::error_code ec;
        if (fs::remove(folder / "version.json", ec))
            testsupport::writeFile(folder / "version.json" / "inside.txt", "x");
        else
            keptOpen.open(folder / "version.json", std::ios::binary);
    });
    ProgramVersion version;
    EXPECT_NO_THROW(gf_downloadVersion(curl.get(), version, server.url("/version.json")));
    EXPECT_EQ(version, keptOpen.is_open() ? (ProgramVersion{10, 9, 9}) : ProgramVersion{});
    EXPECT_NE(log().find("===> could not remove version.json"), std::string::npos);
}

TEST_F(DownloadTest, DataBaseArchiveWritesOnlyItsFileEntries)
{
    testsupport::makeZip(folder / "server/dbase.zip", {{"data/", ""}, {"temp2.xml", "<dbase/>\n"}});
    fs::create_directories("input");
    EXPECT_TRUE(gf_downloadDbase("input/temp2.xml"));
    EXPECT_EQ(testsupport::readFile(folder / "input/temp2.xml"), "<dbase/>\n");
    EXPECT_FALSE(fs::exists("dbase.zip"));

    fs::remove(folder / "server/dbase.zip");
    EXPECT_FALSE(gf_downloadDbase("input/temp2.xml"));
    EXPECT_NE(log().find("===> downloading dbase.zip failed?\n"), std::string::npos);
    EXPECT_EQ(gf_p3dDownloadUrl(), fileUrl(folder / "server") + "/P3D/");
}

// A damaged entry, an archive without a file entry and an output that cannot be written are
// failures: no output file is left and the archive is removed.
TEST_F(DownloadTest, ArchiveThatDoesNotUnpackWholeIsAFailure)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> entries;
        int damagedEntry;
        fs::path output;
    };
    const std::vector<Case> cases = {
        {"flipped byte", {{"temp2.xml", std::string(4000, 'x')}}, 0, "input/temp2.xml"},
        {"folder only", {{"data/", ""}}, -1, "input/temp2.xml"},
        {"unwritable output", {{"temp2.xml", "<dbase/>"}}, -1, fs::path("no-such-folder") / "temp2.xml"},
    };
    fs::create_directories("input");
    for (const Case& c : cases) {
        testsupport::writeFile(folder / "input/temp2.xml", "old");
        testsupport::makeZip(folder / "server/dbase.zip", c.entries);
        if (c.damagedEntry >= 0)
            testsupport::damageZipEntry(folder / "server/dbase.zip", static_cast<std::size_t>(c.damagedEntry));
        EXPECT_FALSE(gf_downloadAndUnzip("dbase.zip", c.output)) << c.what;
        EXPECT_FALSE(fs::exists(c.output)) << c.what;
        EXPECT_FALSE(fs::exists("dbase.zip")) << c.what;
    }
    EXPECT_NE(log().find("===> unzipping error code : "), std::string::npos);
    EXPECT_NE(log().find("===> could not write " + (fs::path("no-such-folder") / "temp2.xml").string() + "\n"),
              std::string::npos);
    EXPECT_NE(log().find("===> unzipping dbase.zip failed?\n"), std::string::npos);
}

} // namespace
