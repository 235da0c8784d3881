#pragma once

// The application's update front: created on first use (the update menu item
// or the start-up, whichever comes first) over the direct backend with Russian
// texts, and kept for the life of the process.

#include <functional>

#include "quorvel-kit/updates/application_updates.h"

namespace tevro::AppUpdates {

quorvel::ApplicationUpdates& controller();
// The orderly quit, run once a newly installed build has started.
void setTerminate(std::function<void()> terminate);

} // namespace tevro::AppUpdates
