#include "core/zip_archive.h"

#include <memory>
#include <sstream>
#include <zip.h>

namespace {

struct EntryCloser {
    void operator()(zip_file_t* file) const noexcept { zip_fclose(file); }
};

int lf_lastError(zip_t* archive)
{
    const int code = zip_error_code_zip(zip_get_error(archive));
    return code != 0 ? code : -1;
}

} // namespace

bool ZipArchive::open(OpenMode)
{
    close();
    int error = 0;
    // ZIP_CHECKCONS rejects archives whose directory and local headers disagree: a truncated or
    // damaged download fails here instead of while an entry is read.
    // libzip takes UTF-8 names on every system; its Windows build opens them as UTF-16.
    const std::u8string name = path_.u8string();
    archive_ = zip_open(reinterpret_cast<const char*>(name.c_str()), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    openError_ = archive_ == nullptr ? error : 0;
    return archive_ != nullptr;
}

void ZipArchive::close()
{
    if (archive_ != nullptr) {
        // Read-only: nothing to write back.
        zip_discard(archive_);
        archive_ = nullptr;
    }
}

std::vector<ZipEntry> ZipArchive::getEntries() const
{
    std::vector<ZipEntry> entries;
    if (archive_ == nullptr)
        return entries;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &stat) != 0 || stat.name == nullptr)
            continue;
        const std::uint64_t size = (stat.valid & ZIP_STAT_SIZE) != 0 ? stat.size : 0;
        entries.push_back(ZipEntry(this, stat.name, static_cast<std::uint64_t>(i), size));
    }
    return entries;
}

int ZipEntry::readContent(std::ostream& out, std::size_t chunkSize) const
{
    zip_t* archive = archive_ != nullptr ? archive_->archive_ : nullptr;
    if (archive == nullptr || chunkSize == 0)
        return -1;
    std::unique_ptr<zip_file_t, EntryCloser> file(zip_fopen_index(archive, index_, 0));
    if (!file)
        return lf_lastError(archive);
    std::vector<char> buffer(chunkSize);
    for (;;) {
        const zip_int64_t read = zip_fread(file.get(), buffer.data(), buffer.size());
        if (read < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(file.get()));
            return code != 0 ? code : -1;
        }
        if (read == 0)
            return 0;
        if (!out.write(buffer.data(), read))
            return -1;
    }
}

std::string ZipEntry::readAsText() const
{
    std::ostringstream out;
    if (readContent(out, 65536) != 0)
        return {};
    return std::move(out).str();
}
