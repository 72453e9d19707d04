#include "extractors/ics_event_scanner.h"

#include "extractors/ics_rule_text.h"
#include "support/plugin_static_function.h"

#include <QDate>
#include <QString>

#include <cstring>

namespace
{
using bytes = QByteArrayView;

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Only ASCII white space: a value's own Unicode spaces are evidence and stay.
bytes ascii_trimmed(bytes text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && is_blank(text[begin]))
        ++begin;
    while (end > begin && is_blank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

template <qsizetype N> bool starts(bytes line, const char (&prefix)[N])
{
    return line.size() >= N - 1 && std::memcmp(line.data(), prefix, N - 1) == 0;
}

template <qsizetype N> bytes after(bytes trimmed, const char (&)[N])
{
    return trimmed.sliced(N - 1);
}

bytes after_first_colon(bytes trimmed)
{
    const qsizetype colon = trimmed.indexOf(':');
    return colon < 0 ? trimmed : trimmed.sliced(colon + 1);
}

// The zone text kept in the timezone column: between the first "=" and the following ":".
bytes zone_text(bytes trimmed)
{
    const qsizetype equals = trimmed.indexOf('=');
    if (equals >= 0)
        trimmed = trimmed.sliced(equals + 1);
    const qsizetype colon = trimmed.indexOf(':');
    return colon >= 0 ? trimmed.first(colon) : trimmed;
}

// The TZID parameter of a property line such as DTSTART;VALUE=DATE-TIME;TZID="Europe/Berlin":...
QByteArray tzid_parameter(bytes trimmed)
{
    qsizetype end = trimmed.indexOf(';') + 1;
    const qsizetype begin = end;
    bool quoted = false;
    while (begin > 0 && end < trimmed.size() && (quoted || trimmed[end] != ':'))
        quoted ^= (trimmed[end++] == '"');
    for (const QByteArray& parameter : trimmed.sliced(begin, end - begin).toByteArray().split(';'))
    {
        if (parameter.startsWith("TZID="))
            return parameter.mid(5).replace("\"", "");
    }
    return QByteArray();
}

int two_digits(bytes text, qsizetype at)
{
    const char a = text[at];
    const char b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return -1;
    return (a - '0') * 10 + (b - '0');
}

// The form nearly every stamp has, yyyyMMddThhmmssZ, read without the general parser.
bool compact_utc_epoch(bytes value, QByteArray* epoch)
{
    if (value.size() != 16 || value[8] != 'T' || value[15] != 'Z')
        return false;
    const int century = two_digits(value, 0), year = two_digits(value, 2), month = two_digits(value, 4),
              day = two_digits(value, 6), hour = two_digits(value, 9), minute = two_digits(value, 11),
              second = two_digits(value, 13);
    if (century < 0 || year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return false;
    const QDate date(century * 100 + year, month, day);
    if (century * 100 + year == 0 || !date.isValid() || hour > 23 || minute > 59 || second > 59)
        return false;
    const qint64 days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    *epoch = QByteArray::number(days * 86400 + hour * 3600 + minute * 60 + second);
    return true;
}

QByteArray epoch_text(bytes value, const QByteArray& zone = QByteArray())
{
    QByteArray fast;
    if (compact_utc_epoch(ascii_trimmed(value), &fast))
        return fast;
    const QString text = QString::fromUtf8(value);
    const QString epoch =
        zone.isEmpty() ? plugin_static_function::convert_T_Z_time_to_epoch(text)
                       : plugin_static_function::convert_T_Z_time_to_epoch(text, QString::fromUtf8(zone));
    return epoch.toLatin1();
}

// Values are stored as text: bytes that are not UTF-8 become replacement characters, as a
// decoder would make them.
void make_valid_utf8(QByteArray& value)
{
    if (!bytes(value).isValidUtf8())
        value = QString::fromUtf8(value).toUtf8();
}

QByteArray settled_date(const QByteArray& pending)
{
    QByteArray date = pending;
    if (ascii_trimmed(pending).isEmpty() || date.contains("(DATE)"))
        date.clear();
    return date.replace("()", "");
}

const char end_event[] = "END:VEVENT";
} // namespace

ics_event_scanner::ics_event_scanner(const std::atomic<bool>* cancel_flag) : cancel_flag(cancel_flag) {}

void ics_event_scanner::start_file()
{
    row = ics_event_row();
    reset_row();
    current_block = block::event;
    other_component_end.clear();
}

void ics_event_scanner::reset_row()
{
    const QByteArray calendar_name = row.calendar_name;
    row = ics_event_row();
    row.calendar_name = calendar_name;
    pending_start.clear();
    pending_start_zone.clear();
    pending_end.clear();
    pending_end_zone.clear();
}

ics_event_scanner::outcome ics_event_scanner::scan_line(QByteArrayView line)
{
    if (cancelled())
        return outcome::cancelled;
    const bytes trimmed = ascii_trimmed(line);
    if (track_block(line, trimmed))
        return outcome::next_line;

    if (current_block == block::alarm)
        scan_alarm_line(line, trimmed);
    else if (current_block == block::event && !scan_event_line(line, trimmed))
        return outcome::cancelled;

    if (current_block == block::event && starts(line, end_event))
        return outcome::row_complete;
    return outcome::next_line;
}

// Follows the component blocks; true when the line belongs to a block whose lines are not read.
bool ics_event_scanner::track_block(QByteArrayView line, QByteArrayView trimmed)
{
    // Event boundaries also close any block a broken file left open.
    if (trimmed == bytes("BEGIN:VEVENT"))
    {
        current_block = block::event;
        return true;
    }
    if (starts(line, end_event))
    {
        current_block = block::event;
        return false;
    }
    switch (current_block)
    {
    case block::time_zone:
    case block::other_component:
        if (trimmed == bytes(other_component_end))
            current_block = block::event;
        return true;
    case block::alarm:
        if (trimmed == bytes("END:VALARM"))
        {
            current_block = block::event;
            return true;
        }
        return false;
    case block::event:
        break;
    }
    if (!starts(trimmed, "BEGIN:"))
        return false;
    const bytes component = after(trimmed, "BEGIN:");
    if (component == bytes("VALARM"))
    {
        current_block = block::alarm;
        return true;
    }
    for (const char* skipped : {"VTIMEZONE", "VTODO", "VJOURNAL", "VFREEBUSY", "VAVAILABILITY"})
    {
        if (component == bytes(skipped))
        {
            current_block = (component == bytes("VTIMEZONE")) ? block::time_zone : block::other_component;
            other_component_end = "END:" + component.toByteArray();
            return true;
        }
    }
    return false;
}

void ics_event_scanner::scan_trigger(QByteArrayView line, QByteArrayView trimmed)
{
    if (starts(line, "TRIGGER;VALUE=DATE-TIME:"))
        row.alert_on_date = epoch_text(after_first_colon(trimmed));
    else if (starts(line, "TRIGGER:"))
        row.alert = ics_rule_text::alarm_offset(trimmed);
}

void ics_event_scanner::scan_alarm_line(QByteArrayView line, QByteArrayView trimmed)
{
    if (starts(line, "TRIGGER"))
        scan_trigger(line, trimmed);
    else if (starts(line, "ACTION:"))
        row.alarm_action = after_first_colon(trimmed).toByteArray();
    else if (starts(line, "ATTACH;VALUE=URI:"))
    {
        if (!starts(line, "ATTACH;VALUE=URI:ical://"))
            row.sound = after_first_colon(trimmed).toByteArray();
    }
    else if (starts(line, "DESCRIPTION:"))
        row.event_notes.append(after(trimmed, "DESCRIPTION:")).append(";;");
    else if (starts(line, "X-WR-ALARMUID:"))
        row.alarm_uid = after(trimmed, "X-WR-ALARMUID:").toByteArray();
}

// Returns false when a cancellation stopped the line.
bool ics_event_scanner::scan_event_line(QByteArrayView line, QByteArrayView trimmed)
{
    if (line.isEmpty())
        return true;
    switch (line[0])
    {
    case 'A':
        if (starts(line, "ATTACH;FILENAME="))
            row.attachment_detail.append(after(trimmed, "ATTACH;FILENAME=")).append(";");
        else
            scan_alarm_line(line, trimmed);
        break;
    case 'C':
        if (starts(line, "CREATED:"))
            row.event_creation_date = epoch_text(after_first_colon(trimmed));
        break;
    case 'D':
        if (starts(line, "DTEND"))
            scan_date(line, trimmed, "DTEND", &pending_end, &pending_end_zone, false);
        else if (starts(line, "DTSTAMP:"))
            row.event_update_date = epoch_text(after_first_colon(trimmed));
        else if (starts(line, "DTSTART"))
            scan_date(line, trimmed, "DTSTART", &pending_start, &pending_start_zone, true);
        else
            scan_alarm_line(line, trimmed);
        break;
    case 'L':
        if (starts(line, "LOCATION:"))
            row.location = after(trimmed, "LOCATION:").toByteArray().replace("\\,", ",").replace("\\n", " ");
        else if (starts(line, "LAST-MODIFIED:"))
            row.event_last_modified = epoch_text(after_first_colon(trimmed));
        break;
    case 'P':
        if (starts(line, "PRODID:"))
            row.previous_pro_id = after(trimmed, "PRODID:").toByteArray();
        break;
    case 'R':
        if (starts(line, "RRULE:FREQ="))
            return scan_recurrence(trimmed);
        break;
    case 'S':
        if (starts(line, "SUMMARY:"))
            row.title = after(trimmed, "SUMMARY:").toByteArray();
        else if (starts(line, "STATUS:"))
            row.status = after(trimmed, "STATUS:").toByteArray();
        break;
    case 'U':
        if (starts(line, "UID:"))
            row.event_uid = after(trimmed, "UID:").toByteArray();
        else if (starts(line, "URL;VALUE=URI:"))
            row.url = after(trimmed, "URL;VALUE=URI:").toByteArray();
        break;
    case 'X':
        if (starts(line, "X-GOOGLE-HANGOUT:"))
            row.conference_added = after(trimmed, "X-GOOGLE-HANGOUT:").toByteArray();
        else if (starts(line, "X-GOOGLE-CONFERENCE:"))
            row.conference_added = after(trimmed, "X-GOOGLE-CONFERENCE:").toByteArray();
        else if (starts(line, "X-WR-CALNAME:"))
            row.calendar_name = after(trimmed, "X-WR-CALNAME:").toByteArray();
        else
            scan_alarm_line(line, trimmed);
        break;
    default:
        scan_alarm_line(line, trimmed);
        break;
    }
    return true;
}

void ics_event_scanner::scan_date(QByteArrayView line, QByteArrayView trimmed, QByteArrayView name,
                                  QByteArray* pending, QByteArray* pending_zone, bool trim_zone_text)
{
    if (line.size() <= name.size())
        return;
    const char separator = line[name.size()];
    if (separator == ':')
    {
        *pending = line.sliced(name.size() + 1).toByteArray();
        pending_zone->clear();
    }
    else if (separator == ';')
    {
        const bytes zone = zone_text(trimmed);
        row.timezone = (trim_zone_text ? ascii_trimmed(zone) : zone).toByteArray();
        *pending = after_first_colon(trimmed).toByteArray();
        *pending_zone = tzid_parameter(trimmed);
    }
}

// Returns false when a cancellation came between two parts of the rule.
bool ics_event_scanner::scan_recurrence(QByteArrayView trimmed)
{
    const QList<QByteArray> parts = after(trimmed, "RRULE:").toByteArray().split(';');
    // Appended in place: an event may carry any number of rule lines, and copying the text so
    // far for each of them grows with the square of their number.
    QByteArray& text = row.repeat_detail;
    const qsizetype size_before = text.size();
    if (!text.isEmpty())
        text += ';';
    for (const QByteArray& part : parts)
    {
        if (cancelled())
        {
            text.truncate(size_before);
            return false;
        }
        if (part.contains("UNTIL="))
            row.end_repeat_on_date = epoch_text(ascii_trimmed(part).toByteArray().replace("UNTIL=", ""));
        text += ics_rule_text::recurrence_part(part);
        text += ';';
    }
    if (text.endsWith(';'))
        text.chop(1);
    return true;
}

ics_event_row ics_event_scanner::finished_row() const
{
    ics_event_row finished = row;
    finished.repeat_detail = ics_rule_text::settled_recurrence(row.repeat_detail);
    if (finished.timezone.contains("DATE"))
        finished.timezone.clear();
    finished.event_start_date = epoch_text(settled_date(pending_start), pending_start_zone);
    finished.event_end_date = epoch_text(settled_date(pending_end), pending_end_zone);
    for (QByteArray* value :
         {&finished.previous_pro_id, &finished.title, &finished.location, &finished.status,
          &finished.conference_added, &finished.timezone, &finished.url, &finished.attachment_detail,
          &finished.event_uid, &finished.repeat_detail, &finished.alert, &finished.alarm_action,
          &finished.sound, &finished.alarm_uid, &finished.event_notes, &finished.calendar_name})
        make_valid_utf8(*value);
    return finished;
}
