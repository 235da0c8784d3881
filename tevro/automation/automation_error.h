#pragma once

// The failure of an automation call: its message is what the client reads.

#include <string>

namespace tevro {

struct AutomationError {
    std::string message;
};

} // namespace tevro
