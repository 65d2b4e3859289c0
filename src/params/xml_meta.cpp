#include "params/xml_meta.h"

#include "core/clock.h"
#include "core/log.h"
#include "core/version.h"
#include "params/names.h"
#include "params/parameters.h"

#include <array>
#include <fmt/format.h>
#include <utility>

namespace {

bool lf_appendMetaInfo(pugi::xml_node meta, std::string_view name, const std::string& value)
{
    pugi::xml_node info = meta.append_child("info");
    if (!info)
        return false;
    const bool named = info.append_attribute("name").set_value(std::string(name).c_str());
    return named && info.append_attribute("value").set_value(value.c_str());
}

// The entry's value goes into the setting; empty when the entry is missing.
bool lf_readMetaInfo(const pugi::xml_document& document, StringParameter& setting)
{
    const pugi::xml_node info = document.select_node(gf_metaInfoQuery(setting.name).c_str()).node();
    setting.value.set(info ? std::string(info.attribute("value").value()) : std::string());
    return static_cast<bool>(info);
}

// The four entries of every meta block, in their order.
std::array<std::pair<std::string_view, std::string>, 4> lf_metaEntries()
{
    return {{{META_AUTHOR.name, std::string(kProductName)},
             {META_VERSION.name, gf_versionText(g_programVersion)},
             {META_DATE.name, lf_dateText()},
             {META_COPYRIGHT.name, META_COPYRIGHT.getValue()}}};
}

} // namespace

std::string gf_metaInfoQuery(std::string_view name)
{
    return fmt::format("/meta/info[@name='{}']", name);
}

bool gf_addMetaBlock(pugi::xml_node node)
{
    if (node.type() != pugi::node_document && node.type() != pugi::node_element)
        return false;
    pugi::xml_node meta = node.append_child("meta");
    if (!meta)
        return false;
    for (const auto& [name, value] : lf_metaEntries())
        if (!lf_appendMetaInfo(meta, name, value))
            return false;
    return true;
}

void gf_writeMetaBlock(XmlTextWriter& xml, std::initializer_list<MetaEntry> more)
{
    xml.start("meta");
    const auto entry = [&xml](std::string_view name, std::string_view value) {
        xml.start("info");
        xml.attribute("name", name);
        xml.attribute("value", value);
        xml.end();
    };
    for (const auto& [name, value] : lf_metaEntries())
        entry(name, value);
    for (const MetaEntry& extra : more)
        entry(extra.name, extra.value);
    xml.end();
}

bool gf_metaBlockComplete(const pugi::xml_document& document)
{
    for (const StringParameter* setting : {&META_AUTHOR, &META_DATE, &META_VERSION}) {
        if (!document.select_node(gf_metaInfoQuery(setting->name).c_str()).node())
            return false;
    }
    return true;
}

bool gf_checkMetaBlock(const pugi::xml_document& document)
{
    if (lf_readMetaInfo(document, META_AUTHOR) && lf_readMetaInfo(document, META_DATE) &&
        lf_readMetaInfo(document, META_VERSION))
        return true;
    gf_logWarning("meta data incorrect?");
    return false;
}
