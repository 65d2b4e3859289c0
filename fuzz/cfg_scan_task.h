#pragma once
// One aircraft.cfg read as a livery scan task, as the scan runs its tasks: the sample data base
// loaded, so that the sections reach the rules on model and airline codes, and a task's
// exception caught as the scan catches it (it logs it and goes on with the next file).

#include "liveries/livery_data.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>

namespace fuzzing {

using CfgScanTask = std::function<std::list<qmx::LiveryData>(std::int32_t, const std::filesystem::path&)>;

// Writes the input as aircraft.cfg in `folder` (made with its model and texture folders below
// the working folder) and runs the task on it; the scan's problem lists are emptied afterwards.
void runCfgScanTask(const std::filesystem::path& folder, const CfgScanTask& task, const std::uint8_t* data,
                    std::size_t size);

} // namespace fuzzing
