#include "core/exceptions.h"
#include "core/files.h"
#include "core/windows_glue.h"
#include "core/log.h"
#include "core/xml.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fmt/format.h>
#include <sstream>
#include <thread>

using testsupport::readFile;
using testsupport::readTextFile;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace {

const std::vector<std::string> kLines{"KLAX,Los Angeles", "Zürich Flughafen", "Ελλάδα ✈ 🛫", "", "last"};

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The UTF-16 bytes of a UTF-8 text in one byte order, without byte-order mark.
std::string utf16Bytes(const std::string& utf8, bool littleEndian)
{
    std::string bytes;
    for (const char16_t unit : gf_utf8ToUtf16(utf8)) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

} // namespace

TEST(Files, FourEncodingsReadIntoTheSameLines)
{
    TempFolder folder;
    writeFile(folder / "utf8.txt", joined(kLines));
    writeFile(folder / "utf8bom.txt", "\xEF\xBB\xBF" + joined(kLines));
    writeFile(folder / "utf16le.txt", "\xFF\xFE" + utf16Bytes(joined(kLines), true));
    writeFile(folder / "utf16be.txt", "\xFE\xFF" + utf16Bytes(joined(kLines), false));

    const std::pair<const char*, int> files[] = {
        {"utf8.txt", kEncodingPlain}, {"utf8bom.txt", kEncodingUtf8Bom},
        {"utf16le.txt", kEncodingUtf16Le}, {"utf16be.txt", kEncodingUtf16Be}};
    for (const auto& [name, encoding] : files) {
        EXPECT_EQ(gf_detectTextEncoding(folder / name), encoding) << name;
        std::vector<std::string> lines;
        ASSERT_TRUE(gf_readExtTextFileToStringVector(folder / name, lines)) << name;
        EXPECT_EQ(lines, kLines) << name;
    }
}

TEST(Files, EncodingOfShortAndMissingFiles)
{
    TempFolder folder(true);
    gf_openLog();
    writeFile(folder / "one.txt", "\xFF");
    writeFile(folder / "empty.txt", "");
    EXPECT_EQ(gf_detectTextEncoding(folder / "one.txt"), kEncodingPlain);
    EXPECT_EQ(gf_detectTextEncoding(folder / "empty.txt"), kEncodingPlain);
    std::vector<std::string> lines;
    EXPECT_TRUE(gf_readExtTextFileToStringVector(folder / "empty.txt", lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(gf_detectTextEncoding(folder / "missing.txt"), kEncodingNoFile);
    EXPECT_FALSE(gf_readExtTextFileToStringVector(folder / "missing.txt", lines));
    gf_closeLog();
    EXPECT_NE(readTextFile("Log.txt").find("cannot open file " + (folder / "missing.txt").string() +
                                       " for character encoding, err: 2\n"),
              std::string::npos);
}

TEST(Files, WindowsLineEndsReadLikeUnixOnesAndUtf16LoneSurrogateFails)
{
    TempFolder folder(true);
    gf_openLog();
    writeFile(folder / "crlf.txt", "a\r\nb\r\n");
    std::vector<std::string> lines;
    ASSERT_TRUE(gf_readExtTextFileToStringVector(folder / "crlf.txt", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));

    // "ok\n" then a lone high surrogate: the line before the error stays, the read fails.
    writeFile(folder / "bad16.txt", std::string("\xFF\xFEo\0k\0\n\0\x00\xD8x\0\n\0", 14));
    lines.clear();
    EXPECT_FALSE(gf_readExtTextFileToStringVector(folder / "bad16.txt", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"ok"}));
    gf_closeLog();
    EXPECT_NE(readTextFile("Log.txt").find("\nconversion from error from utf16 to utf8, code: 1113\n"), std::string::npos);
}

TEST(Files, WritesAreWholeFilesAndLeaveNoTemporaries)
{
    TempFolder folder;
    EXPECT_TRUE(gf_writeStringToFile("text", folder / "a.txt", true));
    EXPECT_EQ(readFile(folder / "a.txt"), "text\n");
    EXPECT_TRUE(gf_writeStringToFile("replaced", folder / "a.txt", false));
    EXPECT_EQ(readFile(folder / "a.txt"), "replaced");
    EXPECT_TRUE(gf_writeLinesToFile({"x", "y"}, folder / "b.txt"));
    EXPECT_EQ(readFile(folder / "b.txt"), "x\ny\n");
    EXPECT_TRUE(gf_writeListToFile({"z"}, folder / "c.txt"));
    EXPECT_EQ(readFile(folder / "c.txt"), "z\n");
    EXPECT_FALSE(gf_writeStringToFile("x", folder / "no" / "such" / "folder.txt", false));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);

    FileLines record{folder / "b.txt", {}};
    const auto* lines = gf_readFileLines(record, 512);
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(*lines, (std::vector<std::string>{"x", "y"}));
    FileLines missing{folder / "missing.txt", {}};
    EXPECT_EQ(gf_readFileLines(missing, 8), nullptr);
}

TEST(Files, BackupKeepsTwoGenerations)
{
    TempFolder folder;
    gf_backupFile(folder / "noext");
    EXPECT_TRUE(fs::is_empty(folder.path()));

    writeFile(folder / "Log.txt", "1");
    gf_backupFile(folder / "Log.txt");
    EXPECT_EQ(readFile(folder / "Log0.txt"), "1");
    EXPECT_FALSE(fs::exists(folder / "Log00.txt"));
    writeFile(folder / "Log.txt", "2");
    gf_backupFile(folder / "Log.txt");
    EXPECT_EQ(readFile(folder / "Log0.txt"), "2");
    EXPECT_EQ(readFile(folder / "Log00.txt"), "1");

    // A generation is replaced, never written into: a link to the old one keeps its text.
    fs::create_hard_link(folder / "Log0.txt", folder / "link.txt");
    writeFile(folder / "Log.txt", "3");
    gf_backupFile(folder / "Log.txt");
    EXPECT_EQ(readFile(folder / "Log0.txt"), "3");
    EXPECT_EQ(readFile(folder / "Log00.txt"), "2");
    EXPECT_EQ(readFile(folder / "link.txt"), "2");
}

TEST(Files, ListingAndRemovingFolderEntries)
{
    TempFolder folder(true);
    writeFile(folder / "d" / "a.xml", "");
    writeFile(folder / "d" / "b.XML", "");
    writeFile(folder / "d" / "c.txt", "");
    fs::create_directories(folder / "d" / "sub.xml");
    std::vector<fs::path> found;
    gf_listFilesByExtension(found, folder / "d", ".XML");
    std::sort(found.begin(), found.end());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].filename(), "a.xml");
    EXPECT_EQ(found[1].filename(), "b.XML");

    gf_openLog();
    found.clear();
    gf_listFilesByExtension(found, folder / "missing", ".XML"); // logged, not thrown
    EXPECT_TRUE(found.empty());

    fs::remove(folder / "d" / "sub.xml");
    gf_removeFilesInFolder(folder / "d");
    EXPECT_TRUE(fs::is_empty(folder / "d"));
    gf_removeFilesInFolder(folder / "missing"); // nothing to do

    writeFile(folder / "e" / "sub" / "file", "");
    try {
        gf_removeFilesInFolder(folder / "e"); // a folder that is not empty cannot be removed
        FAIL() << "no exception";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("5: ", 0), 0u) << e.what();
    }
    gf_closeLog();
}

