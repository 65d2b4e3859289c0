#pragma once
// Downloads into files through libcurl, one at a time or many at once, from the maker's
// download server or, for tests and the demo, from a file:// folder. Downloads never throw: they
// answer false and log what went wrong; the callers decide what follows. The data base, the
// registration codes and the archived airport files come from the same download base.

#include "core/version.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

// The user agent that every download names.
inline constexpr std::string_view kUserAgent = "Orva";
extern const std::filesystem::path g_versionFile;  // "version.json": the downloaded version file
extern const std::filesystem::path g_serverFolder; // "server": the default download base
extern const std::filesystem::path g_dbaseArchive; // "dbase.zip"

// libcurl's easy handle, as its own header declares it. Only download.cpp includes that header:
// on Windows it brings in the system's headers, whose macros clash with the program's names.
using CURL = void;

struct CurlHandleDeleter {
    void operator()(CURL* handle) const noexcept;
};
using CurlHandle = std::unique_ptr<CURL, CurlHandleDeleter>;

// A new easy handle; libcurl's process-wide set-up runs once before the first. Null when
// libcurl cannot make one. One handle serves one thread at a time, for any number of downloads.
CurlHandle gf_newCurlHandle();

// The base address that every remote name is appended to, ending in '/':
// $ORVANTA_DOWNLOAD_BASE when set, else file://<working folder>/server/.
std::string gf_downloadBase();

// How long a download may take to connect, and how slow it may run for how long, before it is
// given up as failed. A stalled server thus never stalls the caller for ever.
struct DownloadLimits {
    long connectTimeoutSeconds = 20;
    long lowSpeedBytesPerSecond = 1;
    long lowSpeedSeconds = 30;
};
void gf_setDownloadLimits(const DownloadLimits& limits);
DownloadLimits gf_downloadLimits();

// The exit stops every download: a transfer under way fails within about a second, and one
// started later fails at once, so that no thread keeps the program waiting for a slow server.
// A restart allows them again.
void gf_stopDownloads();
void gf_allowDownloads();
bool gf_downloadsStopped();

// Downloads `url` into `path` (created or truncated before the transfer). In byte mode the bytes
// are stored as received; in text mode a line feed not preceded by a carriage return is stored
// as CR LF, as the Windows program stores text. An HTTP status of 400 or more, a failed or
// stalled transfer, or a target that cannot be written gives false; what was written stays.
bool gf_downloadFile(CURL* handle, const std::string& url, const std::filesystem::path& path, bool byteMode);
// The same download, which leaves what went wrong in `failure` (empty on success) for the caller
// to log or not.
bool gf_downloadFileQuietly(CURL* handle, const std::string& url, const std::filesystem::path& path, bool byteMode,
                            std::string& failure);

// Downloads into files on the calling thread, many at once, through libcurl's multi interface.
// An answer of a distant server waits far longer than it takes to store, so one thread keeps up
// to `inFlight` transfers going, on connections kept for the next ones. Each download is made as
// gf_downloadFileQuietly makes it in text or byte mode; downloads start in the order they are
// added and end in any order. Transfers only move while wait runs.
class DownloadsAtOnce {
public:
    explicit DownloadsAtOnce(std::size_t inFlight);
    // Gives up the transfers still running; what they wrote stays.
    ~DownloadsAtOnce();
    DownloadsAtOnce(const DownloadsAtOnce&) = delete;
    DownloadsAtOnce& operator=(const DownloadsAtOnce&) = delete;

    // Queues a download; its number, counted from 0.
    std::size_t add(std::string url, std::filesystem::path path, bool byteMode);
    // Runs the transfers until download `number` has ended; what gf_downloadFileQuietly would
    // have answered, with `failure` as it leaves it.
    bool wait(std::size_t number, std::string& failure);

private:
    struct Transfers;
    std::unique_ptr<Transfers> transfers;
};

// Downloads the version file at `url` into version.json in the working folder, removes it and
// sets `version` from its first line; 0.0.0 when the download fails or the line is empty.
ProgramVersion& gf_downloadVersion(CURL* handle, ProgramVersion& version, const std::string& url);

// Downloads an archive below the download base and writes the text of its file entries into
// `outputFile` (each entry replaces the one before); the archive is removed afterwards. False
// after a warning when the download fails, the archive cannot be opened, an entry cannot be read
// or written, or the archive holds no file entry; the output file is then removed. A failed
// removal throws the file system's error.
bool gf_downloadAndUnzip(const std::filesystem::path& archiveName, const std::filesystem::path& outputFile);
bool gf_downloadDbase(const std::filesystem::path& outputFile);
std::string gf_p3dDownloadUrl(); // the download base followed by "P3D/"
