#pragma once

// Owns a text returned by the bridge and frees it with tb_free.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tevro/bridge/torrent_bridge.h"

namespace tevro {

class BridgeString {
public:
    BridgeString() = default;
    explicit BridgeString(char* owned) : m_text(owned) {}
    ~BridgeString() { tb_free(m_text); }
    BridgeString(BridgeString&& other) noexcept : m_text(std::exchange(other.m_text, nullptr)) {}
    BridgeString& operator=(BridgeString&& other) noexcept {
        if (this != &other) {
            tb_free(m_text);
            m_text = std::exchange(other.m_text, nullptr);
        }
        return *this;
    }
    BridgeString(const BridgeString&) = delete;
    BridgeString& operator=(const BridgeString&) = delete;

    // For error out-parameters: tb_add_torrent(s, path, options, error.out()).
    char** out() {
        tb_free(std::exchange(m_text, nullptr));
        return &m_text;
    }

    explicit operator bool() const { return m_text != nullptr; }
    const char* get() const { return m_text; }
    std::string_view view() const { return m_text ? std::string_view(m_text) : std::string_view(); }
    std::string str() const { return std::string(view()); }

private:
    char* m_text = nullptr;
};

// Copies and frees a returned text; nothing for a null result.
inline std::optional<std::string> takeBridgeString(char* owned) {
    BridgeString text(owned);
    if (!text)
        return std::nullopt;
    return text.str();
}

} // namespace tevro
