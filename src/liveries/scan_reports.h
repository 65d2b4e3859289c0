#pragma once
// What a livery scan tells the user: the problems found in the installed AI aircraft go to text
// reports in output/errors and output/info, with one summary line per report in the log; and each
// livery with a known registration is brought in line with the data base's registration table.

#include "liveries/livery_data.h"

// Removes the previous scan's LiveriesScanned.xml and reports, and output/errors when it is then
// empty; a failure is logged once and the scan goes on.
void lf_removePreviousScanFiles();
// Cargo flag, airline (the operator when there is one) and model from the registration's data
// base record; every change is one line of the conversions report.
void lf_updateLiveryFromDbase(qmx::LiveryData& livery);
// Writes the reports of the scan's problem lists; never throws.
void lf_writeScanErrorReport();
