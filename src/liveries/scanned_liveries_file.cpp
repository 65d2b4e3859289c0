#include "liveries/scanned_liveries_file.h"

#include "core/exceptions.h"
#include "core/log.h"
#include "core/xml.h"
#include "params/xml_meta.h"
#include "params/names.h"

#include <fmt/format.h>

namespace {

qmx::LiveryData lf_readLiveryElement(const pugi::xml_node liv)
{
    qmx::LiveryData livery;
    livery.airline = gf_getAttributeText(liv, "airl");
    livery.model = gf_getAttributeText(liv, "type");
    livery.title = gf_getAttributeText(liv, "title");
    livery.atcid = gf_getAttributeText(liv, "atcid");
    // as_bool: true when the value begins with 1, t, T, y or Y.
    livery.cargo = liv.attribute("cargo").as_bool(false);
    return livery;
}

} // namespace

void lf_writeLiveryElement(pugi::xml_node liveries, const qmx::LiveryData& livery)
{
    pugi::xml_node liv = liveries.append_child("liv");
    liv.append_attribute("airl") = livery.airline.c_str();
    liv.append_attribute("type") = livery.model.c_str();
    if (livery.cargo)
        liv.append_attribute("cargo") = "true";
    liv.append_attribute("title") = livery.title.c_str();
    if (!livery.atcid.empty())
        liv.append_attribute("atcid") = livery.atcid.c_str();
}

void lf_writeLiveriesScanned()
{
    if (ScannedLiveries.empty())
        return;
    pugi::xml_document document;
    gf_addMetaBlock(document);
    pugi::xml_node liveries = document.append_child("liveries");
    for (const qmx::LiveryData& livery : ScannedLiveries)
        lf_writeLiveryElement(liveries, livery);
    gf_saveXml(document, g_liveriesScannedFile);
    gf_logf("{} liveries in {}", ScannedLiveries.size(), g_liveriesScannedFile.string());
}

void lf_readLiveriesScanned()
{
    ScannedLiveries.clear();
    const std::string path = g_liveriesScannedFile.string();
    pugi::xml_document document;
    if (!document.load_file(g_liveriesScannedFile.c_str()))
        throw qmx::UserErrorException(51, fmt::format("File {} not found", path));
    try {
        gf_checkMetaBlock(document);
    } catch (const pugi::xpath_exception& e) {
        const char* text = e.what();
        gf_log(text != nullptr && *text != '\0' ? text : "No error");
        return;
    }
    const pugi::xml_node liveries = document.child("liveries");
    if (!liveries)
        throw qmx::UserErrorException(52, fmt::format("{} does not contain a <liveries> section", path));
    for (const pugi::xml_node liv : liveries.children("liv"))
        ScannedLiveries.push_back(lf_readLiveryElement(liv));
    if (ScannedLiveries.empty())
        throw qmx::UserErrorException(533, path + " does not contain liveries");
    gf_logf("{} liveries read from {}", ScannedLiveries.size(), path);
    ScannedLiveries.sort(qmx::gf_liveryBefore);
}
