#include "host/timeline_exporter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace
{
// The time columns in the order their entries are listed when two of them carry the same time.
struct time_kind
{
    const char* column;
    const char* description;
};

const time_kind time_kinds[] = {
    {"event_start_date", "Event Start"},
    {"event_end_date", "Event End"},
    {"event_creation_date", "Event Created"},
    {"event_update_date", "Event Updated"},
    {"event_last_modified", "Event Last Modified"},
    {"alert_on_date", "Alarm"},
    {"end_repeat_on_date", "Repeat Ends"},
};
constexpr int time_kind_count = int(sizeof(time_kinds) / sizeof(time_kinds[0]));

// Copied into every entry after message, datetime, timestamp and timestamp_desc.
const QStringList text_columns = {"title",  "location",         "calendar_name",     "event_uid",
                                  "status", "takeout_email_id", "source_count_name", "source_file"};
enum text_column
{
    column_title = 0,
    column_calendar_name = 2
};

// 0001-01-01T00:00:00Z and 9999-12-31T23:59:59Z: the span a four-digit ISO 8601 year can show.
constexpr qint64 earliest_seconds = -62135596800LL;
constexpr qint64 latest_seconds = 253402300799LL;

enum class output_format
{
    csv,
    jsonl,
    unknown
};

struct timeline_entry
{
    qint64 seconds;
    qsizetype event;
    int kind;
};

struct timeline_rows
{
    QList<QStringList> events;
    std::vector<timeline_entry> entries;
    qint64 missing = 0;
};

output_format format_of(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "csv")
        return output_format::csv;
    if (suffix == "jsonl")
        return output_format::jsonl;
    return output_format::unknown;
}

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
bool stored_seconds(const QVariant& value, qint64* seconds)
{
    const QString text = value.toString();
    if (!is_whole_number(text))
        return false;
    bool ok = false;
    *seconds = text.toLongLong(&ok);
    return ok && *seconds >= earliest_seconds && *seconds <= latest_seconds;
}

QString select_statement()
{
    QStringList columns = text_columns;
    for (const time_kind& kind : time_kinds)
        columns << kind.column;
    return "SELECT " + columns.join(", ") + " FROM calendar_events ORDER BY \"INT\"";
}

void add_event(const QSqlQuery& query, timeline_rows* rows)
{
    QStringList texts;
    for (int i = 0; i < text_columns.size(); ++i)
        texts << query.value(i).toString();
    const qsizetype event = rows->events.size();
    rows->events << texts;
    for (int kind = 0; kind < time_kind_count; ++kind)
    {
        qint64 seconds = 0;
        if (stored_seconds(query.value(int(text_columns.size()) + kind), &seconds))
            rows->entries.push_back({seconds, event, kind});
        else
            ++rows->missing;
    }
}

QString database_error(const QString& what, const QSqlError& error)
{
    return what + ": " + error.text();
}

// Empty on success, else the reason.
QString read_events(QSqlDatabase& db, const QString& db_path, timeline_rows* rows)
{
    QSqlQuery table(db);
    if (!table.exec("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'calendar_events' "
                    "COLLATE NOCASE"))
        return database_error("cannot read database " + db_path, table.lastError());
    if (!table.next())
        return "no calendar_events table in " + db_path;

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(select_statement()))
        return database_error("cannot read calendar_events of " + db_path, query.lastError());
    while (query.next())
        add_event(query, rows);
    if (query.lastError().isValid())
        return database_error("cannot read calendar_events of " + db_path, query.lastError());
    return QString();
}

