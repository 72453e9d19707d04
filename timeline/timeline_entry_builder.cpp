#include "timeline/timeline_entry_builder.h"

#include "extractors/ics/ics_zone_resolver.h"
#include "timeline/timeline_series_expander.h"

#include <QHash>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <future>
#include <map>
#include <memory>
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
    // The file's own VTIMEZONEs, the first its series rows carry for each TZID. Two files may define one
    // name differently, so each file's zones stand apart.
    QList<QPair<QByteArray, QByteArray>> zone_definitions;
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

using entry_counts = timeline_entry_builder::entry_counts;

// Where entries go: kept if they have an ISO 8601 form and lie in the window, counted either way.
struct entry_sink
{
    const timeline_settings& settings;
    std::vector<timeline_entry>* entries;
    entry_counts* counts;

    void push(const timeline_entry& entry) const
    {
        // An RDATE or EXDATE, or an occurrence, outside the years 1 to 9999 has no ISO 8601 form.
        if (entry.seconds < earliest_seconds || entry.seconds > latest_seconds)
        {
            ++counts->times_missing;
            return;
        }
        if ((settings.from && entry.seconds < *settings.from) ||
            (settings.until && entry.seconds >= *settings.until))
        {
            ++counts->outside_window;
            return;
        }
        switch (entry.kind)
        {
        case timeline_entry_kind::occurrence:
        case timeline_entry_kind::moved_occurrence:
        case timeline_entry_kind::changed_occurrence:
            ++counts->occurrences;
            break;
        case timeline_entry_kind::cancelled_occurrence:
            ++counts->cancelled;
            break;
        default:
            break;
        }
        entries->push_back(entry);
    }
};

void add_counts(entry_counts* sum, const entry_counts& part)
{
    sum->times_missing += part.times_missing;
    sum->occurrences += part.occurrences;
    sum->cancelled += part.cancelled;
    sum->outside_window += part.outside_window;
}

// What an entry of this event carries whatever its kind.
timeline_entry base_entry(const timeline_event& event, qsizetype index)
{
    timeline_entry base;
    base.event = qint32(index);
    base.all_day = is_all_day(event);
    if (base.all_day)
        base.set_wall_clock(QDate::fromString(event.series.dtstart_as_written, "yyyyMMdd"));
    return base;
}

// Every occurrence lasts as long as DTSTART to DTEND (an exact duration, RFC 5545).
std::optional<qint64> duration_of(const timeline_event& event)
{
    const std::optional<qint64> start = stored_seconds(event.start);
    const std::optional<qint64> end = stored_seconds(event.end);
    if (!start || !end)
        return std::nullopt;
    return *end - *start;
}

// The expansion of one series, as the pass over all events takes it up.
struct series_outcome
{
    size_t entries_end = 0; // its entries end here in its block's entries
    bool expanded = false;
    bool cut = false;
    QStringList problems;
    QStringList unknown_zones;
};

// The series of consecutive series rows, expanded together.
struct series_block
{
    std::vector<timeline_entry> entries;
    std::vector<series_outcome> outcomes;
    entry_counts counts;
};

// What expansion reads; nothing here changes while series are expanded.
struct expansion_input
{
    const QList<timeline_event>& events;
    const std::map<QString, file_facts>& files;
    // File and UID: the occurrences RECURRENCE-ID rows stand for.
    const QHash<QString, QSet<qint64>>& replaced;
    std::optional<qint64> database_horizon;
    const timeline_settings& settings;
};

// Expands series on one thread, with its own expander and its own zones for each file: the zone caches
// are not shared between threads.
class series_worker
{
  public:
    explicit series_worker(const expansion_input& input)
        : input(input), expander(input.settings.occurrence_cap)
    {
    }

