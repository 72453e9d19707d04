#include "timeline/timeline_writer.h"

#include "timeline/timeline_message.h"

#include <QFileInfo>
#include <QSaveFile>

#include <charconv>

namespace
{
const QStringList entry_columns = {"message", "datetime", "timestamp", "timestamp_desc"};
// Copied from the event after the entry's own columns, then all_day and original_time.
const QStringList event_columns = {"title",  "location",         "calendar_name",     "event_uid",
                                   "status", "takeout_email_id", "source_count_name", "source_file"};
const QStringList detail_columns = {"all_day", "original_time"};

// Written out whenever the buffer grows past this: few system calls, little memory.
constexpr qsizetype flush_size = 4 << 20;

// The event's values for event_columns. The export entry speaks for a whole file: nothing of one event
// of it.
QStringList event_values(const timeline_event& event, bool file_entry)
{
    return {file_entry ? QString() : event.title,
            file_entry ? QString() : event.location,
            event.calendar_name,
            file_entry ? QString() : event.event_uid,
            file_entry ? QString() : event.status,
            event.takeout_email_id,
            event.source_count_name,
            event.source_file};
}

// A JSON string literal (RFC 8259): quote, backslash and control characters escaped, the rest as UTF-8.
void append_json_text(QByteArray* line, QByteArrayView utf8)
{
    static const char hex[] = "0123456789abcdef";
    line->append('"');
    const char* run = utf8.data();
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

// An RFC 4180 cell: quoted where it holds a separator, quote or line break; a leading quote before
// what a spreadsheet would run as a formula.
void append_csv_cell(QByteArray* out, QByteArrayView utf8)
{
    const bool formula = !utf8.isEmpty() && QByteArrayView("=+-@\t\r").contains(utf8.front());
    bool needs_quotes = false;
    for (const char c : utf8)
        needs_quotes = needs_quotes || c == ',' || c == '"' || c == '\n' || c == '\r';
    if (needs_quotes)
        out->append('"');
    if (formula)
        out->append('\'');
    if (!needs_quotes)
        out->append(utf8);
    else
    {
        for (const char c : utf8)
            c == '"' ? out->append("\"\"", 2) : out->append(c);
        out->append('"');
    }
}

void append_number(QByteArray* out, qint64 value)
{
    char text[24];
    const auto written = std::to_chars(text, text + sizeof text, value);
    out->append(text, written.ptr - text);
}

// Lays out the entries of one format. What an event's entries share (the copied columns) is laid out
// once per event.
class entry_layout
{
  public:
    entry_layout(timeline_writer::format chosen, const QList<timeline_event>& events)
        : csv(chosen == timeline_writer::format::csv), events(events), messages(events),
          tails(2 * events.size())
    {
        const QStringList columns = timeline_writer::header();
        for (qsizetype i = 0; i < columns.size(); ++i)
            keys << QByteArray(i == 0 ? "{" : ",") + '"' + columns.at(i).toUtf8() + "\":";
        for (int kind = 0; kind <= int(timeline_entry_kind::cancelled_occurrence); ++kind)
        {
            QByteArray cell;
            append_cell(&cell, timeline_message::description(timeline_entry_kind(kind)).toUtf8());
            descriptions << cell;
        }
        message.reserve(4096);
    }

    void append_header(QByteArray* out) const
    {
        if (!csv)
            return;
        const QStringList columns = timeline_writer::header();
        for (qsizetype i = 0; i < columns.size(); ++i)
        {
            if (i > 0)
                out->append(',');
            append_csv_cell(out, columns.at(i).toUtf8());
        }
        out->append("\r\n");
    }

    void append(const timeline_entry& entry, QByteArray* out)
    {
        message.resize(0);
        messages.compose(entry, &message);
        start(0, out);
        append_cell(out, message);
        start(1, out);
        append_plain(out, [&](QByteArray* to) { timeline_message::append_iso_utc(to, entry.seconds); });
        start(2, out);
        append_number(out, entry.seconds * 1000000);
        start(3, out);
        out->append(descriptions.at(int(entry.kind)));
        out->append(tail_of(entry));
        start(details_at, out);
        append_plain(out, [&](QByteArray* to) { to->append(entry.all_day ? "true" : "false"); });
        start(details_at + 1, out);
        append_plain(out,
                     [&](QByteArray* to)
                     {
                         if (entry.has_original)
                             timeline_message::append_iso_utc(to, entry.original_seconds);
                     });
        out->append(csv ? "\r\n" : "}\n");
    }

  private:
    // What comes before the value of column `column`.
    void start(qsizetype column, QByteArray* out) const
    {
        if (!csv)
            out->append(keys.at(column));
        else if (column > 0)
            out->append(',');
    }

    void append_cell(QByteArray* out, QByteArrayView utf8) const
    {
        csv ? append_csv_cell(out, utf8) : append_json_text(out, utf8);
    }

    // A value this program wrote, that neither format escapes: dates, numbers, "true".
    template <typename writer> void append_plain(QByteArray* out, const writer& write_value) const
    {
        if (!csv)
            out->append('"');
        write_value(out);
        if (!csv)
            out->append('"');
    }

    const QByteArray& tail_of(const timeline_entry& entry)
    {
        const bool file_entry = entry.kind == timeline_entry_kind::file_exported;
        QByteArray& tail = tails[2 * entry.event + (file_entry ? 1 : 0)];
        if (!tail.isEmpty())
            return tail;
        const QStringList values = event_values(events.at(entry.event), file_entry);
        for (qsizetype i = 0; i < values.size(); ++i)
        {
            start(entry_columns.size() + i, &tail);
            append_cell(&tail, values.at(i).toUtf8());
        }
        return tail;
    }

    const bool csv;
    const qsizetype details_at = entry_columns.size() + event_columns.size();
    const QList<timeline_event>& events;
    timeline_message messages;
    QList<QByteArray> keys;         // JSON: each column's "name": with the separator before it
    QList<QByteArray> descriptions; // each kind's timestamp_desc, as a cell
    QList<QByteArray> tails;        // per event: its copied columns, for its own entries and for a file's
    QByteArray message;
};
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
    QByteArray cell;
    append_csv_cell(&cell, value.toUtf8());
    return QString::fromUtf8(cell);
}

QString timeline_writer::write(const QString& out_path, const QList<timeline_event>& events,
                               const std::vector<timeline_entry>& entries)
{
    QSaveFile file(out_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return "cannot write " + out_path + ": " + file.errorString();
    entry_layout layout(format_of(out_path), events);
    QByteArray buffer;
    buffer.reserve(flush_size + (1 << 16));
    const auto flush = [&file, &buffer]
    {
        const bool written = file.write(buffer) == buffer.size();
        buffer.resize(0);
        return written;
    };
    layout.append_header(&buffer);
    for (const timeline_entry& entry : entries)
    {
        layout.append(entry, &buffer);
        if (buffer.size() >= flush_size && !flush())
            return "cannot write " + out_path + ": " + file.errorString();
    }
    if (!flush() || !file.commit())
        return "cannot write " + out_path + ": " + file.errorString();
    return QString();
}
