#include "extractors/ics_calendar_store.h"

#include <QSqlError>
#include <QVariant>

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
} // namespace

ics_calendar_store::ics_calendar_store(QSqlDatabase& db) : query(db)
{
    prepared_bool = query.prepare(insert_statement);
}

bool ics_calendar_store::insert(const ics_event_row& row, const ics_row_provenance& provenance)
{
    // Every value is bound as text; a missing property is the empty string, never NULL.
    const QString values[] = {
        QStringLiteral("0"),
        QString(""),
        provenance.takeout_email_id,
        row.previous_pro_id,
        row.title,
        row.location,
        row.status,
        row.conference_added,
        row.timezone,
        row.url,
        row.attachment_detail,
        row.event_end_date,
        row.event_start_date,
        row.event_creation_date,
        row.event_update_date,
        row.event_uid,
        row.repeat_detail,
        row.alert,
        row.alarm_action,
        row.event_last_modified,
        row.end_repeat_on_date,
        row.sound,
        row.alert_on_date,
        row.alarm_uid,
        row.event_notes,
        provenance.relative_path,
        provenance.relative_path,
        provenance.source_file,
        provenance.source_count_name,
        provenance.os_scheme_display,
        row.calendar_name,
    };
    int position = 0;
    for (const QString& value : values)
        query.bindValue(position++, value.isNull() ? QString("") : value);
    return prepared_bool && query.exec();
}

QString ics_calendar_store::last_error_text() const
{
    return query.lastError().text();
}

QString ics_calendar_store::executed_query() const
{
    return query.executedQuery();
}
