#include "plugin/google_calendar.h"

#include "extractors/google_calendar_gtakeoutos.h"
#include "extractors/google_calendar_ios_uid.h"
#include "extractors/google_calendar_macos.h"
#include "extractors/google_calendar_winos.h"
#include "support/plugin_static_function.h"

void google_calendar::log_unmatched_scheme(const QString& caller)
{
    plugin_static_function::app_debug(
        "------FAILED------- supported os scheme internal not matched, received os scheme internal =  " +
            os_scheme_internal_QString + ", plugin name is " + pub_get_artifact_name(),
        caller);
}

void google_calendar::pub_find_source_file()
{
    const QString caller = "virtual void google_calendar::pub_find_source_file()";
    if (os_scheme_internal_QString == "macOS")
        macos_obj->macos_find_artifacts_source();
    else if (os_scheme_internal_QString == "iOS_UID")
        ios_uid_obj->ios_uid_find_artifacts_source();
    else if (os_scheme_internal_QString == "winOS")
        winos_obj->winos_find_artifacts_source();
    else if (os_scheme_internal_QString == "gTakeoutOS")
        gtakeoutos_obj->gtakeoutos_find_artifacts_source();
    else
        log_unmatched_scheme(caller);
}

void google_calendar::pub_set_extended_attributes_list(QStringList list)
{
    macos_obj->macos_set_extended_attributes_list(list);
}

void google_calendar::pub_extract_artifacts()
{
    const QString caller = "virtual void google_calendar::pub_extract_artifacts()";
    plugin_static_function::app_debug("[pub_extract_artifacts] - START", caller);
    emit signal_extracted_records_of_plugin_overall(0);

    macos_obj->macos_set_plugin_helper_obj(helper_obj);
    macos_obj->macos_set_record_count(records_extracted_qint64);
    macos_obj->macos_set_tab_processed_count(tabs_processed_int);
    ios_uid_obj->ios_uid_set_plugin_helper_obj(helper_obj);
    ios_uid_obj->ios_uid_set_record_count(records_extracted_qint64);
    ios_uid_obj->ios_uid_set_tab_processed_count(tabs_processed_int);
    winos_obj->winos_set_plugin_helper_obj(helper_obj);
    winos_obj->winos_set_record_count(records_extracted_qint64);
    winos_obj->winos_set_tab_processed_count(tabs_processed_int);
    gtakeoutos_obj->gtakeoutos_set_plugin_helper_obj(helper_obj);
    gtakeoutos_obj->gtakeoutos_set_record_count(records_extracted_qint64);
    gtakeoutos_obj->gtakeoutos_set_tab_processed_count(tabs_processed_int);

    const bool known_scheme = os_scheme_internal_QString == "macOS" || os_scheme_internal_QString == "iOS_UID" ||
                              os_scheme_internal_QString == "winOS" || os_scheme_internal_QString == "gTakeoutOS";
    if (known_scheme && bool_cancel_extraction)
        return;

    if (os_scheme_internal_QString == "macOS")
        macos_obj->macos_extract_artifacts();
    else if (os_scheme_internal_QString == "iOS_UID")
        ios_uid_obj->ios_uid_extract_artifacts();
    else if (os_scheme_internal_QString == "winOS")
        winos_obj->winos_extract_artifacts();
    else if (os_scheme_internal_QString == "gTakeoutOS")
        gtakeoutos_obj->gtakeoutos_extract_artifacts();
    else
        log_unmatched_scheme(caller);

    emit signal_extracted_records_of_plugin_overall(records_extracted_qint64);
    plugin_static_function::app_debug("[pub_extract_artifacts] - END", caller);
}
