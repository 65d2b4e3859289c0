#pragma once
// The byte stream under the bare test client, the part of it that differs between the systems:
// a TCP connection to 127.0.0.1, or the simulator's pipe (on Windows the named pipe, on Linux
// the Unix-domain socket that stands in for it). raw_link_linux.cpp, raw_link_windows.cpp.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace fakesim_test {

class RawLink {
public:
    // Connects at once; throws std::runtime_error when nothing answers.
    explicit RawLink(std::uint16_t port);
    explicit RawLink(const std::filesystem::path& pipe);
    ~RawLink();
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    // Sends every byte; throws std::runtime_error when it cannot.
    void send(std::span<const std::uint8_t> bytes);
    enum class Got { Bytes, Nothing, Closed };
    // Appends what comes before the deadline: Bytes, Nothing (the deadline passed) or Closed
    // (the peer's end is gone).
    Got receive(std::vector<std::uint8_t>& into, std::chrono::milliseconds timeout);

    struct State;  // one per system

private:
    std::unique_ptr<State> state_;
};

// A pipe of the test's own for a stand-in, that no other test meets: under the folder on Linux,
// a name of this process on Windows.
std::filesystem::path testPipe(const std::filesystem::path& folder);

} // namespace fakesim_test
