#include "extractors/ics/ics_event_settlement.h"

#include "extractors/ics/ics_date_time.h"
#include "extractors/ics/ics_rule_text.h"
#include "extractors/ics/ics_text_encoding.h"

namespace
{
struct instant
{
    bool valid = false;
    qint64 seconds = 0;
    ics_date_time parsed;
};

instant instant_of(const ics_time_value& value, ics_zone_resolver& zones)
{
    instant result;
    result.parsed = ics_date_time::parse(value.value);
    const ics_date_time& parsed = result.parsed;
    if (!parsed.is_valid())
        return result;
    result.valid = true;
    // A date is a floating day: it stays on the machine's clock whatever zone is named.
    if (parsed.value_type() == ics_date_time::kind::date)
        result.seconds = ics_zone_resolver::machine_epoch(parsed.date(), parsed.time());
    else if (!value.tzid.trimmed().isEmpty())
        result.seconds = zones.epoch_of(parsed.date(), parsed.time(), value.tzid);
    else if (parsed.value_type() == ics_date_time::kind::utc)
        result.seconds = parsed.utc_epoch();
    else
        result.seconds = ics_zone_resolver::machine_epoch(parsed.date(), parsed.time());
    return result;
}

void note_unread(const ics_time_value& value, QList<QByteArray>* notes)
{
    if (notes && !value.value.trimmed().isEmpty())
        notes->append(value.property + " value \"" + value.value + "\" is no date or time: left empty");
}

// DTSTART plus DURATION: days on the event's own clock, the rest in elapsed seconds.
QByteArray end_from_duration(const ics_event_record& record, ics_zone_resolver& zones,
                             QList<QByteArray>* notes)
{
    qint64 days = 0;
    qint64 seconds = 0;
    if (!ics_event_settlement::parse_duration(record.duration, &days, &seconds))
    {
        if (notes)
            notes->append("DURATION value \"" + record.duration + "\" is no duration: no end date");
        return QByteArray();
    }
    const instant start = instant_of(record.start, zones);
    if (!start.valid)
        return QByteArray();
    const ics_date_time& parsed = start.parsed;
    if (parsed.value_type() == ics_date_time::kind::date)
        return QByteArray::number(
            ics_zone_resolver::machine_epoch(parsed.date().addDays(days), parsed.time()) + seconds);
    ics_time_value shifted = record.start;
    const QDate day = parsed.date().addDays(days);
    if (!day.isValid())
        return QByteArray();
    shifted.value = day.toString("yyyyMMdd").toLatin1() + "T" + parsed.time().toString("hhmmss").toLatin1() +
                    (parsed.value_type() == ics_date_time::kind::utc ? "Z" : "");
    const instant end = instant_of(shifted, zones);
    return end.valid ? QByteArray::number(end.seconds + seconds) : QByteArray();
}

void make_text(QByteArray& value, bool windows_1252)
{
    if (QByteArrayView(value).isValidUtf8())
        return;
    // Bytes that are no UTF-8 in a file that is UTF-8 elsewhere become replacement characters,
    // as a decoder makes them.
    value = windows_1252 ? ics_text_encoding::windows_1252_to_utf8(value) : QString::fromUtf8(value).toUtf8();
}

QByteArray epoch_list(const QList<ics_time_value>& values, ics_zone_resolver& zones, QList<QByteArray>* notes)
{
    QByteArrayList epochs;
    for (const ics_time_value& value : values)
    {
        const QByteArray epoch = ics_event_settlement::epoch_text(value, zones, notes);
        if (!epoch.isEmpty())
            epochs.append(epoch);
    }
    return epochs.join(',');
}

QList<ics_companion_row> people_rows(const ics_event_record& record)
{
    QList<ics_companion_row> rows;
    for (const ics_person& p : record.people)
        rows.append({p.role, p.display_name, p.email, p.participation_status, p.attendee_role, p.kind,
                     p.extra_guests, p.comment, p.address_as_written});
    return rows;
}

QList<ics_companion_row> series_rows(const ics_event_record& record, ics_zone_resolver& zones,
                                     QList<QByteArray>* notes)
{
    if (record.rrules.isEmpty() && record.rdates.isEmpty() && record.exdates.isEmpty() &&
        !record.recurrence_id.is_present() && record.sequence.isEmpty() && record.transp.isEmpty() &&
        record.classification.isEmpty())
        return {};
    // A zone only the file defines travels with the series: expanding it later needs the definition.
    QByteArray zone_definition;
    const QByteArray tzid = record.start.tzid.trimmed();
    if (!tzid.isEmpty() && zones.source_of(tzid) == ics_zone_resolver::zone_source::file_definition)
        zone_definition = zones.file_definition(tzid);
    return {{QByteArrayList(record.rrules).join('\n'), epoch_list(record.rdates, zones, notes),
             epoch_list(record.exdates, zones, notes),
             ics_event_settlement::epoch_text(record.recurrence_id, zones, notes), record.recurrence_id.value,
             record.start.value, tzid, zone_definition, record.sequence, record.transp,
             record.classification}};
}

QList<ics_companion_row> alarm_rows(const ics_event_record& record, ics_zone_resolver& zones,
                                    QList<QByteArray>* notes)
{
    QList<ics_companion_row> rows;
    int number = 0;
    for (const ics_alarm& a : record.alarms)
        rows.append({QByteArray::number(++number), a.action, a.trigger_as_written, a.offset_text,
                     ics_event_settlement::epoch_text(a.trigger_time, zones, notes), a.related, a.repeat,
                     a.duration, a.description, a.summary, QByteArrayList(a.attendees).join(", "), a.sound,
                     a.alarm_uid});
    return rows;
}

int digits_value(QByteArrayView text, qsizetype* at, bool* any)
{
    qint64 value = 0;
    *any = false;
    while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9' && value < 100000000)
    {
        value = value * 10 + (text[*at] - '0');
        ++*at;
        *any = true;
    }
    return int(value);
}
} // namespace

