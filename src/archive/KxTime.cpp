#include "archive/KxTime.h"

#include <cerrno>
#include <cstdio>

const ClassInfo KxTime::classInfo{"KxTime", sizeof(KxTime), &createObject<KxTime>,
                                  &CObject::classInfo};

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Builds a broken-down time from the fields and lets the C library normalise it: local time
// (daylight flag decided by the library) or UTC for a value flagged as GMT, so that a UTC
// value never moves across a local daylight-saving gap. Returns false when the library
// reports an error; `tm` is then left as the library left it.
bool normalise(const KxTime& t, std::tm& tm) {
    tm = std::tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    errno = 0;
    std::time_t s = t.isGmt == 1 ? timegm(&tm) : std::mktime(&tm);
    return !(s == static_cast<std::time_t>(-1) && errno != 0);
}

}  // namespace

void KxTime::fromTime(std::time_t t, bool utc) {
    *this = KxTime();
    if (t == static_cast<std::time_t>(-1)) {
        return;
    }
    std::tm tm{};
    if ((utc ? gmtime_r(&t, &tm) : localtime_r(&t, &tm)) == nullptr) {
        return;
    }
    long fullYear = static_cast<long>(tm.tm_year) + 1900;
    if (fullYear < 0 || fullYear > 65535) {
        return;  // does not fit the 16-bit year: as good as a failed breakdown
    }
    year = static_cast<std::uint16_t>(fullYear);
    month = static_cast<std::uint8_t>(tm.tm_mon + 1);
    day = static_cast<std::uint8_t>(tm.tm_mday);
    hour = static_cast<std::uint8_t>(tm.tm_hour);
    minute = static_cast<std::uint8_t>(tm.tm_min);
    second = static_cast<std::uint8_t>(tm.tm_sec);
    isGmt = utc ? 1 : 0;
}

std::string KxTime::toAscText() const {
    std::tm tm;
    if (!normalise(*this, tm)) {
        return std::string();
    }
    long fullYear = static_cast<long>(tm.tm_year) + 1900;
    if (fullYear < 1 || fullYear > 9999 || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 ||
        tm.tm_mon > 11) {
        return std::string();
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %ld", kWeekdays[tm.tm_wday],
                  kMonths[tm.tm_mon], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, fullYear);
    return buf;
}

std::string KxTime::zoneName() const {
    if (isGmt == 1) {
        return "GMT";
    }
    std::tm tm;
    bool ok = normalise(*this, tm);
    const char* name = (!ok || tm.tm_isdst <= 0) ? tzname[0] : tzname[1];
    return name != nullptr ? name : "";
}

std::string KxTime::toLongText() const {
    std::string text = toAscText();
    if (!text.empty()) {
        // "Www Mmm dd hh:mm:ss " is 20 characters: the zone name goes before the year.
        text.insert(20, zoneName() + " ");
    }
    return text;
}

std::string KxTime::toShortText() const {
    std::tm tm;
    normalise(*this, tm);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04ld %02d:%02d", tm.tm_mon + 1, tm.tm_mday,
                  static_cast<long>(tm.tm_year) + 1900, tm.tm_hour, tm.tm_min);
    return buf;
}

namespace {

KxTime localTimeOf(std::time_t t) {
    if (t == 0) {
        t = std::time(nullptr);
    }
    KxTime k;
    k.fromTime(t, false);
    return k;
}

}  // namespace

std::string formatTimeLong(std::time_t t) {
    return localTimeOf(t).toLongText();
}

std::string formatTimeShort(std::time_t t) {
    return localTimeOf(t).toShortText();
}
