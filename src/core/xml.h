#pragma once
// Typed access to XML attributes and the saving of XML documents.

#include <filesystem>
#include <pugixml.hpp>
#include <string>

// Saves with the library's default formatting through a temporary file; logs the outcome.
bool gf_saveXml(const pugi::xml_document& document, const std::filesystem::path& path);

// The attribute's value; empty when the node or the attribute is missing.
std::string gf_getAttributeText(const pugi::xml_node& node, const char* name);
// The leading decimal number of the value ("." as decimal point); 0.0 when missing, and when
// the value is a hex float, NaN, infinite or beyond the range of double.
double gf_xmlAttributeAsDouble(const pugi::xml_node& node, const char* name);
