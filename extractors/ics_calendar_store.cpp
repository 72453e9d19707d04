#include "extractors/ics_calendar_store.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace
{
const char* const insert_statement =
    "insert into calendar_events(bookmark,system_user,takeout_email_id "
    ",previous_pro_id,title,location,status, "
    "conference_added,timezone, url, attachment_detail, event_end_date,event_start_date, "
    "event_creation_date, "
    "event_update_date,event_uid,repeat_detail, alert,alarm_action,event_last_modified, end_repeat_on_date, "
    "sound,alert_on_date, alarm_uid,event_notes, ics_file_path,export_file_paths, source_file "
    ",source_count_name, "
    "os_scheme_display, calendar_name)values(?,?,?,?,?,  ?,?,?,?,?,  ?,?,?,?,?,  ?,?,?,?,?,  ?,?,?,?,?, "
    "?,?,?,?,?, ?)";

sqlite3* native_handle(QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}
} // namespace

ics_calendar_store::ics_calendar_store(QSqlDatabase& db) : handle(native_handle(db))
{
    if (!handle)
    {
        error_text = "the connection has no SQLite handle";
        return;
    }
    if (sqlite3_prepare_v2(handle, insert_statement, -1, &statement, nullptr) != SQLITE_OK)
        error_text = QString::fromUtf8(sqlite3_errmsg(handle));
}

ics_calendar_store::~ics_calendar_store()
{
    sqlite3_finalize(statement);
}

bool ics_calendar_store::insert(const ics_event_row& row, const ics_row_provenance& provenance)
{
    if (!statement)
        return false;
    // Every value is bound as text; a missing property is the empty string, never NULL.
    static const QByteArray bookmark("0");
    static const QByteArray empty("");
    const QByteArray* values[] = {
        &bookmark,
        &empty,
        &provenance.takeout_email_id,
        &row.previous_pro_id,
        &row.title,
        &row.location,
        &row.status,
        &row.conference_added,
        &row.timezone,
        &row.url,
        &row.attachment_detail,
        &row.event_end_date,
        &row.event_start_date,
        &row.event_creation_date,
        &row.event_update_date,
        &row.event_uid,
        &row.repeat_detail,
        &row.alert,
        &row.alarm_action,
        &row.event_last_modified,
        &row.end_repeat_on_date,
        &row.sound,
        &row.alert_on_date,
        &row.alarm_uid,
        &row.event_notes,
        &provenance.relative_path,
        &provenance.relative_path,
        &provenance.source_file,
        &provenance.source_count_name,
        &provenance.os_scheme_display,
        &row.calendar_name,
    };
    int position = 1;
    for (const QByteArray* value : values)
        sqlite3_bind_text(statement, position++, value->constData(), int(value->size()), SQLITE_STATIC);
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    error_text = done ? QString() : QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return done;
}

QString ics_calendar_store::last_error_text() const
{
    return error_text;
}

bool ics_calendar_store::transaction_lost() const
{
    return handle && sqlite3_get_autocommit(handle) != 0;
}

QString ics_calendar_store::executed_query() const
{
    return QString::fromLatin1(insert_statement);
}
