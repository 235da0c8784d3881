#include "tevro/automation/control_request.h"

#include <charconv>
#include <cmath>

#include <QUrl>
#include <QUrlQuery>

namespace tevro {

namespace {

// Drops one leading "+"; a sign after it makes the text no number.
std::optional<std::string_view> withoutPlus(std::string_view text) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('+') || text.starts_with('-'))
            return std::nullopt;
    }
    if (text.empty())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<std::int64_t> parseInteger(std::string_view text) {
    auto digits = withoutPlus(text);
    if (!digits)
        return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(digits->data(), digits->data() + digits->size(), value);
    if (ec != std::errc() || end != digits->data() + digits->size())
        return std::nullopt;
    return value;
}

std::optional<double> parseDouble(std::string_view text) {
    auto digits = withoutPlus(text);
    if (!digits)
        return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(digits->data(), digits->data() + digits->size(), value);
    if (ec != std::errc() || end != digits->data() + digits->size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<ControlRequest> ControlRequest::parse(std::string_view target) {
    // The base only helps parsing; it is never contacted.
    QUrl url(QStringLiteral("http://127.0.0.1") +
                 QString::fromUtf8(target.data(), static_cast<qsizetype>(target.size())),
             QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    ControlRequest request;
    request.path = url.path(QUrl::FullyDecoded).toStdString();
    QUrlQuery query(url);
    for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded))
        request.query[name.toStdString()] = value.toStdString();
    return request;
}

std::string ControlRequest::text(const std::string& key, const std::string& fallback) const {
    auto it = query.find(key);
    return it == query.end() ? fallback : it->second;
}

bool ControlRequest::flag(const std::string& key) const {
    auto it = query.find(key);
    return it != query.end() && it->second == "1";
}

std::optional<std::int64_t> ControlRequest::integer(const std::string& key) const {
    auto it = query.find(key);
    if (it == query.end())
        return std::nullopt;
    return parseInteger(it->second);
}

std::optional<std::int64_t> ControlRequest::integer(const std::string& key, std::int64_t low,
                                                    std::int64_t high) const {
    auto value = integer(key);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return value;
}

std::optional<double> ControlRequest::number(const std::string& key) const {
    auto it = query.find(key);
    if (it == query.end())
        return std::nullopt;
    return parseDouble(it->second);
}

} // namespace tevro
