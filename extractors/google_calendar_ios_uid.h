#ifndef GOOGLE_CALENDAR_IOS_UID_H
#define GOOGLE_CALENDAR_IOS_UID_H

#include "extractors/extractor_run_settings.h"
#include "plugin/host_records.h"
#include "plugin/ios_uid_backup_parser.h"

#include <QStringList>
#include <QWidget>

class plugin_helper_functions;

class google_calendar_ios_uid : public QWidget
{
    Q_OBJECT

  public:
    explicit google_calendar_ios_uid(QWidget* parent = nullptr);

    void ios_uid_set_plugin_helper_obj(plugin_helper_functions* obj);
    void ios_uid_set_record_count(qint64 count);
    void ios_uid_set_tab_processed_count(int count);
    void ios_uid_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info info);
    void ios_uid_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info);
    void ios_uid_set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info);
    void ios_uid_set_plugin_name(QString name);
    void ios_uid_set_destination_location(QString result_dir, QString tmp_dir, QString db_file);
    void ios_uid_set_essential_for_vorix_desk_extraction(QStringList tables);
    void ios_uid_set_engine_type(int type);
    void ios_uid_set_essentials();
    void ios_uid_cancel_extraction();
    void ios_uid_set_source_count(int count);
    void ios_uid_find_artifacts_source();
    void ios_uid_extract_artifacts();
    void ios_uid_set_ios_backup_pointer(ios_uid_backup_parser* parser);

  signals:
    void signal_extracted_records_of_plugin_ios_uid(qint64 records);
    void signal_total_tabs_processed_ios_uid(int count);

  private:
    void find_source_file();
    void extract_plugin_artifacts();

    extractor_run_settings run;
    ios_uid_backup_parser* ios_backup_parser_pointer = nullptr; // the host's, never dereferenced
};

#endif
