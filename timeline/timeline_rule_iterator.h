#ifndef TIMELINE_RULE_ITERATOR_H
#define TIMELINE_RULE_ITERATOR_H

#include <QDate>
#include <QTime>

#include <libical/ical.h>

#include <vector>

// The occurrences of one RRULE from DTSTART, as floating wall clocks in order: libical's recurrence
// iterator's. libical does its calendar arithmetic through ICU, some microseconds an occurrence, and a
// Takeout holds years of weekly meetings. So where a rule's occurrences repeat every 7 * INTERVAL days
// (DAILY or WEEKLY, no BY part but plain weekdays, dates from 1600 on), libical's second and third
// periods after DTSTART are compared; once the third repeats the second, day for day, the second is
// repeated by whole periods instead of asking libical again. Past 2199, or where libical does not
// repeat itself, every occurrence is libical's own.
class timeline_rule_iterator
{
  public:
    timeline_rule_iterator(const icalrecurrencetype& rule, const icaltimetype& start);
    ~timeline_rule_iterator();
    timeline_rule_iterator(const timeline_rule_iterator&) = delete;
    timeline_rule_iterator& operator=(const timeline_rule_iterator&) = delete;

    // False when libical refuses the rule.
    bool is_valid() const { return iterator != nullptr; }
    // The next occurrence; false after the last. Either may be invalid where libical gives a value
    // outside the calendar.
    bool next(QDate* date, QTime* time);
    // How many occurrences came from repeating a period rather than from libical.
    qint64 repeated() const { return repeated_count; }

  private:
    struct floating_time
    {
        qint64 day = 0; // Julian day
        int second = 0; // of the day
    };

    bool next_from_libical(QDate* date, QTime* time);
    bool next_repeated(QDate* date, QTime* time);
    void watch(const floating_time& occurrence);
    void start_libical(qint64 skip);

    icalrecurrencetype rule;
    icaltimetype start;
    icalrecur_iterator* iterator = nullptr;
    qint64 given = 0; // occurrences handed out so far

    bool watching = false; // for a period that repeats
    qint64 start_day = 0;
    qint64 period_days = 0;
    std::vector<floating_time> period;      // libical's occurrences in days [P, 2P) after DTSTART
    std::vector<floating_time> next_period; // and in [2P, 3P)
    bool repeating = false;
    size_t repeat_at = 0;
    qint64 repeat_shift = 0; // days added to `period`
    qint64 repeated_count = 0;
};

#endif
