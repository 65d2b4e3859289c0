#pragma once
// A working folder of the test's own with the log open, empty scan collections and the data-base
// lookups holding only what a test puts in them, beside the model codes that the sample
// aircraft.cfg files name (a scan takes only models the data base knows).

#include "core/scan_throttle.h"
#include "liveries/livery_data.h"
#include "liveries/dbase.h"
#include "liveries/scan_problems.h"
#include "support/params_fixture.h"

#include <gtest/gtest.h>
#include <list>
#include <string>
#include <vector>

namespace scantest {

class ScanTest : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        reset();
        dbaseTables.ModelCodes = {"A319", "A320", "B738", "B744", "C172"};
        std::filesystem::create_directories(g_outputInfoFolder);
        std::filesystem::create_directories(g_outputErrorsFolder);
    }
    void TearDown() override
    {
        reset();
        ParamsTest::TearDown();
    }
    static void reset()
    {
        lf_clearScanCollections();
        gf_clearDbaseTables();
        ScannedLiveries.clear();
        g_scanTasksRunning = 0;
    }

    // An aircraft folder below the working folder: aircraft.cfg with `cfg`, and the model and
    // texture folders and the .air file that its sections name.
    std::filesystem::path aircraft(const std::string& folder, const std::string& cfg,
                                   const std::vector<std::string>& entries = {"model", "texture", "a.air"}) const
    {
        const std::filesystem::path dir = folder;
        std::filesystem::create_directories(dir);
        for (const std::string& entry : entries) {
            if (entry.size() > 4 && entry.substr(entry.size() - 4) == ".air")
                testsupport::writeFile(dir / entry, "air");
            else
                std::filesystem::create_directories(dir / entry);
        }
        testsupport::writeFile(dir / "aircraft.cfg", cfg);
        return dir / "aircraft.cfg";
    }

    static std::vector<std::string> lines(const std::list<std::string>& list) { return {list.begin(), list.end()}; }
    static std::vector<std::string> titles(const std::list<qmx::LiveryData>& liveries)
    {
        std::vector<std::string> out;
        for (const qmx::LiveryData& livery : liveries)
            out.push_back(livery.title);
        return out;
    }
};

} // namespace scantest
