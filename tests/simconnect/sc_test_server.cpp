#include "sc_test_server.h"

#include "simconnect/simconnect_config.h"

#include <stdexcept>

namespace fs = std::filesystem;

namespace sctest {
namespace {

int lf_remainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

std::string unusedPort(Family family)
{
    // The port of a listener that is gone again refuses connections.
    return TestServer::tcp(family)->port();
}

Bytes hex(const std::string& text)
{
    Bytes bytes;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

Bytes u32le(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 24)};
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes message(std::uint32_t id, const Bytes& body)
{
    return u32le(static_cast<std::uint32_t>(12 + body.size())) + u32le(1) + u32le(id) + body;
}

ScWorld::ScWorld() : system_(enterSystem(temp_.path()))
{
    for (const fs::path& folder : {home(), documents(), current()})
        fs::create_directories(folder);
    qmx::gf_scSetConfigFolders({home(), documents(), current()});
}

ScWorld::~ScWorld()
{
    qmx::gf_scSetConfigFolders({});
}

void ScWorld::writeConfig(const fs::path& folder, const std::string& text) const
{
    testsupport::writeFile(folder / "SimConnect.cfg", text);
}

void Received::proc(qmx::SIMCONNECT_RECV* data, std::uint32_t size, void* context)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    static_cast<Received*>(context)->messages.emplace_back(bytes, bytes + size);
}

Client::~Client()
{
    if (handle != nullptr)
        qmx::SimConnect_Close(handle);
}

qmx::HRESULT Client::dispatchUntil(std::size_t count)
{
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    qmx::HRESULT result = qmx::SimConnect_CallDispatch(handle, &Received::proc, &received);
    while (result == qmx::S_OK && received.messages.size() < count && std::chrono::steady_clock::now() < deadline) {
        event.waitFor(std::chrono::milliseconds(lf_remainingMs(deadline)));
        result = qmx::SimConnect_CallDispatch(handle, &Received::proc, &received);
    }
    return result;
}

bool Client::until(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        event.waitFor(std::chrono::milliseconds(lf_remainingMs(deadline)));
    }
    return true;
}

std::unique_ptr<Client> openClient(ScWorld& world, TestServer& server, const std::string& extraConfig)
{
    const std::string transport =
        server.isPipe() ? "Protocol=Pipe\n" : "Protocol=IPv4\nAddress=127.0.0.1\nPort=" + server.port() + "\n";
    world.writeConfig(world.current(), "[SimConnect]\n" + transport + extraConfig);
    auto client = std::make_unique<Client>();
    if (qmx::SimConnect_Open(&client->handle, "Orvanta_P3D", nullptr, 0, &client->event, 0) != qmx::S_OK ||
        !server.accept())
        throw std::runtime_error("test client cannot connect");
    client->openPacket = server.read(296);
    return client;
}

} // namespace sctest
