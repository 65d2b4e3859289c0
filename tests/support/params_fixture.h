#pragma once
// A working folder and a per-user data folder of the test's own, every setting back at its
// default, and the log open in the working folder so that tests can read what was logged.

#include "core/files.h"
#include "core/log.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameters.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>

namespace paramstest {

void resetAllParameters();

class ParamsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path parametersFile() const { return gf_pathFromText(g_parametersFile); }
    std::string logText() const;
    // Writes parameters.xml from the body of its `parameters` element.
    void writeParameters(const std::string& body) const;

    testsupport::TempFolder folder{true};
    testsupport::ScopedAppDataFolder config{folder.path() / "config"};
    MemoryControlPort port;
};

} // namespace paramstest
