#include "timeline/timeline_entry_builder.h"

#include "extractors/ics/ics_zone_resolver.h"
#include "timeline/timeline_series_expander.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <map>
#include <optional>

namespace
{
// 0001-01-01T00:00:00Z and 9999-12-31T23:59:59Z: the span a four-digit ISO 8601 year can show.
constexpr qint64 earliest_seconds = -62135596800LL;
constexpr qint64 latest_seconds = 253402300799LL;

bool is_whole_number(const QString& text)
{
    const qsizetype first = text.startsWith('-') ? 1 : 0;
    if (text.size() <= first)
        return false;
    for (qsizetype i = first; i < text.size(); ++i)
    {
        if (text.at(i) < '0' || text.at(i) > '9')
            return false;
    }
    return true;
}

// A stored time is usable only as a whole number of seconds inside the printable span; anything else
// counts as missing rather than being guessed at.
std::optional<qint64> stored_seconds(const QString& text)
{
    if (!is_whole_number(text))
        return std::nullopt;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (!ok || seconds < earliest_seconds || seconds > latest_seconds)
        return std::nullopt;
    return seconds;
}

// What the events of one .ics file share.
struct file_facts
{
    qsizetype first_event = 0;
    qint64 events = 0;
    std::optional<qint64> shared_stamp; // set while every event so far carries this same DTSTAMP
    bool stamps_differ = false;
    std::optional<qint64> horizon; // the latest DTSTAMP or LAST-MODIFIED: the moment of export
    ics_zone_resolver zones;       // the file's own VTIMEZONEs live as long as the file
    QSet<QString> defined_zones;

    bool stamp_is_export() const { return events >= 2 && shared_stamp && !stamps_differ; }
};

QString series_key(const timeline_event& event)
{
    return event.ics_file_path + QChar(0) + event.event_uid;
}

bool is_override(const timeline_event& event)
{
    return event.series.present && !event.series.recurrence_id.isEmpty();
}

bool is_series(const timeline_event& event)
{
    return event.series.present && !is_override(event) &&
           (!event.series.rrule.trimmed().isEmpty() || !event.series.rdate.trimmed().isEmpty());
}

bool is_all_day(const timeline_event& event)
{
    return event.series.present && event.series.dtstart_as_written.size() == 8;
}

bool is_cancelled(const timeline_event& event)
{
    return event.status.trimmed().compare("CANCELLED", Qt::CaseInsensitive) == 0;
}
} // namespace

timeline_entry_builder::timeline_entry_builder(const timeline_settings& settings) : settings(settings) {}

void timeline_entry_builder::push(timeline_entry entry)
{
    // An RDATE or EXDATE, or an occurrence, outside the years 1 to 9999 has no ISO 8601 form.
    if (entry.seconds < earliest_seconds || entry.seconds > latest_seconds)
    {
        ++times_missing_count;
        return;
    }
    if ((settings.from && entry.seconds < *settings.from) ||
        (settings.until && entry.seconds >= *settings.until))
    {
        ++outside_window_count;
        return;
    }
    switch (entry.kind)
    {
    case timeline_entry_kind::occurrence:
    case timeline_entry_kind::moved_occurrence:
    case timeline_entry_kind::changed_occurrence:
        ++occurrences_count;
        break;
    case timeline_entry_kind::cancelled_occurrence:
        ++cancelled_count;
        break;
    default:
        break;
    }
    entries_vector.push_back(entry);
}

