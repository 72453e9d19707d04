#include "extractors/google_calendar_gtakeoutos.h"

#include "extractors/evidence_path.h"
#include "extractors/takeout_calendar_discovery.h"
#include "support/plugin_static_function.h"

google_calendar_gtakeoutos::google_calendar_gtakeoutos(QWidget* parent) : QWidget(parent) {}

void google_calendar_gtakeoutos::gtakeoutos_set_plugin_helper_obj(plugin_helper_functions* obj)
{
    run.helper_obj = obj;
}

void google_calendar_gtakeoutos::gtakeoutos_set_record_count(qint64 count)
{
    run.records_extracted_qint64 = count;
}

void google_calendar_gtakeoutos::gtakeoutos_set_tab_processed_count(int count)
{
    run.tabs_processed_int = count;
}

void google_calendar_gtakeoutos::gtakeoutos_set_desktop_info(
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info)
{
}

void google_calendar_gtakeoutos::gtakeoutos_set_general_info(
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info)
{
}

void google_calendar_gtakeoutos::gtakeoutos_set_source_info(
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info)
{
    run.source_path = info.source_path;
    run.source_type_internal = info.source_type_internal;
    takeout_email_id = info.takeout_email_id;
    run.os_scheme_display = info.os_scheme_display;
}

void google_calendar_gtakeoutos::gtakeoutos_set_plugin_name(QString name)
{
    run.plugin_name_QString = name.trimmed();
}

void google_calendar_gtakeoutos::gtakeoutos_set_destination_location(QString result_dir, QString tmp_dir,
                                                                     QString db_file)
{
    run.result_directory_QString = result_dir;
    run.tmp_directory_QString = tmp_dir;
    run.destination_db_file_QString = db_file;
}

void google_calendar_gtakeoutos::gtakeoutos_set_essential_for_vorix_desk_extraction(QStringList tables)
{
    run.tables_QStringList = tables;
}

void google_calendar_gtakeoutos::gtakeoutos_set_engine_type(int type)
{
    run.type_engine_int = type;
}

void google_calendar_gtakeoutos::gtakeoutos_set_essentials()
{
    run.bool_cancel_extraction = false;
}

void google_calendar_gtakeoutos::gtakeoutos_cancel_extraction()
{
    run.bool_cancel_extraction = true;
}

void google_calendar_gtakeoutos::gtakeoutos_set_source_count(int count)
{
    run.source_count_int = count;
}

void google_calendar_gtakeoutos::gtakeoutos_find_artifacts_source()
{
    find_source_file();
}

void google_calendar_gtakeoutos::gtakeoutos_extract_artifacts()
{
    run.elapsed_timer.start();
    extract_plugin_artifacts();
    emit signal_extracted_records_of_plugin_gtakeoutos(run.records_extracted_qint64);
}

QString google_calendar_gtakeoutos::calendar_directory() const
{
    return calendar_directories_bytes.isEmpty()
               ? QString()
               : evidence_path::display_form(calendar_directories_bytes.first());
}

QStringList google_calendar_gtakeoutos::calendar_directories() const
{
    QStringList folders;
    for (const QByteArray& folder : calendar_directories_bytes)
        folders << evidence_path::display_form(folder);
    return folders;
}

// The folder named Calendar first; without it, every folder directly under the source path whose
// own .ics files are Google Calendar exports, all of them, in the order of their name bytes
// (takeout_calendar_discovery.h).
void google_calendar_gtakeoutos::find_source_file()
{
    const QString caller = "void google_calendar_gtakeoutos::find_source_file()";
    plugin_static_function::app_debug("[find_source_file] starts", caller);

    calendar_directories_bytes.clear();

    // A source path without its final separator must not lose the whole calendar.
    QString source_root = run.source_path;
    if (!source_root.isEmpty() && !source_root.endsWith("/"))
        source_root += "/";
    bool by_content = false;
    if (!run.source_path.isEmpty())
        calendar_directories_bytes =
            takeout_calendar_discovery::calendar_folders(evidence_path::bytes_of(source_root), &by_content);
    if (by_content)
        plugin_static_function::app_debug(
            QString("[find_source_file] no Calendar folder: %1 folder(s) whose own .ics files are Google "
                    "Calendar exports (PRODID names Google Calendar), all taken in byte order")
                .arg(calendar_directories_bytes.size()),
            caller);
    for (const QByteArray& folder : std::as_const(calendar_directories_bytes))
        plugin_static_function::app_debug(
            "[find_source_file] Source file found at path-->>" + evidence_path::display_form(folder), caller);

    plugin_static_function::app_debug("[find_source_file] end", caller);
}

void google_calendar_gtakeoutos::extract_plugin_artifacts()
{
    const QString caller = "void google_calendar_gtakeoutos::extract_plugin_artifacts()";
    plugin_static_function::app_debug("[extract_plugin_artifacts] starts", caller);

    if (run.type_engine_int == 0 && run.tables_QStringList.contains("calendar_events"))
    {
        extract_ics_calendar_events();
        emit signal_extracted_records_of_plugin_gtakeoutos(run.records_extracted_qint64);
        ++run.tabs_processed_int;
        emit signal_total_tabs_processed_gtakeoutos(run.tabs_processed_int);
    }

    plugin_static_function::app_debug("[extract_plugin_artifacts] ends", caller);
}
