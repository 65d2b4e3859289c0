// LiveriesScanned.xml: written in livery order and read back sorted, without claiming titles.

#include "core/exceptions.h"
#include "liveries/scanned_liveries_file.h"
#include "scan_test_fixture.h"

#include <pugixml.hpp>

namespace {

using scantest::ScanTest;

qmx::LiveryData livery(const char* airline, const char* model, const char* title, const char* atcid, bool cargo)
{
    qmx::LiveryData l;
    l.airline = airline, l.model = model, l.title = title, l.atcid = atcid, l.cargo = cargo, l.priority = 3;
    return l;
}

int userErrorCode(const qmx::UserErrorException& e)
{
    return std::stoi(e.what());
}

class SavedScanTest : public ScanTest {
protected:
    void writeSaved(const std::string& body) const
    {
        testsupport::writeFile(g_liveriesScannedFile, "<?xml version=\"1.0\"?>\n" + body);
    }
    int readError() const
    {
        try {
            lf_readLiveriesScanned();
        } catch (const qmx::UserErrorException& e) {
            EXPECT_TRUE(ScannedLiveries.empty());
            return userErrorCode(e);
        }
        return 0;
    }
};

TEST_F(SavedScanTest, WritesOptionalAttributesOnlyWhenSetAndReadsBackTheSameLiveries)
{
    ScannedLiveries = {livery("", "C172", "Cessna", "", false), livery("DLH", "A320", "Airbus", "D-AIBA", true)};
    lf_writeLiveriesScanned();

    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(g_liveriesScannedFile.c_str()));
    EXPECT_STREQ(document.first_child().name(), "meta");
    std::vector<std::string> attributes;
    for (const pugi::xml_node liv : document.child("liveries").children("liv")) {
        std::string names;
        for (const pugi::xml_attribute attribute : liv.attributes())
            names += std::string(attribute.name()) + " ";
        attributes.push_back(names);
    }
    EXPECT_EQ(attributes, (std::vector<std::string>{"airl type title ", "airl type cargo title atcid "}));
    EXPECT_NE(logText().find("2 liveries in " + g_liveriesScannedFile.string()), std::string::npos);

    lf_readLiveriesScanned();
    ASSERT_EQ(ScannedLiveries.size(), 2u);
    const qmx::LiveryData& first = ScannedLiveries.front();
    EXPECT_TRUE(first.airline.empty() && first.title == "Cessna" && !first.cargo && first.priority == 0);
    const qmx::LiveryData& second = ScannedLiveries.back();
    EXPECT_TRUE(second.airline == "DLH" && second.model == "A320" && second.atcid == "D-AIBA" && second.cargo);
    EXPECT_EQ(second.priority, 0);
    EXPECT_TRUE(scannedTitles.empty());
    EXPECT_EQ(logText().find("meta data incorrect?"), std::string::npos);
}

TEST_F(SavedScanTest, AnEmptyListWritesNoFile)
{
    lf_writeLiveriesScanned();
    EXPECT_FALSE(std::filesystem::exists(g_liveriesScannedFile));
}

TEST_F(SavedScanTest, HandEditedFileIsReadLeniently)
{
    writeSaved(R"(<liveries>
  <liv airl="DLH" type="B738" title="z" cargo="yes"/>
  <other airl="AAA" type="B738" title="x"/>
  <liv airl="BAW" type="A320" title="b" cargo="0"/>
  <liv airl="BAW" type="A320" title="a" cargo="false" atcid="G-EUPA"/>
  <liv type="A320" title="untitled airline"/>
</liveries>)");
    lf_readLiveriesScanned();
    std::vector<std::string> keys;
    for (const qmx::LiveryData& l : ScannedLiveries)
        keys.push_back(l.airline + "/" + l.title + "/" + (l.cargo ? "cargo" : "pax"));
    EXPECT_EQ(keys, (std::vector<std::string>{"/untitled airline/pax", "BAW/a/pax", "BAW/b/pax", "DLH/z/cargo"}));
    EXPECT_NE(logText().find("meta data incorrect?"), std::string::npos);
    EXPECT_NE(logText().find("4 liveries read from"), std::string::npos);
}

TEST_F(SavedScanTest, UnusableFilesRaiseTheirUserErrors)
{
    ScannedLiveries = {livery("DLH", "A320", "stale", "", false)};
    EXPECT_EQ(readError(), 51); // missing
    writeSaved("<liveries><liv");
    EXPECT_EQ(readError(), 51); // not well-formed
    writeSaved("<root><liveries><liv airl=\"A\" type=\"B\" title=\"C\"/></liveries></root>");
    EXPECT_EQ(readError(), 52);
    writeSaved("<liveries><livery airl=\"A\" type=\"B\" title=\"C\"/></liveries>");
    EXPECT_EQ(readError(), 533);
}

} // namespace
