#include "core/download.h"

#include "core/files.h"
#include "core/log.h"
#include "core/zip_archive.h"
#include "platform/native_file.h"

#include <algorithm>
#include <atomic>
#include <curl/curl.h>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fmt/format.h>
#include <fstream>
#include <list>
#include <mutex>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

const fs::path g_versionFile = "version.json";
const fs::path g_serverFolder = "server";
const fs::path g_dbaseArchive = "dbase.zip";

void CurlHandleDeleter::operator()(CURL* handle) const noexcept
{
    curl_easy_cleanup(handle);
}

namespace {

std::atomic<long> connectTimeoutSeconds{DownloadLimits{}.connectTimeoutSeconds};
std::atomic<long> lowSpeedBytesPerSecond{DownloadLimits{}.lowSpeedBytesPerSecond};
std::atomic<long> lowSpeedSeconds{DownloadLimits{}.lowSpeedSeconds};
std::atomic<bool> downloadsStopped{false};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// What the write callback writes to.
struct DownloadTarget {
    CURL* handle = nullptr;
    std::FILE* file = nullptr;
    bool byteMode = true;
    char previous = '\0'; // last byte of the previous block, for CR LF across blocks
};

// The HTTP status of the transfer on the handle; 0 when there is none (a file:// address).
long lf_responseCode(CURL* handle)
{
    long code = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

// An HTTP status of 400 or more fails the download. It is told by the status rather than by
// libcurl's fail-on-error, which closes the connection: the error page is read to its end
// without being stored, and the handle keeps its connection for the next download (most
// airports have no file in the archive).
bool lf_isErrorStatus(CURL* handle)
{
    return lf_responseCode(handle) >= 400;
}

// The libcurl write callback: the number of items written; a short count fails the transfer.
std::size_t lf_curlWriteToFile(char* data, std::size_t size, std::size_t count, void* userData)
{
    auto* target = static_cast<DownloadTarget*>(userData);
    const std::size_t bytes = size * count;
    if (lf_isErrorStatus(target->handle))
        return count;
    if (target->byteMode)
        return std::fwrite(data, size, count, target->file);
    std::string text;
    text.reserve(bytes + bytes / 16);
    for (std::size_t i = 0; i < bytes; ++i) {
        const char c = data[i];
        if (c == '\n' && target->previous != '\r')
            text += '\r';
        text += c;
        target->previous = c;
    }
    return std::fwrite(text.data(), 1, text.size(), target->file) == text.size() ? count : 0;
}

// A file:// address of a local folder, with '/' between names ("file:///C:/x" on Windows); every
// byte but the unreserved ones, '/' and the drive's ':' is escaped.
std::string lf_fileUrl(const fs::path& folder)
{
    const std::string path = folder.generic_string();
    std::string url = path.starts_with('/') ? "file://" : "file:///";
    for (const unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == ':';
        url += plain ? std::string(1, static_cast<char>(c)) : fmt::format("%{:02X}", c);
    }
    return url;
}

// libcurl asks about once a second while a server keeps it waiting, more often while data comes.
int lf_curlProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return downloadsStopped.load() ? 1 : 0;
}

void lf_setOptions(CURL* handle, const std::string& url, DownloadTarget& target)
{
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, std::string(kUserAgent).c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, lf_curlWriteToFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &target);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https,file");
    // Time-outs are signalled by libcurl's own clock, never by signals: downloads run on
    // several threads.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds.load());
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, lowSpeedBytesPerSecond.load());
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, lowSpeedSeconds.load());
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, lf_curlProgress);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
}

// libcurl's process-wide set-up, once before the first handle.
void lf_initCurl()
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using TargetFile = std::unique_ptr<std::FILE, FileCloser>;

