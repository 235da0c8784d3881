#include "quorvel-kit/offers/offers_wire.h"

#include <chrono>
#include <cmath>

#include <QByteArray>
#include <nlohmann/json.hpp>

namespace quorvel {

namespace {

using json = nlohmann::json;

// Thrown inside the decoders only; every caller turns it into "nothing".
struct Defect {};

const json* field(const json& object, const char* key, bool required) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required)
            throw Defect{};
        return nullptr;
    }
    return &*it;
}

const json& object(const json& value) {
    if (!value.is_object())
        throw Defect{};
    return value;
}

std::string text(const json& value) {
    if (!value.is_string())
        throw Defect{};
    return value.get<std::string>();
}

std::vector<std::string> texts(const json& value) {
    if (!value.is_array())
        throw Defect{};
    std::vector<std::string> out;
    for (const auto& element : value)
        out.push_back(text(element));
    return out;
}

// An integral number that fits 64 signed bits; 2.0 counts, 2.5 does not.
int64_t integer(const json& value) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(INT64_MAX))
            throw Defect{};
        return value.get<int64_t>();
    }
    if (value.is_number_float()) {
        double d = value.get<double>();
        if (std::isfinite(d) && d == std::floor(d) && d >= -9.223372036854775808e18 &&
            d < 9.223372036854775808e18)
            return int64_t(d);
    }
    throw Defect{};
}

double number(const json& value) {
    if (!value.is_number())
        throw Defect{};
    return value.get<double>();
}

std::optional<std::string> optionalText(const json& o, const char* key) {
    const json* v = field(o, key, false);
    return v ? std::optional(text(*v)) : std::nullopt;
}

OffersEnvelope::Item item(const json& value) {
    const json& o = object(value);
    OffersEnvelope::Item item;
    item.id = text(*field(o, "id", true));
    item.targetAppId = text(*field(o, "targetAppId", true));
    item.startsAt = optionalText(o, "startsAt");
    item.endsAt = optionalText(o, "endsAt");
    const json& frequency = object(*field(o, "frequency", true));
    item.frequency.maxImpressionsPerDay = integer(*field(frequency, "maxImpressionsPerDay", true));
    item.frequency.dismissForDays = integer(*field(frequency, "dismissForDays", true));
    if (const json* d = field(o, "design", false)) {
        const json& design = object(*d);
        OffersEnvelope::Design out;
        out.layout = text(*field(design, "layout", true));
        out.background = texts(*field(design, "background", true));
        out.foreground = text(*field(design, "foreground", true));
        out.accent = text(*field(design, "accent", true));
        out.iconUrl = optionalText(design, "iconUrl");
        if (const json* icons = field(design, "bulletIconUrls", false))
            out.bulletIconUrls = texts(*icons);
        item.design = std::move(out);
    }
    if (const json* c = field(o, "content", false)) {
        const json& content = object(*c);
        OffersEnvelope::Content out;
        out.title = text(*field(content, "title", true));
        out.body = optionalText(content, "body");
        out.ctaLabel = text(*field(content, "ctaLabel", true));
        out.ctaUrl = text(*field(content, "ctaUrl", true));
        out.imageUrl = optionalText(content, "imageUrl");
        out.imageAlt = optionalText(content, "imageAlt");
        if (const json* stats = field(content, "stats", false)) {
            if (!stats->is_array())
                throw Defect{};
            std::vector<OffersEnvelope::Stat> list;
            for (const auto& s : *stats) {
                const json& stat = object(s);
                list.push_back(
                    {text(*field(stat, "value", true)), text(*field(stat, "label", true))});
            }
            out.stats = std::move(list);
        }
        if (const json* bullets = field(content, "bullets", false))
            out.bullets = texts(*bullets);
        item.content = std::move(out);
    }
    return item;
}

} // namespace

