// The single-instance guard.

#include "platform/single_instance.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

TEST(SingleInstance, OnlyTheFirstHolderOfANameGetsIt)
{
    testsupport::TempFolder runtime;
    testsupport::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().string());
    EXPECT_EQ(gf_singleInstanceLockFile("Local\\$Guard$"), runtime.path() / "Local_$Guard$.lock");
    EXPECT_TRUE(gf_acquireSingleInstance("Local\\$Guard$"));
    EXPECT_FALSE(gf_acquireSingleInstance("Local\\$Guard$")) << "held for the life of the process";
    EXPECT_TRUE(gf_acquireSingleInstance("Local\\$Other$")) << "another name is another guard";
}

} // namespace