    void expand(qsizetype index, series_block* block)
    {
        const timeline_event& event = input.events.at(index);
        const timeline_series_row& series = event.series;
        const file_facts& file = input.files.at(event.ics_file_path);
        const timeline_entry base = base_entry(event, index);
        // A date has no zone (RFC 5545 3.3.4): all-day series stand at the machine's midnight, as the reader
        // stores all-day starts, whatever TZID the file gives them.
        const QByteArray tzid = base.all_day ? QByteArray() : series.dtstart_tzid.toUtf8();
        ics_zone_resolver& zones = zones_of(event.ics_file_path, file);
        const auto clock = [&zones, &tzid](QDate date, QTime time)
        { return zones.epoch_of(date, time, tzid); };
        const timeline_settings& settings = input.settings;
        const std::optional<qint64> horizon =
            settings.until ? settings.until : (file.horizon ? file.horizon : input.database_horizon);

        series_outcome outcome;
        outcome.expanded = expander.expand(series, clock, horizon, settings.until);
        for (const QByteArray& unknown : zones.take_unknown_zones())
            outcome.unknown_zones << event.ics_file_path + ": zone " + QString::fromUtf8(unknown) +
                                         " unknown, its series expanded in the machine's zone";
        for (const QString& problem : expander.problems())
            outcome.problems << event.event_uid + ": " + problem;
        if (outcome.expanded)
        {
            outcome.cut = expander.cut_at_cap();
            add_occurrences(event, base, block);
        }
        outcome.entries_end = block->entries.size();
        block->outcomes.push_back(outcome);
    }

  private:
    void add_occurrences(const timeline_event& event, const timeline_entry& base, series_block* block) const
    {
        const auto stood_in = input.replaced.constFind(series_key(event));
        const bool any_stood_in = stood_in != input.replaced.constEnd();
        const entry_sink sink{input.settings, &block->entries, &block->counts};
        const std::optional<qint64> duration = duration_of(event);
        const bool cancelled = is_cancelled(event);
        for (const timeline_occurrence& occurrence : expander.occurrences())
        {
            if (any_stood_in && stood_in->contains(occurrence.seconds))
                continue;
            timeline_entry entry = base;
            entry.kind = timeline_entry_kind::occurrence;
            if (cancelled)
            {
                // The whole series is cancelled: each of its occurrences is.
                entry.kind = timeline_entry_kind::cancelled_occurrence;
                entry.has_original = true;
                entry.original_seconds = occurrence.seconds;
            }
            entry.seconds = occurrence.seconds;
            entry.set_wall_clock(occurrence.wall_date, occurrence.wall_time);
            entry.has_end = duration.has_value();
            entry.end_seconds = occurrence.seconds + duration.value_or(0);
            sink.push(entry);
        }
        for (const qint64 exdate : expander.exdates())
        {
            timeline_entry entry = base;
            entry.kind = timeline_entry_kind::cancelled_occurrence;
            entry.from_exdate = true;
            entry.seconds = exdate;
            entry.has_original = true;
            entry.original_seconds = exdate;
            entry.set_wall_clock(QDate());
            sink.push(entry);
        }
    }

    ics_zone_resolver& zones_of(const QString& path, const file_facts& file)
    {
        std::unique_ptr<ics_zone_resolver>& zones = zones_by_file[path];
        if (!zones)
        {
            zones = std::make_unique<ics_zone_resolver>();
            for (const auto& [tzid, definition] : file.zone_definitions)
                zones->add_file_definition(tzid, definition);
        }
        return *zones;
    }

    const expansion_input& input;
    timeline_series_expander expander;
    std::map<QString, std::unique_ptr<ics_zone_resolver>> zones_by_file;
};