bool ics_event_settlement::parse_duration(QByteArrayView text, qint64* days, qint64* seconds)
{
    text = text.trimmed();
    qsizetype at = 0;
    int sign = 1;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        sign = text[at++] == '-' ? -1 : 1;
    if (at >= text.size() || (text[at] != 'P' && text[at] != 'p'))
        return false;
    ++at;
    *days = 0;
    *seconds = 0;
    bool in_time = false;
    bool any_unit = false;
    while (at < text.size())
    {
        if (text[at] == 'T' || text[at] == 't')
        {
            in_time = true;
            ++at;
            continue;
        }
        bool any = false;
        const qint64 number = digits_value(text, &at, &any);
        if (!any || at >= text.size())
            return false;
        const char unit = char(text[at++] & ~0x20);
        if (!in_time && unit == 'W')
            *days += number * 7;
        else if (!in_time && unit == 'D')
            *days += number;
        else if (in_time && unit == 'H')
            *seconds += number * 3600;
        else if (in_time && unit == 'M')
            *seconds += number * 60;
        else if (in_time && unit == 'S')
            *seconds += number;
        else
            return false;
        any_unit = true;
    }
    *days *= sign;
    *seconds *= sign;
    return any_unit;
}

QByteArray ics_event_settlement::epoch_text(const ics_time_value& value, ics_zone_resolver& zones,
                                            QList<QByteArray>* notes)
{
    if (!value.is_present())
        return QByteArray();
    const instant converted = instant_of(value, zones);
    if (!converted.valid)
    {
        note_unread(value, notes);
        return QByteArray();
    }
    return QByteArray::number(converted.seconds);
}

bool ics_event_settlement::zones_known(const ics_event_record& record, ics_zone_resolver& zones)
{
    auto known = [&zones](const ics_time_value& value)
    {
        return value.tzid.trimmed().isEmpty() ||
               zones.source_of(value.tzid) != ics_zone_resolver::zone_source::unknown;
    };
    if (!known(record.start) || !known(record.end) || !known(record.recurrence_id))
        return false;
    for (const QList<ics_time_value>* list : {&record.rdates, &record.exdates})
        for (const ics_time_value& value : *list)
            if (!known(value))
                return false;
    return true;
}

ics_settled_event ics_event_settlement::settle(const ics_event_record& record, ics_zone_resolver& zones,
                                               QList<QByteArray>* notes)
{
    ics_settled_event settled;
    ics_event_row& row = settled.row;
    row = record.row;
    row.repeat_detail = ics_rule_text::settled_recurrence(record.row.repeat_detail);
    row.event_start_date = epoch_text(record.start, zones, notes);
    if (record.end.is_present() || record.duration.isEmpty())
        row.event_end_date = epoch_text(record.end, zones, notes);
    else
        row.event_end_date = end_from_duration(record, zones, notes);
    row.event_creation_date = epoch_text(record.created, zones, notes);
    row.event_update_date = epoch_text(record.stamp, zones, notes);
    row.event_last_modified = epoch_text(record.last_modified, zones, notes);
    row.end_repeat_on_date = epoch_text(record.until, zones, notes);
    row.alert_on_date = epoch_text(record.alarm_time, zones, notes);
    settled.people = people_rows(record);
    settled.series = series_rows(record, zones, notes);
    settled.alarms = alarm_rows(record, zones, notes);
    for (QList<ics_companion_row>* rows : {&settled.people, &settled.series, &settled.alarms})
        for (ics_companion_row& companion : *rows)
            for (QByteArray& value : companion)
                make_text(value, record.windows_1252);
    for (QByteArray* value :
         {&row.previous_pro_id, &row.title, &row.location, &row.status, &row.conference_added, &row.timezone,
          &row.url, &row.attachment_detail, &row.event_uid, &row.repeat_detail, &row.alert, &row.alarm_action,
          &row.sound, &row.alarm_uid, &row.event_notes, &row.calendar_name})
        make_text(*value, record.windows_1252);
    return settled;
}
