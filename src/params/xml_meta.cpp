#include "params/xml_meta.h"

#include "core/clock.h"
#include "core/log.h"
#include "core/version.h"
#include "params/names.h"
#include "params/parameters.h"

#include <fmt/format.h>

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
    return lf_appendMetaInfo(meta, META_AUTHOR.name, std::string(kProductName)) &&
           lf_appendMetaInfo(meta, META_VERSION.name, gf_versionText(g_programVersion)) &&
           lf_appendMetaInfo(meta, META_DATE.name, lf_dateText()) &&
           lf_appendMetaInfo(meta, META_COPYRIGHT.name, META_COPYRIGHT.getValue());
}

bool gf_checkMetaBlock(const pugi::xml_document& document)
{
    if (lf_readMetaInfo(document, META_AUTHOR) && lf_readMetaInfo(document, META_DATE) &&
        lf_readMetaInfo(document, META_VERSION))
        return true;
    gf_logWarning("meta data incorrect?");
    return false;
}
