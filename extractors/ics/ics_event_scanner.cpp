#include "extractors/ics/ics_event_scanner.h"

#include "extractors/ics/ics_event_settlement.h"
#include "extractors/ics/ics_file_zone.h"
#include "extractors/ics/ics_rule_text.h"

namespace
{
using bytes = QByteArrayView;

// Names are compared in upper case; the common ones come back shared, without an allocation.
QByteArray upper_case(bytes text)
{
    static const QByteArray known[] = {"VEVENT",   "VALARM",  "VTIMEZONE", "VCALENDAR", "STANDARD",
                                       "DAYLIGHT", "DTSTART", "DTEND",     "DTSTAMP",   "LAST-MODIFIED",
                                       "CREATED",  "TRIGGER", "EXDATE",    "RDATE",     "RECURRENCE-ID"};
    for (const QByteArray& name : known)
    {
        if (ics_content_line::same_name(text, name))
            return name;
    }
    return text.toByteArray().toUpper();
}

const QByteArray time_zone_name("VTIMEZONE");

// LOCATION's two unescapings, the only ones made in stored values.
QByteArray location_text(bytes value)
{
    return value.toByteArray().replace("\\,", ",").replace("\\n", " ");
}

// mailto:a@b (any case of the scheme) gives a@b; any other address stays as written.
QByteArray address_without_scheme(bytes value)
{
    if (value.size() >= 7 && ics_content_line::same_name(value.first(7), "MAILTO:"))
        return value.sliced(7).toByteArray();
    return value.toByteArray();
}

const QByteArray utf8_bom("\xEF\xBB\xBF");
} // namespace

ics_event_scanner::ics_event_scanner(const std::atomic<bool>* cancel_flag) : cancel_flag(cancel_flag) {}

void ics_event_scanner::start_file()
{
    zone_resolver.start_file();
    stack.clear();
    stack_changed();
    event_open = false;
    current = ics_event_record();
    completed = ics_event_record();
    producer.clear();
    producer_given = false;
    calendar_name.clear();
    zone_text.clear();
    zone_tzid.clear();
    windows_1252 = false;
    notes.clear();
}

QList<QByteArray> ics_event_scanner::take_notes()
{
    for (const QByteArray& zone : zone_resolver.take_unknown_zones())
        notes.append("unknown time zone \"" + zone + "\": machine time zone used");
    QList<QByteArray> taken;
    taken.swap(notes);
    return taken;
}

// Recomputed only when the stack changes: every line asks for it.
void ics_event_scanner::stack_changed()
{
    in_time_zone = stack.contains(time_zone_name);
    place_now = place_of_stack();
}

ics_event_scanner::place ics_event_scanner::place_of_stack() const
{
    if (stack.isEmpty())
        return place::calendar;
    const QByteArray& top = stack.last();
    if (top == "VCALENDAR")
        return place::calendar;
    if (top == "VEVENT")
        return place::event;
    if (top == "VALARM")
        return (stack.size() >= 2 && stack.at(stack.size() - 2) == "VEVENT") ? place::alarm
                                                                             : place::elsewhere;
    if (in_time_zone)
        return place::time_zone;
    return place::elsewhere;
}

ics_event_scanner::outcome ics_event_scanner::scan_line(QByteArrayView line, qint64 line_number)
{
    if (cancelled())
        return outcome::cancelled;
    if (line.startsWith(bytes(utf8_bom)) && stack.isEmpty() && !event_open)
        line = line.sliced(utf8_bom.size());
    if (!windows_1252 && !line.isValidUtf8())
    {
        windows_1252 = true;
        note("bytes that are not UTF-8 from line " + QByteArray::number(line_number) +
             ": text read as Windows-1252");
    }

    ics_content_line content;
    if (!content.parse(line))
        return outcome::next_line;
    if (current_place() == place::time_zone || content.is("BEGIN") || content.is("END"))
    {
        // A definition past the size any zone needs is refused later; it need not grow further.
        if (in_time_zone && zone_text.size() <= ics_file_zone::max_definition_size)
            zone_text.append(line.trimmed()).append("\r\n");
    }
    if (content.is("BEGIN"))
        return begin_component(content.value(), line_number);
    if (content.is("END"))
        return end_component(content.value());

    switch (current_place())
    {
    case place::calendar:
        scan_calendar_line(content);
        break;
    case place::event:
        if (!scan_event_line(content))
            return outcome::cancelled;
        break;
    case place::alarm:
        scan_alarm_line(content);
        break;
    case place::time_zone:
        if (content.is("TZID") && stack.last() == "VTIMEZONE")
            zone_tzid = ics_content_line::unquoted(content.value());
        break;
    case place::elsewhere:
        break;
    }
    return outcome::next_line;
}

