// Orvanta_P3D: one small window that brings live air traffic into the simulator.

#include "app/application.h"
#include "core/log.h"
#include "platform/single_instance.h"
#include "run/exit.h"

#include <chrono>
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
    const int status = gf_runApplication();
    // The exit thread posted the final exit as its last work; it is let finish before the
    // program's globals go.
    gf_waitForExitIdle(std::chrono::seconds(10));
    return status;
}
