#pragma once
// Holds the exit machine at its first step until released, so that a test can look at the state
// that the exit's stop and reset are about to change.

#include <future>

namespace testsupport {

class ExitHold {
public:
    ExitHold();
    ~ExitHold();
    ExitHold(const ExitHold&) = delete;
    ExitHold& operator=(const ExitHold&) = delete;

    // Lets the exit go on; the destructor does it too.
    void release();

private:
    std::promise<void> released_;
    bool isReleased_ = false;
};

} // namespace testsupport
