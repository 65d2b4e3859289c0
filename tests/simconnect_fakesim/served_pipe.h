#pragma once
// Where the simulator stand-in serves a pipe so that the program's client finds it by the pipe's
// name: on Windows the named pipe itself, on Linux the Unix-domain socket that the program's
// platform layer maps the name to (served_pipe_linux.cpp, served_pipe_windows.cpp).

#include <filesystem>
#include <string>

std::filesystem::path servedPipe(const std::string& pipeName);
