#include "extractors/google_calendar_ios_uid.h"

#include "support/plugin_static_function.h"

google_calendar_ios_uid::google_calendar_ios_uid(QWidget* parent) : QWidget(parent) {}

void google_calendar_ios_uid::ios_uid_set_plugin_helper_obj(plugin_helper_functions* obj)
{
    run.helper_obj = obj;
}

void google_calendar_ios_uid::ios_uid_set_record_count(qint64 count)
{
    run.records_extracted_qint64 = count;
}

void google_calendar_ios_uid::ios_uid_set_tab_processed_count(int count)
{
    run.tabs_processed_int = count;
}

void google_calendar_ios_uid::ios_uid_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info)
{
}

void google_calendar_ios_uid::ios_uid_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info)
{
}

void google_calendar_ios_uid::ios_uid_set_source_info(
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info)
{
    run.source_path = info.source_path;
    run.source_type_internal = info.source_type_internal;
    run.os_scheme_display = info.os_scheme_display;
}

void google_calendar_ios_uid::ios_uid_set_plugin_name(QString name)
{
    run.plugin_name_QString = name.trimmed();
}

void google_calendar_ios_uid::ios_uid_set_destination_location(QString result_dir, QString tmp_dir,
                                                               QString db_file)
{
    run.result_directory_QString = result_dir;
    run.tmp_directory_QString = tmp_dir;
    run.destination_db_file_QString = db_file;
}

void google_calendar_ios_uid::ios_uid_set_essential_for_vorix_desk_extraction(QStringList tables)
{
    run.tables_QStringList = tables;
}

void google_calendar_ios_uid::ios_uid_set_engine_type(int type)
{
    run.type_engine_int = type;
}

void google_calendar_ios_uid::ios_uid_set_essentials()
{
    run.bool_cancel_extraction = false;
}

void google_calendar_ios_uid::ios_uid_cancel_extraction()
{
    run.bool_cancel_extraction = true;
}

void google_calendar_ios_uid::ios_uid_set_source_count(int count)
{
    run.source_count_int = count;
}

void google_calendar_ios_uid::ios_uid_find_artifacts_source()
{
    find_source_file();
}

void google_calendar_ios_uid::ios_uid_extract_artifacts()
{
    run.elapsed_timer.start();
    extract_plugin_artifacts();
    emit signal_extracted_records_of_plugin_ios_uid(run.records_extracted_qint64);
}

void google_calendar_ios_uid::ios_uid_set_ios_backup_pointer(ios_uid_backup_parser* parser)
{
    ios_backup_parser_pointer = parser;
}

void google_calendar_ios_uid::find_source_file()
{
    const QString caller = "void google_calendar_ios_uid::find_source_file()";
    plugin_static_function::app_debug("[find_source_file] Starts", caller);
    plugin_static_function::app_debug("[find_source_file] Ends", caller);
}

void google_calendar_ios_uid::extract_plugin_artifacts() {}
