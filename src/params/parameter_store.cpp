#include "params/parameter_store.h"

#include "core/files.h"
#include "core/log.h"
#include "core/version.h"
#include "core/xml.h"
#include "params/control_port.h"
#include "params/names.h"

#include <algorithm>
#include <fmt/format.h>
#include <mutex>
#include <sstream>
#include <system_error>

namespace {

// Held for every load and save of parameters.xml; the log mutex nests inside it, nothing else.
std::mutex storeMutex;

const char* lf_boolText(bool value)
{
    return value ? "true" : "false";
}

bool lf_isFolderParameter(const StringParameter& parameter)
{
    return parameter.name.find("lfolder") != std::string::npos || parameter.name.find("afolder") != std::string::npos;
}

pugi::xml_node lf_findParameterNode(const pugi::xml_document& document, std::string_view key)
{
    return document.select_node(gf_parameterQuery(key).c_str()).node();
}

// Keeps a file that cannot be used as parameters.xml.bad, so that writing the defaults over it
// loses nothing.
void lf_keepUnreadableFile(const fs::path& path, const std::string& reason)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return;
    fs::path bad = path;
    bad += ".bad";
    fs::rename(path, bad, ec);
    if (ec)
        gf_logWarning(fmt::format("{} could not be read ({}) nor kept as {}: {}", gf_pathText(path), reason,
                                  gf_pathText(bad), ec.message()));
    else
        gf_logWarning(fmt::format("{} could not be read ({}), kept as {}", gf_pathText(path), reason, gf_pathText(bad)));
}

// With storeMutex held. True when the file loaded and has its `parameters` root.
bool lf_loadDocument(pugi::xml_document& document)
{
    const fs::path path = gf_pathFromText(g_parametersFile);
    const pugi::xml_parse_result result = document.load_file(path.c_str());
    if (result && document.child("parameters"))
        return true;
    document.reset();
    if (result)
        lf_keepUnreadableFile(path, "no parameters element");
    else if (result.status != pugi::status_file_not_found)
        lf_keepUnreadableFile(path, result.description());
    else
        lf_keepUnreadableFile(path, "cannot be opened");
    return false;
}

bool lf_writeDocument(const pugi::xml_document& document)
{
    const fs::path path = gf_pathFromText(g_parametersFile);
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    return gf_saveFileAtomically(path, [&](std::ostream& out) {
        document.save(out);
        return true;
    });
}

// One setting's element gets the value text; added when missing. With storeMutex held.
void lf_saveValue(std::string_view key, const std::string& text)
{
    pugi::xml_document document;
    pugi::xml_node root;
    if (lf_loadDocument(document))
        root = document.child("parameters");
    if (!root) {
        root = document.append_child("parameters");
        gf_appendStringParameter(root, key, text);
    } else if (pugi::xml_node node = lf_findParameterNode(document, key)) {
        // An element that lost its value gets it back, or the setting could never be saved.
        pugi::xml_attribute attribute = node.attribute("value");
        if (!attribute)
            attribute = node.append_attribute("value");
        attribute.set_value(text.c_str());
    } else {
        gf_appendStringParameter(root, key, text);
    }
    gf_logLine(fmt::format("{}={}", key, text));
    if (!lf_writeDocument(document))
        gf_logLine("saving xml did not work?");
}

bool lf_readBoolParameter(BoolParameter& parameter, const pugi::xml_document& document)
{
    const pugi::xml_node node = lf_findParameterNode(document, parameter.name);
    bool value = parameter.defaultValue;
    if (node) {
        const char first = node.attribute("value").value()[0];
        value = first == '1' || first == 't' || first == 'T' || first == 'y' || first == 'Y';
    }
    parameter.value.store(value);
    gf_logLine(fmt::format("{}={}", parameter.name, lf_boolText(value)));
    return static_cast<bool>(node);
}

bool lf_readStringParameter(StringParameter& parameter, const pugi::xml_document& document)
{
    const pugi::xml_node node = lf_findParameterNode(document, parameter.name);
    std::string value = node ? std::string(node.attribute("value").value()) : parameter.defaultValue;
    gf_logLine(fmt::format("{}={}", parameter.name, value));
    parameter.value.set(std::move(value));
    return static_cast<bool>(node);
}

// Folder keys are logged only when set.
void lf_readFolderParameter(StringParameter& parameter, const pugi::xml_document& document)
{
    const pugi::xml_node node = lf_findParameterNode(document, parameter.name);
    std::string value = node ? std::string(node.attribute("value").value()) : parameter.defaultValue;
    if (!value.empty())
        gf_logLine(fmt::format("{}={}", parameter.name, value));
    parameter.value.set(std::move(value));
}

