// Compiled into every test binary: the shell's bodies of core/shell_port.h are installed before
// the first test, as the program installs them before its window exists, so that what a
// subsystem reports reaches the message line, the window and the exit machine in tests too.

#include "app/shell_connection.h"

#include <gtest/gtest.h>

namespace {

class ConnectedShell : public ::testing::Environment {
public:
    void SetUp() override { gf_connectShell(); }
};

[[maybe_unused]] ::testing::Environment* const connectedShell =
    ::testing::AddGlobalTestEnvironment(new ConnectedShell);

} // namespace
