#include "app/controls.h"

#include "app/main_window.h"
#include "app/message_line.h"
#include "run/run_flags.h"

const std::vector<ControlLayout>& gf_controlLayout()
{
    using K = ControlKind;
    static const std::vector<ControlLayout> layout = {
        {&ALL_INSTALL_PATH, K::EditBox, 111, 1200},
        {&SCAN_LIVERIES, K::CheckBox, 5, 0},
        {&LIG_AUTOMATIC, K::CheckBox, 217, 0},
        {&LIG_PRIORITIZE, K::CheckBox, 430, 0},
        {&SUPPRESS_STUB, K::CheckBox, 536, 0},
        {&LOG, K::CheckBox, 652, 0},
        {&ALWAYS_ON_TOP, K::CheckBox, 748, 0},
        {&SCAN_AIRPORTS, K::CheckBox, 5, 0},
        {&AFG_AUTOMATIC, K::CheckBox, 217, 0},
        {&NAV_LIGHTS_WHILE_PARKED, K::CheckBox, 652, 0},
        {&LEARN_SOFT, K::CheckBox, 748, 0},
        {&MATCHING_DEPTH, K::EditBox, 217, 24},
        {&LIGHT_AIRCRAFT, K::CheckBox, 323, 0},
        {&HELICOPTERS, K::CheckBox, 430, 0},
        {&HIGH_PERF_AIRCRAFT, K::CheckBox, 536, 0},
        {&AEROWINX, K::CheckBox, 652, 0},
        {&GUID_CHANGES, K::CheckBox, 748, 0},
        {&LATERAL_RANGE, K::EditBox, 217, 34},
        {&AUTO_RANGE, K::CheckBox, 323, 0},
        {&AUTO_RANGE_ABOVE_HEIGHT, K::EditBox, 455, 50},
        {&COLLISION_USER_GND, K::CheckBox, 217, 0},
        {&COLLISION_USER_AIR, K::CheckBox, 323, 0},
        {&COLLISION_LIVE_PARKED_GND, K::CheckBox, 430, 0},
        {&BLOCK_CALLSIGN, K::EditBox, 217, 100},
        {&g_unblockButton, K::Button, 323, 70},
        {&CUSTOM_MAX_PARK, K::EditBox, 353, 34},
        {&MAX_LIVE, K::EditBox, 601, 34},
        {&DESTINATION, K::EditBox, 217, 50},
        {&AIRPORT_RANGE, K::EditBox, 353, 34},
        {&AIRPORT_HEIGHT, K::EditBox, 566, 50},
        {&STRAIGHT_PBS_ONLY, K::CheckBox, 652, 0},
        {&PARK_FAKE, K::CheckBox, 5, 0},
        {&WEEK, K::CheckBox, 71, 0},
        {&PARK_SOFT, K::CheckBox, 151, 0},
        {&parking_percentage, K::EditBox, 323, 34},
        {&INITIAL_LOAD_ONLY, K::CheckBox, 430, 0},
        {&MAX_FIT_FL, K::EditBox, 566, 24},
        {&g_rereadButton, K::Button, 758, 90},
        {&g_flushStaticButton, K::Button, 758, 90},
    };
    return layout;
}

void gf_layoutControls()
{
    for (const ControlLayout& entry : gf_controlLayout()) {
        switch (entry.kind) {
        case ControlKind::CheckBox:
            gf_createCheckBox(dynamic_cast<CheckBox&>(*entry.control), entry.x);
            break;
        case ControlKind::Button:
            gf_createButton(dynamic_cast<Button&>(*entry.control), entry.x, entry.width);
            break;
        case ControlKind::EditBox:
            gf_createEditBox(*entry.control, entry.x, entry.width);
            break;
        }
    }
    gf_invalidateControlArea();
}

bool gf_isControlEnabled(const ParameterControl& control)
{
    const ControlHandle handle = control.hwnd.load();
    ControlPort* port = gf_controlPort();
    if (handle == nullptr || port == nullptr)
        return false;
    if (auto* query = dynamic_cast<EnabledStateQuery*>(port))
        return query->isEnabled(handle);
    if (auto* memory = dynamic_cast<MemoryControlPort*>(port)) {
        const auto found = memory->find(control.controlId);
        return found && found->enabled;
    }
    return false;
}
