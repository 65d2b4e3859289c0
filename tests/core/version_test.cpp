#include "core/version.h"

#include <gtest/gtest.h>

TEST(Version, ParsingTextsAndJson)
{
    struct Case {
        const char* text;
        ProgramVersion expected;
    };
    const Case cases[] = {
        {"10.9.8", {10, 9, 8}},
        {"10-9-8", {10, 9, 8}}, // any one character separates the numbers
        {"12345", {1, 3, 5}},   // digits separate too, each number as long as the rest allows
        {"1\n2.3", {0, 0, 0}},  // but no line end
        {"1.2.3.4", {0, 0, 0}},
        {R"({"major":10,"minor":9,"patch":9})", {10, 9, 9}},
        {R"({"major":11,"minor":"x","patch":1})", {11, 0, 0}}, // fields before the failure stay
        {"", {0, 0, 0}},
        {"garbage", {0, 0, 0}},
        {"10.9", {0, 0, 0}},
        {"4294967296.1.1", {0, 0, 0}}, // out of the 32-bit range
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_parseVersion(c.text), c.expected) << c.text;
}

TEST(Version, RunningVersionAndOrdering)
{
    EXPECT_EQ(g_programVersion, (ProgramVersion{10, 9, 8}));
    EXPECT_EQ(gf_versionText(g_programVersion), "10.9.8");
    EXPECT_LT(g_programVersion, gf_parseVersion("10.10.0"));
    EXPECT_LT(gf_parseVersion("10.99.99"), gf_parseVersion("11.0.0"));
    EXPECT_FALSE(g_programVersion < gf_parseVersion("10.9.8"));
}
