#ifndef TIMELINE_ENTRY_H
#define TIMELINE_ENTRY_H

#include <QDate>
#include <QTime>

enum class timeline_entry_kind
{
    event_start,
    event_end,
    event_created,
    event_stamped, // DTSTAMP of one event
    event_last_modified,
    alarm,
    repeat_end,
    file_exported, // the DTSTAMP every event of a file shares: the moment of export
    occurrence,
    moved_occurrence,   // a RECURRENCE-ID row at a time other than the one it replaces
    changed_occurrence, // a RECURRENCE-ID row at the time it replaces
    cancelled_occurrence,
};

// One line of the timeline. The texts come from the event at write time, so an entry stays small.
struct timeline_entry
{
    qint64 seconds = 0;
    qsizetype event = 0; // index of its event; of the file's first event for file_exported
    timeline_entry_kind kind = timeline_entry_kind::event_start;
    bool all_day = false;
    bool has_original = false; // moved, changed and cancelled occurrences: the occurrence replaced
    bool has_end = false;
    bool from_exdate = false; // a cancelled occurrence named by an EXDATE of its series
    qint64 original_seconds = 0;
    qint64 end_seconds = 0;
    qint64 file_events = 0; // file_exported: how many events share the DTSTAMP
    // The wall clock in the event's zone where a rule gave it; the date of an all-day entry.
    QDate wall_date;
    QTime wall_time;
};

#endif
