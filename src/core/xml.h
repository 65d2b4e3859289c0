#pragma once
// Typed access to XML attributes and the saving of XML documents.

#include <filesystem>
#include <pugixml.hpp>
#include <string>

// Saves with the library's default formatting through a temporary file; logs the outcome.
bool gf_saveXml(const pugi::xml_document& document, const std::filesystem::path& path);

// The attribute's value; empty when the node or the attribute is missing.
std::string gf_getAttributeText(const pugi::xml_node& node, const char* name);
// The leading number of the value (C syntax, "." as decimal point); 0.0 when missing.
double gf_xmlAttributeAsDouble(const pugi::xml_node& node, const char* name);
