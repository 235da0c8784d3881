#include "quorvel-kit/offers/offers_engine.h"

namespace quorvel {

const std::map<std::string, OffersEngine::CatalogEntry>& OffersEngine::catalog() {
    // The maker's other applications. Symbols name freedesktop icon names.
    static const std::map<std::string, CatalogEntry> table{
        {"lumora", {"Lumora", "camera-photo", {"com.quorvel.lumora"}}},
        {"notaly", {"Notaly", "accessories-text-editor", {"com.quorvel.notaly"}}},
        {"pacebook", {"Pacebook", "x-office-calendar", {"com.quorvel.pacebook"}}},
        {"sonaro", {"Sonaro", "audio-x-generic", {"com.quorvel.sonaro"}}},
        {"vaultik", {"Vaultik", "dialog-password", {"com.quorvel.vaultik"}}},
    };
    return table;
}

} // namespace quorvel
