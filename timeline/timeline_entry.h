#ifndef TIMELINE_ENTRY_H
#define TIMELINE_ENTRY_H

#include <QDate>
#include <QTime>

#include <limits>

enum class timeline_entry_kind : quint8
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

// One line of the timeline. The texts come from the event at write time, and the fields are packed: a
// large timeline holds millions of entries, sorted in memory.
struct timeline_entry
{
    qint64 seconds = 0;
    qint64 original_seconds = 0; // moved, changed and cancelled occurrences: the occurrence replaced
    qint64 end_seconds = 0;
    qint32 event = 0;       // index of its event; of the file's first event for file_exported
    qint32 file_events = 0; // file_exported: how many events share the DTSTAMP
    timeline_entry_kind kind = timeline_entry_kind::event_start;
    bool all_day = false;
    bool has_original = false;
    bool has_end = false;
    bool from_exdate = false; // a cancelled occurrence named by an EXDATE of its series

    // The wall clock in the event's zone where a rule gave it; the date of an all-day entry. Invalid
    // where there is none.
    QDate wall_date() const { return wall_day == no_day ? QDate() : QDate::fromJulianDay(wall_day); }
    QTime wall_time() const
    {
        return wall_second < 0 ? QTime() : QTime::fromMSecsSinceStartOfDay(wall_second * 1000);
    }
    void set_wall_clock(QDate date, QTime time = QTime())
    {
        const qint64 day = date.isValid() ? date.toJulianDay() : qint64(no_day);
        wall_day = day > no_day && day <= std::numeric_limits<qint32>::max() ? qint32(day) : no_day;
        wall_second = time.isValid() ? time.msecsSinceStartOfDay() / 1000 : -1;
    }

  private:
    static constexpr qint32 no_day = std::numeric_limits<qint32>::min();
    qint32 wall_day = no_day; // Julian day
    qint32 wall_second = -1;  // of the day
};

#endif
