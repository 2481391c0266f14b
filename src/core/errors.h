// Error types shared by every layer.  Library code never ends the program: it
// throws, and each program's main decides how to show the message.
#pragma once

#include <stdexcept>
#include <string>

namespace zq {

// A start-up or asset failure that ends the program ("show a message and end").
// The message is the exact text the player sees in the message box.
struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file that could not be read or was refused; the caller reports it and goes on.
struct LoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace zq
