#pragma once
// Typed access to XML attributes and the saving of XML documents.

#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>

// Saves with the library's default formatting through a temporary file; logs the outcome.
bool gf_saveXml(const pugi::xml_document& document, const std::filesystem::path& path);

// The attribute's value; empty when the node or the attribute is missing.
std::string gf_getAttributeText(const pugi::xml_node& node, const char* name);
// The leading decimal number of the value ("." as decimal point); nothing when the node or the
// attribute is missing, or when the value starts with no finite number (NaN, infinity, a value
// beyond the range of double; a hex float reads as its leading "0").
std::optional<double> gf_xmlAttributeNumber(const pugi::xml_node& node, const char* name);
// The same with 0.0 for nothing.
double gf_xmlAttributeAsDouble(const pugi::xml_node& node, const char* name);
