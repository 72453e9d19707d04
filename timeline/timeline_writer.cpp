#include "timeline/timeline_writer.h"

#include "timeline/timeline_message.h"

#include <QFileInfo>
#include <QSaveFile>

#include <QThread>

#include <algorithm>
#include <charconv>
#include <deque>
#include <future>
#include <string>
#include <vector>

namespace
{
const QStringList entry_columns = {"message", "datetime", "timestamp", "timestamp_desc"};
// Copied from the event after the entry's own columns, then all_day and original_time.
const QStringList event_columns = {"title",  "location",         "calendar_name",     "event_uid",
                                   "status", "takeout_email_id", "source_count_name", "source_file"};
const QStringList detail_columns = {"all_day", "original_time"};

// Lines laid out and written as one block: few system calls, a few MiB of memory per block.
constexpr size_t block_entries = 8192;

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
void append_json_text(std::string* line, std::string_view utf8)
{
    static const char hex[] = "0123456789abcdef";
    line->push_back('"');
    const char* run = utf8.data();
    const char* const end = run + utf8.size();
    for (const char* c = run; c != end; ++c)
    {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && *c != '"' && *c != '\\')
            continue;
        line->append(run, size_t(c - run));
        run = c + 1;
        if (*c == '"' || *c == '\\')
            line->append({'\\', *c});
        else if (*c == '\n')
            line->append("\\n", 2);
        else if (*c == '\r')
            line->append("\\r", 2);
        else if (*c == '\t')
            line->append("\\t", 2);
        else
            line->append("\\u00", 4).append({hex[byte >> 4], hex[byte & 0xf]});
    }
    line->append(run, size_t(end - run));
    line->push_back('"');
}

// An RFC 4180 cell: quoted where it holds a separator, quote or line break; a leading quote before
// what a spreadsheet would run as a formula.
void append_csv_cell(std::string* out, std::string_view utf8)
{
    const bool formula =
        !utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos;
    bool needs_quotes = false;
    for (const char c : utf8)
        needs_quotes = needs_quotes || c == ',' || c == '"' || c == '\n' || c == '\r';
    if (needs_quotes)
        out->push_back('"');
    if (formula)
        out->push_back('\'');
    if (!needs_quotes)
        out->append(utf8);
    else
    {
        for (const char c : utf8)
            out->append(c == '"' ? 2 : 1, c);
        out->push_back('"');
    }
}

void append_number(std::string* out, qint64 value)
{
    char text[24];
    const auto written = std::to_chars(text, text + sizeof text, value);
    out->append(text, size_t(written.ptr - text));
}

// Lays out the entries of one format. What an event's entries share (the copied columns, the words of
// its messages) is laid out once, before any line, so lines can be laid out on several threads.
class entry_layout
{
  public:
    entry_layout(timeline_writer::format chosen, const QList<timeline_event>& events)
        : csv(chosen == timeline_writer::format::csv), messages(events)
    {
        const QStringList columns = timeline_writer::header();
        for (qsizetype i = 0; i < columns.size(); ++i)
            keys.push_back((i == 0 ? "{\"" : ",\"") + utf8(columns.at(i)) + "\":");
        for (int kind = 0; kind <= int(timeline_entry_kind::cancelled_occurrence); ++kind)
        {
            std::string cell;
            append_cell(&cell, utf8(timeline_message::description(timeline_entry_kind(kind))));
            descriptions.push_back(cell);
        }
        tails.reserve(size_t(2 * events.size()));
        for (const timeline_event& event : events)
        {
            tails.push_back(tail_of(event, false));
            tails.push_back(tail_of(event, true));
        }
    }

    std::string header() const
    {
        std::string out;
        if (!csv)
            return out;
        const QStringList columns = timeline_writer::header();
        for (qsizetype i = 0; i < columns.size(); ++i)
        {
            if (i > 0)
                out.push_back(',');
            append_csv_cell(&out, utf8(columns.at(i)));
        }
        return out + "\r\n";
    }

