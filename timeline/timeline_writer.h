#ifndef TIMELINE_WRITER_H
#define TIMELINE_WRITER_H

#include "timeline/timeline_entry.h"
#include "timeline/timeline_event.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

// Writes entries in Timesketch's shape (message, datetime, timestamp, timestamp_desc, then the event's
// columns) as CSV or JSON lines, chosen by the suffix, through a save file: a failed write leaves an
// earlier output as it was. CSV cells that a spreadsheet would run as a formula get a leading quote;
// JSON lines keep every value verbatim.
class timeline_writer
{
  public:
    enum class format
    {
        csv,
        jsonl,
        unknown
    };

    static format format_of(const QString& path);
    static QStringList header();
    // The CSV cell as written: quoted where RFC 4180 needs it, guarded against formulas.
    static QString csv_cell(const QString& value);

    // Empty on success, else the reason in one line.
    QString write(const QString& out_path, const QList<timeline_event>& events,
                  const std::vector<timeline_entry>& entries);
};

#endif
