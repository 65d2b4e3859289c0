// The meta block of generated XML files: written, read back and checked.

#include "core/log.h"
#include "params/xml_meta.h"
#include "params/parameters.h"
#include "support/temp_folder.h"

#include <cctype>
#include <gtest/gtest.h>
#include <sstream>

namespace {

class MetaTest : public ::testing::Test {
protected:
    void SetUp() override { gf_openLog(); }
    void TearDown() override
    {
        gf_closeLog();
        for (StringParameter* p : {&META_AUTHOR, &META_DATE, &META_VERSION})
            p->value = p->defaultValue;
    }
    std::string log() const { return testsupport::readTextFile(folder.path() / "Log.txt"); }
    static std::size_t count(const std::string& text, const std::string& part)
    {
        std::size_t n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }

    testsupport::TempFolder folder{true};
};

TEST_F(MetaTest, WrittenBlockPassesTheCheck)
{
    pugi::xml_document document;
    ASSERT_TRUE(gf_addMetaBlock(document));
    document.append_child("parkpositions");
    std::ostringstream out;
    document.save(out);

    pugi::xml_document reread;
    ASSERT_TRUE(reread.load_string(out.str().c_str()));
    EXPECT_STREQ(reread.first_child().name(), "meta");
    std::vector<std::string> names;
    for (const pugi::xml_node info : reread.child("meta").children("info")) {
        names.emplace_back(info.attribute("name").value());
        EXPECT_STREQ(info.first_attribute().name(), "name");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"author", "version", "date", "copyright"}));

    ASSERT_TRUE(gf_checkMetaBlock(reread));
    EXPECT_EQ(META_AUTHOR.getValue(), "Orvanta_P3D");
    EXPECT_EQ(META_VERSION.getValue(), "10.9.8");
    // "Mmm dd, yyyy", a day below 10 padded with a blank.
    const std::string date = META_DATE.getValue();
    ASSERT_EQ(date.size(), 12u) << date;
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(date[0])) && date[3] == ' ' && date[6] == ',') << date;
    EXPECT_TRUE((date[4] == ' ' || std::isdigit(static_cast<unsigned char>(date[4]))) &&
                std::isdigit(static_cast<unsigned char>(date[5])) && std::isdigit(static_cast<unsigned char>(date[11])))
        << date;
    EXPECT_STREQ(reread.select_node(gf_metaInfoQuery("copyright").c_str()).node().attribute("value").value(),
                 META_COPYRIGHT.defaultValue.c_str());
    EXPECT_EQ(log().find("meta data incorrect?"), std::string::npos);

    // Written as text, the block is the same.
    XmlTextWriter text;
    gf_writeMetaBlock(text);
    text.start("parkpositions");
    text.end();
    EXPECT_EQ(text.text(), out.str());
}

TEST_F(MetaTest, CheckWantsAuthorDateAndVersionAtTheTop)
{
    struct Case {
        const char* xml;
        bool accepted;
    };
    const Case cases[] = {
        {R"(<meta><info name="author" value=""/><info name="date" value=""/><info name="version" value=""/></meta>)", true},
        {R"(<meta><info name="version" value="1.0.0"/><info name="date" value="x"/><info name="author" value="y"/></meta>)", true},
        {R"(<meta><info name="author" value="a"/><info name="version" value="1.0.0"/></meta>)", false},
        {R"(<airport><meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta></airport>)", false},
        {R"(<liveries/>)", false},
    };
    std::size_t rejected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(c.xml));
        EXPECT_EQ(gf_checkMetaBlock(document), c.accepted);
        rejected += c.accepted ? 0 : 1;
    }
    EXPECT_EQ(count(log(), "===> meta data incorrect?\n"), rejected);
}

TEST_F(MetaTest, OnlyDocumentsAndElementsTakeABlock)
{
    pugi::xml_document document;
    pugi::xml_node element = document.append_child("apf");
    pugi::xml_node text = element.append_child(pugi::node_pcdata);
    EXPECT_FALSE(gf_addMetaBlock(text));
    EXPECT_FALSE(gf_addMetaBlock(pugi::xml_node()));
    EXPECT_TRUE(gf_addMetaBlock(element));
    EXPECT_EQ(element.last_child().name(), std::string("meta"));
    EXPECT_EQ(std::distance(element.child("meta").children("info").begin(), element.child("meta").children("info").end()), 4);
}

} // namespace