ics_event_scanner::outcome ics_event_scanner::begin_component(QByteArrayView name, qint64 line_number)
{
    const QByteArray component = upper_case(name);
    outcome result = outcome::next_line;
    if (component == "VEVENT")
    {
        // A new event ends one left open: never two events in one row.
        if (event_open)
            result = complete_event(true);
        while (!stack.isEmpty() && stack.last() != "VCALENDAR")
            stack.removeLast();
        stack_changed();
        event_open = true;
        current = ics_event_record();
        current.first_line = line_number;
    }
    else if (component == "VALARM" && current_place() == place::event)
        current.alarms.append(ics_alarm());
    else if (component == "VTIMEZONE" && !stack.contains("VTIMEZONE"))
    {
        zone_text = "BEGIN:VTIMEZONE\r\n";
        zone_tzid.clear();
    }
    stack.append(component);
    stack_changed();
    return result;
}

ics_event_scanner::outcome ics_event_scanner::end_component(QByteArrayView name)
{
    const QByteArray component = upper_case(name);
    const qsizetype open_at = stack.lastIndexOf(component);
    if (open_at < 0)
        return outcome::next_line; // an END without its BEGIN closes nothing
    // Closing a component closes whatever a broken file left open inside it.
    stack.resize(open_at);
    stack_changed();
    if (component == "VTIMEZONE" && !stack.contains("VTIMEZONE"))
    {
        if (!zone_tzid.isEmpty())
            zone_resolver.add_file_definition(zone_tzid, zone_text);
        zone_text.clear();
    }
    if (component == "VEVENT" && event_open)
        return complete_event(false);
    return outcome::next_line;
}

ics_event_scanner::outcome ics_event_scanner::finish_file()
{
    if (!event_open)
        return outcome::next_line;
    stack.clear();
    stack_changed();
    return complete_event(true);
}

ics_event_scanner::outcome ics_event_scanner::complete_event(bool without_end)
{
    event_open = false;
    completed = std::move(current);
    current = ics_event_record();
    completed.ended_without_end = without_end;
    completed.windows_1252 = windows_1252;
    completed.row.calendar_name = calendar_name;
    // The first row of a file carries the producer: the suite's stored rows rely on it there.
    if (!producer_given && !producer.isEmpty())
    {
        completed.row.previous_pro_id = producer;
        producer_given = true;
    }
    if (without_end)
        note("event without END:VEVENT from line " + QByteArray::number(completed.first_line) +
             " stored with what it has");
    return outcome::row_complete;
}

void ics_event_scanner::scan_calendar_line(const ics_content_line& line)
{
    if (line.is("PRODID"))
        producer = line.value().toByteArray();
    else if (line.is("X-WR-CALNAME"))
        calendar_name = line.value().toByteArray();
}

