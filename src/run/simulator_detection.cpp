#include "run/simulator_detection.h"

#include "core/exceptions.h"
#include "core/log.h"
#include "core/shell_port.h"
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
        gf_reportMessage("P3D not detected?", true);
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
