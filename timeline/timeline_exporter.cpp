#include "timeline/timeline_exporter.h"

#include "timeline/timeline_database_reader.h"
#include "timeline/timeline_entry_builder.h"
#include "timeline/timeline_writer.h"

#include <QDir>
#include <QFileInfo>

timeline_exporter::timeline_exporter(const timeline_settings& settings) : settings(settings) {}

bool timeline_exporter::export_timeline(const QString& db_path, const QString& out_path)
{
    error_text.clear();
    problems_list.clear();
    unknown_zones_list.clear();
    series_cut_list.clear();
    out_path_text = out_path;
    entries_written_count = events_read_count = times_missing_count = 0;
    series_expanded_count = occurrences_count = cancelled_count = outside_window_count = 0;
    if (!check_output(out_path) || !check_database(db_path, out_path))
        return false;

    QList<timeline_event> events;
    const QString read_error = timeline_database_reader().read(db_path, &events);
    if (!read_error.isEmpty())
        return fail(read_error);
    timeline_entry_builder builder(settings);
    builder.build(events);
    const QString write_error = timeline_writer().write(out_path, events, builder.entries());
    if (!write_error.isEmpty())
        return fail(write_error);

    entries_written_count = qint64(builder.entries().size());
    events_read_count = events.size();
    times_missing_count = builder.times_missing();
    series_expanded_count = builder.series_expanded();
    occurrences_count = builder.occurrences();
    cancelled_count = builder.cancelled_occurrences();
    outside_window_count = builder.outside_window();
    series_cut_list = builder.series_cut();
    problems_list = builder.problems();
    unknown_zones_list = builder.unknown_zones();
    return true;
}

QString timeline_exporter::summary_line() const
{
    QString line = QString("%1 timeline entries written to %2; %3 events read, %4 times missing; %5 series "
                           "expanded into %6 occurrences, %7 cancelled occurrences")
                       .arg(entries_written_count)
                       .arg(out_path_text)
                       .arg(events_read_count)
                       .arg(times_missing_count)
                       .arg(series_expanded_count)
                       .arg(occurrences_count)
                       .arg(cancelled_count);
    if (settings.from || settings.until)
        line += QString("; %1 entries outside the window").arg(outside_window_count);
    if (!series_cut_list.isEmpty())
        line += QString("; %1 series cut at %2 occurrences: %3")
                    .arg(series_cut_list.size())
                    .arg(settings.occurrence_cap)
                    .arg(series_cut_list.join(", "));
    if (!problems_list.isEmpty())
        line += QString("; %1 series rows not fully read").arg(problems_list.size());
    return line;
}

bool timeline_exporter::fail(const QString& text)
{
    // One line, whatever the driver put into its message.
    error_text = text.simplified();
    return false;
}

bool timeline_exporter::check_output(const QString& out_path)
{
    if (timeline_writer::format_of(out_path) == timeline_writer::format::unknown)
        return fail("OUT must end in .csv or .jsonl: " + out_path);
    const QDir folder = QFileInfo(out_path).absoluteDir();
    if (!folder.exists())
        return fail("output folder does not exist: " + folder.path());
    return true;
}

bool timeline_exporter::check_database(const QString& db_path, const QString& out_path)
{
    const QFileInfo db(db_path);
    if (!db.isFile())
        return fail("no database file at " + db_path);
    const QFileInfo out(out_path);
    const QString out_canonical = out.canonicalFilePath();
    if (!out_canonical.isEmpty() && out_canonical == db.canonicalFilePath())
        return fail("OUT is the database itself: " + out_path);
    if (out.exists() && !out.isDir() && !settings.force)
        return fail("OUT exists, --force replaces it: " + out_path);
    return true;
}
