#pragma once
// The stand-in's trace: one JSON object per line, written and flushed as things happen, so that
// tests and people can read what the client asked for and what became of the world.
// Every line has "t" (seconds since the stand-in started) and "type"; see README.md.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <nlohmann/json.hpp>

namespace fakesim {

using TraceEntry = nlohmann::ordered_json;

class Trace {
public:
    explicit Trace(std::chrono::steady_clock::time_point start) : start_(start) {}

    // Starts a new trace file (truncated). Throws std::runtime_error when it cannot be opened.
    void open(const std::filesystem::path& path);
    bool isOpen() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }

    // Writes one line: {"t": ..., "type": type, ...fields}. Nothing happens without a file.
    void write(const char* type, TraceEntry fields = TraceEntry::object());

private:
    std::chrono::steady_clock::time_point start_;
    std::filesystem::path path_;
    std::mutex traceMutex_;
    std::ofstream out_;
};

} // namespace fakesim
