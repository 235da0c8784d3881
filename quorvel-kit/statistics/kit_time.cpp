#include "quorvel-kit/statistics/kit_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace quorvel {

Date systemNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

int TimeZone::offsetAt(Date date) const {
    if (m_fixed)
        return *m_fixed;
    time_t t = time_t(std::floor(date));
    // localtime_r keeps the zone it read first; tzset reads TZ and the
    // system's zone file again, so a change of zone is followed.
    tzset();
    tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    return int(local.tm_gmtoff);
}

int64_t TimeZone::dayNumber(Date date) const {
    return int64_t(std::floor((date + offsetAt(date)) / 86400.0));
}

std::string localDateText(int64_t day) {
    using namespace std::chrono;
    year_month_day ymd{sys_days{days{day}}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(ymd.year()), unsigned(ymd.month()),
                  unsigned(ymd.day()));
    return text;
}

std::string isoTimestamp(Date date) {
    using namespace std::chrono;
    int64_t ms = int64_t(std::floor(date * 1000.0 + 0.5));
    int64_t dayCount = ms >= 0 ? ms / 86'400'000 : -((-ms + 86'399'999) / 86'400'000);
    int64_t rest = ms - dayCount * 86'400'000;
    year_month_day ymd{sys_days{days{dayCount}}};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(rest / 3'600'000),
                  int(rest / 60'000 % 60), int(rest / 1000 % 60), int(rest % 1000));
    return text;
}

} // namespace quorvel
