#pragma once
// Typed access to XML attributes and the saving of XML documents.

#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

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

// Writes XML text element by element, as the library saves a document of elements and
// attributes with its default formatting (the declaration, one element a line indented by tabs,
// `<e a="v" />` for an element without children, attribute values escaped alike), without
// building the document first: for files of thousands of elements.
class XmlTextWriter {
public:
    XmlTextWriter();

    // A child of the element started last that has not ended (or a top-level element).
    void start(std::string_view name);
    // An attribute of the element started last, before its first child. As in the document, a
    // value ends at its first NUL character.
    void attribute(std::string_view name, std::string_view value);
    void end();

    const std::string& text() const { return text_; }
    // Room for this much text, so that a writer that knows its size grows its text once.
    void reserve(std::size_t bytes) { text_.reserve(bytes); }

private:
    struct Open {
        std::string name;
        bool hasChildren = false;
    };
    std::string text_;
    std::vector<Open> open_;
};

// Saves the written text as gf_saveXml saves a document.
bool gf_saveXml(const XmlTextWriter& xml, const std::filesystem::path& path);
