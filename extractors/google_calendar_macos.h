#ifndef GOOGLE_CALENDAR_MACOS_H
#define GOOGLE_CALENDAR_MACOS_H

#include "extractors/extractor_run_settings.h"
#include "plugin/host_records.h"
#include "plugin/ios_uid_backup_parser.h"

#include <QStringList>
#include <QWidget>

class plugin_helper_functions;

class google_calendar_macos : public QWidget
{
    Q_OBJECT

  public:
    explicit google_calendar_macos(QWidget* parent = nullptr);

    void macos_set_plugin_helper_obj(plugin_helper_functions* obj);
    void macos_set_record_count(qint64 count);
    void macos_set_tab_processed_count(int count);
    void macos_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info info);
    void macos_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info);
    void macos_set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info);
    void macos_set_plugin_name(QString name);
    void macos_set_destination_location(QString result_dir, QString tmp_dir, QString db_file);
    void macos_set_essential_for_vorix_desk_extraction(QStringList tables);
    void macos_set_engine_type(int type);
    void macos_set_essentials();
    void macos_cancel_extraction();
    void macos_set_source_count(int count);
    void macos_find_artifacts_source();
    void macos_extract_artifacts();
    void macos_set_extended_attributes_list(QStringList list);

    QStringList users() const { return users_QStringList; }

  signals:
    void signal_extracted_records_of_plugin_macos(qint64 records);
    void signal_total_tabs_processed_macos(int count);

  private:
    void find_source_file();
    void extract_plugin_artifacts();

    extractor_run_settings run;
    QStringList extended_attributes_QStringList;
    QStringList users_QStringList;

    void filter_extended_attribute_list();
};

#endif
