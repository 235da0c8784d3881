#pragma once

// Success and failure values of adding a torrent.

#include <string>

namespace tevro {

struct EngineError {
    std::string message;
};

struct AddResult {
    std::string id;
    bool duplicate = false; // the torrent was already in the session
};

} // namespace tevro
