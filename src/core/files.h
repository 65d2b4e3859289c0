#pragma once
// File helpers: text files in four encodings, whole-file writes, backups, folder listing.
// Every write goes through a temporary file and a rename, so a crash never leaves half a file.

#include <filesystem>
#include <functional>
#include <istream>
#include <list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

// A path as UTF-8 text and back, for what is shown, logged or stored of a path. A path stays a
// path from the system to the file call: path::string() and path(std::string) go through the
// narrow code page on Windows, which turns a user name such as "Jörg" into other letters.
std::string gf_pathText(const fs::path& path);
fs::path gf_pathFromText(std::string_view utf8);

// Result of gf_detectTextEncoding.
enum TextEncoding : int {
    kEncodingPlain = 0,   // no byte-order mark: UTF-8 or plain 8-bit text
    kEncodingUtf16Le = 1, // FF FE
    kEncodingUtf16Be = 2, // FE FF
    kEncodingUtf8Bom = 3, // EF BB
    kEncodingNoFile = 5,  // cannot be opened
};

int gf_detectTextEncoding(const fs::path& path);
bool gf_readEncodedTextFile(int encoding, const fs::path& path, std::vector<std::string>& out);
// The two on one opening of the file: false when it cannot be opened (logged as
// gf_detectTextEncoding logs it) or read.
bool gf_readTextFile(const fs::path& path, std::vector<std::string>& out);
// gf_readTextFile with any exception logged as false.
bool gf_readExtTextFileToStringVector(const fs::path& path, std::vector<std::string>& out);
// Appends every line of a UTF-16 text (code units in host order) converted to UTF-8.
void lf_readUtf16Lines(std::u16string_view text, std::vector<std::string>& out);

struct FileLines {
    fs::path path;
    std::vector<std::string> lines;
};
// The record's lines, or null when the file cannot be opened or holds no line.
std::vector<std::string>* gf_readFileLines(FileLines& record, std::size_t reserve);
// Appends every line of the stream; one trailing carriage return per line is dropped.
void gf_readStreamLines(std::istream& in, std::list<std::string>& out);
bool gf_readLine(std::istream& in, std::string& line);

bool gf_writeStringToFile(const std::string& text, const fs::path& path, bool newline);
bool gf_writeLinesToFile(const std::vector<std::string>& lines, const fs::path& path);
bool gf_writeListToFile(const std::list<std::string>& lines, const fs::path& path);

// How far a save goes to outlive a power loss. User and learned data are flushed to disk before
// the rename, so that a power loss leaves the old file or the new one, never an empty one. A file
// that the program makes again from other files skips the flush: it costs more than writing the
// file. A generated airport file lost with the power is made by the next scan; an aircraft's
// flight plan lives only for the run, and its flush would stall the 10 ms pass that creates it.
enum class SaveDurability { FlushedBeforeRename, Regenerable };

// Writes a file through a temporary file beside it and a rename; false when it cannot be written.
bool gf_saveFileAtomically(const fs::path& path, const std::function<bool(std::ostream&)>& write,
                           SaveDurability durability = SaveDurability::FlushedBeforeRename);

// Log.txt: Log0.txt is copied over Log00.txt, then Log.txt over Log0.txt, each copy through a
// temporary file. Throws the file system's error when a copy fails.
void gf_backupFile(const fs::path& path);

// Regular files directly in `folder` whose extension in upper case equals `extension` (".XML").
void gf_listFilesByExtension(std::vector<fs::path>& out, const fs::path& folder, std::string_view extension);
// The folder exists and holds at least one entry; false too when it cannot be read.
bool gf_folderHasEntries(const fs::path& folder);
// Removes the file when it exists; a failure throws the file system's error "remove".
void gf_removeFileIfExists(const fs::path& path);
// Removes every entry of the folder; failures become qmx::UserErrorException 5.
void gf_removeFilesInFolder(const fs::path& folder);
