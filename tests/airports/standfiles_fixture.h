#pragma once
// A working folder with the airports folders, a download server in a folder of the test's own,
// every setting at its default, and the airports' tables and park-airport state empty.

#include "support/params_fixture.h"

#include <filesystem>
#include <string>

namespace airportstest {

class StandFilesTest : public paramstest::ParamsTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The server folder below which "P3D/<serverPath>" is served.
    std::filesystem::path serverFile(const std::string& serverPath) const;
    void putOnServer(const std::string& serverPath, const std::string& text) const;
    static void clearAirportsState();

    testsupport::ScopedEnv base{"ORVANTA_DOWNLOAD_BASE", "file://" + (folder.path() / "server").string() + "/"};
};

// A complete airport file: meta block, the given parameters body and parkpositions body.
std::string apfText(const std::string& parameters, const std::string& parkpositions);
std::string parameterXml(const std::string& name, const std::string& value);

} // namespace airportstest
