#include "liveries/dbase.h"

#include "core/download.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "core/scramble.h"
#include "core/text.h"
#include "core/xml.h"
#include "liveries/model_classes.h"
#include "params/names.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <pugixml.hpp>

namespace fs = std::filesystem;

DbaseTables dbaseTables;

namespace {

using Unscrambler = std::string (*)(std::string_view);

// Metres to nautical miles (1852 m a mile), halved.
constexpr double kHalfSpanNmPerMetre = 0.5 * 0.0005399568034557236;

std::string lf_plain(std::string_view stored)
{
    return std::string(stored);
}

// Empty stays empty: the unscramblers are only asked about a stored value.
std::string lf_unscrambleIfSet(Unscrambler unscramble, const std::string& stored)
{
    return stored.empty() ? std::string() : unscramble(stored);
}

// The list items of every `child` of `section`; a required list that stays empty is an error
// the user must see, as the data base is then unusable.
void lf_readCodeList(const pugi::xml_document& doc, const char* section, const char* child, const char* attribute,
                     Unscrambler unscramble, CodeSet& table)
{
    std::set<std::string> raw;
    for (const pugi::xml_node node : doc.child(section).children(child)) {
        for (std::string& item : gf_splitAtComma(node.attribute(attribute).value()))
            raw.insert(std::move(item));
    }
    if (raw.empty())
        throw qmx::UserErrorException(61, fmt::format("In an xml file section {} {} {} is empty ", section, child, attribute));
    for (const std::string& item : raw) {
        // An empty item (two adjacent commas, or a stored code that failed its check) names no
        // code; keeping it would let lookups of the empty code succeed.
        std::string code = unscramble(item);
        if (!code.empty())
            table.insert(std::move(code));
    }
}

void lf_readModelLists(const pugi::xml_document& doc, DbaseTables& t)
{
    lf_readCodeList(doc, "aircrafts", "aircraft", "types", gf_unscrambleType, t.ModelCodes);
    lf_readCodeList(doc, "high_performance", "hpf", "types", gf_unscrambleType, t.HighPerfModels);
    lf_readCodeList(doc, "heavy", "hvy", "types", gf_unscrambleType, t.HeavyModels);
    lf_readCodeList(doc, "large", "lar", "types", gf_unscrambleType, t.LargeModels);
    lf_readCodeList(doc, "buzjet", "bzj", "types", gf_unscrambleType, t.BuzjetModels);
    lf_readCodeList(doc, "rotorcraft", "rot", "types", gf_unscrambleType, t.RotorcraftModels);
    lf_readCodeList(doc, "cargo_types", "cargo_type", "types", gf_unscrambleType, t.CargoModels);
}

void lf_readSimilarGroups(const pugi::xml_document& doc, DbaseTables& t)
{
    t.SimilarGroups.reserve(64);
    for (const pugi::xml_node node : doc.child("similar_types").children("similar")) {
        std::vector<std::string> group;
        for (const std::string& item : gf_splitAtComma(node.attribute("types").value()))
            group.push_back(gf_unscrambleType(item));
        std::sort(group.begin(), group.end());
        t.SimilarGroups.push_back(std::move(group));
    }
    t.SimilarGroups.shrink_to_fit();
}

void lf_readAirlineLists(const pugi::xml_document& doc, DbaseTables& t)
{
    lf_readCodeList(doc, "ICAO_airlines", "ICAO", "codes", gf_unscrambleAirline, t.IcaoAirlines);
    lf_readCodeList(doc, "cargo_operators", "ICAO", "codes", gf_unscrambleAirline, t.CargoOperators);
}

// Ordered by the raw names text, so that the lookup's first-match rule does not depend on how
// the maker happened to order the file.
void lf_readPublishers(const pugi::xml_document& doc, const fs::path& path, DbaseTables& t)
{
    try {
        t.Publishers.reserve(640);
        std::vector<std::string> texts;
        for (const pugi::xml_node node : doc.child("publishers").children("pub"))
            texts.emplace_back(node.attribute("names").value());
        std::sort(texts.begin(), texts.end());
        texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
        for (const std::string& text : texts) {
            std::vector<std::string> names = gf_splitNameList(text);
            names.shrink_to_fit();
            t.Publishers.push_back(std::move(names));
        }
        t.Publishers.shrink_to_fit();
        t.PublisherPatterns = gf_preparePublisherPatterns(t.Publishers);
    } catch (const std::exception& e) {
        throw qmx::SysErrorException(299, fmt::format("exception {} in reading publishers from \"{}\"", e.what(), path.string()));
    }
}

void lf_readWingspanEntry(const pugi::xml_node node, DbaseTables& t, bool& anyValid)
{
    const std::string code = lf_unscrambleIfSet(gf_unscrambleType, gf_getAttributeText(node, "type"));
    if (code.empty() || !t.ModelCodes.contains(code)) {
        gf_logWarning(fmt::format("wingspan model {} is no valid model, skipped", code));
        return;
    }
    // A width that is no finite number ("nan", "inf", an overflowing one) would poison the class
    // averages and every spacing check that uses them; an empty one reads as 0.
    const std::string text = gf_getAttributeText(node, "meters");
    const std::optional<double> metres = text.empty() ? 0.0 : gf_xmlAttributeNumber(node, "meters");
    if (!metres || *metres < 0.0) {
        gf_logWarning(fmt::format("wingspan {} of model {} is no valid number, skipped", text, code));
        return;
    }
    const double half = *metres * kHalfSpanNmPerMetre;
    t.Wingspans.emplace(code, half); // the first entry of a model stays
    t.MaxHalfWingspan = std::max(t.MaxHalfWingspan, half);
    anyValid = true;
}

void lf_readWingspans(const pugi::xml_document& doc, const fs::path& path, DbaseTables& t)
{
    try {
        bool anyValid = false;
        for (const pugi::xml_node node : doc.child("wingspans").children("wingspan"))
            lf_readWingspanEntry(node, t, anyValid);
        if (anyValid)
            lf_averageWingspanPerCategory();
    } catch (const std::exception& e) {
        throw qmx::SysErrorException(288, fmt::format("exception {} in reading wingspans from \"{}\"", e.what(), path.string()));
    }
}

void lf_readModelFixes(const pugi::xml_document& doc, DbaseTables& t)
{
    for (const pugi::xml_node node : doc.child("fixes").children("fx")) {
        std::string wrong = gf_getAttributeText(node, "wro");
        std::string correct = gf_getAttributeText(node, "cor");
        if (!t.ModelCodes.contains(correct)) {
            gf_logWarning(fmt::format("wrong fix {}->{}, the latter is not a valid model", wrong, correct));
            continue;
        }
        if (t.ModelFixes.contains(wrong)) {
            gf_logWarning(fmt::format("wrong part of fix: \"{}\", already exists, skipped", wrong));
            continue;
        }
        t.ModelFixes.emplace(std::move(wrong), std::move(correct));
    }
}

void lf_readAirportLists(const pugi::xml_document& doc, DbaseTables& t)
{
    lf_readCodeList(doc, "simaddonsP3D", "simaddonP3D", "arpts", lf_plain, t.SimaddonAirports);
    t.PublisherAirports.reserve(std::max<std::size_t>(t.PublisherAirports.size(), 200));
    for (const pugi::xml_node node : doc.child("thirdpartiesP3D").children("thirdpartieP3D"))
        t.PublisherAirports.push_back({gf_getAttributeText(node, "pub"), gf_splitAtComma(node.attribute("arpts").value())});
}

void lf_readRegistrations(const pugi::xml_document& doc, DbaseTables& t)
{
    t.DbaseRegcodes.clear();
    for (const pugi::xml_node node : doc.child("dbase").children("db")) {
        std::string regcode = gf_unscrambleRegcode(gf_getAttributeText(node, "reg"));
        DbaseRegRecord record{lf_unscrambleIfSet(gf_unscrambleAirline, gf_getAttributeText(node, "airl")),
                              lf_unscrambleIfSet(gf_unscrambleType, gf_getAttributeText(node, "type")),
                              lf_unscrambleIfSet(gf_unscrambleAirline, gf_getAttributeText(node, "opr")),
                              gf_isYesText(node.attribute("cargo").value())};
        if (t.DbaseRegcodes.contains(regcode)) {
            gf_logWarning(fmt::format("regcode {} already exists", regcode));
            continue;
        }
        t.DbaseRegcodes.emplace(std::move(regcode), std::move(record));
    }
}

} // namespace

