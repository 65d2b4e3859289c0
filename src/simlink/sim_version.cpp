#include "simlink/sim_version.h"

#include "core/exceptions.h"
#include "params/parameters.h"

#include <fmt/format.h>
#include <string_view>
#include <utility>

std::string gf_p3dVersionFromPath()
{
    const std::string path = SIM_INSTALL_PATH.getValue();
    if (path.size() >= 2) {
        static constexpr std::pair<std::string_view, std::string_view> kMarks[] = {
            {"v5", "5"}, {"V5", "5"}, {"v6", "6"}, {"V6", "6"}};
        for (const auto& [mark, version] : kMarks) {
            if (path.find(mark) != std::string::npos)
                return std::string(version);
        }
    }
    if (const std::int32_t version = P3D_VERSION.value.load(); version >= 5)
        return std::to_string(version);
    throw qmx::UserErrorException(
        77, fmt::format("P3D install path does not contain v5 or v6? Use hidden parameter {}, set it at 5 or 6",
                        "P3D_VERSION"));
}
