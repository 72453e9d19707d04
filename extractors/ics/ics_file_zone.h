#ifndef ICS_FILE_ZONE_H
#define ICS_FILE_ZONE_H

// A zone defined by a VTIMEZONE block of the file itself, evaluated by libical: its STANDARD and
// DAYLIGHT observances (TZOFFSETFROM, TZOFFSETTO, DTSTART, RRULE, RDATE) give the offset at any
// instant.

#include <QByteArray>

struct _icaltimezone;

class ics_file_zone
{
  public:
    // Invalid when libical cannot read the block as a time zone, or when its rules are not ones
    // a time zone uses (a rule more frequent than monthly would expand without bound).
    explicit ics_file_zone(const QByteArray& vtimezone_text);
    ~ics_file_zone();
    ics_file_zone(const ics_file_zone&) = delete;
    ics_file_zone& operator=(const ics_file_zone&) = delete;

    bool is_valid() const { return zone != nullptr; }

    // Offset from UTC in seconds at the UTC instant `utc_seconds`, and whether it is daylight time.
    int offset_at(qint64 utc_seconds, bool* daylight) const;

    static constexpr int max_definition_size = 1024 * 1024;

  private:
    _icaltimezone* zone = nullptr;
};

#endif