std::vector<std::string> gf_splitNameList(std::string_view text)
{
    return gf_splitAtComma(text);
}

bool gf_readDbase()
{
    const fs::path path = g_dbaseFile;
    // The download writes into the input folder; without it the archive would unpack nowhere.
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!gf_downloadDbase(path))
        throw qmx::SysErrorException(23, "data base could not be read from on-line?");
    return gf_readDbaseFile(path);
}

bool gf_readDbaseFile(const fs::path& path)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    if (!parsed)
        throw qmx::UserErrorException(60, fmt::format("\"{}\" not read because of {}", path.string(), parsed.description()));
    // A read that failed part way left some tables filled; the next read starts from empty ones,
    // so that nothing is counted twice.
    gf_clearDbaseTables();
    DbaseTables& t = dbaseTables;
    lf_readModelLists(doc, t);
    lf_readSimilarGroups(doc, t);
    lf_readAirlineLists(doc, t);
    lf_readPublishers(doc, path, t);
    lf_readWingspans(doc, path, t);
    lf_readModelFixes(doc, t);
    lf_readAirportLists(doc, t);
    lf_readRegistrations(doc, t);
    if (fs::exists(path))
        fs::remove(path);
    return true;
}

bool gf_isYesText(std::string_view text)
{
    return !text.empty() && std::string_view("1tTyY").find(text.front()) != std::string_view::npos;
}

void gf_clearDbaseTables()
{
    dbaseTables = DbaseTables{};
}