std::optional<OffersEnvelope> OffersEnvelope::decode(std::string_view body) {
    json root = json::parse(body, nullptr, false);
    if (root.is_discarded())
        return std::nullopt;
    try {
        const json& o = object(root);
        OffersEnvelope envelope;
        envelope.direction = optionalText(o, "direction");
        const json& offers = *field(o, "offers", true);
        if (!offers.is_array())
            throw Defect{};
        for (const auto& element : offers)
            envelope.offers.push_back(item(element));
        return envelope;
    } catch (const Defect&) {
        return std::nullopt;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

std::optional<Date> parseOfferDate(std::string_view text) {
    size_t at = 0;
    // Reads exactly `n` ASCII digits.
    auto digits = [&](size_t n) -> std::optional<int> {
        if (at + n > text.size())
            return std::nullopt;
        int value = 0;
        for (size_t i = 0; i < n; ++i) {
            char c = text[at + i];
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        at += n;
        return value;
    };
    auto literal = [&](char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    auto y = digits(4);
    if (!y || !literal('-'))
        return std::nullopt;
    auto mo = digits(2);
    if (!mo || !literal('-'))
        return std::nullopt;
    auto d = digits(2);
    if (!d || !literal('T'))
        return std::nullopt;
    auto h = digits(2);
    if (!h || !literal(':'))
        return std::nullopt;
    auto mi = digits(2);
    if (!mi || !literal(':'))
        return std::nullopt;
    auto sec = digits(2);
    if (!sec)
        return std::nullopt;
    double fraction = 0;
    if (literal('.')) {
        size_t begin = at;
        double scale = 0.1;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fraction += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == begin)
            return std::nullopt;
    }
    int offset = 0;
    if (literal('Z')) {
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int sign = text[at] == '-' ? -1 : 1;
        ++at;
        auto zh = digits(2);
        if (!zh || !literal(':'))
            return std::nullopt;
        auto zm = digits(2);
        if (!zm || *zh > 23 || *zm > 59)
            return std::nullopt;
        offset = sign * (*zh * 3600 + *zm * 60);
    } else {
        return std::nullopt;
    }
    if (at != text.size() || *h > 23 || *mi > 59 || *sec > 59)
        return std::nullopt;
    using namespace std::chrono;
    year_month_day ymd{year{*y} / month{unsigned(*mo)} / day{unsigned(*d)}};
    if (!ymd.ok())
        return std::nullopt;
    double days = double(sys_days{ymd}.time_since_epoch().count());
    return days * 86400 + *h * 3600 + *mi * 60 + *sec + fraction - offset;
}

std::string OffersState::encode() const {
    json o = json::object();
    if (cacheKey)
        o["cacheKey"] = *cacheKey;
    if (etag)
        o["etag"] = *etag;
    if (body)
        o["body"] = QByteArray::fromStdString(*body).toBase64().toStdString();
    if (fetchedAt)
        o["fetchedAt"] = *fetchedAt - kReferenceDateOffset;
    if (failedAt)
        o["failedAt"] = *failedAt - kReferenceDateOffset;
    o["impressions"] = json::object();
    for (const auto& [id, days] : impressions) {
        json perDay = json::object();
        for (const auto& [day, count] : days)
            perDay[day] = count;
        o["impressions"][id] = std::move(perDay);
    }
    o["dismissed"] = json::object();
    for (const auto& [id, when] : dismissed)
        o["dismissed"][id] = when - kReferenceDateOffset;
    // Service texts may hold anything; invalid UTF-8 must not stop the save.
    return o.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<OffersState> OffersState::decode(std::string_view text) {
    json root = json::parse(text, nullptr, false);
    if (root.is_discarded())
        return std::nullopt;
    try {
        const json& o = object(root);
        OffersState state;
        state.cacheKey = optionalText(o, "cacheKey");
        state.etag = optionalText(o, "etag");
        if (auto encoded = optionalText(o, "body")) {
            auto result = QByteArray::fromBase64Encoding(QByteArray::fromStdString(*encoded),
                                                         QByteArray::AbortOnBase64DecodingErrors);
            if (!result)
                throw Defect{};
            state.body = result.decoded.toStdString();
        }
        if (const json* v = field(o, "fetchedAt", false))
            state.fetchedAt = number(*v) + kReferenceDateOffset;
        if (const json* v = field(o, "failedAt", false))
            state.failedAt = number(*v) + kReferenceDateOffset;
        for (const auto& [id, days] : object(*field(o, "impressions", true)).items()) {
            auto& perDay = state.impressions[id];
            for (const auto& [day, count] : object(days).items())
                perDay[day] = integer(count);
        }
        for (const auto& [id, when] : object(*field(o, "dismissed", true)).items())
            state.dismissed[id] = number(when) + kReferenceDateOffset;
        return state;
    } catch (const Defect&) {
        return std::nullopt;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

} // namespace quorvel
