#include "test_helpers.h"

#include <cstring>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fakesim_test {

struct ChildProcess::State {
    int pid = -1;
    int pidFd = -1;
    int in = -1;
    int out = -1;
    std::string buffer;
    bool exited = false;
    int exitCode = 0;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder)
    : state_(std::make_unique<State>())
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
    const int rc = ::posix_spawnp(&state_->pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    state_->in = inPipe[1];
    state_->out = outPipe[0];
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    state_->pidFd = static_cast<int>(::syscall(SYS_pidfd_open, state_->pid, 0));
}

ChildProcess::~ChildProcess()
{
    if (!state_->exited && state_->pid > 0) {
        ::kill(state_->pid, SIGKILL);
        int status = 0;
        ::waitpid(state_->pid, &status, 0);
    }
    for (int fd : {state_->in, state_->out, state_->pidFd})
        if (fd >= 0)
            ::close(fd);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto newline = state_->buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = state_->buffer.substr(0, newline);
            state_->buffer.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd pfd{state_->out, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char chunk[4096];
        const ssize_t n = ::read(state_->out, chunk, sizeof chunk);
        if (n <= 0)
            return std::nullopt;
        state_->buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd pfd{state_->out, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            break;
        char chunk[4096];
        const ssize_t n = ::read(state_->out, chunk, sizeof chunk);
        if (n <= 0)
            break;
        state_->buffer.append(chunk, static_cast<std::size_t>(n));
    }
    return std::exchange(state_->buffer, {});
}

void ChildProcess::writeLine(const std::string& line)
{
    const std::string text = line + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(state_->in, text.data() + written, text.size() - written);
        if (n <= 0)
            throw std::runtime_error("cannot write to the child");
        written += static_cast<std::size_t>(n);
    }
}

void ChildProcess::closeInput()
{
    if (state_->in >= 0)
        ::close(state_->in);
    state_->in = -1;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    if (state_->exited)
        return state_->exitCode;
    if (state_->pidFd >= 0) {
        pollfd pfd{state_->pidFd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
    }
    int status = 0;
    if (::waitpid(state_->pid, &status, 0) != state_->pid)
        return std::nullopt;
    state_->exited = true;
    state_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return state_->exitCode;
}

} // namespace fakesim_test
