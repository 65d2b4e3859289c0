// The Unix-domain socket that stands in for the simulator's pipe on Linux is a file: it goes
// with the stand-in.

#include "fakesim.h"
#include "raw_link.h"
#include "test_helpers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace fakesim_test {
namespace {

TEST(FakesimUnixSocket, TheSocketFileGoesWithTheStandIn)
{
    testsupport::TempFolder folder;
    auto config = quickConfig(folder.path());
    config.pipePath = testPipe(folder.path());
    {
        fakesim::FakeSim sim(config);
        EXPECT_TRUE(std::filesystem::is_socket(config.pipePath));
    }
    EXPECT_FALSE(std::filesystem::exists(config.pipePath));
}

} // namespace
} // namespace fakesim_test
