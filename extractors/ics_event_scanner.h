#ifndef ICS_EVENT_SCANNER_H
#define ICS_EVENT_SCANNER_H

// Turns the logical lines of one iCalendar file into event rows. A line scanner, not a full
// parser: each recognised property at the start of a line fills one working value, and every
// END:VEVENT line completes a row. Alarm, time-zone and other component blocks are tracked only
// so that their lines cannot overwrite the event's own values.

#include "extractors/ics_event_row.h"

#include <QString>

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

    outcome scan_line(const QString& line);

    // The row completed by the last END:VEVENT line, with its dates converted.
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

    bool track_block(const QString& line, const QString& trimmed);
    void scan_alarm_line(const QString& line, const QString& trimmed);
    bool scan_event_line(const QString& line, const QString& trimmed);
    void scan_trigger(const QString& line, const QString& trimmed);
    void scan_date(const QString& line, const QString& trimmed, const QString& name, QString* pending,
                   QString* pending_zone, bool trim_zone_text);
    bool scan_recurrence(const QString& trimmed);
    static QString settled_date(const QString& pending, QString date);

    const std::atomic<bool>* cancel_flag;
    block current_block = block::event;
    QString other_component_end;
    ics_event_row row;
    QString pending_start;
    QString pending_start_zone;
    QString pending_end;
    QString pending_end_zone;
};

#endif
