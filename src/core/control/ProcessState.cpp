#include "control/ProcessState.h"

ProcessState& ProcessState::instance()
{
    static ProcessState state;
    return state;
}

void ProcessState::reset()
{
    instance() = ProcessState{};
}
