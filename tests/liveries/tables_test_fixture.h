#pragma once
// The scan fixture with empty livery tables, matching counters and create failures, and a way to
// put a set of installed liveries straight into the tables.

#include "engine/ac_records.h"
#include "liveries/livery_services.h"
#include "liveries/regcode_lists.h"
#include "liveries/similar_models.h"
#include "scan_test_fixture.h"

#include <algorithm>

namespace tablestest {

struct Livery {
    std::string airline;
    std::string model;
    std::string title;
    bool cargo = false;
    std::string atcid;
};

inline qmx::LiveryData gf_liveryRecord(const Livery& l)
{
    qmx::LiveryData record;
    record.airline = l.airline;
    record.model = l.model;
    record.title = l.title;
    record.cargo = l.cargo;
    record.atcid = l.atcid;
    return record;
}

class TablesTest : public scantest::ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        clearMatching();
    }
    void TearDown() override
    {
        clearMatching();
        ScanTest::TearDown();
    }
    static void clearMatching()
    {
        gf_clearLiveryTables();
        NoMatchList.clear();
        CreateFailures = {};
        MatchStepCounters = {};
    }

    // The scan's list as the saved-scan reader leaves it: sorted in livery order.
    static void scan(const std::vector<Livery>& liveries)
    {
        ScannedLiveries.clear();
        for (const Livery& l : liveries)
            ScannedLiveries.push_back(gf_liveryRecord(l));
        ScannedLiveries.sort(qmx::gf_liveryBefore);
    }
    // The tables of these liveries, without the registration lists and the reports.
    static void install(const std::vector<Livery>& liveries)
    {
        scan(liveries);
        lf_buildAirlineIndex();
        lf_buildAirlineModelTables();
        lf_buildModelTables();
        ScannedLiveries.clear();
    }
    static void mapRegcode(const std::string& regcode, const std::string& title)
    {
        RegcodeMap[regcode] = lf_findLiveryTitle(title);
    }
    static void special(const std::string& title) { SpecialTitles.push_back(lf_findLiveryTitle(title)); }

    static std::vector<std::string> sorted(const TitleViews& views)
    {
        std::vector<std::string> out(views.begin(), views.end());
        std::sort(out.begin(), out.end());
        return out;
    }
};

} // namespace tablestest
