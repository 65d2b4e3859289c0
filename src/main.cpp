// Orvanta_P3D: one small window that brings live air traffic into the simulator.

#include "app/application.h"
#include "core/log.h"
#include "params/names.h"
#include "platform/fatal_message.h"
#include "platform/single_instance.h"
#include "run/exit.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <system_error>

int main()
{
    // A second instance ends at once and silently: no window, no log.
    if (!gf_acquireSingleInstance("Local\\$Orvanta_P3D$"))
        return -1;
    // Started from another folder, the start-up's folder check shows error 41 in the window; no
    // Log.txt is written into that folder.
    std::error_code error;
    if (std::filesystem::is_directory(g_docsFolder, error)) {
        try {
            gf_openLog();
        } catch (const std::exception& e) {
            platform::showFatalError("Orvanta_P3D", e.what());
            return 1;
        }
    }
    const int status = gf_runApplication();
    // The exit thread posted the final exit as its last work; it is let finish before the
    // program's globals go.
    gf_waitForExitIdle(std::chrono::seconds(10));
    return status;
}
