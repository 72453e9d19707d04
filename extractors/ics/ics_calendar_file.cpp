#include "extractors/ics/ics_calendar_file.h"

ics_calendar_file::ics_calendar_file(const std::atomic<bool>* cancel_flag)
    : cancel_flag(cancel_flag), scanner(cancel_flag)
{
}

void ics_calendar_file::report(const ics_unfolding_reader& reader)
{
    const QList<qint64>& offsets = reader.left_out_line_offsets();
    if (left_out_reported == offsets.size() && !scanner.has_notes())
        return;
    for (; left_out_reported < offsets.size(); ++left_out_reported)
        (*noter)(QString("line longer than %1 bytes left out at byte %2")
                     .arg(ics_unfolding_reader::max_line_size)
                     .arg(offsets.at(left_out_reported)));
    for (const QByteArray& note : scanner.take_notes())
        (*noter)(QString::fromUtf8(note));
}

bool ics_calendar_file::settle_and_hand_over(const ics_event_record& record)
{
    QList<QByteArray> notes;
    const ics_settled_event settled = ics_event_settlement::settle(record, scanner.zones(), &notes);
    for (const QByteArray& note : notes)
        (*noter)(QString::fromUtf8(note));
    return (*receiver)(settled);
}

bool ics_calendar_file::take_completed()
{
    const ics_event_record& record = scanner.completed_record();
    if (waiting.isEmpty() && ics_event_settlement::zones_known(record, scanner.zones()))
        return settle_and_hand_over(record);
    waiting.append(record);
    // A zone no VTIMEZONE defines would hold every later event of a large file in memory: past the
    // limit the waiting events are settled with what the file has defined so far.
    if (waiting.size() >= max_waiting_events)
        return settle_waiting();
    return true;
}

bool ics_calendar_file::settle_waiting()
{
    for (const ics_event_record& record : std::as_const(waiting))
    {
        if (cancelled())
            return false;
        if (!settle_and_hand_over(record))
            return false;
    }
    waiting.clear();
    return true;
}

ics_calendar_file::result ics_calendar_file::read(QIODevice* device, const event_receiver& on_event,
                                                  const note_receiver& on_note, qint64 chunk_bytes)
{
    receiver = &on_event;
    noter = &on_note;
    waiting.clear();
    left_out_reported = 0;
    scanner.start_file();
    ics_unfolding_reader reader(device, chunk_bytes);

    QByteArrayView line;
    while (reader.next_line(&line))
    {
        const ics_event_scanner::outcome outcome = scanner.scan_line(line, reader.line_number());
        if (outcome == ics_event_scanner::outcome::cancelled)
            return result::cancelled;
        if (outcome == ics_event_scanner::outcome::row_complete && !take_completed())
            return cancelled() ? result::cancelled : result::stopped;
        report(reader);
    }
    report(reader);
    if (reader.read_error_offset() >= 0)
        on_note(QString("read error at byte %1: %2: the rest of the file is not read")
                    .arg(reader.read_error_offset())
                    .arg(device->errorString()));
    if (scanner.finish_file() == ics_event_scanner::outcome::row_complete && !take_completed())
        return result::stopped;
    if (!settle_waiting())
        return cancelled() ? result::cancelled : result::stopped;
    report(reader);
    return result::read;
}
