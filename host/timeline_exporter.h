#ifndef TIMELINE_EXPORTER_H
#define TIMELINE_EXPORTER_H

#include <QString>
#include <QtGlobal>

// Turns the calendar_events of a result database into a timeline an examiner can import: one entry per
// time stamp an event carries, sorted by time, as CSV or JSON lines (chosen by the output's suffix).
// The database is opened read-only and the output is written through a save file, so a failed export
// leaves neither the database nor an earlier output changed.
class timeline_exporter
{
  public:
    // False when nothing was written; error() then says why in one line.
    bool export_timeline(const QString& db_path, const QString& out_path);

    QString error() const { return error_text; }
    // "N timeline entries written to OUT; E events read, M times missing"
    QString summary_line() const;

    qint64 entries_written() const { return entries_written_count; }
    qint64 events_read() const { return events_read_count; }
    qint64 times_missing() const { return times_missing_count; }

  private:
    bool fail(const QString& text);
    bool check_output(const QString& out_path);
    bool check_database(const QString& db_path, const QString& out_path);

    QString error_text;
    QString out_path_text;
    qint64 entries_written_count = 0;
    qint64 events_read_count = 0;
    qint64 times_missing_count = 0;
};

#endif
