#ifndef ICS_EVENT_SETTLEMENT_H
#define ICS_EVENT_SETTLEMENT_H

// Turns a gathered event into what is stored: every time converted to epoch seconds through the
// file's zones (a TZID in its zone, even when the value also ends in "Z"; "Z" alone as UTC; a
// floating time or a date on the machine's clock), an end from DURATION when DTEND is missing, the
// repeat text in words, and every text valid UTF-8.

#include "extractors/ics/ics_event_record.h"
#include "extractors/ics/ics_zone_resolver.h"

#include <QByteArray>
#include <QList>

// The rows of the companion tables, each value as stored (times as epoch seconds text, lists
// joined), in the column order their table declares.
using ics_companion_row = QList<QByteArray>;

struct ics_settled_event
{
    ics_event_row row;
    QList<ics_companion_row> people; // role, display name, e-mail, status, role, kind, guests, comment, address
    QList<ics_companion_row> series; // none or one: rules, RDATE, EXDATE, RECURRENCE-ID, start, zone, ...
    QList<ics_companion_row> alarms; // number, action, trigger, offset, time, related, repeat, ...
};

class ics_event_settlement
{
  public:
    // Times that cannot be converted leave their column empty and add a line to `notes`.
    static ics_settled_event settle(const ics_event_record& record, ics_zone_resolver& zones,
                                    QList<QByteArray>* notes);

    // Epoch seconds as decimal text, or empty when the value is missing or cannot be read.
    static QByteArray epoch_text(const ics_time_value& value, ics_zone_resolver& zones,
                                 QList<QByteArray>* notes);

    // Seconds of an iCalendar duration (-P1DT2H, P1W); false when it is not one. Days and weeks
    // come back separately: they are calendar days on the event's clock.
    static bool parse_duration(QByteArrayView text, qint64* days, qint64* seconds);

    // True when every TZID of the record can be resolved without the machine's zone now.
    static bool zones_known(const ics_event_record& record, ics_zone_resolver& zones);
};

#endif
