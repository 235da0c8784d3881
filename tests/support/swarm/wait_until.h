#pragma once

// Polls a condition until it holds or a deadline passes; never a fixed sleep.

#include <chrono>
#include <thread>

namespace tevro::swarm {

template <class Condition>
bool waitUntil(Condition&& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(25)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(step);
    }
}

} // namespace tevro::swarm
