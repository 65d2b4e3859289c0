#include "core/xml.h"

#include "core/files.h"
#include "core/log.h"

#include <cstdlib>
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

double gf_xmlAttributeAsDouble(const pugi::xml_node& node, const char* name)
{
    if (!node)
        return 0.0;
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        return 0.0;
    // strtod follows the C locale, which the program never changes.
    return std::strtod(attribute.value(), nullptr);
}
