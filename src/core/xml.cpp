#include "core/xml.h"

#include "core/files.h"
#include "core/log.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <fmt/format.h>

bool gf_saveXml(const pugi::xml_document& document, const std::filesystem::path& path)
{
    const bool saved = gf_saveFileAtomically(path, [&](std::ostream& out) {
        document.save(out);
        return true;
    });
    if (saved)
        gf_log(fmt::format("\"{}\" saved", path.string()));
    else
        gf_log(fmt::format("could not save to \"{}\"", path.string()));
    return saved;
}

std::string gf_getAttributeText(const pugi::xml_node& node, const char* name)
{
    if (!node)
        return {};
    const pugi::xml_attribute attribute = node.attribute(name);
    return attribute ? std::string(attribute.value()) : std::string();
}

std::optional<double> gf_xmlAttributeNumber(const pugi::xml_node& node, const char* name)
{
    if (!node)
        return std::nullopt;
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        return std::nullopt;
    // Locale-free; leading blanks and a '+' are taken as strtod takes them. NaN, infinity and
    // values beyond the range of double would reach positions and headings as nonsense.
    std::string_view text = attribute.value();
    const std::size_t start = text.find_first_not_of(" \t\n\r");
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    // from_chars reads no hex form: "0x1p3" stops after its "0".
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double gf_xmlAttributeAsDouble(const pugi::xml_node& node, const char* name)
{
    return gf_xmlAttributeNumber(node, name).value_or(0.0);
}
