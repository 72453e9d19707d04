#include "timeline/timeline_rule_iterator.h"

namespace
{
// ICU counts days before 1582 in the Julian calendar; far ahead, libical's own limits apply.
const qint64 first_repeatable_day = QDate(1600, 1, 1).toJulianDay();
const qint64 last_repeatable_day = QDate(2200, 1, 1).toJulianDay();

bool none(const short* values)
{
    return values[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

// DAILY or WEEKLY with at most plain weekdays: the occurrences after DTSTART's week repeat every
// 7 * INTERVAL days, a whole number of weeks and of intervals.
bool repeats_by_period(const icalrecurrencetype& rule)
{
    if (rule.freq != ICAL_DAILY_RECURRENCE && rule.freq != ICAL_WEEKLY_RECURRENCE)
        return false;
    if (rule.interval < 1 || (rule.rscale && *rule.rscale))
        return false;
    if (!none(rule.by_second) || !none(rule.by_minute) || !none(rule.by_hour) || !none(rule.by_month_day) ||
        !none(rule.by_year_day) || !none(rule.by_week_no) || !none(rule.by_month) || !none(rule.by_set_pos))
        return false;
    for (int i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
    {
        if (icalrecurrencetype_day_position(rule.by_day[i]) != 0)
            return false;
    }
    return true;
}
} // namespace

timeline_rule_iterator::timeline_rule_iterator(const icalrecurrencetype& rule, const icaltimetype& start)
    : rule(rule), start(start)
{
    start_libical(0);
    const QDate start_date(start.year, start.month, start.day);
    start_day = start_date.toJulianDay();
    period_days = 7 * qint64(rule.interval);
    watching =
        iterator && start_date.isValid() && repeats_by_period(rule) && start_day >= first_repeatable_day;
}

timeline_rule_iterator::~timeline_rule_iterator()
{
    if (iterator)
        icalrecur_iterator_free(iterator);
}

void timeline_rule_iterator::start_libical(qint64 skip)
{
    if (iterator)
        icalrecur_iterator_free(iterator);
    iterator = icalrecur_iterator_new(rule, start);
    for (qint64 i = 0; iterator && i < skip; ++i)
        icalrecur_iterator_next(iterator);
}

bool timeline_rule_iterator::next(QDate* date, QTime* time)
{
    if (repeating)
        return next_repeated(date, time);
    return next_from_libical(date, time);
}

bool timeline_rule_iterator::next_from_libical(QDate* date, QTime* time)
{
    if (!iterator)
        return false;
    const icaltimetype next = icalrecur_iterator_next(iterator);
    if (icaltime_is_null_time(next))
        return false;
    ++given;
    *date = QDate(next.year, next.month, next.day);
    *time = next.is_date ? QTime(0, 0) : QTime(next.hour, next.minute, next.second);
    if (watching)
    {
        if (date->isValid() && time->isValid())
            watch({date->toJulianDay(), time->msecsSinceStartOfDay() / 1000});
        else
            watching = false;
    }
    return true;
}

// Keeps libical's occurrences of the second and third periods; at the first of the fourth, repeats
// from there on if the third was the second shifted by a period and the fourth begins the same way.
void timeline_rule_iterator::watch(const floating_time& occurrence)
{
    const qint64 offset = occurrence.day - start_day;
    if (offset < period_days)
        return;
    if (offset < 2 * period_days)
    {
        period.push_back(occurrence);
        return;
    }
    if (offset < 3 * period_days)
    {
        next_period.push_back(occurrence);
        return;
    }
    watching = false;
    bool repeats = !period.empty() && next_period.size() == period.size();
    for (size_t i = 0; repeats && i < period.size(); ++i)
        repeats =
            next_period[i].day == period[i].day + period_days && next_period[i].second == period[i].second;
    repeats =
        repeats && occurrence.day == period[0].day + 2 * period_days && occurrence.second == period[0].second;
    next_period.clear();
    if (!repeats)
        return;
    repeating = true;
    repeat_shift = 2 * period_days;
    repeat_at = 1;
    if (repeat_at == period.size())
    {
        repeat_at = 0;
        repeat_shift += period_days;
    }
    icalrecur_iterator_free(iterator);
    iterator = nullptr;
}

bool timeline_rule_iterator::next_repeated(QDate* date, QTime* time)
{
    if (rule.count > 0 && given >= rule.count)
        return false;
    const floating_time& model = period[repeat_at];
    const qint64 day = model.day + repeat_shift;
    if (day >= last_repeatable_day)
    {
        // Far ahead: libical's own occurrences, from where the repetition stopped.
        repeating = false;
        start_libical(given);
        return next_from_libical(date, time);
    }
    if (++repeat_at == period.size())
    {
        repeat_at = 0;
        repeat_shift += period_days;
    }
    ++given;
    ++repeated_count;
    *date = QDate::fromJulianDay(day);
    *time = QTime::fromMSecsSinceStartOfDay(model.second * 1000);
    return true;
}
