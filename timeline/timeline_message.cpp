#include "timeline/timeline_message.h"

#include <QDateTime>
#include <QStringList>

#include <cstdio>

namespace
{
QString person_text(const timeline_person& person)
{
    QString text = timeline_message::unescaped(person.display_name);
    if (!person.email.isEmpty())
        text += (text.isEmpty() ? "<" : " <") + person.email + ">";
    return text;
}

// "organizer Alex <a@example.com>; guests Bo <b@example.com> ACCEPTED, ..." with the organizer first.
QString people_text(const QList<timeline_person>& people)
{
    QStringList organizers;
    QStringList guests;
    for (const timeline_person& person : people)
    {
        if (person.role.compare("organizer", Qt::CaseInsensitive) == 0)
            organizers << person_text(person);
        else
        {
            const QString answer =
                person.participation_status.isEmpty() ? "no answer recorded" : person.participation_status;
            guests << person_text(person) + " " + answer;
        }
    }
    QStringList parts;
    if (!organizers.isEmpty())
        parts << "organizer " + organizers.join(", ");
    if (!guests.isEmpty())
        parts << "guests " + guests.join(", ");
    return parts.join("; ");
}

QString zone_label(const timeline_series_row& series)
{
    if (!series.dtstart_tzid.isEmpty())
        return " " + series.dtstart_tzid;
    if (series.dtstart_as_written.endsWith('Z'))
        return " UTC";
    return QString();
}

QString all_day_date(const timeline_entry& entry)
{
    // All-day dates stand at the machine's midnight, as the reader stored them.
    const QDate date = entry.wall_date.isValid()
                           ? entry.wall_date
                           : QDateTime::fromSecsSinceEpoch(entry.seconds, Qt::LocalTime).date();
    return date.toString(Qt::ISODate);
}

bool is_occurrence(timeline_entry_kind kind)
{
    return kind == timeline_entry_kind::occurrence || kind == timeline_entry_kind::moved_occurrence ||
           kind == timeline_entry_kind::changed_occurrence;
}
} // namespace

QString timeline_message::description(timeline_entry_kind kind)
{
    switch (kind)
    {
    case timeline_entry_kind::event_start:
        return "Event Start";
    case timeline_entry_kind::event_end:
        return "Event End";
    case timeline_entry_kind::event_created:
        return "Event Created";
    case timeline_entry_kind::event_stamped:
        return "Event Stamped (DTSTAMP)";
    case timeline_entry_kind::event_last_modified:
        return "Event Last Modified";
    case timeline_entry_kind::alarm:
        return "Alarm";
    case timeline_entry_kind::repeat_end:
        return "Repeat Ends";
    case timeline_entry_kind::file_exported:
        return "Calendar Exported (DTSTAMP)";
    case timeline_entry_kind::occurrence:
        return "Occurrence Start";
    case timeline_entry_kind::moved_occurrence:
        return "Moved Occurrence Start";
    case timeline_entry_kind::changed_occurrence:
        return "Changed Occurrence Start";
    case timeline_entry_kind::cancelled_occurrence:
        return "Cancelled Occurrence";
    }
    return QString();
}

timeline_message::timeline_message(const QList<timeline_event>& events) : events(events), words(events.size())
{
}

const timeline_message::event_words& timeline_message::words_of(qsizetype event)
{
    event_words& these = words[event];
    if (these.prepared)
        return these;
    const timeline_event& row = events.at(event);
    these.prepared = true;
    these.calendar = unescaped(row.calendar_name);
    const QString title = unescaped(row.title);
    if (!title.isEmpty())
        these.heading += ": " + title;
    if (!these.calendar.isEmpty())
        these.heading += " (" + these.calendar + ")";
    these.people = people_text(row.people);
    these.zone = zone_label(row.series);
    return these;
}

QString timeline_message::compose(const timeline_entry& entry)
{
    const timeline_event& event = events.at(entry.event);
    const event_words& these = words_of(entry.event);
    QString message = description(entry.kind);
    if (entry.kind == timeline_entry_kind::file_exported)
    {
        if (!these.calendar.isEmpty())
            message += ": " + these.calendar;
        return message + QString("; all %1 events of %2 carry this DTSTAMP, the moment the file was written")
                             .arg(entry.file_events)
                             .arg(event.ics_file_path);
    }
    message += these.heading;

    QStringList details;
    if (entry.all_day)
        details << "all-day, " + all_day_date(entry);
    if (is_occurrence(entry.kind) || entry.kind == timeline_entry_kind::cancelled_occurrence)
    {
        QString occurrence = "occurrence of series " + event.event_uid;
        if (entry.wall_date.isValid() && entry.wall_time.isValid() && !entry.all_day)
            occurrence += " at " + entry.wall_date.toString(Qt::ISODate) + " " +
                          entry.wall_time.toString("HH:mm:ss") + these.zone;
        details << occurrence;
    }
    if (entry.kind == timeline_entry_kind::moved_occurrence)
        details << "moved from " + iso_utc(entry.original_seconds);
    if (entry.kind == timeline_entry_kind::changed_occurrence)
        details << "changed, at its own time";
    if (entry.kind == timeline_entry_kind::cancelled_occurrence)
        details << (entry.from_exdate ? "cancelled by EXDATE"
                    : event.series.recurrence_id.isEmpty()
                        ? "cancelled with its whole series (STATUS:CANCELLED)"
                        : "cancelled by its own STATUS:CANCELLED row");
    if (entry.has_end && !entry.all_day)
        details << "until " + iso_utc(entry.end_seconds);
    if ((is_occurrence(entry.kind) || entry.kind == timeline_entry_kind::event_start) &&
        !these.people.isEmpty())
        details << these.people;
    if (!details.isEmpty())
        message += "; " + details.join("; ");
    return message;
}

QString timeline_message::unescaped(const QString& text)
{
    if (!text.contains('\\'))
        return text;
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        const QChar c = text.at(i);
        if (c != '\\' || i + 1 == text.size())
        {
            plain += c;
            continue;
        }
        const QChar next = text.at(i + 1);
        if (next == ',' || next == ';' || next == '\\')
            plain += next;
        else if (next == 'n' || next == 'N')
            plain += '\n';
        else
        {
            plain += c;
            continue;
        }
        ++i;
    }
    return plain;
}

QString timeline_message::iso_utc(qint64 seconds)
{
    // By hand: QDateTime's formatting is the slowest step of a large timeline.
    const qint64 day = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const qint64 second_of_day = seconds - day * 86400;
    const QDate date = QDate(1970, 1, 1).addDays(day);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", date.year(), date.month(), date.day(),
                  int(second_of_day / 3600), int(second_of_day / 60 % 60), int(second_of_day % 60));
    return QString::fromLatin1(text);
}