// The target of a download, created or truncated; null, with `failure` set, when it cannot be.
TargetFile lf_openTarget(const fs::path& path, std::string& failure)
{
    // Binary on every system: text mode's CR LF line ends are written by lf_curlWriteToFile, so
    // Windows' own text mode must not add a second CR.
    TargetFile file(platform::openCFile(path, "wb"));
    if (!file)
        failure = fmt::format("could not open output file: {}", path.string());
    return file;
}

std::string lf_failureText(const std::string& url, CURLcode result)
{
    return fmt::format("download of {} failed: {}", url, curl_easy_strerror(result));
}

// Ends the transfer on `handle` that wrote into `file`, with libcurl's `result`: the file is
// closed, and what went wrong is left in `failure`. True when the download succeeded.
bool lf_endTransfer(CURL* handle, CURLcode result, TargetFile file, const std::string& url, const fs::path& path,
                    std::string& failure)
{
    if (result == CURLE_OK && lf_isErrorStatus(handle))
        result = CURLE_HTTP_RETURNED_ERROR; // as libcurl's fail-on-error reports it
    // The handle must not keep a pointer to the caller's target.
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, nullptr);
    const bool closed = std::fclose(file.release()) == 0;
    if (result != CURLE_OK)
        failure = lf_failureText(url, result);
    else if (!closed)
        failure = fmt::format("could not write output file: {}", path.string());
    return failure.empty();
}

std::string lf_exceptionText(const std::exception& e, const std::string& url, const fs::path& path)
{
    return fmt::format("downloader exception: \"{}\", {} => {}", e.what(), url, path.string());
}

// Writes every file entry of the open archive into `outputFile`; false when an entry cannot be
// read (a damaged entry fails its checksum) or written, or when there is no file entry at all.
bool lf_unzipFileEntries(const ZipArchive& zip, const fs::path& outputFile)
{
    bool wroteAny = false;
    for (const ZipEntry& entry : zip.getEntries()) {
        if (!entry.isFile())
            continue;
        std::ostringstream text;
        if (const int error = entry.readContent(text, 65536); error != 0) {
            gf_logWarning(fmt::format("unzipping error code : {}", error));
            return false;
        }
        if (!gf_writeStringToFile(text.str(), outputFile, false)) {
            gf_logWarning(fmt::format("could not write {}", outputFile.string()));
            return false;
        }
        wroteAny = true;
    }
    return wroteAny;
}

} // namespace

CurlHandle gf_newCurlHandle()
{
    lf_initCurl();
    return CurlHandle(curl_easy_init());
}

std::string gf_downloadBase()
{
    if (const char* base = std::getenv("ORVANTA_DOWNLOAD_BASE"); base != nullptr && *base != '\0') {
        std::string text = base;
        if (text.back() != '/')
            text += '/';
        return text;
    }
    std::error_code ec;
    const fs::path folder = fs::current_path(ec) / g_serverFolder;
    return lf_fileUrl(folder) + "/";
}

void gf_setDownloadLimits(const DownloadLimits& limits)
{
    connectTimeoutSeconds.store(limits.connectTimeoutSeconds);
    lowSpeedBytesPerSecond.store(limits.lowSpeedBytesPerSecond);
    lowSpeedSeconds.store(limits.lowSpeedSeconds);
}

DownloadLimits gf_downloadLimits()
{
    return {connectTimeoutSeconds.load(), lowSpeedBytesPerSecond.load(), lowSpeedSeconds.load()};
}

void gf_stopDownloads()
{
    downloadsStopped.store(true);
}

void gf_allowDownloads()
{
    downloadsStopped.store(false);
}

bool gf_downloadsStopped()
{
    return downloadsStopped.load();
}

bool gf_downloadFile(CURL* handle, const std::string& url, const fs::path& path, bool byteMode)
{
    std::string failure;
    const bool downloaded = gf_downloadFileQuietly(handle, url, path, byteMode, failure);
    if (!failure.empty())
        gf_log(failure);
    return downloaded;
}

