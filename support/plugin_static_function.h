#ifndef PLUGIN_STATIC_FUNCTION_H
#define PLUGIN_STATIC_FUNCTION_H

// Shared run state and utilities of the suite's plug-ins, used only through static members.
// The implementation is split by concern into plugin_static_function_*.cpp.

#include "plugin/host_records.h"
#include "support/global_artifact_records.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <atomic>

class plugin_static_function
{
public:
    // Run state (read across the library).
    static int type_engine_int;
    static int source_count_int;
    static std::atomic<bool> bool_cancel_extraction;
    static bool debug_mode_status_bool;
    static bool debug_print_on_terminal_bool;
    static bool debug_print_in_file_bool;
    static bool debug_encryption_status_bool;
    static QString debug_file_path_QString;
    static QFile debug_file_regular_QFile;
    static QString source_os_version_full;
    static QList<struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account> system_account_QList;

    static void set_essentials();
    static void set_engine_type(int type);
    static void set_source_count(int count);
    static void set_cancel_extraction(bool cancel);

    // Host records.
    static void set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info info);
    static void set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info);
    static void clear_variables_vorix_and_artifact_common_source_info(
        struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info& info);
    static void clear_variables_vorix_and_artifact_common_desktop_info(
        struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info& info);
    static void clear_variables_vorix_and_artifact_common_general_info(
        struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info& info);

    // Debug log.
    static void set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info);
    static void open_debug_file();
    static void close_debug_file();
    static void app_debug(QString text, QString caller);
    static QString encrypt_string(QString text, QString caller);

    // Source and file naming.
    static QString get_source_count_name();
    static QString get_complete_file_path(QString path, QString user_name, QString path_type);
    static QString get_relative_file_path(QString path, QString root, QString path_type);
    static QPair<QString, QString> get_final_artifact_source_file(QString path, QString root, QString path_type);
    static struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account extract_user_name_from_sourcefile(QString path,
                                                                                                   QString root);
    static QString get_available_file(QString file_path, QString dest_dir, QString caller);
    static bool is_file_exist_in_dir(QString dir, QString file_name, QString caller);

    // SQL command helpers.
    static bool execute_db_command_by_dbpath(QString command, QString db_path, QString caller);
    static bool execute_db_command_with_addbindvalue_by_dbpath(QString command, QStringList values, QString db_path,
                                                               QString caller);
    static bool execute_db_command_by_dbreference(QString command, QSqlDatabase& db, QString caller);
    static bool execute_db_command_with_addbindvalue_by_dbreference(QString command, QStringList values,
                                                                    QSqlDatabase& db, QString caller);
    static QStringList get_stringlist_from_db_by_dbreference(QString command, int column, QSqlDatabase& db,
                                                             QString caller);
    static QStringList get_stringlist_from_db_with_addbindvalues_by_dbreference(QString command, QStringList values,
                                                                                int column, QSqlDatabase& db,
                                                                                QString caller);
    static QStringList get_stringlist_from_db_by_dbpath(QString command, int column, QString db_path, QString caller);
    static QStringList get_stringlist_from_db_with_addbindvalues_by_dbpath(QString command, QStringList values,
                                                                           int column, QString db_path,
                                                                           QString caller);
    static bool check_value_existence_in_db_by_dbreference(QString command, int column, QString value,
                                                           QSqlDatabase db);
    static QStringList get_total_tables_list_by_dbpath(QString db_path, QString caller);

    // Takeout time values. The zoned form applies an iCalendar TZID (IANA or Windows id).
    static QString convert_T_Z_time_to_epoch(QString value);
    static QString convert_T_Z_time_to_epoch(QString value, QString zone_id);
    static QString convert_google_time_to_epoch(QString value);

    // Date and time conversions.
    static QString get_human_readable_time(QString seconds);
    static QString human_readable_size(QString bytes);
    static QString mining_suffix(QString path);
    static QString mining_size(QString path);
    static QString convert_apple_time_to_epoch(QString value);
    static QString convert_human_readable_to_epoch_1(QString value);
    static QString convert_human_readable_to_epoch_2(QString value);
    static QString convert_human_readable_to_epoch_3(QString value);
    static int convert_timezone_to_seconds(QString value);
    static QString convert_timestamp_to_human_readable_in_UTC(QString value);
    static QDateTime get_datetime_from_string_with_iso_date(QString value);
    static struct_GLOBAL_ARTIFACT_posix_timestamps get_posix_timestamp(QString path, QString prefix);

    // Value filters.
    static QString get_filtered_number_value(QString value);
    static QString get_filtered_boolean_value(QString value);
    static QString get_filtered_cfstring_value(QString value);
    static QString get_filtered_wherefrom_value(QString value);
    static QString get_filtered_string_value(QString value);
    static QString get_filtered_date_value(QString value);
    static QString convert_string_to_unicode(QString value);
    static QList<QString> get_unmatched_varible_list_of_parentlist(QList<QString> parent, QList<QString> other);
    static QString get_source_os_scan_version(QString os_scheme);

    // macOS object value getters.
    // Key, dictionary and date are platform objects the caller owns (support/macos_values/macos_objects.h).
    static QString convert_cfstring_to_qstring(const struct macos_string* text);
    static QString get_nsstring_values(void* key, void* dictionary);
    static QString get_nsnumber_values(void* key, void* dictionary);
    static QString get_nsnumber_values_yes_no(void* key, void* dictionary);
    static QString get_nsnumber_key_and_value_yes_no(void* key, void* dictionary, QString label);
    static QString get_nsstring_key_and_values(void* key, void* dictionary, QString label);
    static QString get_nsnumber_key_and_values(void* key, void* dictionary, QString label);
    static QString get_nsarray_key_and_values(void* key, void* dictionary, QString label);
    static qint64 convert_nsdate_to_epoch(const struct macos_date* date, const struct macos_object* object);
    static struct_GLOBAL_ARTIFACT_used_dates extract_used_date(QString file_path);

    // Directory operations.
    static void copy_directory(QString source_dir, QString destination_dir);
    static void remove_directory(QString dir_path);
};

#endif