void timeline_entry_builder::build(const QList<timeline_event>& events)
{
    // Files in the order first met; std::map keeps file_facts (and its zone clock) in place.
    std::map<QString, file_facts> files;
    std::optional<qint64> database_horizon;
    QHash<QString, QSet<qint64>> replaced; // file and UID: the occurrences RECURRENCE-ID rows stand for
    for (qsizetype i = 0; i < events.size(); ++i)
    {
        const timeline_event& event = events.at(i);
        auto [found, inserted] = files.try_emplace(event.ics_file_path);
        file_facts& file = found->second;
        if (inserted)
            file.first_event = i;
        ++file.events;
        const std::optional<qint64> stamp = stored_seconds(event.stamped);
        if (!stamp || (file.shared_stamp && *file.shared_stamp != *stamp))
            file.stamps_differ = true;
        else
            file.shared_stamp = stamp;
        for (const std::optional<qint64>& time : {stamp, stored_seconds(event.last_modified)})
        {
            if (time && (!file.horizon || *time > *file.horizon))
                file.horizon = time;
            if (time && (!database_horizon || *time > *database_horizon))
                database_horizon = time;
        }
        if (is_override(event))
        {
            const std::optional<qint64> original = stored_seconds(event.series.recurrence_id);
            if (original)
                replaced[series_key(event)].insert(*original);
        }
    }

    timeline_series_expander expander(settings.occurrence_cap);
    QSet<QString> exported_files;
    for (qsizetype i = 0; i < events.size(); ++i)
    {
        const timeline_event& event = events.at(i);
        file_facts& file = files.at(event.ics_file_path);
        if (file.stamp_is_export() && !exported_files.contains(event.ics_file_path))
        {
            exported_files.insert(event.ics_file_path);
            timeline_entry entry;
            entry.seconds = *file.shared_stamp;
            entry.event = file.first_event;
            entry.kind = timeline_entry_kind::file_exported;
            entry.file_events = file.events;
            push(entry);
        }

        timeline_entry base;
        base.event = i;
        base.all_day = is_all_day(event);
        if (base.all_day)
            base.wall_date = QDate::fromString(event.series.dtstart_as_written, "yyyyMMdd");
        const std::optional<qint64> start = stored_seconds(event.start);
        const std::optional<qint64> end = stored_seconds(event.end);
        // Every occurrence lasts as long as DTSTART to DTEND (an exact duration, RFC 5545).
        const bool has_duration = start.has_value() && end.has_value();
        const qint64 duration = has_duration ? end.value_or(0) - start.value_or(0) : 0;

        bool start_and_end_done = false;
        if (is_series(event))
        {
            const timeline_series_row& series = event.series;
            if (!series.zone_definition.isEmpty() && !file.defined_zones.contains(series.dtstart_tzid))
            {
                file.defined_zones.insert(series.dtstart_tzid);
                file.zones.add_file_definition(series.dtstart_tzid.toUtf8(), series.zone_definition.toUtf8());
            }
            // A date has no zone (RFC 5545 3.3.4): all-day series stand at the machine's midnight, as the
            // reader stores all-day starts, whatever TZID the file gives them.
            const QByteArray tzid = base.all_day ? QByteArray() : series.dtstart_tzid.toUtf8();
            ics_zone_resolver& zones = file.zones;
            // Without a TZID (all-day, floating) the machine's clock is meant, not an unknown zone.
            const auto clock = [&zones, &tzid](QDate date, QTime time) {
                return tzid.isEmpty() ? zones.machine_epoch_of(date, time) : zones.epoch_of(date, time, tzid);
            };
            const std::optional<qint64> horizon =
                settings.until ? settings.until : (file.horizon ? file.horizon : database_horizon);
            const bool expanded = expander.expand(series, clock, horizon, settings.until);
            for (const QByteArray& unknown : zones.take_unknown_zones())
                unknown_zones_list << event.ics_file_path + ": zone " + QString::fromUtf8(unknown) +
                                          " unknown, its series expanded in the machine's zone";
            for (const QString& problem : expander.problems())
                problems_list << event.event_uid + ": " + problem;
            if (expanded)
            {
                start_and_end_done = true;
                ++series_expanded_count;
                if (expander.cut_at_cap())
                    series_cut_list << event.event_uid;
                const QSet<qint64> stood_in = replaced.value(series_key(event));
                for (const timeline_occurrence& occurrence : expander.occurrences())
                {
                    if (stood_in.contains(occurrence.seconds))
                        continue;
                    timeline_entry entry = base;
                    entry.kind = timeline_entry_kind::occurrence;
                    if (is_cancelled(event))
                    {
                        // The whole series is cancelled: each of its occurrences is.
                        entry.kind = timeline_entry_kind::cancelled_occurrence;
                        entry.has_original = true;
                        entry.original_seconds = occurrence.seconds;
                    }
                    entry.seconds = occurrence.seconds;
                    entry.wall_date = occurrence.wall_date;
                    entry.wall_time = occurrence.wall_time;
                    entry.has_end = has_duration;
                    entry.end_seconds = occurrence.seconds + duration;
                    push(entry);
                }
                for (const qint64 exdate : expander.exdates())
                {
                    timeline_entry entry = base;
                    entry.kind = timeline_entry_kind::cancelled_occurrence;
                    entry.from_exdate = true;
                    entry.seconds = exdate;
                    entry.has_original = true;
                    entry.original_seconds = exdate;
                    entry.wall_date = QDate();
                    push(entry);
                }
            }
        }
        else if (is_override(event))
        {
            const std::optional<qint64> original = stored_seconds(event.series.recurrence_id);
            if (!original)
                problems_list << event.event_uid +
                                     ": RECURRENCE-ID instant is not a number: " + event.series.recurrence_id;
            else if (is_cancelled(event) || start)
            {
                start_and_end_done = true;
                timeline_entry entry = base;
                entry.has_original = true;
                entry.original_seconds = *original;
                if (is_cancelled(event))
                {
                    entry.kind = timeline_entry_kind::cancelled_occurrence;
                    entry.seconds = *original;
                    entry.wall_date = QDate();
                }
                else
                {
                    entry.kind = *start == *original ? timeline_entry_kind::changed_occurrence
                                                     : timeline_entry_kind::moved_occurrence;
                    entry.seconds = *start;
                    entry.has_end = end.has_value();
                    entry.end_seconds = end.value_or(0);
                }
                push(entry);
            }
        }

        const struct
        {
            const QString& text;
            timeline_entry_kind kind;
        } times[] = {
            {event.start, timeline_entry_kind::event_start},
            {event.end, timeline_entry_kind::event_end},
            {event.created, timeline_entry_kind::event_created},
            {event.stamped, timeline_entry_kind::event_stamped},
            {event.last_modified, timeline_entry_kind::event_last_modified},
            {event.alarm, timeline_entry_kind::alarm},
            {event.repeat_end, timeline_entry_kind::repeat_end},
        };
        for (const auto& time : times)
        {
            const bool start_or_end =
                time.kind == timeline_entry_kind::event_start || time.kind == timeline_entry_kind::event_end;
            if (start_or_end && start_and_end_done)
                continue;
            if (time.kind == timeline_entry_kind::event_stamped && file.stamp_is_export())
                continue;
            const std::optional<qint64> seconds = stored_seconds(time.text);
            if (!seconds)
            {
                ++times_missing_count;
                continue;
            }
            timeline_entry entry = base;
            entry.kind = time.kind;
            entry.seconds = *seconds;
            push(entry);
        }
    }
    std::stable_sort(entries_vector.begin(), entries_vector.end(),
                     [](const timeline_entry& a, const timeline_entry& b) { return a.seconds < b.seconds; });
}
