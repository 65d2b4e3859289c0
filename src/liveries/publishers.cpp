#include "liveries/publishers.h"

#include "liveries/dbase.h"
#include "liveries/scan_messages.h"

#include <array>
#include <bitset>
#include <fmt/format.h>
#include <string_view>

namespace {

constexpr std::string_view kExpressionCharacters = "^$\\.*+?()[]{}|";

char lf_foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lf_foldedText(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = lf_foldAscii(c);
    return folded;
}

std::uint32_t lf_leadOf(std::string_view folded)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(folded[i])); };
    return folded.size() == 1 ? byte(0) : 256 + (byte(0) << 8 | byte(1));
}

// A name as the patterns look at it. ".*" does not cross a line break, so a name that holds one
// matches no expression of a plain text.
struct MatchName {
    explicit MatchName(const std::string& name)
        : text(name), folded(lf_foldedText(name)), lineBreak(name.find_first_of("\r\n") != std::string::npos)
    {
        for (std::size_t i = 0; i < folded.size(); ++i) {
            const auto byte = static_cast<unsigned char>(folded[i]);
            if (!holds[byte])
                leads.push_back(byte);
            holds[byte] = true;
            if (i + 1 == folded.size())
                continue;
            const std::uint32_t pair = lf_leadOf(std::string_view(folded).substr(i, 2));
            if (!holdsPair[pair - 256])
                leads.push_back(pair);
            holdsPair.set(pair - 256);
        }
    }

    // Whether `folded` may hold the plain text of this lead: it holds its first one or two bytes.
    bool mayHold(std::uint32_t lead) const { return lead < 256 ? holds[lead] : holdsPair[lead - 256]; }

    const std::string& text;
    const std::string folded;
    const bool lineBreak;
    std::array<bool, 256> holds{}; // the bytes and the byte pairs of `folded`, for a quick first test
    std::bitset<65536> holdsPair;
    std::vector<std::uint32_t> leads; // every lead that `folded` holds, once
};

bool lf_matchesExpression(const MatchName& name, const NamePattern& pattern)
{
    if (!pattern.plain)
        return pattern.expression && pattern.expression->matchesWhole(name.text);
    if (name.lineBreak)
        return false;
    return pattern.folded.empty() ||
           (name.mayHold(pattern.lead) && name.folded.find(pattern.folded) != std::string::npos);
}

bool lf_entryMatches(const MatchName& name, const NamePattern& entry)
{
    if (entry.text.empty())
        return true;
    // The expression of a plain text finds every case-sensitive occurrence too, unless the name
    // holds a line break.
    if (entry.plain && !name.lineBreak)
        return lf_matchesExpression(name, entry);
    if (entry.text.size() <= name.text.size() && name.text.find(entry.text) != std::string::npos)
        return true;
    return !entry.plain && lf_matchesExpression(name, entry);
}

// The prepared lists are read with the data base; lists set up otherwise are prepared here.
bool lf_patternsMatchLists(const DbaseTables& tables)
{
    const std::vector<std::vector<NamePattern>>& prepared = tables.PublisherPatterns.lists;
    if (prepared.size() != tables.Publishers.size())
        return false;
    for (std::size_t i = 0; i < tables.Publishers.size(); ++i)
        if (prepared[i].size() != tables.Publishers[i].size())
            return false;
    return true;
}

// The first place, in list order, whose entry matches the name. Of the expressions only those
// before every plain match are tried, as a walk through the lists in order would.
std::optional<PatternPlace> lf_firstMatchingPlace(const MatchName& name, const PreparedPublishers& publishers)
{
    std::optional<PatternPlace> first;
    const auto tryInOrder = [&](const std::vector<PatternPlace>& places) {
        for (const PatternPlace& place : places) {
            if (first && !(place < *first))
                return;
            if (lf_entryMatches(name, publishers.lists[place.list][place.entry])) {
                first = place;
                return;
            }
        }
    };
    for (const std::uint32_t lead : name.leads)
        if (const auto filed = publishers.plainByLead.find(lead); filed != publishers.plainByLead.end())
            tryInOrder(filed->second);
    tryInOrder(publishers.others);
    return first;
}

} // namespace

NamePattern gf_prepareNamePattern(const std::string& text)
{
    NamePattern pattern;
    pattern.text = text;
    pattern.plain = text.find_first_of(kExpressionCharacters) == std::string::npos;
    if (pattern.plain) {
        pattern.folded = lf_foldedText(text);
        if (!pattern.folded.empty())
            pattern.lead = lf_leadOf(pattern.folded);
        return pattern;
    }
    pattern.expression = NameExpression::compile(".*" + text + ".*"); // none: it matches nothing
    return pattern;
}

PreparedPublishers gf_preparePublisherPatterns(const std::vector<std::vector<std::string>>& lists)
{
    PreparedPublishers publishers;
    publishers.lists.reserve(lists.size());
    for (std::uint32_t list = 0; list < lists.size(); ++list) {
        std::vector<NamePattern>& prepared = publishers.lists.emplace_back();
        prepared.reserve(lists[list].size());
        for (std::uint32_t entry = 0; entry < lists[list].size(); ++entry) {
            const NamePattern& pattern = prepared.emplace_back(gf_prepareNamePattern(lists[list][entry]));
            // A plain text matches only a name whose folded text holds its folded text (a
            // case-sensitive occurrence is one too), so only such a name holds its lead.
            if (pattern.plain && !pattern.folded.empty())
                publishers.plainByLead[pattern.lead].push_back({list, entry});
            else
                publishers.others.push_back({list, entry});
        }
    }
    return publishers;
}

bool lf_matchesNamePattern(const std::string& name, const std::string& pattern)
{
    return lf_matchesExpression(MatchName(name), gf_prepareNamePattern(pattern));
}

std::string gf_publisherFromName(const std::string& name)
{
    static const NamePattern orbx = gf_prepareNamePattern("ORBX");
    const MatchName match(name);
    if (lf_entryMatches(match, orbx)) {
        gf_addScanMessage(fmt::format("from filename => publisher  {}", "simaddon"));
        return "simaddon";
    }
    const bool ready = lf_patternsMatchLists(dbaseTables);
    PreparedPublishers prepared;
    if (!ready)
        prepared = gf_preparePublisherPatterns(dbaseTables.Publishers);
    const PreparedPublishers& publishers = ready ? dbaseTables.PublisherPatterns : prepared;
    const std::optional<PatternPlace> first = lf_firstMatchingPlace(match, publishers);
    return first ? publishers.lists[first->list].front().text : "unknown";
}
