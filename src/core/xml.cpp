#include "core/xml.h"

#include "core/files.h"
#include "core/log.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <fmt/format.h>

namespace {

bool lf_saveXml(const std::filesystem::path& path, const std::function<bool(std::ostream&)>& write)
{
    const bool saved = gf_saveFileAtomically(path, write);
    if (saved)
        gf_log(fmt::format("\"{}\" saved", path.string()));
    else
        gf_log(fmt::format("could not save to \"{}\"", path.string()));
    return saved;
}

} // namespace

bool gf_saveXml(const pugi::xml_document& document, const std::filesystem::path& path)
{
    return lf_saveXml(path, [&](std::ostream& out) {
        document.save(out);
        return true;
    });
}

bool gf_saveXml(const XmlTextWriter& xml, const std::filesystem::path& path)
{
    return lf_saveXml(path, [&](std::ostream& out) {
        out << xml.text();
        return true;
    });
}

std::string gf_getAttributeText(const pugi::xml_node& node, const char* name)
{
    if (!node)
        return {};
    const pugi::xml_attribute attribute = node.attribute(name);
    return attribute ? std::string(attribute.value()) : std::string();
}

std::optional<double> gf_xmlAttributeNumber(const pugi::xml_node& node, const char* name)
{
    if (!node)
        return std::nullopt;
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        return std::nullopt;
    // Locale-free; leading blanks and a '+' are taken as strtod takes them. NaN, infinity and
    // values beyond the range of double would reach positions and headings as nonsense.
    std::string_view text = attribute.value();
    const std::size_t start = text.find_first_not_of(" \t\n\r");
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    // from_chars reads no hex form: "0x1p3" stops after its "0".
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double gf_xmlAttributeAsDouble(const pugi::xml_node& node, const char* name)
{
    return gf_xmlAttributeNumber(node, name).value_or(0.0);
}

XmlTextWriter::XmlTextWriter()
{
    text_ = "<?xml version=\"1.0\"?>\n";
}

void XmlTextWriter::start(std::string_view name)
{
    if (!open_.empty() && !open_.back().hasChildren) {
        text_ += ">\n";
        open_.back().hasChildren = true;
    }
    text_.append(open_.size(), '\t');
    text_ += '<';
    text_ += name;
    open_.push_back({std::string(name), false});
}

void XmlTextWriter::attribute(std::string_view name, std::string_view value)
{
    text_ += ' ';
    text_ += name;
    text_ += "=\"";
    value = value.substr(0, value.find('\0'));
    std::size_t plain = 0; // start of the characters not yet written, which need no escape
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (byte >= 32 && byte != '&' && byte != '<' && byte != '"')
            continue;
        text_.append(value.data() + plain, i - plain);
        plain = i + 1;
        if (byte == '&')
            text_ += "&amp;";
        else if (byte == '<')
            text_ += "&lt;";
        else if (byte == '"')
            text_ += "&quot;";
        else
            text_ += {'&', '#', static_cast<char>('0' + byte / 10), static_cast<char>('0' + byte % 10), ';'};
    }
    text_.append(value.data() + plain, value.size() - plain);
    text_ += '"';
}

void XmlTextWriter::end()
{
    const Open element = std::move(open_.back());
    open_.pop_back();
    if (!element.hasChildren) {
        text_ += " />\n";
        return;
    }
    text_.append(open_.size(), '\t');
    text_ += "</";
    text_ += element.name;
    text_ += ">\n";
}
