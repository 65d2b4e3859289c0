#include "standfiles_fixture.h"

#include "airports/airport_database.h"
#include "airports/airport_file_locator.h"
#include "airports/apf_state.h"
#include "airports/generated_airport_files.h"
#include "airports/park_airport_list.h"
#include "airports/stand.h"
#include "airports/stand_file.h"
#include "liveries/dbase.h"
#include "simlink/user_stand_services.h"
#include "params/park_airport.h"

#include <fmt/format.h>

namespace airportstest {

void StandFilesTest::SetUp()
{
    ParamsTest::SetUp();
    for (const fs::path& f : {g_myThirdpartyFolder, g_myOrbxFolder, g_learnedStockFolder, g_learnedSimaddonFolder,
                              g_learnedThirdpartyFolder, g_inputFolder})
        fs::create_directories(f);
    fs::create_directories(folder.path() / "server" / "P3D" / "archive" / "stock");
    clearAirportsState();
}

void StandFilesTest::TearDown()
{
    gf_finishMyParkAirportWrites(); // none lands in the next test's folder
    clearAirportsState();
    ParamsTest::TearDown();
}

void StandFilesTest::clearAirportsState()
{
    standTable.clear();
    parkApfInfo = {};
    parkQualityFactors = ~std::uint64_t{0};
    rtTrafficWeek = 0;
    handmadeOverrule = false;
    learnedUpdateCount = 0;
    standsLoaded = false;
    gf_setParkAirport({});
    parkAirportList.clear();
    reservedStand.clear();
    gf_clearAirportTable();
    gf_forgetFailedDownloads();
    gf_forgetGeneratedAirports();
    dbaseTables.DbaseRegcodes.clear();
}

fs::path StandFilesTest::serverFile(const std::string& serverPath) const
{
    return folder.path() / "server" / "P3D" / serverPath;
}

void StandFilesTest::putOnServer(const std::string& serverPath, const std::string& text) const
{
    fs::create_directories(serverFile(serverPath).parent_path());
    testsupport::writeFile(serverFile(serverPath), text);
}

std::string parameterXml(const std::string& name, const std::string& value)
{
    return fmt::format("<parameter name=\"{}\" value=\"{}\"/>\n", name, value);
}

std::string apfText(const std::string& parameters, const std::string& parkpositions)
{
    return "<?xml version=\"1.0\"?>\n<meta><info name=\"author\" value=\"Orvanta_P3D\"/>"
           "<info name=\"version\" value=\"10.9.8\"/><info name=\"date\" value=\"Jan 01, 2026\"/>"
           "<info name=\"copyright\" value=\"x\"/></meta>\n<parameters>\n" +
           parameters + "</parameters>\n<parkpositions>\n" + parkpositions + "</parkpositions>\n";
}

} // namespace airportstest
