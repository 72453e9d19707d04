#ifndef ICS_FUZZ_ENTRY_H
#define ICS_FUZZ_ENTRY_H

// Feeds bytes to the real reader as one .ics file: chunked unfolding, the line scanner and the
// insert into calendar_events of an in-memory result database. Shared by the libFuzzer target
// and the regression test that replays the seeds and every kept crash input.

#include "extractors/ics_calendar_store.h"
#include "extractors/ics_event_scanner.h"
#include "extractors/ics_unfolding_reader.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QSqlQuery>

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

// Returns the number of rows stored.
inline int read_one_file(const uint8_t* data, size_t size, qint64 chunk = ics_unfolding_reader::chunk_size)
{
    QSqlDatabase& db = database();
    QSqlQuery(db).exec("BEGIN");
    int rows = 0;
    {
        QBuffer file;
        file.setData(reinterpret_cast<const char*>(data), qsizetype(size));
        file.open(QIODevice::ReadOnly);
        ics_unfolding_reader reader(&file, chunk);
        ics_event_scanner scanner(nullptr);
        ics_calendar_store store(db);
        const ics_row_provenance provenance{"fuzz@example.com", "/Calendar/fuzz.ics", "/Calendar/fuzz.ics",
                                            "Source1", "Google Takeout"};
        scanner.start_file();
        QByteArrayView line;
        while (reader.next_line(&line))
        {
            if (scanner.scan_line(line) != ics_event_scanner::outcome::row_complete)
                continue;
            rows += store.insert(scanner.finished_row(), provenance) ? 1 : 0;
            scanner.reset_row();
        }
    }
    QSqlQuery(db).exec("ROLLBACK");
    return rows;
}
} // namespace ics_fuzz

#endif
