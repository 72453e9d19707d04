#include "extractors/ics_calendar_store.h"

#include "plugin/result_schema.h"

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

// The settled companion rows list their values in this order; a schema that differs must not be
// filled by position.
const QStringList people_columns = {
    "event_int",     "role", "display_name", "email",   "participation_status",
    "attendee_role", "kind", "extra_guests", "comment", "address_as_written"};
const QStringList series_columns = {"event_int",
                                    "rrule",
                                    "rdate",
                                    "exdate",
                                    "recurrence_id",
                                    "recurrence_id_as_written",
                                    "dtstart_as_written",
                                    "dtstart_tzid",
                                    "zone_definition",
                                    "sequence",
                                    "transp",
                                    "class"};
const QStringList alarms_columns = {"event_int",   "alarm_number", "action",  "trigger_as_written",
                                    "offset_text", "trigger_time", "related", "repeat",
                                    "duration",    "description",  "summary", "attendees",
                                    "sound",       "alarm_uid"};

ics_calendar_store::ics_calendar_store(QSqlDatabase& db) : handle(native_handle(db))
{
    if (!handle)
    {
        error_text = "the connection has no SQLite handle";
        return;
    }
    const struct
    {
        const result_table& table;
        const QStringList& columns;
        sqlite3_stmt** target;
    } companions[] = {{result_schema::calendar_event_people(), people_columns, &people_statement},
                      {result_schema::calendar_event_series(), series_columns, &series_statement},
                      {result_schema::calendar_event_alarms(), alarms_columns, &alarms_statement}};
    for (const auto& companion : companions)
    {
        if (companion.table.column_names() != companion.columns)
        {
            error_text = "the columns of " + companion.table.name + " are not those the store fills";
            return;
        }
        const QByteArray sql = companion.table.insert_statement().toUtf8();
        if (sqlite3_prepare_v2(handle, sql.constData(), -1, companion.target, nullptr) != SQLITE_OK)
        {
            error_text = QString::fromUtf8(sqlite3_errmsg(handle));
            return;
        }
    }
    if (sqlite3_prepare_v2(handle, insert_statement, -1, &statement, nullptr) != SQLITE_OK)
        error_text = QString::fromUtf8(sqlite3_errmsg(handle));
}

ics_calendar_store::~ics_calendar_store()
{
    for (sqlite3_stmt* prepared : {statement, people_statement, series_statement, alarms_statement})
        sqlite3_finalize(prepared);
}

bool ics_calendar_store::bind_and_step(sqlite3_stmt* target, const QList<const QByteArray*>& values)
{
    int position = 1;
    bool bound = true;
    for (const QByteArray* value : values)
    {
        // A value SQLite cannot take fails the row; it is never stored as NULL instead.
        if (sqlite3_bind_text64(target, position++, value->constData(), sqlite3_uint64(value->size()),
                                SQLITE_STATIC, SQLITE_UTF8) != SQLITE_OK)
        {
            error_text =
                QString("value %1 of the row not bound: %2").arg(position - 1).arg(sqlite3_errmsg(handle));
            bound = false;
            break;
        }
    }
    const bool done = bound && sqlite3_step(target) == SQLITE_DONE;
    if (bound)
        error_text = done ? QString() : QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_reset(target);
    sqlite3_clear_bindings(target);
    return done;
}

bool ics_calendar_store::insert_companions(sqlite3_stmt* target, qint64 event_int,
                                           const QList<ics_companion_row>& rows)
{
    const QByteArray event_id = QByteArray::number(event_int);
    for (const ics_companion_row& row : rows)
    {
        QList<const QByteArray*> values{&event_id};
        for (const QByteArray& value : row)
            values.append(&value);
        if (!bind_and_step(target, values))
            return false;
    }
    return true;
}

// A row whose companions failed goes whole: no event without its guests, no guest without its event.
void ics_calendar_store::remove_event(qint64 event_int)
{
    const QByteArray id = QByteArray::number(event_int);
    for (const result_table& table :
         {result_schema::calendar_event_people(), result_schema::calendar_event_series(),
          result_schema::calendar_event_alarms()})
    {
        const QByteArray sql = "delete from " + table.name.toUtf8() + " where event_int = " + id;
        sqlite3_exec(handle, sql.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3_exec(handle, ("delete from calendar_events where INT = " + id).constData(), nullptr, nullptr,
                 nullptr);
}

bool ics_calendar_store::insert(const ics_settled_event& event, const ics_row_provenance& provenance)
{
    if (!insert(event.row, provenance))
        return false;
    if (event.people.isEmpty() && event.series.isEmpty() && event.alarms.isEmpty())
        return true;
    const qint64 event_int = sqlite3_last_insert_rowid(handle);
    if (insert_companions(people_statement, event_int, event.people) &&
        insert_companions(series_statement, event_int, event.series) &&
        insert_companions(alarms_statement, event_int, event.alarms))
        return true;
    const QString reason = error_text;
    remove_event(event_int);
    error_text = reason;
    return false;
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
    if (!statement || !people_statement || !series_statement || !alarms_statement)
        return false;
    return bind_and_step(statement, QList<const QByteArray*>(std::begin(values), std::end(values)));
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
