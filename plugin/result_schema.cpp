#include "plugin/result_schema.h"

#include <QRegularExpression>

namespace
{
const char* const calendar_events_statement =
    "CREATE TABLE IF NOT EXISTS calendar_events(INT INTEGER PRIMARY KEY,bookmark  INTEGER,system_user  "
    "VARCHAR(1024),domain_user  VARCHAR(1024),takeout_email_id  VARCHAR(1024),title  "
    "VARCHAR(1024),event_start_date  "
    "VARCHAR(1024),location  VARCHAR(1024),event_notes  VARCHAR(1024),url  VARCHAR(1024),alert  "
    "VARCHAR(1024),event_end_date  VARCHAR(1024),event_creation_date  INTEGER,event_update_date  "
    "INTEGER,event_last_modified INTEGER,alarm_uid  VARCHAR(1024),event_uid  VARCHAR(1024),repeat_detail  "
    "VARCHAR(1024),end_repeat_on_date  INTEGER,alert_on_date  INTEGER,sound  VARCHAR(1024),alarm_action  "
    "VARCHAR(1024),previous_pro_id  VARCHAR(1024),timezone  VARCHAR(1024),ics_file_path  "
    "VARCHAR(1024),status "
    "VARCHAR(1024),attachment_detail VARCHAR(1024),conference_added VARCHAR(1024),calendar_name  "
    "VARCHAR(1024),account_name  VARCHAR(1024),LINKFILENAME VARCHAR(1024),preview_file_path "
    "varchar(1024),export_file_paths varchar(1024),bookmarked_extended_attributes "
    "VARCHAR,bookmarked_exif_data  "
    "VARCHAR(1024),extended_attributes_key_value  VARCHAR(1024),extended_attributes_value_for_search  "
    "VARCHAR(1024),vorix_tag_value VARCHAR(1024),notes_icon VARCHAR(1024),tags_icon "
    "VARCHAR(1024),os_scheme_display  "
    "VARCHAR(1024),source_count_name  VARCHAR(1024),source_file  "
    "VARCHAR(1024),artifacts_relation_source_file "
    "VARCHAR(1024),notes  VARCHAR(1024))";

const char* const exportfilelist_statement =
    "CREATE TABLE IF NOT EXISTS exportfilelist(INT INTEGER PRIMARY KEY,record VARCHAR(150),table_name "
    "VARCHAR(100),filepath VARCHAR(100),exp_newpath VARCHAR(100),exp_relativepath VARCHAR(100),exp_size "
    "INTEGER,exp_hashmd5 VARCHAR(100),exp_hashsha1 VARCHAR(100),exp_LINKFILENAME varchar(500),exp_time "
    "INTEGER)";

// The columns of one of the suite's fixed statements, read back from its text.
QList<result_column> columns_of(const QString& statement)
{
    const qsizetype open = statement.indexOf('(');
    const QString body = statement.mid(open + 1, statement.lastIndexOf(')') - open - 1);
    QList<result_column> columns;
    static const QRegularExpression column_pattern("^\\s*(\\S+)\\s+(.*?)\\s*$");
    // Commas inside VARCHAR(n) never occur, so a plain split is exact.
    for (const QString& definition : body.split(','))
    {
        const QRegularExpressionMatch match = column_pattern.match(definition);
        if (match.hasMatch() && match.captured(1) != "INT")
            columns.append({match.captured(1), match.captured(2)});
    }
    return columns;
}

result_table fixed_table(const QString& name, const char* statement)
{
    return {name, columns_of(QString::fromLatin1(statement)), QString::fromLatin1(statement)};
}

result_table companion_table(const QString& name, const QList<result_column>& columns)
{
    QStringList definitions{"INT INTEGER PRIMARY KEY"};
    for (const result_column& column : columns)
        definitions.append(column.name + " " + column.type);
    return {name, columns, "CREATE TABLE IF NOT EXISTS " + name + "(" + definitions.join(",") + ")"};
}
} // namespace

QStringList result_table::column_names() const
{
    QStringList names;
    for (const result_column& column : columns)
        names.append(column.name);
    return names;
}

QString result_table::insert_statement() const
{
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks.append("?");
    return "insert into " + name + "(" + column_names().join(",") + ")values(" + marks.join(",") + ")";
}

const result_table& result_schema::calendar_events()
{
    static const result_table table = fixed_table("calendar_events", calendar_events_statement);
    return table;
}

const result_table& result_schema::exportfilelist()
{
    static const result_table table = fixed_table("exportfilelist", exportfilelist_statement);
    return table;
}

// One row per ORGANIZER or ATTENDEE line of an event (never of an alarm).
const result_table& result_schema::calendar_event_people()
{
    static const result_table table =
        companion_table("calendar_event_people", {{"event_int", "INTEGER"},
                                                  {"role", "TEXT"}, // organizer or attendee
                                                  {"display_name", "TEXT"},
                                                  {"email", "TEXT"}, // without mailto:
                                                  {"participation_status", "TEXT"},
                                                  {"attendee_role", "TEXT"},
                                                  {"kind", "TEXT"},
                                                  {"extra_guests", "TEXT"},
                                                  {"comment", "TEXT"},
                                                  {"address_as_written", "TEXT"}});
    return table;
}

