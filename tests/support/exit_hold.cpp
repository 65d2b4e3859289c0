#include "support/exit_hold.h"

#include "run/exit.h"
#include "support/test_seams.h"

#include <string_view>

namespace testsupport {

ExitHold::ExitHold()
{
    gf_setExitStepObserver([released = released_.get_future().share()](std::string_view step) {
        if (step == "readers")
            released.wait();
    });
}

ExitHold::~ExitHold()
{
    release();
    gf_setExitStepObserver(nullptr);
}

void ExitHold::release()
{
    if (isReleased_)
        return;
    isReleased_ = true;
    released_.set_value();
}

} // namespace testsupport
