#include "support/plugin_static_function.h"

int plugin_static_function::type_engine_int = -1;
int plugin_static_function::source_count_int = -1;
std::atomic<bool> plugin_static_function::bool_cancel_extraction{false};
bool plugin_static_function::debug_mode_status_bool = false;
bool plugin_static_function::debug_print_on_terminal_bool = false;
bool plugin_static_function::debug_print_in_file_bool = false;
bool plugin_static_function::debug_encryption_status_bool = false;
QString plugin_static_function::debug_file_path_QString;
QFile plugin_static_function::debug_file_regular_QFile;
QString plugin_static_function::source_os_version_full;
QList<struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account> plugin_static_function::system_account_QList;

void plugin_static_function::set_essentials()
{
    type_engine_int = -1;
    source_count_int = -1;
    bool_cancel_extraction = false;
    debug_mode_status_bool = false;
    debug_print_on_terminal_bool = false;
    debug_print_in_file_bool = false;
    debug_file_path_QString.clear();
    system_account_QList.clear();
}

void plugin_static_function::set_engine_type(int type) { type_engine_int = type; }

void plugin_static_function::set_source_count(int count) { source_count_int = count; }

void plugin_static_function::set_cancel_extraction(bool cancel) { bool_cancel_extraction = cancel; }

void plugin_static_function::set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info) {}

void plugin_static_function::set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info)
{
    source_os_version_full = info.os_version_full;
    system_account_QList = info.system_account_list;
}

void plugin_static_function::clear_variables_vorix_and_artifact_common_source_info(
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info& info)
{
    info.source_path = QString();
    info.source_type_internal = QString();
    info.source_extra_7 = QString();
    info.takeout_email_id = QString();
    info.source_extra_8 = QString();
    info.source_extra_10 = QString();
    info.source_extra_9.clear();
    info.os_scheme_display = QString();
    info.os_scheme_internal = QString();
    info.os_version_full = QString();
    info.system_account_list.clear();
}

void plugin_static_function::clear_variables_vorix_and_artifact_common_desktop_info(
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info& info)
{
    info.desktop_text_1 = QString();
    info.desktop_text_2 = QString();
    info.desktop_flag = false;
    info.desktop_text_3 = QString();
    info.desktop_text_4 = QString();
}

void plugin_static_function::clear_variables_vorix_and_artifact_common_general_info(
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info& info)
{
    info.reserved_flag = false;
    info.debug_mode_status = false;
    info.debug_print_on_terminal = false;
    info.debug_print_in_file = false;
    info.debug_file_path = QString();
}
