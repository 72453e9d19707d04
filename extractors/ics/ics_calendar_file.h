#ifndef ICS_CALENDAR_FILE_H
#define ICS_CALENDAR_FILE_H

// Reads one iCalendar file from a device and hands over its events settled, in file order. Events
// that name a zone not known yet wait for the end of the file, where a VTIMEZONE may still define
// it; the events after them wait too, so that rows keep the file's order.

#include "extractors/ics/ics_event_scanner.h"
#include "extractors/ics/ics_event_settlement.h"
#include "extractors/ics/ics_unfolding_reader.h"

#include <QIODevice>

#include <atomic>
#include <functional>

class ics_calendar_file
{
  public:
    enum class result
    {
        read,
        cancelled,
        stopped // the receiver of an event asked to stop
    };
    // Returns false to stop the file (the run cannot go on).
    using event_receiver = std::function<bool(const ics_settled_event&)>;
    // Log texts about the file: lines left out, events without their end, unknown zones...
    using note_receiver = std::function<void(const QString&)>;

    // Events that wait for a zone at most; then they are settled with the zones known so far.
    static constexpr qsizetype max_waiting_events = 10000;

    explicit ics_calendar_file(const std::atomic<bool>* cancel_flag);

    result read(QIODevice* device, const event_receiver& on_event, const note_receiver& on_note,
                qint64 chunk_bytes = ics_unfolding_reader::chunk_size);

  private:
    bool take_completed();
    bool settle_waiting();
    bool settle_and_hand_over(const ics_event_record& record);
    void report(const ics_unfolding_reader& reader);
    bool cancelled() const { return cancel_flag && cancel_flag->load(std::memory_order_relaxed); }

    const std::atomic<bool>* cancel_flag;
    ics_event_scanner scanner;
    QList<ics_event_record> waiting;
    qsizetype left_out_reported = 0;
    const event_receiver* receiver = nullptr;
    const note_receiver* noter = nullptr;
};

#endif
