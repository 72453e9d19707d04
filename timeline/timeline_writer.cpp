#include "timeline/timeline_writer.h"

#include "timeline/timeline_message.h"

#include <QFileInfo>
#include <QSaveFile>

namespace
{
const QStringList entry_columns = {"message", "datetime", "timestamp", "timestamp_desc"};
// Copied from the event after the entry's own columns, then all_day and original_time.
const QStringList event_columns = {"title",  "location",         "calendar_name",     "event_uid",
                                   "status", "takeout_email_id", "source_count_name", "source_file"};
const QStringList detail_columns = {"all_day", "original_time"};

QStringList row_of(const timeline_entry& entry, const timeline_event& event, timeline_message& messages)
{
    const bool file_entry = entry.kind == timeline_entry_kind::file_exported;
    QStringList row{messages.compose(entry), timeline_message::iso_utc(entry.seconds),
                    QString::number(entry.seconds * 1000000), timeline_message::description(entry.kind)};
    // The export entry speaks for a whole file: nothing of one event of it.
    row << (file_entry ? QString() : event.title) << (file_entry ? QString() : event.location)
        << event.calendar_name << (file_entry ? QString() : event.event_uid)
        << (file_entry ? QString() : event.status) << event.takeout_email_id << event.source_count_name
        << event.source_file;
    row << (entry.all_day ? "true" : "false")
        << (entry.has_original ? timeline_message::iso_utc(entry.original_seconds) : QString());
    return row;
}

QByteArray csv_record(const QStringList& fields, int numeric_column)
{
    QStringList cells;
    for (int i = 0; i < fields.size(); ++i)
        cells << (i == numeric_column ? fields.at(i) : timeline_writer::csv_cell(fields.at(i)));
    return cells.join(',').toUtf8() + "\r\n";
}

// A JSON string literal (RFC 8259): quote, backslash and control characters escaped, the rest as UTF-8.
void append_json_text(QByteArray* line, const QString& value)
{
    static const char hex[] = "0123456789abcdef";
    line->append('"');
    const QByteArray utf8 = value.toUtf8();
    const char* run = utf8.constData();
    const char* const end = run + utf8.size();
    for (const char* c = run; c != end; ++c)
    {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && *c != '"' && *c != '\\')
            continue;
        line->append(run, c - run);
        run = c + 1;
        if (*c == '"' || *c == '\\')
            line->append('\\').append(*c);
        else if (*c == '\n')
            line->append("\\n", 2);
        else if (*c == '\r')
            line->append("\\r", 2);
        else if (*c == '\t')
            line->append("\\t", 2);
        else
            line->append("\\u00", 4).append(hex[byte >> 4]).append(hex[byte & 0xf]);
    }
    line->append(run, end - run);
    line->append('"');
}

// Written by hand so the fields keep the order of the CSV columns; QJsonObject sorts its keys. `keys`
// holds each column's "name": prefix; the line is built in `line`, reused from entry to entry.
void json_line(const QList<QByteArray>& keys, int number_column, const QStringList& fields, QByteArray* line)
{
    line->resize(0);
    line->append('{');
    for (int i = 0; i < fields.size(); ++i)
    {
        if (i > 0)
            line->append(',');
        line->append(keys.at(i));
        if (i == number_column)
            line->append(fields.at(i).toLatin1());
        else
            append_json_text(line, fields.at(i));
    }
    line->append("}\n", 2);
}
} // namespace

timeline_writer::format timeline_writer::format_of(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "csv")
        return format::csv;
    if (suffix == "jsonl")
        return format::jsonl;
    return format::unknown;
}

QStringList timeline_writer::header()
{
    return entry_columns + event_columns + detail_columns;
}

QString timeline_writer::csv_cell(const QString& value)
{
    QString cell = value;
    // A spreadsheet runs a cell that begins with one of these as a formula.
    if (!cell.isEmpty() && QStringView(u"=+-@\t\r").contains(cell.at(0)))
        cell.prepend('\'');
    const bool needs_quotes =
        cell.contains(',') || cell.contains('"') || cell.contains('\n') || cell.contains('\r');
    if (!needs_quotes)
        return cell;
    cell.replace('"', "\"\"");
    return '"' + cell + '"';
}

QString timeline_writer::write(const QString& out_path, const QList<timeline_event>& events,
                               const std::vector<timeline_entry>& entries)
{
    const format chosen = format_of(out_path);
    const QStringList columns = header();
    // The timestamp is a number this program wrote; a negative one is no formula.
    const int timestamp_column = int(columns.indexOf("timestamp"));
    QSaveFile file(out_path);
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + out_path + ": " + file.errorString();
    if (chosen == format::csv)
        file.write(csv_record(columns, -1));
    timeline_message messages(events);
    QList<QByteArray> keys;
    for (const QString& column : columns)
        keys << '"' + column.toUtf8() + "\":";
    QByteArray line;
    line.reserve(4096);
    for (const timeline_entry& entry : entries)
    {
        const QStringList row = row_of(entry, events.at(entry.event), messages);
        if (chosen == format::csv)
            file.write(csv_record(row, timestamp_column));
        else
        {
            json_line(keys, timestamp_column, row, &line);
            file.write(line);
        }
    }
    if (!file.commit())
        return "cannot write " + out_path + ": " + file.errorString();
    return QString();
}
