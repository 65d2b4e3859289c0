#include "app/message_line.h"
#include "core/exceptions.h"
#include "run/simulator_detection.h"
#include "support/params_fixture.h"
#include "support/scratch_registry.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class SimulatorDetection : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        gf_clearError();
    }
    // The registry holds the keys of the given simulator versions, each installed in the test's
    // folder (SetupPath ends in a separator, as the simulator's installer writes it).
    void installSimulators(std::initializer_list<int> versions, bool withPath = true)
    {
        registry.clear();
        for (int version : versions) {
            const std::string key = "Software\\Lockheed Martin\\Prepar3D v" + std::to_string(version);
            if (withPath)
                registry.setString(platform::RegRoot::LocalMachine, key, "SetupPath", setupPath(version).string() + "\\");
            else
                registry.setString(platform::RegRoot::LocalMachine, key, "Other", "x");
        }
    }
    fs::path setupPath(int version) const { return folder.path() / ("P3D v" + std::to_string(version)); }
    std::string expectUserError(std::uint32_t code)
    {
        try {
            lf_detectP3D();
        } catch (const qmx::UserErrorException& e) {
            EXPECT_EQ(std::string(e.what()).rfind(std::to_string(code) + ": ", 0), 0u) << e.what();
            return e.what();
        }
        ADD_FAILURE() << "no user error " << code;
        return {};
    }
    testsupport::ScratchRegistry registry{folder.path() / "wine"};
};

} // namespace

TEST_F(SimulatorDetection, OneVersionFillsTheInstallPathFromTheRegistry)
{
    installSimulators({6});
    ASSERT_NO_THROW(lf_detectP3D());
    const std::string path = setupPath(6).string();
    EXPECT_EQ(SIM_INSTALL_PATH.getValue(), path);
    EXPECT_EQ(ALL_INSTALL_PATH.getValue(), path);
    EXPECT_NE(logText().find("\nP3Dv6detected\n"), std::string::npos);
    EXPECT_EQ(gf_p3dVersionFromPath(), "6");
}

TEST_F(SimulatorDetection, UserErrorsOfTheDetection)
{
    installSimulators({5, 6});
    EXPECT_EQ(expectUserError(153),
              "153: More than one P3D version detected, type full Install Path to wanted version above and press Enter");

    installSimulators({5}, false);
    EXPECT_EQ(expectUserError(151), "151: No P3D install path detected, type full Install Path above, and press Enter");

    installSimulators({});
    ALL_INSTALL_PATH.value = std::string("old");
    expectUserError(151);
    EXPECT_EQ(ALL_INSTALL_PATH.getValue(), "");
    EXPECT_NE(logText().find("\nP3D not detected?\n"), std::string::npos);

    lfolder3.value = std::string("/home/user/my liveries");
    EXPECT_NO_THROW(lf_detectP3D()) << "the user's own folders are scanned instead";
}

TEST_F(SimulatorDetection, MajorVersionFromThePathOrTheHiddenParameter)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Lockheed Martin\\Prepar3D v5", "5"},
        {"D:\\P3Dv6", "6"},
        {"C:\\P3D v6\\old v5 backup", "5"}, // v5 is searched first
        {"E:\\SIM V6", "6"},
    };
    for (const Case& c : cases) {
        SIM_INSTALL_PATH.value = std::string(c.path);
        EXPECT_EQ(gf_p3dVersionFromPath(), c.expected) << c.path;
    }
    SIM_INSTALL_PATH.value = std::string("C:\\Simulator");
    P3D_VERSION.value = 6;
    EXPECT_EQ(gf_p3dVersionFromPath(), "6");
    P3D_VERSION.value = 4; // only reachable by a direct store: the setting's range is 5..6
    try {
        gf_p3dVersionFromPath();
        FAIL() << "no user error";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "77: P3D install path does not contain v5 or v6? Use hidden parameter P3D_VERSION, set it at 5 or 6");
    }
}
