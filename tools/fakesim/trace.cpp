#include "trace.h"

#include <cmath>
#include <stdexcept>

namespace fakesim {

void Trace::open(const std::filesystem::path& path)
{
    std::lock_guard lock(traceMutex_);
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_)
        throw std::runtime_error("cannot write the trace file " + path.string());
    path_ = path;
}

void Trace::write(const char* type, TraceEntry fields)
{
    std::lock_guard lock(traceMutex_);
    if (!out_.is_open())
        return;
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    TraceEntry line = TraceEntry::object();
    line["t"] = std::round(elapsed * 1000.0) / 1000.0;
    line["type"] = type;
    for (auto& [key, value] : fields.items())
        line[key] = std::move(value);
    // Texts from a client may hold any bytes: replace what is not UTF-8 rather than fail.
    out_ << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    out_.flush();
}

} // namespace fakesim