TEST(Files, XmlSavingAndAttributes)
{
    TempFolder folder(true);
    gf_openLog();
    pugi::xml_document document;
    pugi::xml_node stand = document.append_child("stand");
    stand.append_attribute("name") = "A1";
    stand.append_attribute("lat") = "33.9425xyz";
    ASSERT_TRUE(gf_saveXml(document, folder / "s.xml"));
    EXPECT_FALSE(gf_saveXml(document, folder / "missing" / "s.xml"));
    gf_closeLog();
    const std::string log = readTextFile("Log.txt");
    EXPECT_NE(log.find("\"" + (folder / "s.xml").string() + "\" saved\n"), std::string::npos);
    EXPECT_NE(log.find("could not save to \"" + (folder / "missing" / "s.xml").string() + "\"\n"), std::string::npos);

    pugi::xml_document loaded;
    ASSERT_TRUE(loaded.load_file((folder / "s.xml").c_str()));
    const pugi::xml_node node = loaded.child("stand");
    EXPECT_EQ(gf_getAttributeText(node, "name"), "A1");
    EXPECT_EQ(gf_getAttributeText(node, "none"), "");
    EXPECT_EQ(gf_getAttributeText(pugi::xml_node(), "name"), "");
    EXPECT_DOUBLE_EQ(gf_xmlAttributeAsDouble(node, "lat"), 33.9425);
    EXPECT_DOUBLE_EQ(gf_xmlAttributeAsDouble(node, "lon"), 0.0);
    EXPECT_DOUBLE_EQ(gf_xmlAttributeAsDouble(pugi::xml_node(), "lat"), 0.0);

    // Numbers that are no position count as missing.
    const std::pair<const char*, double> values[] = {
        {"nan", 0.0}, {"-inf", 0.0}, {"infinity", 0.0}, {"1e999", 0.0}, {"0x1p3", 0.0},
        {" +2.5", 2.5}, {"-118.408", -118.408}, {"1e2", 100.0}};
    for (const auto& [text, expected] : values) {
        stand.attribute("lat") = text;
        EXPECT_DOUBLE_EQ(gf_xmlAttributeAsDouble(stand, "lat"), expected) << text;
    }
}

// Generated files are written as text without a document; the text is what the library saves.
TEST(Files, XmlTextIsWhatTheLibrarySaves)
{
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += static_cast<char>(c);
    const std::string cut = std::string("before") + '\0' + "after";
    pugi::xml_document document;
    XmlTextWriter text;
    pugi::xml_node outer = document.append_child("outer");
    text.start("outer");
    for (const std::string& value : {everyByte, cut, std::string()}) {
        outer.append_child("inner").append_attribute("value") = value.c_str();
        text.start("inner");
        text.attribute("value", value);
        text.end();
    }
    text.end();
    document.append_child("empty").append_attribute("a") = "b";
    text.start("empty");
    text.attribute("a", "b");
    text.end();
    std::ostringstream saved;
    document.save(saved);
    EXPECT_EQ(text.text(), saved.str());
}
