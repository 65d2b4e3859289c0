#pragma once
// The `meta` block of every XML file that the program generates for its own later use (airport
// stand files, the saved livery scan): four <info name=".." value=".."/> entries author,
// version, date and copyright. A generated file is accepted when read back only when author,
// date and version are there; their values are not compared with anything.

#include "core/xml.h"

#include <initializer_list>
#include <pugixml.hpp>
#include <string>
#include <string_view>

// Appends `meta` as the last child of a document or element: author "Orvanta_P3D", the running
// version, the UTC date "Mmm dd, yyyy" and the copyright setting. False at the first part that
// cannot be added (also for a node that is neither a document nor an element).
bool gf_addMetaBlock(pugi::xml_node node);

// The same block written as text, with further entries after the four.
struct MetaEntry {
    std::string_view name;
    std::string_view value;
};
void gf_writeMetaBlock(XmlTextWriter& xml, std::initializer_list<MetaEntry> more = {});

// Reads the entries "author", "date" and "version" of the top-level `meta` element, in this
// order, into the settings of the same keys, and stops at the first one missing: then the
// warning "meta data incorrect?" is logged and the answer is false.
bool gf_checkMetaBlock(const pugi::xml_document& document);
// Whether the check would pass, with no setting touched and nothing logged: any thread.
bool gf_metaBlockComplete(const pugi::xml_document& document);

// "/meta/info[@name='NAME']"
std::string gf_metaInfoQuery(std::string_view name);
