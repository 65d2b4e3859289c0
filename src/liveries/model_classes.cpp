#include "liveries/model_classes.h"

#include "liveries/dbase.h"

#include <algorithm>

std::int32_t gf_modelSizeClass(std::string_view modelCode)
{
    const DbaseTables& t = dbaseTables;
    if (t.LargeModels.contains(modelCode))
        return 2;
    if (t.HeavyModels.contains(modelCode))
        return 3;
    if (t.BuzjetModels.contains(modelCode))
        return 1;
    if (t.RotorcraftModels.contains(modelCode))
        return 5;
    if (t.HighPerfModels.contains(modelCode))
        return 4;
    return 0;
}

bool gf_isKnownModel(std::string_view modelCode)
{
    return !modelCode.empty() && dbaseTables.ModelCodes.contains(modelCode);
}

bool gf_isKnownAirline(std::string_view airlineCode)
{
    return !airlineCode.empty() && dbaseTables.IcaoAirlines.contains(airlineCode);
}

bool lf_stringContainsChar(std::string_view text, char c)
{
    return text.find(c) != std::string_view::npos;
}

double gf_wingspanOf(std::string_view modelCode)
{
    const auto found = dbaseTables.Wingspans.find(modelCode);
    if (found != dbaseTables.Wingspans.end())
        return found->second;
    return dbaseTables.ClassHalfWingspans[static_cast<std::size_t>(gf_modelSizeClass(modelCode))];
}

double gf_maxHalfWingspan()
{
    return dbaseTables.MaxHalfWingspan;
}

void lf_averageWingspanPerCategory()
{
    std::array<int, kSizeClassCount> counts{};
    std::array<double, kSizeClassCount>& sums = dbaseTables.ClassHalfWingspans;
    double allSum = 0.0;
    for (const auto& [code, halfSpan] : dbaseTables.Wingspans) {
        const auto c = static_cast<std::size_t>(gf_modelSizeClass(code));
        ++counts[c];
        sums[c] += halfSpan;
        allSum += halfSpan;
    }
    // A class without any wingspan of its own takes the average of all models rather than
    // 0/0: spacing and collision checks need a real width for every aircraft.
    const double allAverage = dbaseTables.Wingspans.empty() ? 0.0 : allSum / static_cast<double>(dbaseTables.Wingspans.size());
    for (std::size_t c = 0; c < sums.size(); ++c)
        sums[c] = counts[c] > 0 ? sums[c] / counts[c] : allAverage;
}
