#ifndef TIMELINE_ENTRY_BUILDER_H
#define TIMELINE_ENTRY_BUILDER_H

#include "timeline/timeline_entry.h"
#include "timeline/timeline_event.h"
#include "timeline/timeline_settings.h"

#include <QList>
#include <QStringList>

#include <vector>

// Turns events into timeline entries, sorted by time: one per time stamp of a single event; one per
// occurrence of a series (RECURRENCE-ID rows of the same file and UID standing in for the occurrence
// they name); one per cancelled occurrence; DTSTAMP once per file where all its events share it.
// Series are expanded on as many threads as the machine has cores; the entries, their order and
// every line reported are the same as on one.
class timeline_entry_builder
{
  public:
    explicit timeline_entry_builder(const timeline_settings& settings);

    void build(const QList<timeline_event>& events);

    const std::vector<timeline_entry>& entries() const { return entries_vector; }
    qint64 times_missing() const { return counts.times_missing; }
    qint64 series_expanded() const { return series_expanded_count; }
    qint64 occurrences() const { return counts.occurrences; }
    qint64 cancelled_occurrences() const { return counts.cancelled; }
    qint64 outside_window() const { return counts.outside_window; }
    // UIDs of the series the occurrence cap cut short.
    const QStringList& series_cut() const { return series_cut_list; }
    // Series rows that could not be expanded or read in part, one line each.
    const QStringList& problems() const { return problems_list; }
    // Zones named by series that no database and no definition of the file knows: those series were
    // expanded in the machine's zone. One line per file and name.
    const QStringList& unknown_zones() const { return unknown_zones_list; }

    // What entries were counted, left out or kept. An entry outside the years 1 to 9999 is a time missing.
    struct entry_counts
    {
        qint64 times_missing = 0;
        qint64 occurrences = 0;
        qint64 cancelled = 0;
        qint64 outside_window = 0;
    };

  private:
    timeline_settings settings;
    std::vector<timeline_entry> entries_vector;
    entry_counts counts;
    qint64 series_expanded_count = 0;
    QStringList series_cut_list;
    QStringList problems_list;
    QStringList unknown_zones_list;
};

#endif
