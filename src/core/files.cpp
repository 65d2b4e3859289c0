#include "core/files.h"

#include "core/exceptions.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "core/text.h"
#include "core/windows_glue.h"
#include "platform/native_file.h"
#include "platform/process.h"
#include "platform/utf16.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fmt/format.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

std::string gf_pathText(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path gf_pathFromText(std::string_view utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

namespace {

std::vector<char> lf_readAllBytes(std::istream& in)
{
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool lf_readUtf16File(std::istream& in, std::vector<std::string>& out)
{
    try {
        const std::vector<char> bytes = lf_readAllBytes(in);
        lf_readUtf16Lines(platform::utf16FromBytes(std::string_view(bytes.data(), bytes.size())), out);
        return true;
    } catch (const win32::Utf8ConversionException& e) {
        gf_reportMessage(fmt::format("conversion from error from utf16 to utf8, code: {}", e.errorCode()), true);
    } catch (const std::runtime_error& e) {
        gf_reportMessage(std::string("conversion from error from utf16 to utf8: ") + e.what(), true);
    }
    return false;
}

bool lf_readNarrowFile(int encoding, std::istream& in, std::vector<std::string>& out)
{
    std::string line;
    bool first = true;
    while (gf_readLine(in, line)) {
        if (first && encoding == kEncodingUtf8Bom)
            line.erase(0, 3);
        first = false;
        out.push_back(line);
    }
    return true;
}

// The process id in the name of a temporary file "<name>.tmp<pid>.<n>"; 0 when it is none.
long lf_temporaryOwner(std::string_view entryName)
{
    const std::size_t mark = entryName.rfind(".tmp");
    if (mark == std::string_view::npos || mark == 0)
        return 0;
    const std::string_view rest = entryName.substr(mark + 4);
    const std::size_t dot = rest.find('.');
    const auto allDigits = [](std::string_view digits) {
        return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (dot == std::string_view::npos || !allDigits(rest.substr(0, dot)) || !allDigits(rest.substr(dot + 1)))
        return 0;
    long pid = 0;
    std::from_chars(rest.data(), rest.data() + dot, pid);
    return pid;
}

// Removes the temporary files that saves killed between their write and their rename left in
// the folder of `path`: those of processes that no longer run. Done once per folder and run,
// since a folder may hold many files.
void lf_removeStaleTemporaries(const fs::path& path)
{
    static std::mutex mutex;
    static std::set<fs::path> cleaned;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code ec;
    {
        std::lock_guard lock(mutex);
        if (!cleaned.insert(fs::absolute(folder, ec)).second)
            return;
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const long pid = lf_temporaryOwner(it->path().filename().string());
        const bool ended = pid != platform::currentProcessId() && platform::processHasEnded(pid);
        std::error_code ignored;
        if (ended)
            fs::remove(it->path(), ignored);
    }
}

// Copies `from` over `to` through a temporary file, as every write does; a failure throws the
// file system's error "copy_file".
void lf_copyFileAtomically(const fs::path& from, const fs::path& to)
{
    std::ifstream in(from, std::ios::binary);
    const bool copied = in && gf_saveFileAtomically(to, [&](std::ostream& out) {
        std::copy(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), std::ostreambuf_iterator<char>(out));
        return !in.bad();
    });
    if (!copied)
        throw fs::filesystem_error("copy_file", from, to, std::make_error_code(std::errc::io_error));
}

template <typename Lines>
bool lf_writeLines(const Lines& lines, const fs::path& path)
{
    return gf_saveFileAtomically(path, [&](std::ostream& out) {
        for (const std::string& line : lines)
            out << line << '\n';
        return true;
    });
}

} // namespace

namespace {

// Opened for reading the text's encoding and then its lines; logged when it cannot be opened.
bool lf_openTextFile(const fs::path& path, std::ifstream& in)
{
    in.open(path, std::ios::binary);
    if (!in)
        gf_log(fmt::format("cannot open file {} for character encoding, err: {}", path.string(), errno));
    return static_cast<bool>(in);
}

// The encoding told by the first bytes; the stream is left at its start.
int lf_encodingOf(std::istream& in)
{
    unsigned char mark[2] = {0, 0};
    in.read(reinterpret_cast<char*>(mark), 2);
    const std::streamsize read = in.gcount();
    in.clear();
    in.seekg(0);
    if (read < 2)
        return kEncodingPlain;
    if (mark[0] == 0xFF && mark[1] == 0xFE)
        return kEncodingUtf16Le;
    if (mark[0] == 0xFE && mark[1] == 0xFF)
        return kEncodingUtf16Be;
    if (mark[0] == 0xEF && mark[1] == 0xBB)
        return kEncodingUtf8Bom;
    return kEncodingPlain;
}

bool lf_readEncodedLines(int encoding, std::istream& in, std::vector<std::string>& out)
{
    if (encoding == kEncodingUtf16Le || encoding == kEncodingUtf16Be)
        return lf_readUtf16File(in, out);
    return lf_readNarrowFile(encoding, in, out);
}

} // namespace

int gf_detectTextEncoding(const fs::path& path)
{
    std::ifstream in;
    return lf_openTextFile(path, in) ? lf_encodingOf(in) : kEncodingNoFile;
}

bool gf_readEncodedTextFile(int encoding, const fs::path& path, std::vector<std::string>& out)
{
    std::ifstream in(path, std::ios::binary);
    return in && lf_readEncodedLines(encoding, in, out);
}

bool gf_readTextFile(const fs::path& path, std::vector<std::string>& out)
{
    std::ifstream in;
    return lf_openTextFile(path, in) && lf_readEncodedLines(lf_encodingOf(in), in, out);
}

bool gf_readExtTextFileToStringVector(const fs::path& path, std::vector<std::string>& out)
{
    try {
        return gf_readTextFile(path, out);
    } catch (const std::exception& e) {
        gf_log(fmt::format("gf_readExtTextFileToStringVector {}", e.what()));
        return false;
    }
}

void lf_readUtf16Lines(std::u16string_view text, std::vector<std::string>& out)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u'\n', start);
        if (end == std::u16string_view::npos)
            end = text.size();
        std::u16string_view line = text.substr(start, end - start);
        // A line of a Windows editor ends in CR LF: as in 8-bit text, one CR before the LF goes.
        if (!line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        out.push_back(gf_utf16ToUtf8(line));
        start = end + 1;
    }
}

std::vector<std::string>* gf_readFileLines(FileLines& record, std::size_t reserve)
{
    std::ifstream in(record.path, std::ios::binary);
    if (!in)
        return nullptr;
    record.lines.clear();
    record.lines.reserve(reserve);
    std::string line;
    while (gf_readLine(in, line))
        record.lines.push_back(line);
    return record.lines.empty() ? nullptr : &record.lines;
}

bool gf_folderHasEntries(const fs::path& folder)
{
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return false;
    return fs::directory_iterator(folder, error) != fs::directory_iterator();
}

bool gf_readLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

void gf_readStreamLines(std::istream& in, std::list<std::string>& out)
{
    std::string line;
    while (gf_readLine(in, line))
        out.push_back(line);
}

namespace {

// A virus scanner may hold a file just written for a moment, and its rename is then refused: it
// is tried again for about a second. The log names the file the first time.
void lf_renameRetried(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    constexpr int kTries = 10;
    for (int attempt = 1;; ++attempt) {
        fs::rename(from, to, ec);
        const bool held = ec == std::errc::permission_denied || ec == std::errc::device_or_resource_busy;
        if (!held || attempt == kTries)
            return;
        if (attempt == 1)
            gf_logWarning(fmt::format("{} is held by another program, its save is tried again", gf_pathText(to)));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace

bool gf_saveFileAtomically(const fs::path& path, const std::function<bool(std::ostream&)>& write,
                           SaveDurability durability)
{
    static std::atomic<unsigned> counter{0};
    static const long processId = platform::currentProcessId(); // asked once: a save is a handful of system calls
    lf_removeStaleTemporaries(path);
    fs::path temp = path;
    temp += fmt::format(".tmp{}.{}", processId, counter.fetch_add(1));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        const bool written = write(out);
        out.close();
        // On disk before the rename: a power loss must not leave an empty file in its place.
        const bool flushed = durability == SaveDurability::Regenerable || platform::flushFileToDisk(temp);
        if (!written || !out || !flushed) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            return false;
        }
    }
    std::error_code ec;
    lf_renameRetried(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

bool gf_writeStringToFile(const std::string& text, const fs::path& path, bool newline)
{
    return gf_saveFileAtomically(path, [&](std::ostream& out) {
        out << text;
        if (newline)
            out << '\n';
        return true;
    });
}

bool gf_writeLinesToFile(const std::vector<std::string>& lines, const fs::path& path)
{
    return lf_writeLines(lines, path);
}

bool gf_writeListToFile(const std::list<std::string>& lines, const fs::path& path)
{
    return lf_writeLines(lines, path);
}

void gf_backupFile(const fs::path& path)
{
    const std::string text = path.string();
    const std::size_t dot = text.rfind('.');
    if (dot == std::string::npos)
        return;
    const fs::path generation0 = text.substr(0, dot) + "0" + text.substr(dot);
    const fs::path generation00 = text.substr(0, dot) + "00" + text.substr(dot);
    if (fs::exists(generation0))
        lf_copyFileAtomically(generation0, generation00);
    if (fs::exists(path))
        lf_copyFileAtomically(path, generation0);
}

void gf_listFilesByExtension(std::vector<fs::path>& out, const fs::path& folder, std::string_view extension)
{
    try {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file() && gf_equalsUpper(extension, entry.path().extension().string()))
                out.push_back(entry.path());
        }
    } catch (const std::exception& e) {
        gf_log(e.what());
    }
}

void gf_removeFileIfExists(const fs::path& path)
{
    if (fs::exists(path))
        fs::remove(path);
}

void gf_removeFilesInFolder(const fs::path& folder)
{
    try {
        if (!fs::exists(folder) || !fs::is_directory(folder))
            return;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (fs::exists(entry.path()) && !fs::remove(entry.path()))
                gf_log(folder.string() + " could not be removed");
        }
    } catch (const std::exception& e) {
        throw qmx::UserErrorException(5, e.what());
    }
}
