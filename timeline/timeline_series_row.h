#ifndef TIMELINE_SERIES_ROW_H
#define TIMELINE_SERIES_ROW_H

#include <QString>

// The calendar_event_series row of an event, as stored: instants are epoch seconds in decimal text,
// lists of them joined by ",".
struct timeline_series_row
{
    bool present = false; // false: the event has no series row
    QString rrule;        // one rule per line
    QString rdate;
    QString exdate;
    QString recurrence_id;
    QString dtstart_as_written;
    QString dtstart_tzid;
    QString zone_definition;
};

#endif
