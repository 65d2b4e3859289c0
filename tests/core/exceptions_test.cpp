#include "core/exceptions.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Exceptions, ProgramExceptionTextsCarryTheirCode)
{
    struct Case {
        std::runtime_error error;
        const char* expected;
    };
    const Case cases[] = {
        {qmx::UserErrorException(41, "m"), "41: m"},
        {qmx::UserErrorException(99, "New version available"), "New version available"},
        {qmx::UserErrorException(0, "m"), "0: m"},
        {qmx::UserErrorException(5, "walk failed"), "5: walk failed"},
        {qmx::SysErrorException(40, "Failed to write file Log.txt"), "sys error 40: Failed to write file Log.txt"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.error.what(), c.expected);
}

TEST(Exceptions, GlueExceptionsKeepTheirCodes)
{
    try {
        throw win32::Utf8ConversionException("Invalid UTF-8 sequence found in input string.", 1113, 0);
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid UTF-8 sequence found in input string.");
        const auto* conversion = dynamic_cast<const win32::Utf8ConversionException*>(&e);
        ASSERT_NE(conversion, nullptr);
        EXPECT_EQ(conversion->errorCode(), 1113u);
        EXPECT_EQ(conversion->direction(), 0u);
    }

    const winreg::RegException reg(2, "RegOpenKeyExW failed.");
    const std::string text = reg.what();
    EXPECT_EQ(text.rfind("RegOpenKeyExW failed.: ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::strlen("RegOpenKeyExW failed.: "));
    EXPECT_EQ(reg.code().value(), 2);

    EXPECT_STREQ(gf_makeLengthOverflowError().what(),
                 "Input string too long: size_t-length doesn't fit into int.");
}
