#ifndef HOST_RECORDS_H
#define HOST_RECORDS_H

// Records the host hands to every plug-in. The host compiles against these layouts:
// member order and types must not change, including members the plug-in never reads.

#include <QList>
#include <QString>
#include <QStringList>

struct struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account
{
    QString system_user;
    QString domain_user;
};

struct struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info
{
    QString source_path;
    QString source_type_internal;
    QString os_scheme_display;
    QString os_scheme_internal;
    QString os_version_full;
    QList<struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account> system_account_list;
    QString source_extra_7;
    QString source_extra_8;
    QStringList source_extra_9;
    QString source_extra_10;
    QString takeout_email_id;
    QString source_extra_12;
    QString source_extra_13;
};

struct struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info
{
    QString desktop_text_1;
    QString desktop_text_2;
    bool desktop_flag = false;
    QString desktop_text_3;
    QString desktop_text_4;
};

struct struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info
{
    bool reserved_flag = false;
    bool debug_mode_status = false;
    bool debug_print_on_terminal = false;
    bool debug_print_in_file = false;
    bool debug_encryption_status = false;
    QString debug_file_path;
};

#endif
