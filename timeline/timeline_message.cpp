#include "timeline/timeline_message.h"

#include <QDateTime>
#include <QStringList>

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

bool is_occurrence(timeline_entry_kind kind)
{
    return kind == timeline_entry_kind::occurrence || kind == timeline_entry_kind::moved_occurrence ||
           kind == timeline_entry_kind::changed_occurrence;
}

// `width` decimal digits of `value` at `text`, zero-padded.
char* put_digits(char* text, int value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        text[i] = char('0' + value % 10);
    return text + width;
}

std::string utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

struct civil_date
{
    int year;
    int month;
    int day;
};

// The proleptic Gregorian date of a count of days since 1970-01-01 (H. Hinnant's days-to-civil).
civil_date civil_from_days(qint64 days)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 day_of_era = days - era * 146097;
    const qint64 year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const qint64 day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const qint64 shifted_month = (5 * day_of_year + 2) / 153;
    const int day = int(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    const int month = int(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    return {int(year_of_era + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

// As QDate::toString(Qt::ISODate): nothing for an invalid date or a year outside 0 to 9999.
// "YYYY-MM-DD" at `text`.
char* put_date(char* text, const civil_date& civil)
{
    text = put_digits(text, civil.year, 4);
    *text++ = '-';
    text = put_digits(text, civil.month, 2);
    *text++ = '-';
    return put_digits(text, civil.day, 2);
}

// "HH:MM:SS" at `text`.
char* put_time(char* text, int hour, int minute, int second)
{
    text = put_digits(text, hour, 2);
    *text++ = ':';
    text = put_digits(text, minute, 2);
    *text++ = ':';
    return put_digits(text, second, 2);
}

// As QDate::toString(Qt::ISODate): nothing for an invalid date or a year outside 0 to 9999.
void append_iso_date(std::string* out, QDate date)
{
    if (!date.isValid())
        return;
    const civil_date civil = civil_from_days(date.toJulianDay() - QDate(1970, 1, 1).toJulianDay());
    if (civil.year < 0 || civil.year > 9999)
        return;
    char text[16];
    out->append(text, size_t(put_date(text, civil) - text));
}

void append_time(std::string* out, QTime time)
{
    char text[16];
    out->append(text, size_t(put_time(text, time.hour(), time.minute(), time.second()) - text));
}

void append_all_day_date(std::string* out, const timeline_entry& entry)
{
    // All-day dates stand at the machine's midnight, as the reader stored them.
    append_iso_date(out, entry.wall_date().isValid()
                             ? entry.wall_date()
                             : QDateTime::fromSecsSinceEpoch(entry.seconds, Qt::LocalTime).date());
}

const char* cancellation(const timeline_entry& entry, const timeline_event& event)
{
    if (entry.from_exdate)
        return "cancelled by EXDATE";
    return event.series.recurrence_id.isEmpty() ? "cancelled with its whole series (STATUS:CANCELLED)"
                                                : "cancelled by its own STATUS:CANCELLED row";
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

timeline_message::timeline_message(const QList<timeline_event>& events) : events(events)
{
    words.reserve(size_t(events.size()));
    for (const timeline_event& row : events)
        words.push_back(words_of(row));
    for (int kind = 0; kind <= int(timeline_entry_kind::cancelled_occurrence); ++kind)
        descriptions.push_back(utf8(description(timeline_entry_kind(kind))));
}

timeline_message::event_words timeline_message::words_of(const timeline_event& row)
{
    event_words these;
    const QString calendar = unescaped(row.calendar_name);
    const QString title = unescaped(row.title);
    QString heading;
    if (!title.isEmpty())
        heading += ": " + title;
    if (!calendar.isEmpty())
        heading += " (" + calendar + ")";
    these.heading = utf8(heading);
    these.calendar = utf8(calendar);
    these.people = utf8(people_text(row.people));
    these.zone = utf8(zone_label(row.series));
    these.series = utf8("occurrence of series " + row.event_uid);
    return these;
}

void timeline_message::compose(const timeline_entry& entry, std::string* out) const
{
    const timeline_event& event = events.at(entry.event);
    const event_words& these = words[size_t(entry.event)];
    out->append(descriptions[size_t(entry.kind)]);
    if (entry.kind == timeline_entry_kind::file_exported)
    {
        if (!these.calendar.empty())
            out->append(": ").append(these.calendar);
        out->append("; all ")
            .append(std::to_string(entry.file_events))
            .append(" events of ")
            .append(utf8(event.ics_file_path))
            .append(" carry this DTSTAMP, the moment the file was written");
        return;
    }
    out->append(these.heading);

    if (entry.all_day)
    {
        out->append("; all-day, ");
        append_all_day_date(out, entry);
    }
    const bool occurrence = is_occurrence(entry.kind);
    const bool cancelled = entry.kind == timeline_entry_kind::cancelled_occurrence;
    if (occurrence || cancelled)
    {
        out->append("; ").append(these.series);
        const QDate wall_date = entry.wall_date();
        const QTime wall_time = entry.wall_time();
        if (wall_date.isValid() && wall_time.isValid() && !entry.all_day)
        {
            out->append(" at ");
            append_iso_date(out, wall_date);
            out->push_back(' ');
            append_time(out, wall_time);
            out->append(these.zone);
        }
    }
    if (entry.kind == timeline_entry_kind::moved_occurrence)
    {
        out->append("; moved from ");
        append_iso_utc(out, entry.original_seconds);
    }
    if (entry.kind == timeline_entry_kind::changed_occurrence)
        out->append("; changed, at its own time");
    if (cancelled)
        out->append("; ").append(cancellation(entry, event));
    if (entry.has_end && !entry.all_day)
    {
        out->append("; until ");
        append_iso_utc(out, entry.end_seconds);
    }
    if ((occurrence || entry.kind == timeline_entry_kind::event_start) && !these.people.empty())
        out->append("; ").append(these.people);
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

void timeline_message::append_iso_utc(std::string* out, qint64 seconds)
{
    // By hand: QDateTime's formatting would be the slowest step of a large timeline.
    const qint64 day = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const int second_of_day = int(seconds - day * 86400);
    char text[32];
    char* end = put_date(text, civil_from_days(day));
    *end++ = 'T';
    end = put_time(end, second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60);
    *end++ = 'Z';
    out->append(text, size_t(end - text));
}