// An empty folder key is taken out of the document that the load saves at its end.
void lf_removeFolderParameter(const StringParameter& parameter, pugi::xml_document& document)
{
    pugi::xml_node root = document.child("parameters");
    const pugi::xml_node node = lf_findParameterNode(document, parameter.name);
    if (root && node && node.parent() == root) {
        root.remove_child(node);
        gf_logLine("Parameter " + parameter.name + " removed");
    }
}

void lf_logAddFailure(std::string_view key, std::string_view value)
{
    gf_logLine(fmt::format("{}adding init xml parameter {} with {} failed!", "===> ", key, value));
}

void lf_addInitBoolParameter(BoolParameter& parameter, pugi::xml_node root)
{
    if (!gf_appendBoolParameter(root, parameter.name, parameter.defaultValue))
        lf_logAddFailure(parameter.name, lf_boolText(parameter.defaultValue));
    parameter.value.store(parameter.defaultValue);
    gf_logLine(fmt::format("{}={}", parameter.name, lf_boolText(parameter.defaultValue)));
}

void lf_addInitIntParameter(IntParameter& parameter, pugi::xml_node root)
{
    if (!gf_appendIntParameter(root, parameter.name, parameter.defaultValue))
        lf_logAddFailure(parameter.name, fmt::format("{}", parameter.defaultValue));
    parameter.value.store(parameter.defaultValue);
    gf_logIntParameter(parameter);
}

void lf_addInitStringParameter(StringParameter& parameter, pugi::xml_node root)
{
    if (!gf_appendStringParameter(root, parameter.name, parameter.defaultValue))
        lf_logAddFailure(parameter.name, parameter.defaultValue);
    parameter.value.set(parameter.defaultValue);
    gf_logLine(fmt::format("{}={}", parameter.name, parameter.defaultValue));
}

void lf_readStoredParameters(const ParameterLists& lists, pugi::xml_document& document)
{
    pugi::xml_node root = document.child("parameters");
    for (BoolParameter* parameter : lists.bools) {
        if (!lf_readBoolParameter(*parameter, document) && root)
            gf_appendBoolParameter(root, parameter->name, parameter->value.load());
    }
    for (CheckBox* parameter : lists.checkBoxes) {
        if (!lf_readBoolParameter(*parameter, document) && root)
            gf_appendBoolParameter(root, parameter->name, parameter->value.load());
    }
    for (IntParameter* parameter : lists.ints) {
        if (!gf_readIntParameter(*parameter, document, true) && root)
            gf_appendIntParameter(root, parameter->name, parameter->value.load());
    }
    for (IntTextBox* parameter : lists.intBoxes) {
        if (!gf_readIntParameter(*parameter, document, true) && root)
            gf_appendIntParameter(root, parameter->name, parameter->value.load());
    }
    for (StringParameter* parameter : lists.strings) {
        if (lf_isFolderParameter(*parameter)) {
            lf_readFolderParameter(*parameter, document);
            if (parameter->value.empty())
                lf_removeFolderParameter(*parameter, document);
        } else if (!lf_readStringParameter(*parameter, document) && root) {
            gf_appendStringParameter(root, parameter->name, parameter->getValue());
        }
    }
    for (StringTextBox* parameter : lists.stringBoxes) {
        if (!lf_readStringParameter(*parameter, document) && root)
            gf_appendStringParameter(root, parameter->name, parameter->getValue());
    }
}

void lf_writeDefaults(const ParameterLists& lists, pugi::xml_document& document)
{
    pugi::xml_node root = document.append_child("parameters");
    for (BoolParameter* parameter : lists.bools)
        lf_addInitBoolParameter(*parameter, root);
    for (CheckBox* parameter : lists.checkBoxes)
        lf_addInitBoolParameter(*parameter, root);
    for (IntParameter* parameter : lists.ints)
        lf_addInitIntParameter(*parameter, root);
    for (IntTextBox* parameter : lists.intBoxes)
        lf_addInitIntParameter(*parameter, root);
    for (StringParameter* parameter : lists.strings) {
        if (!lf_isFolderParameter(*parameter))
            lf_addInitStringParameter(*parameter, root);
    }
    for (StringTextBox* parameter : lists.stringBoxes)
        lf_addInitStringParameter(*parameter, root);
}

// The controls learn the loaded values after the file is done, outside the store's lock: a
// window that serves its controls on the GUI thread may itself be waiting for that lock.
void lf_showLoadedValues(const ParameterLists& lists)
{
    for (CheckBox* box : lists.checkBoxes)
        gf_setCheckMark(*box, box->value.load());
    for (IntTextBox* box : lists.intBoxes)
        gf_updateTextBoxFormatted(*box);
    for (StringTextBox* box : lists.stringBoxes)
        gf_updateTextBoxString(*box);
}

void lf_setAndSaveScanOption(CheckBox& option)
{
    option.value.store(true);
    gf_saveBoolParameter(option);
    gf_setCheckMark(option, true);
}

} // namespace