// Returns false when a cancellation stopped the line.
bool ics_event_scanner::scan_event_line(const ics_content_line& line)
{
    ics_event_row& row = current.row;
    const bytes name = line.name();
    if (name.isEmpty())
        return true;
    switch (name[0] | 0x20)
    {
    case 'a':
        if (line.is("ATTACH"))
            scan_attachment(line);
        else if (line.is("ATTENDEE"))
            scan_person(line, "attendee");
        else if (line.is("ACTION"))
            row.alarm_action = line.value().toByteArray();
        break;
    case 'c':
        if (line.is("CREATED"))
            scan_time(line, &current.created);
        else if (line.is("CLASS"))
            current.classification = line.value().toByteArray();
        break;
    case 'd':
        if (line.is("DTSTART"))
            scan_start_or_end(line, &current.start);
        else if (line.is("DTEND"))
            scan_start_or_end(line, &current.end);
        else if (line.is("DTSTAMP"))
            scan_time(line, &current.stamp);
        else if (line.is("DESCRIPTION"))
            append_capped(row.event_notes, line.value(), "notes");
        else if (line.is("DURATION"))
            current.duration = line.value().toByteArray();
        break;
    case 'e':
        if (line.is("EXDATE"))
            for (const QByteArray& value : line.value().toByteArray().split(','))
            {
                ics_time_value exdate;
                scan_time(line, &exdate);
                exdate.value = value.trimmed();
                current.exdates.append(exdate);
            }
        break;
    case 'l':
        if (line.is("LOCATION"))
            row.location = location_text(line.value());
        else if (line.is("LAST-MODIFIED"))
            scan_time(line, &current.last_modified);
        break;
    case 'o':
        if (line.is("ORGANIZER"))
            scan_person(line, "organizer");
        break;
    case 'r':
        if (line.is("RRULE"))
            return scan_recurrence(line);
        if (line.is("RDATE"))
            for (const QByteArray& value : line.value().toByteArray().split(','))
            {
                ics_time_value rdate;
                scan_time(line, &rdate);
                // A period gives its start.
                rdate.value = value.trimmed().split('/').first();
                current.rdates.append(rdate);
            }
        else if (line.is("RECURRENCE-ID"))
            scan_time(line, &current.recurrence_id);
        break;
    case 's':
        if (line.is("SUMMARY"))
            row.title = line.value().toByteArray();
        else if (line.is("STATUS"))
            row.status = line.value().toByteArray();
        else if (line.is("SEQUENCE"))
            current.sequence = line.value().toByteArray();
        break;
    case 't':
        if (line.is("TRANSP"))
            current.transp = line.value().toByteArray();
        else if (line.is("TRIGGER"))
            scan_trigger(line, nullptr);
        break;
    case 'u':
        if (line.is("UID"))
            row.event_uid = line.value().toByteArray();
        else if (line.is("URL"))
            row.url = line.value().toByteArray();
        break;
    case 'x':
        if (line.is("X-GOOGLE-HANGOUT") || line.is("X-GOOGLE-CONFERENCE"))
            row.conference_added = line.value().toByteArray();
        else if (line.is("X-WR-ALARMUID"))
            row.alarm_uid = line.value().toByteArray();
        break;
    default:
        break;
    }
    return true;
}

void ics_event_scanner::scan_alarm_line(const ics_content_line& line)
{
    if (current.alarms.isEmpty())
        return;
    ics_event_row& row = current.row;
    ics_alarm& alarm = current.alarms.last();
    if (line.is("TRIGGER"))
        scan_trigger(line, &alarm);
    else if (line.is("ACTION"))
        row.alarm_action = alarm.action = line.value().toByteArray();
    else if (line.is("ATTACH"))
    {
        if (!line.value().startsWith("ical://"))
            row.sound = alarm.sound = line.value().toByteArray();
    }
    else if (line.is("DESCRIPTION"))
    {
        alarm.description = line.value().toByteArray();
        append_capped(row.event_notes, line.value(), "notes");
    }
    else if (line.is("SUMMARY"))
        alarm.summary = line.value().toByteArray();
    else if (line.is("X-WR-ALARMUID"))
        row.alarm_uid = alarm.alarm_uid = line.value().toByteArray();
    else if (line.is("REPEAT"))
        alarm.repeat = line.value().toByteArray();
    else if (line.is("DURATION"))
        alarm.duration = line.value().toByteArray();
    else if (line.is("ATTENDEE"))
        alarm.attendees.append(address_without_scheme(line.value()));
}

// An alarm's trigger; a TRIGGER standing in the event itself still fills the event's alarm columns.
void ics_event_scanner::scan_trigger(const ics_content_line& line, ics_alarm* alarm)
{
    ics_alarm loose;
    ics_alarm& target = alarm ? *alarm : loose;
    target.trigger_as_written = line.has_parameters() ? line.raw_parameters().sliced(1).toByteArray() + ":" +
                                                            line.value().toByteArray()
                                                      : line.value().toByteArray();
    if (ics_content_line::same_name(line.parameter("VALUE"), "DATE-TIME"))
    {
        scan_time(line, &target.trigger_time);
        current.alarm_time = target.trigger_time;
        return;
    }
    const bool from_end = ics_content_line::same_name(line.parameter("RELATED"), "END");
    target.related = from_end ? "end" : "start";
    target.offset_text = ics_rule_text::alarm_offset("TRIGGER:" + line.value().toByteArray());
    if (from_end)
        target.offset_text += " End";
    current.row.alert = target.offset_text;
}

