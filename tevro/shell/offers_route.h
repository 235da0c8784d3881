#pragma once

// The control route "/offers": one action on the offers page and its model,
// then the offers status object.

#include "tevro/automation/command_layer.h"

namespace tevro {

class SidebarOffersState;

class OffersRoute {
public:
    OffersRoute() = delete;

    // "refresh" (forced), "present", "close", "next", "previous" or "hide"
    // (with "id"); any other action only reports.
    static void run(SidebarOffersState& state, const CommandLayer::QueryMap& query,
                    CommandLayer::Reply reply);
    static Json status(const SidebarOffersState& state);
};

} // namespace tevro
