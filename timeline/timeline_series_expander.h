#ifndef TIMELINE_SERIES_EXPANDER_H
#define TIMELINE_SERIES_EXPANDER_H

#include "timeline/timeline_occurrence.h"
#include "timeline/timeline_series_row.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

// Expands one series row into its occurrences: every RRULE through libical's recurrence iterator, from
// DTSTART as written taken as a floating wall clock, each wall-clock occurrence then turned into an
// instant in the event's zone (so 09:15 Berlin stays 09:15 across daylight-saving changes); plus DTSTART
// itself and every RDATE, minus every EXDATE. Occurrences come out sorted by instant, each once.
class timeline_series_expander
{
  public:
    // Epoch seconds of a wall clock in the event's zone (all-day: the machine's zone).
    using zone_clock = std::function<qint64(QDate, QTime)>;

    explicit timeline_series_expander(int occurrence_cap);

    // `horizon` (inclusive) ends the rules that have neither COUNT nor UNTIL; `until` (exclusive) ends
    // everything. False when DTSTART as written cannot be read: nothing to expand from.
    bool expand(const timeline_series_row& series, const zone_clock& clock, std::optional<qint64> horizon,
                std::optional<qint64> until);

    const QList<timeline_occurrence>& occurrences() const { return occurrences_list; }
    // Every EXDATE instant, in the order written; each is a cancelled occurrence.
    const QList<qint64>& exdates() const { return exdates_list; }
    bool all_day() const { return all_day_bool; }
    // True when the cap stopped a rule before its end.
    bool cut_at_cap() const { return cut_at_cap_bool; }
    // What could not be read (a rule libical refuses, an instant that is not a number), one per line.
    const QStringList& problems() const { return problems_list; }

  private:
    void expand_rule(const QString& rule_text, const zone_clock& clock, std::optional<qint64> horizon,
                     std::optional<qint64> until);
    qint64 instant_of(QDate date, QTime time, const zone_clock& clock) const;
    bool add(const timeline_occurrence& occurrence);
    QList<qint64> instants(const QString& list, const char* what);

    int cap_int;
    QList<timeline_occurrence> occurrences_list;
    QList<qint64> exdates_list;
    QHash<qint64, qsizetype> index_of_instant;
    QStringList problems_list;
    QDate start_date;
    QTime start_time;
    bool utc_bool = false;
    bool all_day_bool = false;
    bool cut_at_cap_bool = false;
};

#endif
