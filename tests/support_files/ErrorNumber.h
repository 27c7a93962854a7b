#pragma once

#include "platform/core/ProgramError.h"

#include <functional>

// The number of the ProgramError `action` raises, or 0 when it raises none.
inline int errorNumberOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ProgramError& error) {
        return error.Number;
    }
    return 0;
}
