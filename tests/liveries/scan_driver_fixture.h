#pragma once
// The fixture of the livery scan driver's tests.

#include "run/exit.h"
#include "tables_test_fixture.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

class ScanDriverTest : public tablestest::TablesTest {
protected:
    void SetUp() override
    {
        TablesTest::SetUp();
        gf_initScanThrottle();
        dbaseTables.IcaoAirlines = {"BAW", "DLH"};
        dbaseTables.LargeModels = {"A320", "B738"};
        dbaseTables.HeavyModels = {"B744"};
        LIG_AUTOMATIC.value = false;
        SCAN_LIVERIES.value = true;
    }
    void TearDown() override
    {
        exitingFlag = false;
        TablesTest::TearDown();
    }
    // An aircraft folder whose config file holds one livery per title, all of one airline.
    void liveries(const std::string& folder, const std::string& model, const std::vector<std::string>& titleList,
                  const std::string& cfgName = "aircraft.cfg") const
    {
        std::string cfg = "[General]\natc_model=" + model + "\n";
        for (std::size_t i = 0; i < titleList.size(); ++i)
            cfg += fmt::format("[fltsim.{}]\ntitle={}\nsim=a\nmodel=\ntexture=\natc_parking_codes={}\n", i, titleList[i],
                               titleList[i].substr(0, 3));
        const std::filesystem::path file = aircraft(folder, cfg);
        if (cfgName != "aircraft.cfg")
            std::filesystem::rename(file, file.parent_path() / cfgName);
    }
    static std::vector<std::string> indexedTitles()
    {
        std::vector<std::string> out;
        for (const auto& [airline, models] : AirlineIndex)
            for (const auto& [model, list] : models)
                for (const IndexedLivery& livery : list)
                    out.push_back(livery.title);
        std::sort(out.begin(), out.end());
        return out;
    }
};
