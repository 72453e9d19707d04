#ifndef ICS_EVENT_SCANNER_H
#define ICS_EVENT_SCANNER_H

// Turns the logical lines of one iCalendar file into event records. Components are tracked on a
// stack: an event's values come only from its own VEVENT and its alarms, never from the calendar
// header, from lines between events or from other components. An event ends at its END:VEVENT, at
// the next BEGIN:VEVENT or at the end of the file. Property names are read case-insensitively,
// whatever parameters stand between the name and the value. Lines are scanned as bytes; only
// stored values are copied.

#include "extractors/ics/ics_content_line.h"
#include "extractors/ics/ics_event_record.h"
#include "extractors/ics/ics_zone_resolver.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

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

    // Accumulated values (notes, attachments, repeat text) stop growing at this size.
    static constexpr qsizetype max_accumulated_size = 128 * 1024 * 1024;

    explicit ics_event_scanner(const std::atomic<bool>* cancel_flag);

    // Forgets everything of the previous file, its zones included.
    void start_file();

    // `line_number` is where the line starts in the file, for the log.
    outcome scan_line(QByteArrayView line, qint64 line_number = 0);

    // The end of the file: an event still open completes here.
    outcome finish_file();

    // The event completed by the last row_complete.
    const ics_event_record& completed_record() const { return completed; }

    // The completed event with its times converted in the file's zones.
    ics_event_row finished_row();
    void reset_row() { completed = ics_event_record(); }

    ics_zone_resolver& zones() { return zone_resolver; }

    // Log texts about the file gathered since the last call (events without END:VEVENT, cut values,
    // times that could not be converted, unknown zones, the file's character set).
    QList<QByteArray> take_notes();

  private:
    enum class place
    {
        calendar,
        event,
        alarm,
        time_zone,
        elsewhere
    };

    place current_place() const;
    outcome begin_component(QByteArrayView name, qint64 line_number);
    outcome end_component(QByteArrayView name);
    outcome complete_event(bool without_end);
    void scan_calendar_line(const ics_content_line& line);
    bool scan_event_line(const ics_content_line& line);
    void scan_alarm_line(const ics_content_line& line);
    void scan_trigger(const ics_content_line& line, ics_alarm* alarm);
    void scan_time(const ics_content_line& line, ics_time_value* value);
    void scan_start_or_end(const ics_content_line& line, ics_time_value* value);
    void scan_attachment(const ics_content_line& line);
    void scan_person(const ics_content_line& line, const QByteArray& role);
    bool scan_recurrence(const ics_content_line& line);
    void append_capped(QByteArray& value, QByteArrayView text, const char* what,
                       QByteArrayView separator = ";;");
    void note(const QByteArray& text) { notes.append(text); }
    bool cancelled() const { return cancel_flag && cancel_flag->load(std::memory_order_relaxed); }

    const std::atomic<bool>* cancel_flag;
    ics_zone_resolver zone_resolver;
    QList<QByteArray> stack; // upper-case names of the open components
    bool event_open = false;
    ics_event_record current;
    ics_event_record completed;
    QByteArray producer;
    bool producer_given = false;
    QByteArray calendar_name;
    QByteArray zone_text; // the VTIMEZONE being read
    QByteArray zone_tzid;
    bool windows_1252 = false;
    QList<QByteArray> notes;
};

#endif
