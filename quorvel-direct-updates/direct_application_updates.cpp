#include "quorvel-direct-updates/direct_application_updates.h"

#include "quorvel-direct-updates/sparkle_update_backend.h"

namespace quorvel {

std::unique_ptr<ApplicationUpdates>
directApplicationUpdates(AppBundle bundle, std::function<std::optional<std::string>()> language,
                         std::function<bool()> canRelaunch) {
    auto backend =
        std::make_shared<SparkleUpdateBackend>(std::move(bundle), std::move(canRelaunch));
    return std::make_unique<ApplicationUpdates>(std::move(backend), std::move(language));
}

} // namespace quorvel
