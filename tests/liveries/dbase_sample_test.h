#pragma once
// Sample data bases for the data-base tests: written from plain codes, scrambled as the maker
// stores them, with the required sections filled unless a test leaves one out.

#include "liveries/dbase.h"
#include "support/scramble_twin.h"

#include <fmt/format.h>
#include <set>
#include <string>
#include <vector>

namespace dbasetest {

using Scrambler = std::string (*)(std::string_view);

inline std::string scrambledList(const std::vector<std::string>& codes, Scrambler scramble)
{
    std::string text;
    for (const std::string& code : codes) {
        if (!text.empty())
            text += ',';
        text += scramble(code);
    }
    return text;
}

inline std::string wingspan(const std::string& model, const std::string& metres)
{
    return fmt::format("<wingspan type=\"{}\" meters=\"{}\"/>", testsupport::scrambleType(model), metres);
}

inline std::string registration(const std::string& reg, const std::string& airline, const std::string& model,
                                const std::string& operatorCode = "", const std::string& cargo = "")
{
    return fmt::format("<db reg=\"{}\" airl=\"{}\" type=\"{}\" opr=\"{}\" cargo=\"{}\"/>", testsupport::scrambleRegcode(reg),
                       testsupport::scrambleAirline(airline), testsupport::scrambleType(model),
                       testsupport::scrambleAirline(operatorCode), cargo);
}

struct Sample {
    std::vector<std::string> models{"A320", "A321", "B744", "C172", "E190", "GLF5", "EC35", "F16"};
    std::vector<std::string> highPerf{"F16"};
    std::vector<std::string> heavy{"B744"};
    std::vector<std::string> large{"A320", "A321", "E190"};
    std::vector<std::string> buzjet{"GLF5"};
    std::vector<std::string> rotorcraft{"EC35"};
    std::vector<std::string> cargoModels{"B744"};
    std::vector<std::string> airlines{"DLH", "BAW", "PVT"};
    std::vector<std::string> cargoOperators{"FDX"};
    std::string simaddonAirports = "EGLL,LOWI";
    std::set<std::string> leftOut; // sections not written
    std::string extra;              // further sections, as they stand

    std::string section(const std::string& name, const std::string& child, const std::string& attribute,
                        const std::string& value) const
    {
        if (leftOut.contains(name))
            return {};
        return fmt::format("<{0}>\n <{1} {2}=\"{3}\"/>\n</{0}>\n", name, child, attribute, value);
    }

    std::string xml() const
    {
        using namespace testsupport;
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" +
               section("aircrafts", "aircraft", "types", scrambledList(models, scrambleType)) +
               section("high_performance", "hpf", "types", scrambledList(highPerf, scrambleType)) +
               section("heavy", "hvy", "types", scrambledList(heavy, scrambleType)) +
               section("large", "lar", "types", scrambledList(large, scrambleType)) +
               section("buzjet", "bzj", "types", scrambledList(buzjet, scrambleType)) +
               section("rotorcraft", "rot", "types", scrambledList(rotorcraft, scrambleType)) +
               section("cargo_types", "cargo_type", "types", scrambledList(cargoModels, scrambleType)) +
               section("ICAO_airlines", "ICAO", "codes", scrambledList(airlines, scrambleAirline)) +
               section("cargo_operators", "ICAO", "codes", scrambledList(cargoOperators, scrambleAirline)) +
               section("simaddonsP3D", "simaddonP3D", "arpts", simaddonAirports) + extra;
    }
};

} // namespace dbasetest