    void append(const timeline_entry& entry, std::string* out, std::string* message) const
    {
        message->clear();
        messages.compose(entry, message);
        start(0, out);
        append_cell(out, *message);
        start(1, out);
        append_plain(out, [&](std::string* to) { timeline_message::append_iso_utc(to, entry.seconds); });
        start(2, out);
        append_number(out, entry.seconds * 1000000);
        start(3, out);
        out->append(descriptions[size_t(entry.kind)]);
        out->append(
            tails[size_t(2 * entry.event) + (entry.kind == timeline_entry_kind::file_exported ? 1 : 0)]);
        start(details_at, out);
        append_plain(out, [&](std::string* to) { to->append(entry.all_day ? "true" : "false"); });
        start(details_at + 1, out);
        append_plain(out,
                     [&](std::string* to)
                     {
                         if (entry.has_original)
                             timeline_message::append_iso_utc(to, entry.original_seconds);
                     });
        out->append(csv ? "\r\n" : "}\n");
    }

  private:
    static std::string utf8(const QString& text)
    {
        const QByteArray bytes = text.toUtf8();
        return std::string(bytes.constData(), size_t(bytes.size()));
    }

    // What comes before the value of column `column`.
    void start(qsizetype column, std::string* out) const
    {
        if (!csv)
            out->append(keys[size_t(column)]);
        else if (column > 0)
            out->push_back(',');
    }

    void append_cell(std::string* out, std::string_view utf8) const
    {
        csv ? append_csv_cell(out, utf8) : append_json_text(out, utf8);
    }

    // A value this program wrote, that neither format escapes: dates, numbers, "true".
    template <typename writer> void append_plain(std::string* out, const writer& write_value) const
    {
        if (!csv)
            out->push_back('"');
        write_value(out);
        if (!csv)
            out->push_back('"');
    }

    std::string tail_of(const timeline_event& event, bool file_entry) const
    {
        std::string tail;
        const QStringList values = event_values(event, file_entry);
        for (qsizetype i = 0; i < values.size(); ++i)
        {
            start(entry_columns.size() + i, &tail);
            append_cell(&tail, utf8(values.at(i)));
        }
        return tail;
    }

    const bool csv;
    const qsizetype details_at = entry_columns.size() + event_columns.size();
    const timeline_message messages;
    std::vector<std::string> keys;         // JSON: each column's "name": with the separator before it
    std::vector<std::string> descriptions; // each kind's timestamp_desc, as a cell
    std::vector<std::string> tails;        // per event: its copied columns, for its own entries, for a file's
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
    std::string cell;
    const QByteArray bytes = value.toUtf8();
    append_csv_cell(&cell, std::string_view(bytes.constData(), size_t(bytes.size())));
    return QString::fromUtf8(cell.data(), qsizetype(cell.size()));
}

QString timeline_writer::write(const QString& out_path, const QList<timeline_event>& events,
                               const std::vector<timeline_entry>& entries)
{
    QSaveFile file(out_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return "cannot write " + out_path + ": " + file.errorString();
    const entry_layout layout(format_of(out_path), events);
    const auto write_out = [&file](const std::string& bytes)
    { return file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()); };
    // Blocks of lines are laid out on other threads while this one writes the blocks before them, in
    // order; where no thread can be started, the block is laid out here. Buffers go round: a fresh
    // one for each block would be pages the system zeroes for every block.
    const auto lay_out = [&layout, &entries](size_t first, std::string block)
    {
        std::string message;
        block.clear();
        block.reserve(block_entries * 640);
        const size_t last = std::min(entries.size(), first + block_entries);
        for (size_t i = first; i < last; ++i)
            layout.append(entries[i], &block, &message);
        return block;
    };
    // Each block in flight holds a few MiB: as many as there are cores to lay them out, at most eight.
    const size_t ahead = size_t(std::clamp(QThread::idealThreadCount(), 1, 8)) + 1;
    std::deque<std::future<std::string>> blocks;
    std::vector<std::string> spare;
    size_t next = 0;
    const auto start_next = [&]
    {
        std::string buffer;
        if (!spare.empty())
        {
            buffer = std::move(spare.back());
            spare.pop_back();
        }
        blocks.push_back(
            std::async(std::launch::async | std::launch::deferred, lay_out, next, std::move(buffer)));
        next += block_entries;
    };
    bool written = write_out(layout.header());
    while (written && next < entries.size() && blocks.size() < ahead)
        start_next();
    while (written && !blocks.empty())
    {
        std::string block = blocks.front().get();
        blocks.pop_front();
        written = write_out(block);
        spare.push_back(std::move(block));
        if (written && next < entries.size())
            start_next();
    }
    blocks.clear(); // waits for blocks still being laid out after a failed write
    if (!written || !file.commit())
        return "cannot write " + out_path + ": " + file.errorString();
    return QString();
}
