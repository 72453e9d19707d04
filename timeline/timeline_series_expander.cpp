#include "timeline/timeline_series_expander.h"

#include "timeline/timeline_rule_iterator.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <libical/ical.h>

#include <algorithm>

namespace
{
// Instants near a limit may come out of order by up to an hour where clocks go back; iteration goes on
// this far past a limit before it stops, so none of them is lost.
constexpr qint64 order_slack_seconds = 2 * 86400;

bool beyond(qint64 seconds, std::optional<qint64> limit, bool inclusive)
{
    return limit && (inclusive ? seconds > *limit : seconds >= *limit);
}

bool far_beyond(qint64 seconds, std::optional<qint64> limit)
{
    return limit && seconds > *limit + order_slack_seconds;
}

// "20240716", "20240716T091500" or "20240716T091500Z".
bool parse_start(const QString& text, QDate* date, QTime* time, bool* utc, bool* all_day)
{
    *all_day = text.size() == 8;
    *utc = text.size() == 16 && text.endsWith('Z');
    if (*all_day)
    {
        *date = QDate::fromString(text, "yyyyMMdd");
        *time = QTime(0, 0);
    }
    else if (text.size() == 15 || *utc)
    {
        const QDateTime parsed = QDateTime::fromString(text.left(15), "yyyyMMdd'T'HHmmss");
        *date = parsed.date();
        *time = parsed.time();
    }
    return date->isValid() && time->isValid();
}

struct libical_setup
{
    // A malformed rule must come back as an error value, never stop the process.
    libical_setup() { icalerror_set_errors_are_fatal(0); }
};
} // namespace

timeline_series_expander::timeline_series_expander(int occurrence_cap) : cap_int(occurrence_cap)
{
    static const libical_setup setup;
}

bool timeline_series_expander::expand(const timeline_series_row& series, const zone_clock& clock,
                                      std::optional<qint64> horizon, std::optional<qint64> until)
{
    occurrences_list.clear();
    exdates_list.clear();
    problems_list.clear();
    cut_at_cap_bool = false;
    index_of_instant.clear();
    if (!parse_start(series.dtstart_as_written, &start_date, &start_time, &utc_bool, &all_day_bool))
    {
        problems_list << "DTSTART as written is not a date or date-time: " + series.dtstart_as_written;
        return false;
    }

    // DTSTART is the first occurrence whether or not the rule yields it; RDATEs are explicit too.
    // Neither is cut by the horizon, only by the window.
    const qint64 start = instant_of(start_date, start_time, clock);
    if (!beyond(start, until, false))
        add({start, start_date, start_time});
    for (const qint64 rdate : instants(series.rdate, "RDATE"))
    {
        if (!beyond(rdate, until, false))
            add({rdate, QDate(), QTime()});
    }
    for (const QString& rule : series.rrule.split('\n', Qt::SkipEmptyParts))
        expand_rule(rule.trimmed(), clock, horizon, until);

    exdates_list = instants(series.exdate, "EXDATE");
    const QSet<qint64> excluded(exdates_list.begin(), exdates_list.end());
    occurrences_list.removeIf([&excluded](const timeline_occurrence& occurrence)
                              { return excluded.contains(occurrence.seconds); });
    std::sort(occurrences_list.begin(), occurrences_list.end(),
              [](const timeline_occurrence& a, const timeline_occurrence& b)
              { return a.seconds < b.seconds; });
    index_of_instant.clear();
    return true;
}

void timeline_series_expander::expand_rule(const QString& rule_text, const zone_clock& clock,
                                           std::optional<qint64> horizon, std::optional<qint64> until)
{
    icalrecurrencetype rule = icalrecurrencetype_from_string(rule_text.toUtf8().constData());
    if (rule.freq == ICAL_NO_RECURRENCE)
    {
        problems_list << "RRULE not understood: " + rule_text;
        return;
    }
    // UNTIL is compared here as an instant: libical would compare a UTC UNTIL with the floating wall
    // clock as though both were UTC. A date or floating UNTIL is a wall clock in the event's zone.
    std::optional<qint64> rule_until;
    if (!icaltime_is_null_time(rule.until))
    {
        const icaltimetype u = rule.until;
        const QDate date(u.year, u.month, u.day);
        const QTime time = u.is_date ? QTime(0, 0) : QTime(u.hour, u.minute, u.second);
        if (!date.isValid() || !time.isValid())
        {
            problems_list << "RRULE UNTIL not understood: " + rule_text;
            return;
        }
        rule_until = icaltime_is_utc(u) ? QDateTime(date, time, Qt::UTC).toSecsSinceEpoch()
                                        : instant_of(date, time, clock);
        rule.until = icaltime_null_time();
    }
    const bool endless = rule.count == 0 && !rule_until;

    icaltimetype first = icaltime_null_time();
    first.year = start_date.year();
    first.month = start_date.month();
    first.day = start_date.day();
    if (all_day_bool)
        first.is_date = 1;
    else
    {
        first.hour = start_time.hour();
        first.minute = start_time.minute();
        first.second = start_time.second();
    }
    timeline_rule_iterator iterator(rule, first);
    if (!iterator.is_valid())
    {
        problems_list << "RRULE not understood: " + rule_text;
        return;
    }
    QDate date;
    QTime time;
    while (iterator.next(&date, &time))
    {
        if (!date.isValid() || !time.isValid())
            break;
        const qint64 seconds = instant_of(date, time, clock);
        const std::optional<qint64> horizon_here = endless ? horizon : std::nullopt;
        if (far_beyond(seconds, rule_until) || far_beyond(seconds, horizon_here) ||
            far_beyond(seconds, until))
            break;
        if (beyond(seconds, rule_until, true) || beyond(seconds, horizon_here, true) ||
            beyond(seconds, until, false))
            continue;
        if (!add({seconds, date, time}))
            break;
    }
}

qint64 timeline_series_expander::instant_of(QDate date, QTime time, const zone_clock& clock) const
{
    if (utc_bool)
        return QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    return clock(date, time);
}

bool timeline_series_expander::add(const timeline_occurrence& occurrence)
{
    // Each instant once; where a rule and an RDATE give the same one, keep the rule's wall clock.
    const auto known = index_of_instant.constFind(occurrence.seconds);
    if (known != index_of_instant.constEnd())
    {
        if (!occurrences_list.at(known.value()).wall_date.isValid())
            occurrences_list[known.value()] = occurrence;
        return true;
    }
    if (occurrences_list.size() >= cap_int)
    {
        cut_at_cap_bool = true;
        return false;
    }
    index_of_instant.insert(occurrence.seconds, occurrences_list.size());
    occurrences_list << occurrence;
    return true;
}

QList<qint64> timeline_series_expander::instants(const QString& list, const char* what)
{
    QList<qint64> values;
    for (const QString& item : list.split(',', Qt::SkipEmptyParts))
    {
        bool ok = false;
        const qint64 value = item.trimmed().toLongLong(&ok);
        if (ok)
            values << value;
        else
            problems_list << QString("%1 instant is not a number: %2").arg(what, item);
    }
    return values;
}
