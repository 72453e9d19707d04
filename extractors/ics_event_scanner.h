#ifndef ICS_EVENT_SCANNER_H
#define ICS_EVENT_SCANNER_H

// Turns the logical lines of one iCalendar file into event rows. A line scanner, not a full
// parser: each recognised property at the start of a line fills one working value, and every
// END:VEVENT line completes a row. Alarm, time-zone and other component blocks are tracked only
// so that their lines cannot overwrite the event's own values. Lines are scanned as UTF-8 bytes;
// only stored values are ever copied.

#include "extractors/ics_event_row.h"

#include <QByteArray>
#include <QByteArrayView>

#include <atomic>

class ics_event_scanner
{
  public:
    enum class outcome
    {
        next_line,
        row_complete,
        cancelled
    };

    explicit ics_event_scanner(const std::atomic<bool>* cancel_flag);

    // Forgets everything: called at the start of every file.
    void start_file();

    outcome scan_line(QByteArrayView line);

    // The row completed by the last END:VEVENT line, with its dates converted and every value
    // valid UTF-8.
    ics_event_row finished_row() const;

    // Clears the row's values after it was stored (or failed to store); the file's calendar
    // name stays.
    void reset_row();

  private:
    enum class block
    {
        event,
        alarm,
        time_zone,
        other_component
    };

    bool track_block(QByteArrayView line, QByteArrayView trimmed);
    void scan_alarm_line(QByteArrayView line, QByteArrayView trimmed);
    bool scan_event_line(QByteArrayView line, QByteArrayView trimmed);
    void scan_trigger(QByteArrayView line, QByteArrayView trimmed);
    void scan_date(QByteArrayView line, QByteArrayView trimmed, QByteArrayView name, QByteArray* pending,
                   QByteArray* pending_zone, bool trim_zone_text);
    bool scan_recurrence(QByteArrayView trimmed);
    bool cancelled() const { return cancel_flag && cancel_flag->load(std::memory_order_relaxed); }

    const std::atomic<bool>* cancel_flag;
    block current_block = block::event;
    QByteArray other_component_end;
    ics_event_row row;
    QByteArray pending_start;
    QByteArray pending_start_zone;
    QByteArray pending_end;
    QByteArray pending_end_zone;
};

#endif
