// KxTime: a calendar time value as records hold it, and the time texts of the logs and pages.
//
// The value keeps broken-down fields, not seconds, so that a stored record shows the date a
// person saw. Text forms (contract used by the event log and the pages):
//
//   toAscText()   "Fri Jul 31 14:05:00 2009"      weekday, month, two-digit day, hh:mm:ss, year
//   toLongText()  "Fri Jul 31 14:05:00 PST 2009"  the same with zoneName() before the year
//   toShortText() "07/31/2009 14:05"               "%02d/%02d/%04d %02d:%02d" (month, day, year,
//                                                  hour, minute)
//
// All three first normalise the fields (month 13 carries into the next year, day 0 is the last
// day of the month before, ...) in local time, or in UTC when isGmt is 1. toAscText and
// toLongText are empty when the normalised year lies outside 1..9999; toShortText is always
// filled. zoneName() is "GMT" for a UTC value, otherwise the local standard-time or daylight
// zone name (whichever applies to the normalised time) as the C library reports it from TZ.
//
// formatTimeLong/formatTimeShort take seconds since 1970 (0 meaning now) and format them in
// local time; they are what the event log writes.
//
// Not thread-safe (uses the C library's zone state); the server programs are single-threaded.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "archive/CObject.h"

class CKvArchive;

class KxTime : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }

    KxTime() = default;
    KxTime(std::uint16_t year, std::uint8_t month, std::uint8_t day, std::uint8_t hour,
           std::uint8_t minute, std::uint8_t second, std::int8_t isGmt)
        : year(year),
          month(month),
          day(day),
          hour(hour),
          minute(minute),
          second(second),
          isGmt(isGmt) {}

    // Breaks `t` (seconds since 1970) down as UTC (utc true) or local time. t == -1, or a
    // time the C library cannot break down, sets every field to 0.
    void fromTime(std::time_t t, bool utc);

    std::string toAscText() const;
    std::string zoneName() const;
    std::string toLongText() const;
    std::string toShortText() const;

    bool operator==(const KxTime& o) const {
        return year == o.year && month == o.month && day == o.day && hour == o.hour &&
               minute == o.minute && second == o.second && isGmt == o.isGmt;
    }
    bool operator!=(const KxTime& o) const { return !(*this == o); }

    // The archive's member sequence: year, month, day, hour, minute, second, isGmt.
    static void serialize(CObject& obj, CKvArchive& ar);
    // Store-only variant for the programs that only write times (request and image
    // endpoints): the same text, but loading raises the archive's "Read only" error at the
    // first member. Such a program enters it for "KxTime" in place of serialize().
    static void serializeStoreOnly(CObject& obj, CKvArchive& ar);

    std::uint16_t year = 0;
    std::uint8_t month = 0;   // 1..12
    std::uint8_t day = 0;     // 1..31
    std::uint8_t hour = 0;    // 0..23
    std::uint8_t minute = 0;  // 0..59
    std::uint8_t second = 0;  // 0..59
    std::int8_t isGmt = 0;    // 1: fields are UTC, 0: local time
};

// Long and short text of `t` (seconds since 1970, 0 = now) in local time.
std::string formatTimeLong(std::time_t t);
std::string formatTimeShort(std::time_t t);
