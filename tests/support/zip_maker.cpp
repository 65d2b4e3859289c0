#include "support/zip_maker.h"

#include "support/temp_folder.h"

#include <stdexcept>
#include <zip.h>

namespace testsupport {

void makeZip(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    int error = 0;
    const std::u8string fileName = path.u8string(); // libzip names are UTF-8
    zip_t* archive = zip_open(reinterpret_cast<const char*>(fileName.c_str()), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        throw std::runtime_error("zip_open failed: " + std::to_string(error));
    for (const auto& [name, content] : entries) {
        if (!name.empty() && name.back() == '/') {
            if (zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8) < 0)
                throw std::runtime_error("zip_dir_add failed");
            continue;
        }
        // libzip reads the buffer at zip_close, while `entries` still holds it.
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (source == nullptr || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0)
            throw std::runtime_error("zip_file_add failed");
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("zip_close failed");
}

void damageZipEntry(const std::filesystem::path& path, std::size_t index)
{
    std::string bytes = readFile(path);
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes.at(at))) |
               static_cast<std::size_t>(static_cast<unsigned char>(bytes.at(at + 1))) << 8;
    };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    // Walk the local headers: 30 fixed bytes, name, extra field, then the stored data.
    std::size_t header = 0;
    for (std::size_t i = 0; i < index; ++i)
        header += 30 + u16(header + 26) + u16(header + 28) + u32(header + 18);
    const std::size_t data = header + 30 + u16(header + 26) + u16(header + 28);
    if (u32(header + 18) < 3)
        throw std::runtime_error("entry too small to damage");
    bytes.at(data + 2) = static_cast<char>(bytes.at(data + 2) ^ 0x55);
    writeFile(path, bytes);
}

} // namespace testsupport
