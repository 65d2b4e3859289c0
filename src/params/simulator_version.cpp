#include "params/simulator_version.h"

#include "core/exceptions.h"
#include "params/parameters.h"
#include "platform/paths.h"

#include <fmt/format.h>

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

std::filesystem::path gf_simulatorDataFolder()
{
    return platform::findCaseInsensitive(platform::programDataFolder(),
                                         "Lockheed Martin\\Prepar3D v" + gf_p3dVersionFromPath());
}
