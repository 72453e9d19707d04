#include "plugin/google_calendar.h"

#include "extractors/google_calendar_gtakeoutos.h"
#include "extractors/google_calendar_ios_uid.h"
#include "extractors/google_calendar_macos.h"
#include "extractors/google_calendar_winos.h"
#include "plugin/result_schema.h"
#include "support/plugin_helper_functions.h"
#include "support/plugin_static_function.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

namespace
{
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

    destination_db_file_QString =
        result_directory_QString + pub_get_artifact_name().replace(" ", "_") + ".sqlite";

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
    for (const result_table& table : result_schema::tables())
    {
        if (!plugin_static_function::execute_db_command_by_dbreference(table.create_statement, db, caller))
            plugin_static_function::app_debug(" table creation -----FAILED---- " + table.name, caller);
    }
    if (!db.commit())
        plugin_static_function::app_debug(
            "[create_db_tables] commit --------FAILED-------- " + db.lastError().text(), caller);
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

    QStringList tables = tables_to_clear_QStringList;
    // The companions' event_int refers to calendar_events INT, which starts again at 1 after a
    // clear: an old guest row must never meet a new event.
    if (tables.contains(result_schema::calendar_events().name))
    {
        for (const result_table& companion : result_schema::companion_tables())
            tables.append(companion.name);
    }
    for (const QString& table : std::as_const(tables))
        plugin_static_function::execute_db_command_by_dbpath("delete from " + quoted_identifier(table),
                                                             destination_db_file_QString, caller);
}
