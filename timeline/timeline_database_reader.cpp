#include "timeline/timeline_database_reader.h"

#include "plugin/result_schema.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace
{
template <typename row> struct column_field
{
    const char* name;
    QString row::*field;
};

const column_field<timeline_event> event_fields[] = {
    {"title", &timeline_event::title},
    {"location", &timeline_event::location},
    {"calendar_name", &timeline_event::calendar_name},
    {"event_uid", &timeline_event::event_uid},
    {"status", &timeline_event::status},
    {"takeout_email_id", &timeline_event::takeout_email_id},
    {"source_count_name", &timeline_event::source_count_name},
    {"source_file", &timeline_event::source_file},
    {"ics_file_path", &timeline_event::ics_file_path},
    {"event_start_date", &timeline_event::start},
    {"event_end_date", &timeline_event::end},
    {"event_creation_date", &timeline_event::created},
    {"event_update_date", &timeline_event::stamped},
    {"event_last_modified", &timeline_event::last_modified},
    {"alert_on_date", &timeline_event::alarm},
    {"end_repeat_on_date", &timeline_event::repeat_end},
};

const column_field<timeline_series_row> series_fields[] = {
    {"rrule", &timeline_series_row::rrule},
    {"rdate", &timeline_series_row::rdate},
    {"exdate", &timeline_series_row::exdate},
    {"recurrence_id", &timeline_series_row::recurrence_id},
    {"dtstart_as_written", &timeline_series_row::dtstart_as_written},
    {"dtstart_tzid", &timeline_series_row::dtstart_tzid},
    {"zone_definition", &timeline_series_row::zone_definition},
};

const column_field<timeline_person> person_fields[] = {
    {"role", &timeline_person::role},
    {"display_name", &timeline_person::display_name},
    {"email", &timeline_person::email},
    {"participation_status", &timeline_person::participation_status},
};

QString database_error(const QString& what, const QSqlError& error)
{
    return what + ": " + error.text();
}

// "SELECT INT-or-event_int, c1, ... FROM table ORDER BY INT", the columns named by `fields`, each checked
// against the schema so a renamed column fails here rather than reading the wrong one.
template <typename row, size_t count>
QString select_statement(const result_table& table, const QString& key,
                         const column_field<row> (&fields)[count])
{
    QStringList columns{key};
    const QStringList known = table.column_names();
    for (const column_field<row>& field : fields)
    {
        Q_ASSERT(known.contains(QLatin1String(field.name)));
        columns << QLatin1String(field.name);
    }
    return "SELECT " + columns.join(", ") + " FROM " + table.name + " ORDER BY \"INT\"";
}

// Each field's position in the query's record, by name.
template <typename row, size_t count>
QList<int> positions(const QSqlRecord& record, const column_field<row> (&fields)[count])
{
    QList<int> list;
    for (const column_field<row>& field : fields)
        list << record.indexOf(QLatin1String(field.name));
    return list;
}

template <typename row, size_t count>
void fill(const QSqlQuery& query, const QList<int>& at, const column_field<row> (&fields)[count], row* target)
{
    for (size_t i = 0; i < count; ++i)
        target->*fields[i].field = query.value(at.at(int(i))).toString();
}

bool has_table(QSqlDatabase& db, const QString& name, QString* error)
{
    QSqlQuery query(db);
    query.prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE");
    query.addBindValue(name);
    if (!query.exec())
    {
        *error = database_error("cannot read database " + db.databaseName(), query.lastError());
        return false;
    }
    return query.next();
}

QHash<qint64, qsizetype> index_of_ids(const QList<timeline_event>& events)
{
    QHash<qint64, qsizetype> index;
    index.reserve(events.size());
    for (qsizetype i = 0; i < events.size(); ++i)
        index.insert(events.at(i).id, i);
    return index;
}
} // namespace

QString timeline_database_reader::read(const QString& db_path, QList<timeline_event>* events)
{
    const QString connection = QString("timeline_database_reader %1").arg(quintptr(events), 0, 16);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection);
        db.setDatabaseName(db_path);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (!db.open())
            error = database_error("cannot open database " + db_path, db.lastError());
        if (error.isEmpty())
            error = read_events(db, db_path, events);
        if (error.isEmpty())
            error = read_series(db, db_path, events);
        if (error.isEmpty())
            error = read_people(db, db_path, events);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

QString timeline_database_reader::read_events(QSqlDatabase& db, const QString& db_path,
                                              QList<timeline_event>* events)
{
    const result_table& table = result_schema::calendar_events();
    QString error;
    if (!has_table(db, table.name, &error))
        return error.isEmpty() ? "no " + table.name + " table in " + db_path : error;

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(select_statement(table, "\"INT\"", event_fields)))
        return database_error("cannot read " + table.name + " of " + db_path, query.lastError());
    const QList<int> at = positions(query.record(), event_fields);
    while (query.next())
    {
        timeline_event event;
        event.id = query.value(0).toLongLong();
        fill(query, at, event_fields, &event);
        events->append(event);
    }
    if (query.lastError().isValid())
        return database_error("cannot read " + table.name + " of " + db_path, query.lastError());
    return QString();
}

QString timeline_database_reader::read_series(QSqlDatabase& db, const QString& db_path,
                                              QList<timeline_event>* events)
{
    const result_table& table = result_schema::calendar_event_series();
    QString error;
    if (!has_table(db, table.name, &error))
        return error;
    const QHash<qint64, qsizetype> index = index_of_ids(*events);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(select_statement(table, "event_int", series_fields)))
        return database_error("cannot read " + table.name + " of " + db_path, query.lastError());
    const QList<int> at = positions(query.record(), series_fields);
    while (query.next())
    {
        const auto found = index.constFind(query.value(0).toLongLong());
        if (found == index.constEnd())
            continue; // a row without its event is nothing the timeline can place
        timeline_series_row& series = (*events)[found.value()].series;
        series.present = true;
        fill(query, at, series_fields, &series);
    }
    if (query.lastError().isValid())
        return database_error("cannot read " + table.name + " of " + db_path, query.lastError());
    return QString();
}

QString timeline_database_reader::read_people(QSqlDatabase& db, const QString& db_path,
                                              QList<timeline_event>* events)
{
    const result_table& table = result_schema::calendar_event_people();
    QString error;
    if (!has_table(db, table.name, &error))
        return error;
    const QHash<qint64, qsizetype> index = index_of_ids(*events);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(select_statement(table, "event_int", person_fields)))
        return database_error("cannot read " + table.name + " of " + db_path, query.lastError());
    const QList<int> at = positions(query.record(), person_fields);
    while (query.next())
    {
        const auto found = index.constFind(query.value(0).toLongLong());
        if (found == index.constEnd())
            continue;
        timeline_person person;
        fill(query, at, person_fields, &person);
        (*events)[found.value()].people << person;
    }
    if (query.lastError().isValid())
        return database_error("cannot read " + table.name + " of " + db_path, query.lastError());
    return QString();
}
