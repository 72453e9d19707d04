#ifndef ICS_FUZZ_ENTRY_H
#define ICS_FUZZ_ENTRY_H

// Feeds bytes to the real reader as one .ics file: chunked unfolding, the line scanner and the
// insert into calendar_events of an in-memory result database. Shared by the libFuzzer target
// and the regression test that replays the seeds and every kept crash input.
//
// Besides crashes it looks for wrong results: the chunked reader must give the same lines as
// unfolding the whole file at once, at any chunk size, and every stored value must be UTF-8
// text, every time a decimal number or empty.

#include "extractors/ics/ics_calendar_file.h"
#include "extractors/ics/ics_unfolding_reader.h"
#include "extractors/ics_calendar_store.h"

#include <QBuffer>
#include <QByteArrayList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace ics_fuzz
{
inline QSqlDatabase& database()
{
    static QSqlDatabase db = []
    {
        QSqlDatabase d = QSqlDatabase::addDatabase("QSQLITE", "ics fuzz");
        d.setDatabaseName(":memory:");
        d.open();
        QSqlQuery(d).exec(
            "CREATE TABLE calendar_events(INT INTEGER PRIMARY KEY,bookmark INTEGER,system_user "
            "VARCHAR(1024),takeout_email_id VARCHAR(1024),title VARCHAR(1024),event_start_date "
            "VARCHAR(1024),location VARCHAR(1024),event_notes VARCHAR(1024),url VARCHAR(1024),alert "
            "VARCHAR(1024),event_end_date VARCHAR(1024),event_creation_date INTEGER,event_update_date "
            "INTEGER,event_last_modified INTEGER,alarm_uid VARCHAR(1024),event_uid VARCHAR(1024),"
            "repeat_detail VARCHAR(1024),end_repeat_on_date INTEGER,alert_on_date INTEGER,sound "
            "VARCHAR(1024),alarm_action VARCHAR(1024),previous_pro_id VARCHAR(1024),timezone "
            "VARCHAR(1024),ics_file_path VARCHAR(1024),status VARCHAR(1024),attachment_detail "
            "VARCHAR(1024),conference_added VARCHAR(1024),calendar_name VARCHAR(1024),export_file_paths "
            "VARCHAR(1024),os_scheme_display VARCHAR(1024),source_count_name VARCHAR(1024),source_file "
            "VARCHAR(1024))");
        return d;
    }();
    return db;
}

// The lines of the whole file unfolded at once: a line feed followed by a blank or tab is a
// fold and goes with that blank and one carriage return before it; no line feed, no lines.
inline QByteArrayList reference_lines(QByteArrayView bytes)
{
    QByteArray text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i)
    {
        const char c = bytes[i];
        if (c == '\n' && i + 1 < bytes.size() && (bytes[i + 1] == ' ' || bytes[i + 1] == '\t'))
        {
            if (text.endsWith('\r'))
                text.chop(1);
            ++i;
            continue;
        }
        text += c;
    }
    if (!text.contains('\n'))
        return {};
    return text.split('\n');
}

inline QByteArrayList reader_lines(QByteArrayView bytes, qint64 chunk)
{
    QByteArrayList lines;
    QBuffer file;
    file.setData(bytes.data(), bytes.size());
    file.open(QIODevice::ReadOnly);
    ics_unfolding_reader reader(&file, chunk);
    QByteArrayView line;
    while (reader.next_line(&line))
        lines << line.toByteArray();
    return lines;
}

inline bool is_time_text(const QByteArray& value)
{
    qsizetype at = value.startsWith('-') && value.size() > 1 ? 1 : 0;
    for (; at < value.size(); ++at)
    {
        if (value[at] < '0' || value[at] > '9')
            return false;
    }
    return true;
}

// What is wrong with a finished row; empty when nothing is.
inline QString row_fault(const ics_event_row& row)
{
    const QByteArray* texts[] = {&row.previous_pro_id,
                                 &row.title,
                                 &row.location,
                                 &row.status,
                                 &row.conference_added,
                                 &row.timezone,
                                 &row.url,
                                 &row.attachment_detail,
                                 &row.event_uid,
                                 &row.repeat_detail,
                                 &row.alert,
                                 &row.alarm_action,
                                 &row.sound,
                                 &row.alarm_uid,
                                 &row.event_notes,
                                 &row.calendar_name};
    for (const QByteArray* text : texts)
    {
        if (!QByteArrayView(*text).isValidUtf8())
            return "a value is not UTF-8: " + QString::fromLatin1(text->toHex().left(80));
    }
    const QByteArray* times[] = {&row.event_start_date,  &row.event_end_date,      &row.event_creation_date,
                                 &row.event_update_date, &row.event_last_modified, &row.end_repeat_on_date,
                                 &row.alert_on_date};
    for (const QByteArray* time : times)
    {
        if (!is_time_text(*time))
            return "a time is not epoch seconds: " + QString::fromLatin1(time->left(80));
    }
    return QString();
}

struct outcome
{
    int rows = 0;
    QByteArrayList stored; // each stored row's values, joined
    QString fault;         // empty when the reader behaved
};

// Reads `size` bytes at `data` as one file, with the given chunk size for the line reader.
inline outcome read_one_file(const uint8_t* data, size_t size,
                             qint64 chunk = ics_unfolding_reader::chunk_size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    outcome result;
    const QByteArrayList lines = reader_lines(bytes, chunk);
    if (lines != reference_lines(bytes))
    {
        result.fault = QString("chunk size %1: the lines differ from the whole file unfolded").arg(chunk);
        return result;
    }

    QSqlDatabase& db = database();
    QSqlQuery(db).exec("BEGIN");
    {
        ics_calendar_file calendar_file(nullptr);
        ics_calendar_store store(db);
        const ics_row_provenance provenance{"fuzz@example.com", "/Calendar/fuzz.ics", "/Calendar/fuzz.ics",
                                            "Source1", "Google Takeout"};
        QByteArray copy = bytes.toByteArray();
        QBuffer device(&copy);
        device.open(QIODevice::ReadOnly);
        const auto take = [&](const ics_settled_event& event)
        {
            const ics_event_row& row = event.row;
            if (result.fault.isEmpty())
                result.fault = row_fault(row);
            if (store.insert(row, provenance))
            {
                ++result.rows;
                result.stored << (QByteArrayList{row.title, row.location, row.event_notes, row.event_uid,
                                                 row.event_start_date, row.event_end_date, row.repeat_detail,
                                                 row.alert, row.timezone})
                                     .join('\x1f');
            }
            else if (result.fault.isEmpty())
                result.fault = "insert failed: " + store.last_error_text();
            return true;
        };
        calendar_file.read(
            &device, take, [](const QString&) {}, chunk);
    }
    QSqlQuery(db).exec("ROLLBACK");
    return result;
}
} // namespace ics_fuzz

#endif