bool gf_downloadFileQuietly(CURL* handle, const std::string& url, const fs::path& path, bool byteMode,
                            std::string& failure)
{
    failure.clear();
    if (handle == nullptr)
        return false;
    if (downloadsStopped.load()) {
        failure = lf_failureText(url, CURLE_ABORTED_BY_CALLBACK);
        return false;
    }
    try {
        TargetFile file = lf_openTarget(path, failure);
        if (!file)
            return false;
        DownloadTarget target{handle, file.get(), byteMode, '\0'};
        lf_setOptions(handle, url, target);
        return lf_endTransfer(handle, curl_easy_perform(handle), std::move(file), url, path, failure);
    } catch (const std::exception& e) {
        failure = lf_exceptionText(e, url, path);
        return false;
    }
}

ProgramVersion& gf_downloadVersion(CURL* handle, ProgramVersion& version, const std::string& url)
{
    version = ProgramVersion{};
    if (!gf_downloadFile(handle, url, g_versionFile, false)) {
        gf_logWarning(fmt::format("downloading \"{}\" failed", url));
        return version;
    }
    std::list<std::string> lines;
    {
        std::ifstream in(g_versionFile, std::ios::binary);
        gf_readStreamLines(in, lines);
    }
    // A version file that cannot be removed is only in the way of the next download, which
    // truncates it; the version that was read stands.
    std::error_code ec;
    if (fs::exists(g_versionFile, ec) && !fs::remove(g_versionFile, ec) && ec)
        gf_logWarning(fmt::format("could not remove {}: {}", g_versionFile.string(), ec.message()));
    if (!lines.empty() && !lines.front().empty())
        version = gf_parseVersion(lines.front());
    return version;
}

bool gf_downloadAndUnzip(const fs::path& archiveName, const fs::path& outputFile)
{
    CurlHandle curl = gf_newCurlHandle();
    if (!gf_downloadFile(curl.get(), gf_downloadBase() + archiveName.generic_string(), archiveName, true)) {
        gf_logWarning(fmt::format("downloading {} failed?", archiveName.string()));
        gf_removeFileIfExists(archiveName);
        return false;
    }
    bool unzipped = false;
    {
        ZipArchive zip(archiveName);
        unzipped = zip.open() && lf_unzipFileEntries(zip, outputFile);
    }
    if (!unzipped) {
        gf_logWarning(fmt::format("unzipping {} failed?", archiveName.string()));
        gf_removeFileIfExists(outputFile);
    }
    gf_removeFileIfExists(archiveName);
    return unzipped;
}

bool gf_downloadDbase(const fs::path& outputFile)
{
    return gf_downloadAndUnzip(g_dbaseArchive, outputFile);
}

std::string gf_p3dDownloadUrl()
{
    return gf_downloadBase() + "P3D/";
}

struct DownloadsAtOnce::Transfers {
    struct Download {
        std::string url;
        fs::path path;
        bool byteMode = true;
        bool ended = false;
        bool downloaded = false;
        std::string failure;
        TargetFile file;
        DownloadTarget target;
        CurlHandle handle; // while it runs
    };

    explicit Transfers(std::size_t inFlight) : inFlight(std::max<std::size_t>(inFlight, 1))
    {
        lf_initCurl();
        multi = curl_multi_init();
    }
    ~Transfers()
    {
        for (Download& download : downloads) {
            if (download.handle)
                curl_multi_remove_handle(multi, download.handle.get());
        }
        downloads.clear();
        idle.clear();
        curl_multi_cleanup(multi);
    }

    void end(Download& download, bool downloaded, std::string failure)
    {
        download.ended = true;
        download.downloaded = downloaded;
        download.failure = std::move(failure);
        if (download.handle)
            idle.push_back(std::move(download.handle));
    }

    CurlHandle takeHandle()
    {
        if (idle.empty())
            return gf_newCurlHandle();
        CurlHandle handle = std::move(idle.back());
        idle.pop_back();
        return handle;
    }

