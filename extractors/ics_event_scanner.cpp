#include "extractors/ics_event_scanner.h"

#include "extractors/ics_rule_text.h"
#include "support/plugin_static_function.h"

#include <QLatin1String>

namespace
{
bool is_blank(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\v' || u == '\f';
}

// Only ASCII white space: a value's own Unicode spaces are evidence and stay.
QString ascii_trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && is_blank(text.at(begin)))
        ++begin;
    while (end > begin && is_blank(text.at(end - 1)))
        --end;
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

QString after_first_colon(const QString& trimmed)
{
    const qsizetype colon = trimmed.indexOf(':');
    return colon < 0 ? trimmed : trimmed.mid(colon + 1);
}

// The zone text kept in the timezone column: between the first "=" and the following ":".
QString zone_text(QString trimmed)
{
    const qsizetype equals = trimmed.indexOf('=');
    if (equals >= 0)
        trimmed.remove(0, equals + 1);
    const qsizetype colon = trimmed.indexOf(':');
    if (colon >= 0)
        trimmed.truncate(colon);
    return trimmed;
}

// The TZID parameter of a property line such as DTSTART;VALUE=DATE-TIME;TZID="Europe/Berlin":...
QString tzid_parameter(const QString& trimmed)
{
    QString parameters;
    bool quoted = false;
    for (qsizetype i = trimmed.indexOf(';') + 1; i > 0 && i < trimmed.size(); ++i)
    {
        const QChar c = trimmed.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            break;
        parameters += c;
    }
    for (const QString& parameter : parameters.split(';'))
    {
        if (parameter.startsWith(QLatin1String("TZID=")))
            return parameter.mid(5).remove('"');
    }
    return QString();
}

QString epoch_text(const QString& value)
{
    return plugin_static_function::convert_T_Z_time_to_epoch(value);
}

const QLatin1String end_event("END:VEVENT");
} // namespace

ics_event_scanner::ics_event_scanner(const std::atomic<bool>* cancel_flag) : cancel_flag(cancel_flag) {}

void ics_event_scanner::start_file()
{
    row = ics_event_row();
    pending_start.clear();
    pending_start_zone.clear();
    pending_end.clear();
    pending_end_zone.clear();
    current_block = block::event;
    other_component_end.clear();
}

void ics_event_scanner::reset_row()
{
    const QString calendar_name = row.calendar_name;
    row = ics_event_row();
    row.calendar_name = calendar_name;
    pending_start.clear();
    pending_start_zone.clear();
    pending_end.clear();
    pending_end_zone.clear();
}

ics_event_scanner::outcome ics_event_scanner::scan_line(const QString& line)
{
    if (cancel_flag && *cancel_flag)
        return outcome::cancelled;
    const QString trimmed = ascii_trimmed(line);
    if (track_block(line, trimmed))
        return outcome::next_line;

    if (current_block == block::alarm)
        scan_alarm_line(line, trimmed);
    else if (current_block == block::event && !scan_event_line(line, trimmed))
        return outcome::cancelled;

    if (current_block == block::event && line.startsWith(end_event))
        return outcome::row_complete;
    return outcome::next_line;
}

// Follows the component blocks; true when the line belongs to a block whose lines are not read.
bool ics_event_scanner::track_block(const QString& line, const QString& trimmed)
{
    // Event boundaries also close any block a broken file left open.
    if (trimmed == QLatin1String("BEGIN:VEVENT"))
    {
        current_block = block::event;
        return true;
    }
    if (line.startsWith(end_event))
    {
        current_block = block::event;
        return false;
    }
    switch (current_block)
    {
    case block::time_zone:
    case block::other_component:
        if (trimmed == other_component_end)
            current_block = block::event;
        return true;
    case block::alarm:
        if (trimmed == QLatin1String("END:VALARM"))
        {
            current_block = block::event;
            return true;
        }
        return false;
    case block::event:
        break;
    }
    if (trimmed == QLatin1String("BEGIN:VALARM"))
    {
        current_block = block::alarm;
        return true;
    }
    static const QLatin1String skipped[] = {QLatin1String("VTIMEZONE"), QLatin1String("VTODO"),
                                            QLatin1String("VJOURNAL"), QLatin1String("VFREEBUSY"),
                                            QLatin1String("VAVAILABILITY")};
    if (!trimmed.startsWith(QLatin1String("BEGIN:")))
        return false;
    for (const QLatin1String& name : skipped)
    {
        if (trimmed.mid(6) == name)
        {
            current_block = (name == QLatin1String("VTIMEZONE")) ? block::time_zone : block::other_component;
            other_component_end = "END:" + QString(name);
            return true;
        }
    }
    return false;
}

void ics_event_scanner::scan_trigger(const QString& line, const QString& trimmed)
{
    if (line.startsWith(QLatin1String("TRIGGER;VALUE=DATE-TIME:")))
        row.alert_on_date = epoch_text(after_first_colon(trimmed));
    else if (line.startsWith(QLatin1String("TRIGGER:")))
        row.alert = ics_rule_text::alarm_offset(trimmed);
}

