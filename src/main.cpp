// Orvanta_P3D: one small window that brings live air traffic into the simulator.

#include "app/application.h"
#include "core/log.h"
#include "platform/single_instance.h"

#include <exception>
#include <iostream>

int main()
{
    // A second instance ends at once and silently: no window, no log.
    if (!gf_acquireSingleInstance("Local\\$Orvanta_P3D$"))
        return -1;
    try {
        gf_openLog();
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return gf_runApplication();
}
