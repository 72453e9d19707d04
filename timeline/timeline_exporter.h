#ifndef TIMELINE_EXPORTER_H
#define TIMELINE_EXPORTER_H

#include "timeline/timeline_settings.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Turns the events of a result database into a timeline an examiner can import: one entry per time
// stamp of an event and per occurrence of a series, sorted by time, as CSV or JSON lines (chosen by the
// output's suffix). The database is opened read-only and the output is written through a save file, so
// a failed export leaves neither the database nor an earlier output changed.
class timeline_exporter
{
  public:
    explicit timeline_exporter(const timeline_settings& settings = timeline_settings());

    // False when nothing was written; error() then says why in one line.
    bool export_timeline(const QString& db_path, const QString& out_path);

    QString error() const { return error_text; }
    // "N timeline entries written to OUT; E events read, M times missing; S series expanded into O
    // occurrences, C cancelled occurrences" and, where it applies, what the window left out and which
    // series the occurrence cap cut.
    QString summary_line() const;
    // Series rows that could not be expanded or read in part, one line each.
    const QStringList& problems() const { return problems_list; }
    // Zones no database and no definition of the file knows, one line per file and name.
    const QStringList& unknown_zones() const { return unknown_zones_list; }

    qint64 entries_written() const { return entries_written_count; }
    qint64 events_read() const { return events_read_count; }

  private:
    bool fail(const QString& text);
    bool check_output(const QString& out_path);
    bool check_database(const QString& db_path, const QString& out_path);

    timeline_settings settings;
    QString error_text;
    QString out_path_text;
    QStringList problems_list;
    QStringList unknown_zones_list;
    QStringList series_cut_list;
    qint64 entries_written_count = 0;
    qint64 events_read_count = 0;
    qint64 times_missing_count = 0;
    qint64 series_expanded_count = 0;
    qint64 occurrences_count = 0;
    qint64 cancelled_count = 0;
    qint64 outside_window_count = 0;
};

#endif
