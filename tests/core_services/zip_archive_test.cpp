// Reading zip archives: one entry, several entries, folder entries and damaged archives.

#include "core/zip_archive.h"
#include "support/temp_folder.h"
#include "support/zip_maker.h"

#include <gtest/gtest.h>
#include <sstream>
#include <zip.h>

namespace {

void lf_makeZip(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    ASSERT_NO_THROW(testsupport::makeZip(path, entries));
}

class ZipTest : public ::testing::Test {
protected:
    testsupport::TempFolder folder;
};

TEST_F(ZipTest, OneEntryReadsAsText)
{
    const auto path = folder / "dbase.zip";
    const std::string text = "<aircrafts>\n<aircraft types=\"~ezME2\"/>\n</aircrafts>\n";
    lf_makeZip(path, {{"temp2.xml", text}});
    ZipArchive archive(path);
    ASSERT_TRUE(archive.open(ZipArchive::ReadOnly));
    const std::vector<ZipEntry> entries = archive.getEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].getName(), "temp2.xml");
    EXPECT_EQ(entries[0].getSize(), text.size());
    EXPECT_TRUE(entries[0].isFile());
    EXPECT_EQ(entries[0].readAsText(), text);
    archive.close();
    EXPECT_FALSE(archive.isOpen());
    EXPECT_TRUE(archive.getEntries().empty());
}

TEST_F(ZipTest, SeveralEntriesInArchiveOrderAndInChunks)
{
    const auto path = folder / "several.zip";
    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += static_cast<char>('a' + i % 26);
    lf_makeZip(path, {{"first.txt", "one"}, {"folder/", ""}, {"folder/big.bin", big}, {"empty.txt", ""}});
    ZipArchive archive(path);
    ASSERT_TRUE(archive.open());
    const std::vector<ZipEntry> entries = archive.getEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].getName(), "first.txt");
    EXPECT_EQ(entries[1].getName(), "folder/");
    EXPECT_TRUE(entries[1].isDirectory());
    EXPECT_FALSE(entries[1].isFile());
    EXPECT_EQ(entries[1].readAsText(), "");
    EXPECT_FALSE(entries[2].isDirectory());

    std::ostringstream out;
    EXPECT_EQ(entries[2].readContent(out, 4096), 0);
    EXPECT_EQ(out.str(), big);
    EXPECT_EQ(entries[3].readAsText(), "");
    EXPECT_EQ(entries[0].readAsText(), "one");
}

TEST_F(ZipTest, DamagedOrMissingArchivesDoNotOpen)
{
    const auto garbage = folder / "garbage.zip";
    testsupport::writeFile(garbage, "this is no zip archive at all");
    ZipArchive notZip(garbage);
    EXPECT_FALSE(notZip.open());
    EXPECT_NE(notZip.openError(), 0);
    EXPECT_TRUE(notZip.getEntries().empty());

    const auto good = folder / "good.zip";
    lf_makeZip(good, {{"a.txt", std::string(5000, 'x')}, {"b.txt", "bbb"}});
    const std::string bytes = testsupport::readFile(good);
    const auto truncated = folder / "truncated.zip";
    testsupport::writeFile(truncated, bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(ZipArchive(truncated).open());

    EXPECT_FALSE(ZipArchive(folder / "missing.zip").open());
}

TEST_F(ZipTest, DamagedEntryDataReportsAnError)
{
    const auto good = folder / "crc.zip";
    const std::string content(2000, 'q');
    lf_makeZip(good, {{"data.txt", content}});
    testsupport::damageZipEntry(good, 0);
    ZipArchive archive(good);
    ASSERT_TRUE(archive.open());
    const std::vector<ZipEntry> entries = archive.getEntries();
    ASSERT_EQ(entries.size(), 1u);
    std::ostringstream out;
    EXPECT_NE(entries[0].readContent(out), 0);
    EXPECT_EQ(entries[0].readAsText(), "");
}

} // namespace
