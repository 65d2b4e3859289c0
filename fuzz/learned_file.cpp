// The learned file of an airport stand file, merged into the stands of a small stand file
// of the park airport when it is read.

#include "airports/learned_merge.h"
#include "harness.h"
#include "stand_reading.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kStandFile =
    "<?xml version=\"1.0\"?>\n<meta><info name=\"author\" value=\"Orvanta_P3D\"/>"
    "<info name=\"version\" value=\"10.9.8\"/><info name=\"date\" value=\"Jan 01, 2026\"/>"
    "<info name=\"copyright\" value=\"x\"/></meta>\n<parameters>\n"
    "<parameter name=\"airport_name\" value=\"Los Angeles Intl\"/>\n"
    "<parameter name=\"publisher\" value=\"ORBX\"/>\n<parameter name=\"altitude\" value=\"128\"/>\n"
    "<parameter name=\"Qf_real\" value=\"50\"/>\n</parameters>\n<parkpositions>\n"
    "<parkpos id=\"G1\" latitude=\"33.9411\" longitude=\"-118.4029\" radius=\"30\">"
    "<opt airl=\"AAL\" type=\"B738\" day=\"1\" hh=\"10,11\" cs=\"AAL1\"/></parkpos>\n"
    "<parkpos id=\"G2\" latitude=\"33.9415\" longitude=\"-118.4029\" radius=\"25\"/>\n"
    "<parkpos id=\"C1\" latitude=\"33.9380\" longitude=\"-118.4100\" radius=\"36\" cargo=\"true\"/>\n"
    "</parkpositions>\n";

const fs::path& lf_learnedFile()
{
    static const fs::path learned = [] {
        std::ofstream(fuzzing::parkAirportStandFile(), std::ios::binary) << kStandFile;
        const fs::path path = lf_learnedApfPath(fuzzing::parkAirportStandFile(), "ORBX");
        fs::create_directories(path.parent_path());
        return path;
    }();
    return learned;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::writeInput(lf_learnedFile(), data, size);
    fuzzing::readParkAirportStands();
    return 0;
}
