#include "core/log.h"
#include "core/text.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <vector>

using Fields = std::vector<std::string>;

TEST(Text, SplittingTrimsFieldsAndDropsOnlyTheTrailingSeparator)
{
    struct Case {
        const char* text;
        Fields expected;
    };
    const std::vector<Case> cases{
        {" a , b ,,", {"a", "b", ""}},
        {"", {}},
        {",", {""}},
        {"a,,b", {"a", "", "b"}},
        {"\tKLAX\r", {"KLAX"}},
        {"a, b ,c", {"a", "b", "c"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gf_splitAtComma(c.text), c.expected) << '"' << c.text << '"';
        std::string semicolons = c.text;
        std::replace(semicolons.begin(), semicolons.end(), ',', ';');
        EXPECT_EQ(gf_splitAtSemicolon(semicolons), c.expected) << '"' << semicolons << '"';
        const auto list = gf_splitAtCommaList(c.text);
        EXPECT_EQ(Fields(list.begin(), list.end()), c.expected);
    }
}

TEST(Text, TrimAndTrimInPlace)
{
    EXPECT_EQ(gf_trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(gf_trim(" \t\r\n"), "");
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {" DLH , BAW ", "DLH,BAW"},
        {"DLH,BAW,", "DLH,BAW,"}, // no trim character: unchanged
        {"DLH, BAW,", "DLH,BAW"},
        {" ", ""},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        gf_trimInPlace(text);
        EXPECT_EQ(text, c.expected) << '"' << c.text << '"';
    }
}

TEST(Text, NameTestsAndPathElement)
{
    EXPECT_TRUE(gf_equalsUpper(".XML", ".xml"));
    EXPECT_TRUE(gf_equalsUpper(".XML", ".XmL"));
    EXPECT_FALSE(gf_equalsUpper(".xml", ".xml")) << "the first text is compared unchanged";
    EXPECT_FALSE(gf_equalsUpper(".XML", ".xm"));
    EXPECT_TRUE(gf_isStarredName("B738", "B738*"));
    EXPECT_FALSE(gf_isStarredName("B738", "B738"));
    EXPECT_FALSE(gf_isStarredName("B738", "B739*"));

    EXPECT_EQ(gf_extractPathElement("<Path>Airports\\LEAB</Path>"), "Airports\\LEAB");
    EXPECT_EQ(gf_extractPathElement("  <Path></Path>"), "");
    EXPECT_EQ(gf_extractPathElement("<Path>no end"), "");
    EXPECT_EQ(gf_extractPathElement("no start</Path>"), "");
    EXPECT_EQ(gf_extractPathElement("</Path>x<Path>rest of the line"), "") << "closing tag before the opening one";
}

TEST(Text, SlotListsAndPositions)
{
    testsupport::TempFolder folder(true);
    gf_openLog();
    SlotSet slots = lf_hours2bitset("0,47");
    EXPECT_TRUE(slots.test(0));
    EXPECT_TRUE(slots.test(47));
    EXPECT_EQ(slots.count(), 2u);

    slots = lf_hours2bitset("3, 5,48,7");
    EXPECT_EQ(gf_bitset2hours(slots), "3,5") << "reading ends at the slot out of range";
    EXPECT_EQ(gf_bitset2hours(lf_hours2bitset("x")), "");
    gf_closeLog();
    const std::string log = testsupport::readTextFile("Log.txt");
    EXPECT_NE(log.find("===> exception "), std::string::npos);
    EXPECT_NE(log.find(" in lf_hours2bitset\n"), std::string::npos);

    SlotSet set;
    set.set(3).set(10);
    EXPECT_EQ(gf_bitset2hours(set), "3,10");
    EXPECT_EQ(gf_bitset2hours(SlotSet()), "");

    std::string text;
    gf_formatLatLon({33.9425, -118.408}, text);
    EXPECT_EQ(text, "33.942500,-118.408000");
}