// Expands the series rows `indices` in blocks of consecutive rows, on as many threads as there are cores;
// blocks come back in the order of the rows.
std::vector<series_block> expand_all(const expansion_input& input, const std::vector<qsizetype>& indices)
{
    constexpr size_t block_series = 64;
    std::vector<series_block> blocks((indices.size() + block_series - 1) / block_series);
    std::atomic<size_t> next_block{0};
    const auto work = [&]
    {
        series_worker worker(input);
        for (size_t b = next_block++; b < blocks.size(); b = next_block++)
        {
            const size_t last = std::min(indices.size(), (b + 1) * block_series);
            for (size_t i = b * block_series; i < last; ++i)
                worker.expand(indices[i], &blocks[b]);
        }
    };
    // Where no thread can be started, a helper's share runs on this one.
    std::vector<std::future<void>> helpers;
    for (int t = 1; t < QThread::idealThreadCount() && size_t(t) < blocks.size(); ++t)
        helpers.push_back(std::async(std::launch::async | std::launch::deferred, work));
    work();
    for (std::future<void>& helper : helpers)
        helper.get();
    return blocks;
}

// What one pass over the events learns before anything is expanded.
struct event_survey
{
    std::map<QString, file_facts> files; // std::map keeps each file_facts in place
    std::optional<qint64> database_horizon;
    QHash<QString, QSet<qint64>> replaced; // file and UID: the occurrences RECURRENCE-ID rows stand for
    std::vector<qsizetype> series_indices;
};

void note_file_facts(const timeline_event& event, qsizetype index, event_survey* survey)
{
    auto [found, inserted] = survey->files.try_emplace(event.ics_file_path);
    file_facts& file = found->second;
    if (inserted)
        file.first_event = index;
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
        if (time && (!survey->database_horizon || *time > *survey->database_horizon))
            survey->database_horizon = time;
    }
    const timeline_series_row& series = event.series;
    if (is_series(event) && !series.zone_definition.isEmpty() &&
        !file.defined_zones.contains(series.dtstart_tzid))
    {
        file.defined_zones.insert(series.dtstart_tzid);
        file.zone_definitions.append({series.dtstart_tzid.toUtf8(), series.zone_definition.toUtf8()});
    }
}

event_survey survey_of(const QList<timeline_event>& events)
{
    event_survey survey;
    for (qsizetype i = 0; i < events.size(); ++i)
    {
        const timeline_event& event = events.at(i);
        note_file_facts(event, i, &survey);
        if (is_override(event))
        {
            const std::optional<qint64> original = stored_seconds(event.series.recurrence_id);
            if (original)
                survey.replaced[series_key(event)].insert(*original);
        }
        if (is_series(event))
            survey.series_indices.push_back(i);
    }
    return survey;
}

// Hands out the expanded series in the order of their rows; a block's entries go once all are taken.
class series_gatherer
{
  public:
    explicit series_gatherer(std::vector<series_block>& blocks) : blocks(blocks) {}

    // The next series' outcome, its entries appended to `to`.
    const series_outcome& take(std::vector<timeline_entry>* to)
    {
        series_block& block = blocks[block_at];
        const series_outcome& outcome = block.outcomes[outcome_at];
        to->insert(to->end(), block.entries.begin() + qsizetype(entry_at),
                   block.entries.begin() + qsizetype(outcome.entries_end));
        entry_at = outcome.entries_end;
        if (++outcome_at == block.outcomes.size())
        {
            std::vector<timeline_entry>().swap(block.entries);
            ++block_at;
            outcome_at = entry_at = 0;
        }
        return outcome;
    }

  private:
    std::vector<series_block>& blocks;
    size_t block_at = 0;
    size_t outcome_at = 0;
    size_t entry_at = 0;
};

timeline_entry export_entry(const file_facts& file)
{
    timeline_entry entry;
    entry.seconds = *file.shared_stamp;
    entry.event = qint32(file.first_event);
    entry.kind = timeline_entry_kind::file_exported;
    entry.file_events = qint32(std::min<qint64>(file.events, std::numeric_limits<qint32>::max()));
    return entry;
}

