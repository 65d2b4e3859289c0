#include "run/simulator_detection.h"

#include "app/message_line.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "core/windows_glue.h"
#include "params/control_port.h"
#include "params/parameter_store.h"
#include "params/parameters.h"

#include <fmt/format.h>

namespace {

bool lf_anyUserFolderSet()
{
    for (const StringParameter* folder : g_lfolderParameters)
        if (!folder->value.empty())
            return true;
    for (const StringParameter* folder : g_afolderParameters)
        if (!folder->value.empty())
            return true;
    return false;
}

[[noreturn]] void lf_noInstallPath()
{
    ALL_INSTALL_PATH.value = std::string();
    gf_updateTextBoxString(ALL_INSTALL_PATH);
    throw qmx::UserErrorException(151, "No P3D install path detected, type full Install Path above, and press Enter");
}

} // namespace

void lf_detectP3D()
{
    // Read at every start, so that a simulator installed while the program runs is found.
    const int found = (gf_isP3DInstalled(6) ? 6 : 0) + (gf_isP3DInstalled(5) ? 5 : 0);
    if (found == 11)
        throw qmx::UserErrorException(
            153, "More than one P3D version detected, type full Install Path to wanted version above and press Enter");
    if (found == 0) {
        gf_showMessage("P3D not detected?", true);
        if (lf_anyUserFolderSet())
            return;
        lf_noInstallPath();
    }
    gf_log(fmt::format("P3Dv{}detected", found));
    const std::string path = gf_getP3DSetupPath(found).string();
    if (path.empty())
        lf_noInstallPath();
    ALL_INSTALL_PATH.value = path;
    gf_updateTextBoxString(ALL_INSTALL_PATH);
    gf_setParameterString(SIM_INSTALL_PATH, path);
}

std::string gf_p3dVersionFromPath()
{
    const std::string path = SIM_INSTALL_PATH.getValue();
    if (path.size() >= 2) {
        for (const char* mark : {"v5", "V5", "v6", "V6"})
            if (path.find(mark) != std::string::npos)
                return std::string(1, mark[1]);
    }
    if (P3D_VERSION.value >= 5)
        return std::to_string(P3D_VERSION.value.load());
    throw qmx::UserErrorException(77, fmt::format("P3D install path does not contain v5 or v6? Use hidden parameter {}, set it at 5 or 6",
                                                  "P3D_VERSION"));
}
