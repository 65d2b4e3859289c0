// Replays inputs through a fuzz target's entry point without libFuzzer, as the normal build's
// tests do: every file named on the command line and every file in every folder named. A
// fault shows as a crash or an uncaught exception, as under the fuzzer.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> lf_inputFiles(int argc, char** argv)
{
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path named = argv[i];
        if (!fs::is_directory(named)) {
            files.push_back(named);
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(named))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> lf_readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<fs::path> files = lf_inputFiles(argc, argv);
    for (const fs::path& file : files) {
        std::printf("%s\n", file.string().c_str());
        std::fflush(stdout);
        const std::vector<std::uint8_t> bytes = lf_readBytes(file);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size());
    // No input at all is a broken corpus, not a pass.
    return files.empty() ? 1 : 0;
}
