#include "test_helpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fakesim_test {

fakesim::Config quickConfig(const std::filesystem::path& folder)
{
    fakesim::Config config;
    config.tracePath = folder / "trace.jsonl";
    config.secondLength = std::chrono::milliseconds(100);
    config.frameRate = 10.0;
    config.zuluStartUnix = 1709294400;  // 2024-03-01 12:00:00
    return config;
}

std::vector<nlohmann::json> readTrace(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::vector<nlohmann::json> lines;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        auto parsed = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << path << ":" << number << " is not JSON: " << line;
        EXPECT_TRUE(parsed.is_object() && parsed.contains("t") && parsed.contains("type")) << line;
        if (!parsed.is_discarded())
            lines.push_back(std::move(parsed));
    }
    return lines;
}

std::vector<nlohmann::json> traceOfType(const std::filesystem::path& path, const std::string& type)
{
    std::vector<nlohmann::json> out;
    for (auto& line : readTrace(path))
        if (line.value("type", "") == type)
            out.push_back(std::move(line));
    return out;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder)
{
    int inPipe[2];
    int outPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    if (!workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    in_ = inPipe[1];
    out_ = outPipe[0];
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::~ChildProcess()
{
    if (!exited_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    for (int fd : {in_, out_, pidFd_})
        if (fd >= 0)
            ::close(fd);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto newline = buffer_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd pfd{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd pfd{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            break;
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
            break;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    return std::exchange(buffer_, {});
}

void ChildProcess::writeLine(const std::string& line)
{
    const std::string text = line + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(in_, text.data() + written, text.size() - written);
        if (n <= 0)
            throw std::runtime_error("cannot write to the child");
        written += static_cast<std::size_t>(n);
    }
}

void ChildProcess::closeInput()
{
    if (in_ >= 0)
        ::close(in_);
    in_ = -1;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    if (exited_)
        return exitCode_;
    if (pidFd_ >= 0) {
        pollfd pfd{pidFd_, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
    }
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_)
        return std::nullopt;
    exited_ = true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return exitCode_;
}

} // namespace fakesim_test
