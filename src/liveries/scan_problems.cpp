#include "liveries/scan_problems.h"

#include "liveries/livery_data.h"

#include <fmt/format.h>

ScanProblemList<std::list<std::string>> invalidAircraftCfgFiles;
ScanProblemList<std::list<std::string>> emptyAircraftCfgFiles;
ScanProblemList<std::list<std::string>> incompleteFltsimSections;
ScanProblemList<std::list<std::string>> invalidAirlineCodes;
ScanProblemList<std::list<std::string>> invalidModelCodes;
ScanProblemList<std::vector<std::string>> codeFixes;
std::vector<std::string> airlineModelConversions;
std::vector<std::string> titlesNotToUse;

void lf_addInvalidCfgFile(std::string line)
{
    invalidAircraftCfgFiles.append(std::move(line));
}

void lf_addIncompleteSection(std::string line)
{
    incompleteFltsimSections.append(std::move(line));
}

void lf_addCodeFix(std::string line)
{
    codeFixes.append(std::move(line));
}

void lf_addInvalidAirline(const std::string& code, const std::filesystem::path& file, const std::string& header)
{
    invalidAirlineCodes.append(fmt::format("{:12} in {} ", code, file.string()) + header);
}

void lf_addInvalidModel(const std::string& code, const std::filesystem::path& file)
{
    invalidModelCodes.append(fmt::format("{:16} in {}", code, file.string()));
}

void lf_clearScanCollections()
{
    invalidAircraftCfgFiles.lines.clear();
    emptyAircraftCfgFiles.lines.clear();
    incompleteFltsimSections.lines.clear();
    invalidAirlineCodes.lines.clear();
    invalidModelCodes.lines.clear();
    codeFixes.lines.clear();
    airlineModelConversions.clear();
    scannedTitles.clear();
    titlesNotToUse.clear();
}