// A RECURRENCE-ID row: the occurrence it moves, changes in place or cancels. True when that entry
// stands for the row's own start and end.
bool add_override_entry(const timeline_event& event, const timeline_entry& base, const entry_sink& sink,
                        QStringList* problems)
{
    const std::optional<qint64> original = stored_seconds(event.series.recurrence_id);
    const std::optional<qint64> start = stored_seconds(event.start);
    const std::optional<qint64> end = stored_seconds(event.end);
    if (!original)
    {
        *problems << event.event_uid +
                         ": RECURRENCE-ID instant is not a number: " + event.series.recurrence_id;
        return false;
    }
    if (!is_cancelled(event) && !start)
        return false;
    timeline_entry entry = base;
    entry.has_original = true;
    entry.original_seconds = *original;
    if (is_cancelled(event))
    {
        entry.kind = timeline_entry_kind::cancelled_occurrence;
        entry.seconds = *original;
        entry.set_wall_clock(QDate());
    }
    else
    {
        entry.kind = *start == *original ? timeline_entry_kind::changed_occurrence
                                         : timeline_entry_kind::moved_occurrence;
        entry.seconds = *start;
        entry.has_end = end.has_value();
        entry.end_seconds = end.value_or(0);
    }
    sink.push(entry);
    return true;
}

// One entry per time stamp of the row: start and end unless occurrences stand for them, DTSTAMP unless
// it is the file's moment of export.
void add_time_entries(const timeline_event& event, const timeline_entry& base, bool start_and_end_done,
                      bool stamp_is_export, const entry_sink& sink)
{
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
        if ((start_or_end && start_and_end_done) ||
            (time.kind == timeline_entry_kind::event_stamped && stamp_is_export))
            continue;
        const std::optional<qint64> seconds = stored_seconds(time.text);
        if (!seconds)
        {
            ++sink.counts->times_missing;
            continue;
        }
        timeline_entry entry = base;
        entry.kind = time.kind;
        entry.seconds = *seconds;
        sink.push(entry);
    }
}
} // namespace

timeline_entry_builder::timeline_entry_builder(const timeline_settings& settings) : settings(settings) {}

void timeline_entry_builder::build(const QList<timeline_event>& events)
{
    const event_survey survey = survey_of(events);
    std::vector<series_block> blocks = expand_all(
        {events, survey.files, survey.replaced, survey.database_horizon, settings}, survey.series_indices);
    size_t entries_expected = size_t(events.size()) * 9; // at most one of each kind a single row gives
    for (const series_block& block : blocks)
    {
        entries_expected += block.entries.size();
        add_counts(&counts, block.counts);
    }
    entries_vector.reserve(entries_expected);

    const entry_sink sink{settings, &entries_vector, &counts};
    series_gatherer gathered(blocks);
    QSet<QString> unknown_reported;
    QSet<QString> exported_files;
    for (qsizetype i = 0; i < events.size(); ++i)
    {
        const timeline_event& event = events.at(i);
        const file_facts& file = survey.files.at(event.ics_file_path);
        if (file.stamp_is_export() && !exported_files.contains(event.ics_file_path))
        {
            exported_files.insert(event.ics_file_path);
            sink.push(export_entry(file));
        }
        const timeline_entry base = base_entry(event, i);
        bool start_and_end_done = false;
        if (is_series(event))
        {
            const series_outcome& outcome = gathered.take(&entries_vector);
            // Each file and name once, as one thread would have said it.
            for (const QString& line : outcome.unknown_zones)
            {
                if (!unknown_reported.contains(line))
                    unknown_zones_list << line;
                unknown_reported.insert(line);
            }
            problems_list << outcome.problems;
            start_and_end_done = outcome.expanded;
            series_expanded_count += outcome.expanded ? 1 : 0;
            if (outcome.expanded && outcome.cut)
                series_cut_list << event.event_uid;
        }
        else if (is_override(event))
            start_and_end_done = add_override_entry(event, base, sink, &problems_list);
        add_time_entries(event, base, start_and_end_done, file.stamp_is_export(), sink);
    }
    std::stable_sort(entries_vector.begin(), entries_vector.end(),
                     [](const timeline_entry& a, const timeline_entry& b) { return a.seconds < b.seconds; });
}
