#include "extractors/google_calendar_macos.h"

#include "support/plugin_static_function.h"

google_calendar_macos::google_calendar_macos(QWidget* parent) : QWidget(parent) {}

void google_calendar_macos::macos_set_plugin_helper_obj(plugin_helper_functions* obj)
{
    run.helper_obj = obj;
}

void google_calendar_macos::macos_set_record_count(qint64 count)
{
    run.records_extracted_qint64 = count;
}

void google_calendar_macos::macos_set_tab_processed_count(int count)
{
    run.tabs_processed_int = count;
}

void google_calendar_macos::macos_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info) {}

void google_calendar_macos::macos_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info) {}

void google_calendar_macos::macos_set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info)
{
    run.source_path = info.source_path;
    run.source_type_internal = info.source_type_internal;
    run.os_scheme_display = info.os_scheme_display;
    for (const auto& account : info.system_account_list)
        users_QStringList << account.system_user;
    users_QStringList.removeDuplicates();
    users_QStringList.removeAll(QString());
}

void google_calendar_macos::macos_set_plugin_name(QString name)
{
    run.plugin_name_QString = name.trimmed();
}

void google_calendar_macos::macos_set_destination_location(QString result_dir, QString tmp_dir,
                                                           QString db_file)
{
    run.result_directory_QString = result_dir;
    run.tmp_directory_QString = tmp_dir;
    run.destination_db_file_QString = db_file;
}

void google_calendar_macos::macos_set_essential_for_vorix_desk_extraction(QStringList tables)
{
    run.tables_QStringList = tables;
}

void google_calendar_macos::macos_set_engine_type(int type)
{
    run.type_engine_int = type;
}

void google_calendar_macos::macos_set_essentials()
{
    run.bool_cancel_extraction = false;
}

void google_calendar_macos::macos_cancel_extraction()
{
    run.bool_cancel_extraction = true;
}

void google_calendar_macos::macos_set_source_count(int count)
{
    run.source_count_int = count;
}

void google_calendar_macos::macos_find_artifacts_source()
{
    find_source_file();
}

void google_calendar_macos::macos_extract_artifacts()
{
    run.elapsed_timer.start();
    extract_plugin_artifacts();
    emit signal_extracted_records_of_plugin_macos(run.records_extracted_qint64);
}

void google_calendar_macos::macos_set_extended_attributes_list(QStringList list)
{
    extended_attributes_QStringList = list;
    filter_extended_attribute_list();
}

void google_calendar_macos::filter_extended_attribute_list() {}

void google_calendar_macos::find_source_file() {}

void google_calendar_macos::extract_plugin_artifacts() {}