std::string gf_parameterQuery(std::string_view key)
{
    return fmt::format("/parameters/parameter[@name='{}']", key);
}

bool gf_appendStringParameter(pugi::xml_node parent, std::string_view key, std::string_view value)
{
    pugi::xml_node node = parent.append_child("parameter");
    if (!node)
        return false;
    const bool named = node.append_attribute("name").set_value(std::string(key).c_str());
    return named && node.append_attribute("value").set_value(std::string(value).c_str());
}

bool gf_appendBoolParameter(pugi::xml_node parent, std::string_view key, bool value)
{
    return gf_appendStringParameter(parent, key, lf_boolText(value));
}

bool gf_appendIntParameter(pugi::xml_node parent, std::string_view key, std::int32_t value)
{
    return gf_appendStringParameter(parent, key, fmt::format("{}", value));
}

bool gf_readIntParameter(IntParameter& parameter, const pugi::xml_document& document, bool log)
{
    const pugi::xml_node node = lf_findParameterNode(document, parameter.name);
    // An element without a value is no stored 0: the setting keeps its default.
    if (const pugi::xml_attribute value = node.attribute("value"))
        parameter.setValue(value.as_int(0));
    else
        parameter.value.store(parameter.defaultValue);
    if (log)
        gf_logIntParameter(parameter);
    return static_cast<bool>(node);
}

void gf_logIntParameter(const IntParameter& parameter)
{
    gf_logLine(fmt::format("{}={}", parameter.name, parameter.value.load()));
}

bool gf_loadParametersDocument(pugi::xml_document& document)
{
    std::lock_guard lock(storeMutex);
    return lf_loadDocument(document);
}

void gf_readParameters(const ParameterLists& lists)
{
    {
        std::lock_guard lock(storeMutex);
        gf_logLine(gf_starLine(70, 0, true, false, "parameters"));
        if (gf_appDataFolderFellBack())
            gf_logWarning(fmt::format("the per-user data folder cannot be made, settings are kept in {}",
                                      gf_pathText(g_appDataFolder)));
        pugi::xml_document document;
        if (lf_loadDocument(document)) {
            gf_logLine(fmt::format("from \"{}\"", g_parametersFile));
            lf_readStoredParameters(lists, document);
        } else {
            gf_logLine(g_parametersFile + " not found, default values taken:");
            lf_writeDefaults(lists, document);
        }
        std::error_code ec;
        const fs::path path = gf_pathFromText(g_parametersFile);
        if (path.has_parent_path())
            fs::create_directories(path.parent_path(), ec);
        gf_saveXml(document, path);
        gf_logLine(gf_starLine(70, 10, false, true, ""));
    }
    lf_showLoadedValues(lists);
}

void gf_loadParameters()
{
    gf_readParameters(gf_persistedParameters());
    gf_checkVersionUpdate();
    LATERAL_RANGE.value.store(std::clamp(LATERAL_RANGE.value.load(), 2, 100));
    gf_mirrorLateralRange();
}

void gf_checkVersionUpdate()
{
    const std::string running = gf_versionText(g_programVersion);
    const std::string stored = PROGRAM_VERSION.getValue();
    if (stored == PROGRAM_VERSION.defaultValue) {
        gf_setParameterString(PROGRAM_VERSION, running);
        return;
    }
    const ProgramVersion storedVersion = gf_parseVersion(stored);
    if (storedVersion != g_programVersion)
        gf_setParameterString(PROGRAM_VERSION, running);
    if (!(g_programVersion > storedVersion))
        return;
    gf_log(fmt::format("This is a version update from {} -> {}", gf_versionText(storedVersion), running));
    if (fs::exists(g_installerFile))
        fs::remove(g_installerFile);
    lf_setAndSaveScanOption(SCAN_LIVERIES);
    lf_setAndSaveScanOption(SCAN_AIRPORTS);
}

void gf_saveBoolParameter(const BoolParameter& parameter)
{
    std::lock_guard lock(storeMutex);
    lf_saveValue(parameter.name, lf_boolText(parameter.value.load()));
}

void gf_saveIntParameter(const IntParameter& parameter)
{
    std::lock_guard lock(storeMutex);
    lf_saveValue(parameter.name, fmt::format("{}", parameter.value.load()));
}

void gf_saveStringParameter(const StringParameter& parameter)
{
    std::lock_guard lock(storeMutex);
    lf_saveValue(parameter.name, parameter.getValue());
}

void gf_setParameterString(StringParameter& parameter, std::string text)
{
    parameter.value.set(std::move(text));
    gf_saveStringParameter(parameter);
}

void gf_refreshStringControl(const StringTextBox& box)
{
    gf_updateTextBoxString(box);
}
