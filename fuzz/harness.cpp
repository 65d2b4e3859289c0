#include "harness.h"

#include "app/shell_connection.h"
#include "liveries/dbase.h"
#include "params/control_port.h"
#include "params/names.h"
#include "support/params_fixture.h"
#include "support/temp_folder.h"

#include <fstream>
#include <memory>
#include <stdexcept>

namespace fs = std::filesystem;

namespace fuzzing {
namespace {

struct WorkingFolder {
    WorkingFolder()
    {
        for (const fs::path& f : {g_inputFolder, g_outputInfoFolder, g_outputErrorsFolder, g_myRegcodesFolder,
                                  g_myThirdpartyFolder, g_myOrbxFolder, g_learnedStockFolder, g_learnedSimaddonFolder,
                                  g_learnedThirdpartyFolder})
            fs::create_directories(f);
        gf_initAppDataFolder();
        paramstest::resetAllParameters();
        gf_setControlPort(&port);
        // As in the program and the tests: what a reader reports reaches the message line, and
        // an exit it asks for reaches the exit machine.
        gf_connectShell();
    }
    ~WorkingFolder() { gf_setControlPort(nullptr); }

    testsupport::TempFolder folder{true};
    testsupport::ScopedAppDataFolder config{folder.path() / "config"};
    testsupport::ScopedEnv wine{"WINEPREFIX", (folder.path() / "wine").string()};
    // Nothing is ever downloaded: a reader that asks the server finds nothing there.
    testsupport::ScopedEnv base{"ORVANTA_DOWNLOAD_BASE", "file://" + (folder.path() / "server").string() + "/"};
    MemoryControlPort port;
};

} // namespace

void prepareWorkingFolder()
{
    static const auto folder = std::make_unique<WorkingFolder>();
}

void loadSampleDbase()
{
    static const bool loaded = [] {
        const fs::path copy = g_inputFolder / "sample_dbase.xml";
        fs::copy_file(fs::path(ORVANTA_SOURCE_DIR) / "tests/liveries/fixtures/dbase/temp2.xml", copy,
                      fs::copy_options::overwrite_existing);
        return gf_readDbaseFile(copy);
    }();
    (void)loaded;
}

fs::path makeAircraftFolder(const fs::path& folder)
{
    for (const char* name : {"model", "texture"})
        fs::create_directories(folder / name);
    // The scan hands on the paths of the folders it walks, which are absolute.
    return fs::absolute(folder);
}

std::string_view textOf(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

void writeInput(const fs::path& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace fuzzing