void ics_event_scanner::scan_time(const ics_content_line& line, ics_time_value* value)
{
    value->property = upper_case(line.name());
    value->value = line.value().toByteArray();
    value->tzid = line.has_parameters() ? line.parameter("TZID") : QByteArray();
    value->date_only = line.has_parameters() && ics_content_line::same_name(line.parameter("VALUE"), "DATE");
}

void ics_event_scanner::scan_start_or_end(const ics_content_line& line, ics_time_value* value)
{
    scan_time(line, value);
    // A line with parameters names the event's zone: its TZID, none for a date.
    if (line.has_parameters())
        current.row.timezone = value->tzid.trimmed();
}

// An event's attachment: its file name, the rest of its parameters and its address, as Google
// writes them (FILENAME first); a line without a file name gives its address.
void ics_event_scanner::scan_attachment(const ics_content_line& line)
{
    QByteArray file_name;
    QByteArray other_parameters;
    for (const ics_content_line::raw_parameter& parameter : line.parameters())
    {
        if (ics_content_line::same_name(parameter.name, "FILENAME"))
            file_name = parameter.values.toByteArray();
        else
            other_parameters.append(";").append(parameter.name).append("=").append(parameter.values);
    }
    const QByteArray text = file_name.isEmpty()
                                ? line.value().toByteArray()
                                : file_name + other_parameters + ":" + line.value().toByteArray();
    append_capped(current.row.attachment_detail, text, "attachments", ";");
}

void ics_event_scanner::scan_person(const ics_content_line& line, const QByteArray& role)
{
    ics_person person;
    person.role = role;
    person.display_name = line.parameter("CN");
    person.address_as_written = line.value().toByteArray();
    person.email = address_without_scheme(line.value());
    person.participation_status = line.parameter("PARTSTAT");
    person.attendee_role = line.parameter("ROLE");
    person.kind = line.parameter("CUTYPE");
    person.extra_guests = line.parameter("X-NUM-GUESTS");
    person.comment = line.parameter("X-RESPONSE-COMMENT");
    current.people.append(person);
}

void ics_event_scanner::append_capped(QByteArray& value, QByteArrayView text, const char* what,
                                      QByteArrayView separator)
{
    if (value.size() >= max_accumulated_size)
        return;
    if (text.size() + separator.size() > max_accumulated_size - value.size())
    {
        note(QByteArray(what) + " of the event from line " + QByteArray::number(current.first_line) +
             " cut at " + QByteArray::number(max_accumulated_size) + " bytes");
        value.append(text.first(max_accumulated_size - value.size()));
        return;
    }
    value.append(text).append(separator);
}

// Returns false when a cancellation came between two parts of the rule.
bool ics_event_scanner::scan_recurrence(const ics_content_line& line)
{
    const QByteArray rule = line.value().toByteArray();
    QByteArray& text = current.row.repeat_detail;
    if (text.size() + rule.size() * 2 > max_accumulated_size)
    {
        if (text.size() < max_accumulated_size)
            note("repeat text of the event from line " + QByteArray::number(current.first_line) + " cut at " +
                 QByteArray::number(max_accumulated_size) + " bytes");
        text.reserve(0);
        return true;
    }
    current.rrules.append(rule);
    // Appended in place: an event may carry any number of rule lines, and copying the text so
    // far for each of them grows with the square of their number.
    const qsizetype size_before = text.size();
    if (!text.isEmpty())
        text += ';';
    for (const QByteArray& part : rule.split(';'))
    {
        if (cancelled())
        {
            text.truncate(size_before);
            current.rrules.removeLast();
            return false;
        }
        if (ics_content_line::same_name(part.trimmed().left(6), "UNTIL="))
        {
            current.until.property = "UNTIL";
            current.until.value = part.trimmed().mid(6);
        }
        text += ics_rule_text::recurrence_part(part);
        text += ';';
    }
    if (text.endsWith(';'))
        text.chop(1);
    return true;
}

ics_event_row ics_event_scanner::finished_row()
{
    return ics_event_settlement::settle(completed, zone_resolver, &notes).row;
}