void ics_event_scanner::scan_alarm_line(const QString& line, const QString& trimmed)
{
    if (line.startsWith(QLatin1String("TRIGGER")))
        scan_trigger(line, trimmed);
    else if (line.startsWith(QLatin1String("ACTION:")))
        row.alarm_action = after_first_colon(trimmed);
    else if (line.startsWith(QLatin1String("ATTACH;VALUE=URI:")))
    {
        if (!line.startsWith(QLatin1String("ATTACH;VALUE=URI:ical://")))
            row.sound = after_first_colon(trimmed);
    }
    else if (line.startsWith(QLatin1String("DESCRIPTION:")))
        row.event_notes += trimmed.mid(12) + ";;";
    else if (line.startsWith(QLatin1String("X-WR-ALARMUID:")))
        row.alarm_uid = trimmed.mid(14);
}

// Returns false when a cancellation stopped the line.
bool ics_event_scanner::scan_event_line(const QString& line, const QString& trimmed)
{
    if (line.startsWith(QLatin1String("TRIGGER")) || line.startsWith(QLatin1String("ACTION:")) ||
        line.startsWith(QLatin1String("ATTACH;VALUE=URI:")) ||
        line.startsWith(QLatin1String("DESCRIPTION:")) || line.startsWith(QLatin1String("X-WR-ALARMUID:")))
        scan_alarm_line(line, trimmed);
    else if (line.startsWith(QLatin1String("SUMMARY:")))
        row.title = trimmed.mid(8);
    else if (line.startsWith(QLatin1String("STATUS:")))
        row.status = trimmed.mid(7);
    else if (line.startsWith(QLatin1String("LOCATION:")))
        row.location = trimmed.mid(9)
                           .replace(QLatin1String("\\,"), QLatin1String(","))
                           .replace(QLatin1String("\\n"), QLatin1String(" "));
    else if (line.startsWith(QLatin1String("URL;VALUE=URI:")))
        row.url = trimmed.mid(14);
    else if (line.startsWith(QLatin1String("X-GOOGLE-HANGOUT:")))
        row.conference_added = trimmed.mid(17);
    else if (line.startsWith(QLatin1String("X-GOOGLE-CONFERENCE:")))
        row.conference_added = trimmed.mid(20);
    else if (line.startsWith(QLatin1String("UID:")))
        row.event_uid = trimmed.mid(4);
    else if (line.startsWith(QLatin1String("DTEND")))
        scan_date(line, trimmed, "DTEND", &pending_end, &pending_end_zone, false);
    else if (line.startsWith(QLatin1String("DTSTAMP:")))
        row.event_update_date = epoch_text(after_first_colon(trimmed));
    else if (line.startsWith(QLatin1String("CREATED:")))
        row.event_creation_date = epoch_text(after_first_colon(trimmed));
    else if (line.startsWith(QLatin1String("LAST-MODIFIED:")))
        row.event_last_modified = epoch_text(after_first_colon(trimmed));
    else if (line.startsWith(QLatin1String("DTSTART")))
        scan_date(line, trimmed, "DTSTART", &pending_start, &pending_start_zone, true);
    else if (line.startsWith(QLatin1String("PRODID:")))
        row.previous_pro_id = trimmed.mid(7);
    else if (line.startsWith(QLatin1String("ATTACH;FILENAME=")))
        row.attachment_detail += trimmed.mid(16) + ";";
    else if (line.startsWith(QLatin1String("RRULE:FREQ=")))
        return scan_recurrence(trimmed);
    else if (line.startsWith(QLatin1String("X-WR-CALNAME:")))
        row.calendar_name = trimmed.mid(13);
    return true;
}

void ics_event_scanner::scan_date(const QString& line, const QString& trimmed, const QString& name,
                                  QString* pending, QString* pending_zone, bool trim_zone_text)
{
    if (line.startsWith(name + ":"))
    {
        *pending = line.mid(name.size() + 1);
        pending_zone->clear();
    }
    else if (line.startsWith(name + ";"))
    {
        const QString zone = zone_text(trimmed);
        row.timezone = trim_zone_text ? ascii_trimmed(zone) : zone;
        *pending = after_first_colon(trimmed);
        *pending_zone = tzid_parameter(trimmed);
    }
}

// Returns false when a cancellation came between two parts of the rule.
bool ics_event_scanner::scan_recurrence(const QString& trimmed)
{
    const QStringList parts = trimmed.mid(6).split(';');
    QString text = row.repeat_detail;
    if (!text.isEmpty())
        text += ';';
    for (const QString& part : parts)
    {
        if (cancel_flag && *cancel_flag)
            return false;
        if (part.contains(QLatin1String("UNTIL=")))
            row.end_repeat_on_date = epoch_text(ascii_trimmed(part).remove(QLatin1String("UNTIL=")));
        text += ics_rule_text::recurrence_part(part) + ';';
    }
    if (text.endsWith(';'))
        text.chop(1);
    row.repeat_detail = text;
    return true;
}

QString ics_event_scanner::settled_date(const QString& pending, QString date)
{
    if (ascii_trimmed(pending).isEmpty() || date.contains(QLatin1String("(DATE)")))
        date.clear();
    return date.remove(QLatin1String("()"));
}

ics_event_row ics_event_scanner::finished_row() const
{
    ics_event_row finished = row;
    finished.repeat_detail = ics_rule_text::settled_recurrence(finished.repeat_detail);
    if (finished.timezone.contains(QLatin1String("DATE")))
        finished.timezone.clear();
    finished.event_start_date = plugin_static_function::convert_T_Z_time_to_epoch(
        settled_date(pending_start, pending_start), pending_start_zone);
    finished.event_end_date = plugin_static_function::convert_T_Z_time_to_epoch(
        settled_date(pending_end, pending_end), pending_end_zone);
    return finished;
}
