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

void lf_writeLiveryElement(XmlTextWriter& xml, const qmx::LiveryData& livery)
{
    xml.start("liv");
    xml.attribute("airl", livery.airline);
    xml.attribute("type", livery.model);
    if (livery.cargo)
        xml.attribute("cargo", "true");
    xml.attribute("title", livery.title);
    if (!livery.atcid.empty())
        xml.attribute("atcid", livery.atcid);
    xml.end();
}

// Written as text, element by element: a large AI library has tens of thousands of liveries.
void lf_writeLiveriesScanned()
{
    if (ScannedLiveries.empty())
        return;
    XmlTextWriter xml;
    gf_writeMetaBlock(xml);
    xml.start("liveries");
    for (const qmx::LiveryData& livery : ScannedLiveries)
        lf_writeLiveryElement(xml, livery);
    xml.end();
    gf_saveXml(xml, g_liveriesScannedFile);
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