    void start(Download& download)
    {
        std::string failure;
        if (downloadsStopped.load()) {
            end(download, false, lf_failureText(download.url, CURLE_ABORTED_BY_CALLBACK));
            return;
        }
        try {
            download.file = lf_openTarget(download.path, failure);
        } catch (const std::exception& e) {
            failure = lf_exceptionText(e, download.url, download.path);
        }
        download.handle = download.file ? takeHandle() : nullptr;
        if (!download.handle || multi == nullptr) {
            download.file.reset();
            end(download, false, failure);
            return;
        }
        CURL* handle = download.handle.get();
        download.target = DownloadTarget{handle, download.file.get(), download.byteMode, '\0'};
        lf_setOptions(handle, download.url, download.target);
        // A server that multiplexes carries every transfer on one connection.
        curl_easy_setopt(handle, CURLOPT_PIPEWAIT, 1L);
        curl_easy_setopt(handle, CURLOPT_PRIVATE, &download);
        if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
            finish(download, CURLE_FAILED_INIT);
            return;
        }
        ++running;
    }

    // The transfer of `download` has ended with `result`; its handle is out of the multi handle.
    void finish(Download& download, CURLcode result)
    {
        std::string failure;
        const bool downloaded = lf_endTransfer(download.handle.get(), result, std::move(download.file), download.url,
                                               download.path, failure);
        end(download, downloaded, std::move(failure));
    }

    void startQueued()
    {
        while (running < inFlight && started < downloads.size())
            start(downloads[started++]);
    }

    // The number of transfers that ended.
    std::size_t takeEnded()
    {
        std::size_t ended = 0;
        int left = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            const CURLcode result = message->data.result; // the message goes with the handle
            Download* download = nullptr;
            curl_easy_getinfo(handle, CURLINFO_PRIVATE, &download);
            curl_multi_remove_handle(multi, handle);
            --running;
            ++ended;
            finish(*download, result);
        }
        return ended;
    }

    // Ends every running transfer with the multi handle's failure.
    void failRunning(CURLMcode code)
    {
        for (std::size_t i = 0; i < started; ++i) {
            Download& download = downloads[i];
            if (download.ended || !download.handle)
                continue;
            curl_multi_remove_handle(multi, download.handle.get());
            download.file.reset();
            end(download, false, fmt::format("download of {} failed: {}", download.url, curl_multi_strerror(code)));
        }
        running = 0;
    }

    void runUntilEnded(const Download& download)
    {
        constexpr int kPollMs = 1000;
        while (!download.ended) {
            startQueued();
            if (download.ended)
                return;
            int stillRunning = 0;
            if (const CURLMcode code = curl_multi_perform(multi, &stillRunning); code != CURLM_OK) {
                failRunning(code);
                continue;
            }
            if (takeEnded() == 0 && !download.ended)
                curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        }
    }

    const std::size_t inFlight;
    CURLM* multi = nullptr;
    std::deque<Download> downloads; // a deque: libcurl keeps pointers to each download's target
    std::size_t started = 0;
    std::size_t running = 0;
    std::vector<CurlHandle> idle;
};

DownloadsAtOnce::DownloadsAtOnce(std::size_t inFlight) : transfers(std::make_unique<Transfers>(inFlight)) {}

DownloadsAtOnce::~DownloadsAtOnce() = default;

std::size_t DownloadsAtOnce::add(std::string url, fs::path path, bool byteMode)
{
    Transfers::Download& download = transfers->downloads.emplace_back();
    download.url = std::move(url);
    download.path = std::move(path);
    download.byteMode = byteMode;
    return transfers->downloads.size() - 1;
}

bool DownloadsAtOnce::wait(std::size_t number, std::string& failure)
{
    const Transfers::Download& download = transfers->downloads.at(number);
    transfers->runUntilEnded(download);
    failure = download.failure;
    return download.downloaded;
}