QString read_database(const QString& db_path, timeline_rows* rows)
{
    const QString connection = QString("timeline_exporter %1").arg(quintptr(rows), 0, 16);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
        db.setDatabaseName(db_path);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (db.open())
            error = read_events(db, db_path, rows);
        else
            error = database_error("cannot open database " + db_path, db.lastError());
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

// "Event Start: Weekly sync (Work calendar)"; an empty title or calendar name is left out.
QString message_of(int kind, const QStringList& event)
{
    QString message = time_kinds[kind].description;
    if (!event.at(column_title).isEmpty())
        message += ": " + event.at(column_title);
    if (!event.at(column_calendar_name).isEmpty())
        message += " (" + event.at(column_calendar_name) + ")";
    return message;
}

QString iso_utc(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

QString csv_field(const QString& value)
{
    const bool needs_quotes =
        value.contains(',') || value.contains('"') || value.contains('\n') || value.contains('\r');
    if (!needs_quotes)
        return value;
    QString quoted = value;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QByteArray csv_record(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted << csv_field(field);
    return quoted.join(',').toUtf8() + "\r\n";
}

QByteArray csv_header()
{
    return csv_record(QStringList{"message", "datetime", "timestamp", "timestamp_desc"} + text_columns);
}

QByteArray csv_line(const timeline_entry& entry, const QStringList& event)
{
    const QStringList fields =
        QStringList{message_of(entry.kind, event), iso_utc(entry.seconds),
                    QString::number(entry.seconds * 1000000), time_kinds[entry.kind].description} +
        event;
    return csv_record(fields);
}

// A JSON string literal; QJsonDocument escapes strings only inside an array or object.
QByteArray json_text(const QString& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Written by hand so the fields keep the order of the CSV columns; QJsonObject sorts its keys.
QByteArray json_line(const timeline_entry& entry, const QStringList& event)
{
    QByteArray line = "{\"message\":" + json_text(message_of(entry.kind, event)) +
                      ",\"datetime\":" + json_text(iso_utc(entry.seconds)) +
                      ",\"timestamp\":" + QByteArray::number(entry.seconds * 1000000) +
                      ",\"timestamp_desc\":" + json_text(time_kinds[entry.kind].description);
    for (int i = 0; i < text_columns.size(); ++i)
        line += ",\"" + text_columns.at(i).toUtf8() + "\":" + json_text(event.at(i));
    return line + "}\n";
}

// Empty on success, else the reason.
QString write_timeline(const QString& out_path, output_format format, const timeline_rows& rows)
{
    QSaveFile file(out_path);
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + out_path + ": " + file.errorString();
    if (format == output_format::csv)
        file.write(csv_header());
    for (const timeline_entry& entry : rows.entries)
    {
        const QStringList& event = rows.events.at(entry.event);
        file.write(format == output_format::csv ? csv_line(entry, event) : json_line(entry, event));
    }
    if (!file.commit())
        return "cannot write " + out_path + ": " + file.errorString();
    return QString();
}
} // namespace

bool timeline_exporter::export_timeline(const QString& db_path, const QString& out_path)
{
    error_text.clear();
    out_path_text = out_path;
    entries_written_count = events_read_count = times_missing_count = 0;
    if (!check_output(out_path) || !check_database(db_path, out_path))
        return false;

    timeline_rows rows;
    const QString read_error = read_database(db_path, &rows);
    if (!read_error.isEmpty())
        return fail(read_error);
    std::stable_sort(rows.entries.begin(), rows.entries.end(),
                     [](const timeline_entry& a, const timeline_entry& b) { return a.seconds < b.seconds; });
    const QString write_error = write_timeline(out_path, format_of(out_path), rows);
    if (!write_error.isEmpty())
        return fail(write_error);

    entries_written_count = qint64(rows.entries.size());
    events_read_count = rows.events.size();
    times_missing_count = rows.missing;
    return true;
}

QString timeline_exporter::summary_line() const
{
    return QString("%1 timeline entries written to %2; %3 events read, %4 times missing")
        .arg(entries_written_count)
        .arg(out_path_text)
        .arg(events_read_count)
        .arg(times_missing_count);
}

bool timeline_exporter::fail(const QString& text)
{
    // One line, whatever the driver put into its message.
    error_text = text.simplified();
    return false;
}

bool timeline_exporter::check_output(const QString& out_path)
{
    if (format_of(out_path) == output_format::unknown)
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
    const QString out_canonical = QFileInfo(out_path).canonicalFilePath();
    if (!out_canonical.isEmpty() && out_canonical == db.canonicalFilePath())
        return fail("OUT is the database itself: " + out_path);
    return true;
}
