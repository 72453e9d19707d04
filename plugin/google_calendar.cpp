#include "plugin/google_calendar.h"

#include "extractors/google_calendar_gtakeoutos.h"
#include "extractors/google_calendar_ios_uid.h"
#include "extractors/google_calendar_macos.h"
#include "extractors/google_calendar_winos.h"
#include "support/plugin_helper_functions.h"
#include "support/plugin_static_function.h"
#include "ui_google_calendar.h"

#include <QObject>

google_calendar::google_calendar(QWidget* parent)
    : QFrame(parent), ui(new Ui_google_calendar), bool_process_finished(false), records_extracted_qint64(0),
      tabs_processed_int(0), type_engine_int(-1), bool_cancel_extraction(false)
{
    ui->setupUi(this);

    macos_obj = new google_calendar_macos(this);
    connect(macos_obj, &google_calendar_macos::signal_extracted_records_of_plugin_macos, this,
            &google_calendar::slot_extracted_records_of_plugin);
    connect(macos_obj, &google_calendar_macos::signal_total_tabs_processed_macos, this,
            &google_calendar::slot_total_tabs_processed);

    ios_uid_obj = new google_calendar_ios_uid(this);
    connect(ios_uid_obj, &google_calendar_ios_uid::signal_extracted_records_of_plugin_ios_uid, this,
            &google_calendar::slot_extracted_records_of_plugin);
    connect(ios_uid_obj, &google_calendar_ios_uid::signal_total_tabs_processed_ios_uid, this,
            &google_calendar::slot_total_tabs_processed);

    winos_obj = new google_calendar_winos(this);
    connect(winos_obj, &google_calendar_winos::signal_extracted_records_of_plugin_winos, this,
            &google_calendar::slot_extracted_records_of_plugin);
    connect(winos_obj, &google_calendar_winos::signal_total_tabs_processed_winos, this,
            &google_calendar::slot_total_tabs_processed);

    gtakeoutos_obj = new google_calendar_gtakeoutos(this);
    connect(gtakeoutos_obj, &google_calendar_gtakeoutos::signal_extracted_records_of_plugin_gtakeoutos, this,
            &google_calendar::slot_extracted_records_of_plugin);
    connect(gtakeoutos_obj, &google_calendar_gtakeoutos::signal_total_tabs_processed_gtakeoutos, this,
            &google_calendar::slot_total_tabs_processed);

    helper_obj = new plugin_helper_functions(this);
}

google_calendar::~google_calendar()
{
    delete ui;
    delete helper_obj;
}

QString google_calendar::pub_get_artifact_name()
{
    return QObject::tr("Google Calendar");
}

void google_calendar::pub_set_engine_type(int type)
{
    type_engine_int = type;
    plugin_static_function::set_engine_type(type);
    macos_obj->macos_set_engine_type(type);
    ios_uid_obj->ios_uid_set_engine_type(type);
    winos_obj->winos_set_engine_type(type);
    gtakeoutos_obj->gtakeoutos_set_engine_type(type);

    macos_obj->macos_set_plugin_name(pub_get_artifact_name());
    ios_uid_obj->ios_uid_set_plugin_name(pub_get_artifact_name());
    winos_obj->winos_set_plugin_name(pub_get_artifact_name());
    gtakeoutos_obj->gtakeoutos_set_plugin_name(pub_get_artifact_name());
}

void google_calendar::pub_set_essentials()
{
    bool_cancel_extraction = false;
    records_extracted_qint64 = 0;
    tabs_processed_int = 0;
    plugin_static_function::set_essentials();
    helper_obj->set_essentials();
    macos_obj->macos_set_essentials();
    ios_uid_obj->ios_uid_set_essentials();
    winos_obj->winos_set_essentials();
    gtakeoutos_obj->gtakeoutos_set_essentials();
}

void google_calendar::pub_set_source_count(int count)
{
    macos_obj->macos_set_source_count(count);
    ios_uid_obj->ios_uid_set_source_count(count);
    winos_obj->winos_set_source_count(count);
    gtakeoutos_obj->gtakeoutos_set_source_count(count);
    plugin_static_function::set_source_count(count);
}

void google_calendar::pub_set_ios_uid_backup_pointer(ios_uid_backup_parser* parser)
{
    ios_uid_obj->ios_uid_set_ios_backup_pointer(parser);
}

void google_calendar::pub_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info info)
{
    plugin_static_function::set_desktop_info(info);
    macos_obj->macos_set_desktop_info(info);
    ios_uid_obj->ios_uid_set_desktop_info(info);
    winos_obj->winos_set_desktop_info(info);
    gtakeoutos_obj->gtakeoutos_set_desktop_info(info);
}

void google_calendar::pub_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info)
{
    plugin_static_function::set_general_info(info);
    macos_obj->macos_set_general_info(info);
    ios_uid_obj->ios_uid_set_general_info(info);
    winos_obj->winos_set_general_info(info);
    gtakeoutos_obj->gtakeoutos_set_general_info(info);
}

void google_calendar::pub_set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info)
{
    os_scheme_internal_QString = info.os_scheme_internal;
    plugin_static_function::set_source_info(info);
    macos_obj->macos_set_source_info(info);
    ios_uid_obj->ios_uid_set_source_info(info);
    winos_obj->winos_set_source_info(info);
    gtakeoutos_obj->gtakeoutos_set_source_info(info);
}

void google_calendar::pub_cancel_extraction()
{
    bool_cancel_extraction = true;
    plugin_static_function::set_cancel_extraction(true);
    helper_obj->set_cancel_extraction(true);
    macos_obj->macos_cancel_extraction();
    ios_uid_obj->ios_uid_cancel_extraction();
    winos_obj->winos_cancel_extraction();
    gtakeoutos_obj->gtakeoutos_cancel_extraction();
}

void google_calendar::pub_generate_chat_html_pages() {}

void google_calendar::pub_remove_temporary_asthetics()
{
    plugin_static_function::remove_directory(tmp_directory_QString);
    plugin_static_function::close_debug_file();
}

void google_calendar::slot_m_process_finished(int status)
{
    Q_UNUSED(status);
    bool_process_finished = true;
}

void google_calendar::slot_extracted_records_of_plugin(qint64 records)
{
    records_extracted_qint64 = records;
    emit signal_extracted_records_of_plugin_overall(records);
}

void google_calendar::slot_total_tabs_processed(int count)
{
    tabs_processed_int = count;
    emit signal_tab_processed_of_plugin_overall(count);
}
