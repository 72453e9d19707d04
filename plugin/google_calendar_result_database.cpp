#include "plugin/google_calendar.h"

#include "extractors/google_calendar_gtakeoutos.h"
#include "extractors/google_calendar_ios_uid.h"
#include "extractors/google_calendar_macos.h"
#include "extractors/google_calendar_winos.h"
#include "support/plugin_helper_functions.h"
#include "support/plugin_static_function.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

namespace
{
const char* const calendar_events_statement =
    "CREATE TABLE IF NOT EXISTS calendar_events(INT INTEGER PRIMARY KEY,bookmark  INTEGER,system_user  "
    "VARCHAR(1024),domain_user  VARCHAR(1024),takeout_email_id  VARCHAR(1024),title  VARCHAR(1024),event_start_date  "
    "VARCHAR(1024),location  VARCHAR(1024),event_notes  VARCHAR(1024),url  VARCHAR(1024),alert  "
    "VARCHAR(1024),event_end_date  VARCHAR(1024),event_creation_date  INTEGER,event_update_date  "
    "INTEGER,event_last_modified INTEGER,alarm_uid  VARCHAR(1024),event_uid  VARCHAR(1024),repeat_detail  "
    "VARCHAR(1024),end_repeat_on_date  INTEGER,alert_on_date  INTEGER,sound  VARCHAR(1024),alarm_action  "
    "VARCHAR(1024),previous_pro_id  VARCHAR(1024),timezone  VARCHAR(1024),ics_file_path  VARCHAR(1024),status "
    "VARCHAR(1024),attachment_detail VARCHAR(1024),conference_added VARCHAR(1024),calendar_name  "
    "VARCHAR(1024),account_name  VARCHAR(1024),LINKFILENAME VARCHAR(1024),preview_file_path "
    "varchar(1024),export_file_paths varchar(1024),bookmarked_extended_attributes VARCHAR,bookmarked_exif_data  "
    "VARCHAR(1024),extended_attributes_key_value  VARCHAR(1024),extended_attributes_value_for_search  "
    "VARCHAR(1024),vorix_tag_value VARCHAR(1024),notes_icon VARCHAR(1024),tags_icon VARCHAR(1024),os_scheme_display  "
    "VARCHAR(1024),source_count_name  VARCHAR(1024),source_file  VARCHAR(1024),artifacts_relation_source_file "
    "VARCHAR(1024),notes  VARCHAR(1024))";

const char* const exportfilelist_statement =
    "CREATE TABLE IF NOT EXISTS exportfilelist(INT INTEGER PRIMARY KEY,record VARCHAR(150),table_name "
    "VARCHAR(100),filepath VARCHAR(100),exp_newpath VARCHAR(100),exp_relativepath VARCHAR(100),exp_size "
    "INTEGER,exp_hashmd5 VARCHAR(100),exp_hashsha1 VARCHAR(100),exp_LINKFILENAME varchar(500),exp_time INTEGER)";

// A table name from the host, quoted as one SQL identifier.
QString quoted_identifier(QString name)
{
    return "\"" + name.replace("\"", "\"\"") + "\"";
}
} // namespace

void google_calendar::pub_set_essential_for_vorix_desk_extraction(QStringList tables, QStringList other)
{
    Q_UNUSED(other);
    tables_to_clear_QStringList = tables;
    macos_obj->macos_set_essential_for_vorix_desk_extraction(tables);
    ios_uid_obj->ios_uid_set_essential_for_vorix_desk_extraction(tables);
    winos_obj->winos_set_essential_for_vorix_desk_extraction(tables);
    gtakeoutos_obj->gtakeoutos_set_essential_for_vorix_desk_extraction(tables);
}

void google_calendar::pub_set_result_directory(QString dir)
{
    set_destination_location(dir);
}

void google_calendar::pub_create_db_tables()
{
    create_destination_database();
}

void google_calendar::pub_set_clear_db(bool clear)
{
    if (clear)
        clear_db_tables();
}

void google_calendar::set_destination_location(QString dir)
{
    const QString caller = "void google_calendar::set_destination_location(QString)";
    plugin_static_function::app_debug("[set_destination_location] starts", caller);

    if (!dir.endsWith("/"))
        dir.append("/");

    const QString artifact = pub_get_artifact_name().replace(" ", "_");
    result_directory_QString = dir + "Artifacts_Result/" + artifact + "/";
    QDir().mkpath(result_directory_QString);

    tmp_directory_QString = result_directory_QString + "tmp/";
    QDir().mkpath(tmp_directory_QString);
    helper_obj->set_adhoc_parent_path(tmp_directory_QString);

    destination_db_file_QString = result_directory_QString + pub_get_artifact_name().replace(" ", "_") + ".sqlite";

    macos_obj->macos_set_destination_location(result_directory_QString, tmp_directory_QString,
                                              destination_db_file_QString);
    ios_uid_obj->ios_uid_set_destination_location(result_directory_QString, tmp_directory_QString,
                                                  destination_db_file_QString);
    winos_obj->winos_set_destination_location(result_directory_QString, tmp_directory_QString,
                                              destination_db_file_QString);
    gtakeoutos_obj->gtakeoutos_set_destination_location(result_directory_QString, tmp_directory_QString,
                                                        destination_db_file_QString);

    plugin_static_function::app_debug("[set_destination_location] ends", caller);
}

void google_calendar::create_destination_database()
{
    const QString caller = "void google_calendar::create_destination_database()";
    plugin_static_function::app_debug("[create_destination_database] starts", caller);
    create_db_tables();
    plugin_static_function::app_debug("[create_destination_database] ends", caller);
}

void google_calendar::create_db_tables()
{
    const QString caller = "void google_calendar::create_db_tables()";
    plugin_static_function::app_debug("[create_db_tables] Starts", caller);

    QSqlDatabase::removeDatabase(caller);
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", caller);
    db.setDatabaseName(destination_db_file_QString);
    if (!db.open())
    {
        plugin_static_function::app_debug(
            "[create_db_tables]Destination Db opening  for table creation------FAILED--------", caller);
        plugin_static_function::app_debug(db.lastError().text(), caller);
        plugin_static_function::app_debug(destination_db_file_QString, caller);
        return;
    }

    db.transaction();
    if (!plugin_static_function::execute_db_command_by_dbreference(calendar_events_statement, db, caller))
        plugin_static_function::app_debug(" table creation -----FAILED---- calendar_events", caller);
    if (!plugin_static_function::execute_db_command_by_dbreference(exportfilelist_statement, db, caller))
        plugin_static_function::app_debug(" table creation -----FAILED---- exportfilelist", caller);
    if (!db.commit())
        plugin_static_function::app_debug("[create_db_tables] commit --------FAILED-------- " + db.lastError().text(),
                                          caller);
    db.close();
    plugin_static_function::app_debug("[create_db_tables] Ends", caller);
}

void google_calendar::clear_db_tables()
{
    const QString caller = "void google_calendar::clear_db_tables()";
    if (!QFileInfo::exists(destination_db_file_QString))
    {
        plugin_static_function::app_debug("[clear_db_tables]DB not exists and so returning...", caller);
        return;
    }
    if (type_engine_int != 0 || tables_to_clear_QStringList.isEmpty())
        return;

    for (const QString& table : std::as_const(tables_to_clear_QStringList))
        plugin_static_function::execute_db_command_by_dbpath("delete from " + quoted_identifier(table),
                                                             destination_db_file_QString, caller);
}
