#include "test_helpers.h"

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include <windows.h>

namespace fakesim_test {

// A thread reads the child's output as it comes, so that reads with a deadline wait on a
// condition instead of on the pipe, which has no overlapped mode.
struct ChildProcess::State {
    PROCESS_INFORMATION process{};
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    std::thread reader;
    std::mutex mutex;
    std::condition_variable arrived;
    std::string buffer;     // under mutex
    bool outputEnded = false; // under mutex
    bool exited = false;
    int exitCode = 0;

    void readOutput();
};

namespace {

std::wstring lf_wide(const std::string& text)
{
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// One argument as the C runtime of the child splits its command line back: quoted when it holds
// blanks or quotes, with the backslashes before a quote doubled.
std::wstring lf_quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

} // namespace

void ChildProcess::State::readOutput()
{
    char chunk[4096];
    DWORD n = 0;
    while (::ReadFile(out, chunk, sizeof chunk, &n, nullptr) && n > 0) {
        std::lock_guard lock(mutex);
        buffer.append(chunk, n);
        arrived.notify_all();
    }
    std::lock_guard lock(mutex);
    outputEnded = true;
    arrived.notify_all();
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder)
    : state_(std::make_unique<State>())
{
    // The child's ends are inheritable, the test's own ends are not.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = INVALID_HANDLE_VALUE;
    HANDLE childOut = INVALID_HANDLE_VALUE;
    if (!::CreatePipe(&childIn, &state_->in, &inheritable, 0) || !::CreatePipe(&state_->out, &childOut, &inheritable, 0))
        throw std::runtime_error("pipe failed");
    ::SetHandleInformation(state_->in, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(state_->out, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine;
    for (const auto& argument : argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + lf_quoted(lf_wide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring program = std::filesystem::path(argv.at(0)).make_preferred().wstring();
    const std::wstring folder = workingFolder.empty() ? std::wstring() : workingFolder.wstring();
    const BOOL started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          folder.empty() ? nullptr : folder.c_str(), &startup, &state_->process);
    const DWORD error = ::GetLastError();
    ::CloseHandle(childIn);
    ::CloseHandle(childOut);
    if (!started) {
        ::CloseHandle(state_->in);
        ::CloseHandle(state_->out);
        throw std::runtime_error("cannot start " + argv[0] + ": error " + std::to_string(error));
    }
    state_->reader = std::thread([state = state_.get()] { state->readOutput(); });
}

ChildProcess::~ChildProcess()
{
    if (!state_->exited) {
        ::TerminateProcess(state_->process.hProcess, 1);
        ::WaitForSingleObject(state_->process.hProcess, INFINITE);
    }
    closeInput();
    // The output ends with the child.
    state_->reader.join();
    ::CloseHandle(state_->out);
    ::CloseHandle(state_->process.hThread);
    ::CloseHandle(state_->process.hProcess);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(state_->mutex);
    std::string& buffer = state_->buffer;
    state_->arrived.wait_for(lock, timeout,
                             [&] { return buffer.find('\n') != std::string::npos || state_->outputEnded; });
    const auto newline = buffer.find('\n');
    if (newline == std::string::npos)
        return std::nullopt;
    std::string line = buffer.substr(0, newline);
    buffer.erase(0, newline + 1);
    return line;
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(state_->mutex);
    state_->arrived.wait_for(lock, timeout, [&] { return state_->outputEnded; });
    return std::exchange(state_->buffer, {});
}

void ChildProcess::writeLine(const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    if (!::WriteFile(state_->in, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        throw std::runtime_error("cannot write to the child");
}

void ChildProcess::closeInput()
{
    if (state_->in != INVALID_HANDLE_VALUE)
        ::CloseHandle(state_->in);
    state_->in = INVALID_HANDLE_VALUE;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    if (state_->exited)
        return state_->exitCode;
    if (::WaitForSingleObject(state_->process.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(state_->process.hProcess, &code);
    state_->exited = true;
    state_->exitCode = static_cast<int>(code);
    return state_->exitCode;
}

} // namespace fakesim_test
