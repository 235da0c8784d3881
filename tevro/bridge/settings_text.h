#pragma once

// Turns the engine's settings text ("key=value" lines named after libtorrent's
// settings) into a settings pack, and remembers which settings each text set so
// that a later text leaving one out puts it back to the library's default.

#include <set>
#include <string_view>

#include <libtorrent/settings_pack.hpp>

namespace tevro::bridge {

class SettingsText {
public:
    // Fixed alert categories: error, port mapping, storage, status, piece progress.
    static constexpr int kAlertMask = 0x40004D;

    // Parses a text (null reads as empty). Unknown names are ignored; a value
    // holding CR or LF is refused; integers read like atoi, Booleans are true
    // only for "1" and "true". The pack starts with hashing_threads 16,
    // checking_mem_usage 16384 and initial_picker_threshold 0 and ends with
    // alert_mask kAlertMask.
    static SettingsText parse(const char* text);

    const lt::settings_pack& pack() const { return m_pack; }
    lt::settings_pack& pack() { return m_pack; }

    // Setting indices the text named (after the rules above).
    const std::set<int>& named() const { return m_named; }

    // Adds, for every setting an earlier text named and this one does not,
    // the library's default value, so the session ends as a fresh one would.
    void resetOmitted(const std::set<int>& earlier);

private:
    lt::settings_pack m_pack;
    std::set<int> m_named;
};

} // namespace tevro::bridge
