#include "liveries/registrations.h"

std::vector<std::string> gf_regcodeVariants(const std::string& regcode)
{
    if (regcode.size() >= 5 && regcode.front() != 'N' && regcode.find('-') == std::string::npos)
        return {regcode.substr(0, 2) + "-" + regcode.substr(2), regcode.substr(0, 1) + "-" + regcode.substr(1), regcode};
    return {regcode};
}

bool gf_findRegcodeRecord(std::optional<DbaseRegRecord>& record, const std::string& writtenForm)
{
    const auto found = dbaseTables.DbaseRegcodes.find(writtenForm);
    if (found == dbaseTables.DbaseRegcodes.end())
        return false;
    record = found->second;
    return true;
}

std::optional<DbaseRegRecord> gf_regcodeLookup(const std::string& regcode)
{
    std::optional<DbaseRegRecord> record;
    if (regcode.empty())
        return record;
    for (const std::string& form : gf_regcodeVariants(regcode)) {
        if (gf_findRegcodeRecord(record, form))
            break;
    }
    return record;
}

std::string gf_regcodeAirline(const std::string& regcode)
{
    const std::optional<DbaseRegRecord> record = gf_regcodeLookup(regcode);
    return record ? record->airline : std::string();
}

std::string gf_regcodeModel(const std::string& regcode)
{
    const std::optional<DbaseRegRecord> record = gf_regcodeLookup(regcode);
    return record ? record->model : std::string();
}

std::string gf_regcodeOperatorCode(const std::string& regcode)
{
    const std::optional<DbaseRegRecord> record = gf_regcodeLookup(regcode);
    return record ? record->operatorCode : std::string();
}

void gf_destroyRegcodeRecord(std::optional<DbaseRegRecord>& record)
{
    record.reset();
}

std::string lf_findPvtRegcodeInTitle(const std::string& text)
{
    for (const auto& [regcode, record] : dbaseTables.DbaseRegcodes) {
        // An empty registration (a stored one that failed its check) occurs in every text and
        // would hide the real ones behind it.
        if (record.airline == "PVT" && !regcode.empty() && regcode.size() < 5 && text.find(regcode) != std::string::npos)
            return regcode;
    }
    return {};
}
