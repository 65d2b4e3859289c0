#pragma once
// Read-only access to zip archives (the downloaded data base, registration codes, installer and
// airport archives) over libzip. One archive object serves one thread at a time; its entries
// are valid while it stays open.

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

struct zip;

class ZipArchive;

class ZipEntry {
public:
    const std::string& getName() const { return name_; }
    std::uint64_t getSize() const { return size_; }
    std::uint64_t getIndex() const { return index_; }
    bool isDirectory() const { return !name_.empty() && name_.back() == '/'; }
    bool isFile() const { return !isDirectory(); }

    // The whole content; empty when it cannot be read.
    std::string readAsText() const;
    // Copies the content into `out` in blocks of `chunkSize` bytes. 0 on success, else the
    // libzip error code of the failure (-1 when `out` refused the bytes or the archive is closed).
    int readContent(std::ostream& out, std::size_t chunkSize = 524288) const;

private:
    friend class ZipArchive;
    ZipEntry(const ZipArchive* archive, std::string name, std::uint64_t index, std::uint64_t size)
        : archive_(archive), name_(std::move(name)), index_(index), size_(size)
    {
    }

    const ZipArchive* archive_;
    std::string name_;
    std::uint64_t index_;
    std::uint64_t size_;
};

class ZipArchive {
public:
    enum OpenMode { ReadOnly };

    explicit ZipArchive(std::filesystem::path path) : path_(std::move(path)) {}
    ~ZipArchive() { close(); }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // True when the file is a readable, consistent zip archive.
    bool open(OpenMode mode = ReadOnly);
    bool isOpen() const { return archive_ != nullptr; }
    // The entries in archive order; none while closed.
    std::vector<ZipEntry> getEntries() const;
    void close();
    const std::filesystem::path& getPath() const { return path_; }
    // libzip's error code of the last failed open; 0 when none failed.
    int openError() const { return openError_; }

private:
    friend class ZipEntry;
    std::filesystem::path path_;
    zip* archive_ = nullptr;
    int openError_ = 0;
};
