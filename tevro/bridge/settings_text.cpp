#include "tevro/bridge/settings_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <string>

#include "tevro/core/key_value_text.h"

namespace tevro::bridge {

namespace {

// atoi's reading (leading blanks, a sign, digits), clamped instead of undefined.
int leadingInteger(const std::string& value) {
    long long v = std::strtoll(value.c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

} // namespace

SettingsText SettingsText::parse(const char* text) {
    SettingsText out;
    // Later lines with the same key win.
    std::map<std::string, std::string> lines;
    for (auto& [key, value] : parseKeyValueText(text ? std::string_view(text) : std::string_view()))
        if (isSafeTextValue(value))
            lines[key] = std::move(value);

    out.m_pack.set_int(lt::settings_pack::hashing_threads, 16);
    out.m_pack.set_int(lt::settings_pack::checking_mem_usage, 16384);
    // The library's opening picker takes random wanted pieces whatever their
    // priority until a few are on disk: a stream's first pieces would queue
    // behind any of them. Rarest first honours priorities from the start.
    out.m_pack.set_int(lt::settings_pack::initial_picker_threshold, 0);
    for (const auto& [key, value] : lines) {
        int index = lt::setting_by_name(key);
        if (index < 0)
            continue;
        switch (index & lt::settings_pack::type_mask) {
        case lt::settings_pack::string_type_base:
            out.m_pack.set_str(index, value);
            break;
        case lt::settings_pack::int_type_base:
            out.m_pack.set_int(index, leadingInteger(value));
            break;
        case lt::settings_pack::bool_type_base:
            out.m_pack.set_bool(index, value == "1" || value == "true");
            break;
        default:
            continue;
        }
        out.m_named.insert(index);
    }
    out.m_pack.set_int(lt::settings_pack::alert_mask, kAlertMask);
    out.m_named.erase(lt::settings_pack::alert_mask);
    return out;
}

void SettingsText::resetOmitted(const std::set<int>& earlier) {
    static const lt::settings_pack defaults = lt::default_settings();
    for (int index : earlier) {
        if (m_named.count(index) || m_pack.has_val(index))
            continue;
        switch (index & lt::settings_pack::type_mask) {
        case lt::settings_pack::string_type_base:
            m_pack.set_str(index, defaults.get_str(index));
            break;
        case lt::settings_pack::int_type_base:
            m_pack.set_int(index, defaults.get_int(index));
            break;
        case lt::settings_pack::bool_type_base:
            m_pack.set_bool(index, defaults.get_bool(index));
            break;
        }
    }
}

} // namespace tevro::bridge
