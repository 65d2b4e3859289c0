// input/temp2.xml, the unpacked model and airline data base. What the read rejects is a user or
// system error, which start-up shows before it stops. A data base that is read is then asked for
// the publishers of scenery files, as the add-on airport scan asks it: its aliases are regular
// expressions from a server and must match any name in bounded time.

#include "core/exceptions.h"
#include "harness.h"
#include "liveries/dbase.h"
#include "liveries/publishers.h"
#include "liveries/scan_messages.h"
#include "params/names.h"

#include <string>
#include <vector>

namespace {

// Paths of BGL files as a scan meets them, the last as long as a Windows path usually can be.
const std::vector<std::string>& lf_sceneryNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list{
            "C:\\Program Files\\Lockheed Martin\\Prepar3D v5\\Scenery\\0601\\scenery\\APX41080.bgl",
            "D:\\Addon Scenery\\FlyTampa\\Amsterdam\\scenery\\EHAM_AFX.bgl",
            "E:\\P3D Addons\\ORBX\\YBBN\\Scenery\\ADE_ORBX_YBBN.bgl", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"};
        std::string deep = "D:\\Addon Scenery";
        while (deep.size() < 240)
            deep += "\\Airport Package";
        list.push_back(deep + "\\scenery\\AF2_EHAM.bgl");
        return list;
    }();
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::writeInput(g_dbaseFile, data, size);
    gf_clearDbaseTables();
    try {
        gf_readDbaseFile(g_dbaseFile);
        for (const std::string& name : lf_sceneryNames())
            gf_publisherFromName(name);
    } catch (const qmx::UserErrorException&) {
    } catch (const qmx::SysErrorException&) {
    }
    gf_takeScanMessages();
    gf_clearDbaseTables();
    return 0;
}