// What a later expansion of a series needs, and what tells a moved occurrence from its series.
// Lists of instants are epoch seconds joined by ",", in the order written.
const result_table& result_schema::calendar_event_series()
{
    static const result_table table =
        companion_table("calendar_event_series",
                        {{"event_int", "INTEGER"},
                         {"rrule", "TEXT"}, // the raw rule texts, one per line
                         {"rdate", "TEXT"},
                         {"exdate", "TEXT"},
                         {"recurrence_id", "TEXT"},
                         {"recurrence_id_as_written", "TEXT"},
                         {"dtstart_as_written", "TEXT"},
                         {"dtstart_tzid", "TEXT"},
                         {"zone_definition", "TEXT"}, // the file's VTIMEZONE when it defined the zone
                         {"sequence", "TEXT"},
                         {"transp", "TEXT"},
                         {"class", "TEXT"}});
    return table;
}

// One row per VALARM of an event, in the order of the file.
const result_table& result_schema::calendar_event_alarms()
{
    static const result_table table =
        companion_table("calendar_event_alarms", {{"event_int", "INTEGER"},
                                                  {"alarm_number", "INTEGER"},
                                                  {"action", "TEXT"},
                                                  {"trigger_as_written", "TEXT"},
                                                  {"offset_text", "TEXT"},
                                                  {"trigger_time", "TEXT"},
                                                  {"related", "TEXT"}, // start or end
                                                  {"repeat", "TEXT"},
                                                  {"duration", "TEXT"},
                                                  {"description", "TEXT"},
                                                  {"summary", "TEXT"},
                                                  {"attendees", "TEXT"}, // e-mail addresses joined by ", "
                                                  {"sound", "TEXT"},
                                                  {"alarm_uid", "TEXT"}});
    return table;
}

// Chain of custody: one row per .ics entry the walk met, read or left out, in the order read.
const result_table& result_schema::calendar_source_files()
{
    static const result_table table =
        companion_table("calendar_source_files",
                        {{"run_int", "INTEGER"},             // INT of its calendar_extraction_runs row
                         {"ics_file_path", "TEXT"},          // as in calendar_events.ics_file_path
                         {"ics_file_path_bytes", "TEXT"},    // hex of the exact bytes when not UTF-8
                         {"archive_path", "TEXT"},           // the archive it was unpacked from
                         {"archive_member", "TEXT"},         // its member name in that archive
                         {"size_bytes", "INTEGER"},
                         {"modified_time", "INTEGER"},       // epoch seconds
                         {"sha256", "TEXT"},                 // lower-case hex, of the bytes read
                         {"events_stored", "INTEGER"},
                         {"outcome", "TEXT"},                // read, read in part, left out, not read
                         {"reason", "TEXT"}});
    return table;
}

// One row per Takeout archive a host unpacked the calendar from (gcal-extract).
const result_table& result_schema::calendar_source_archives()
{
    static const result_table table =
        companion_table("calendar_source_archives", {{"run_int", "INTEGER"},
                                                     {"archive_path", "TEXT"},
                                                     {"size_bytes", "INTEGER"},
                                                     {"modified_time", "INTEGER"},
                                                     {"sha256", "TEXT"},
                                                     {"members_unpacked", "INTEGER"},
                                                     {"members_left_out", "INTEGER"},
                                                     {"outcome", "TEXT"}, // read, read in part, not read
                                                     {"problems", "TEXT"}});
    return table;
}

// One row per run, so a database left by a cancelled run never passes for a complete one.
const result_table& result_schema::calendar_extraction_runs()
{
    static const result_table table =
        companion_table("calendar_extraction_runs", {{"program", "TEXT"},
                                                     {"program_version", "TEXT"},
                                                     {"plugin_version", "TEXT"},
                                                     {"started_utc", "TEXT"},
                                                     {"ended_utc", "TEXT"},
                                                     {"source", "TEXT"},
                                                     {"machine_time_zone", "TEXT"},
                                                     {"settings", "TEXT"},
                                                     {"events_stored", "INTEGER"},
                                                     {"files_read", "INTEGER"},
                                                     {"files_left_out", "INTEGER"},
                                                     {"outcome", "TEXT"}, // started, completed, cancelled
                                                     {"process_id", "INTEGER"}});
    return table;
}

const QList<result_table>& result_schema::companion_tables()
{
    static const QList<result_table> tables{calendar_event_people(), calendar_event_series(),
                                            calendar_event_alarms(), calendar_source_files(),
                                            calendar_source_archives(), calendar_extraction_runs()};
    return tables;
}

const QList<result_table>& result_schema::tables()
{
    static const QList<result_table> tables = []
    {
        QList<result_table> all{calendar_events(), exportfilelist()};
        all.append(companion_tables());
        return all;
    }();
    return tables;
}

const result_table* result_schema::table_named(const QString& name)
{
    for (const result_table& table : tables())
    {
        if (table.name == name)
            return &table;
    }
    return nullptr;
}
