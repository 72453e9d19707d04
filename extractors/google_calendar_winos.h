#ifndef GOOGLE_CALENDAR_WINOS_H
#define GOOGLE_CALENDAR_WINOS_H

#include "extractors/extractor_run_settings.h"
#include "plugin/host_records.h"
#include "plugin/ios_uid_backup_parser.h"

#include <QStringList>
#include <QWidget>

class plugin_helper_functions;

class google_calendar_winos : public QWidget
{
    Q_OBJECT

  public:
    explicit google_calendar_winos(QWidget* parent = nullptr);

    void winos_set_plugin_helper_obj(plugin_helper_functions* obj);
    void winos_set_record_count(qint64 count);
    void winos_set_tab_processed_count(int count);
    void winos_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info info);
    void winos_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info);
    void winos_set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info);
    void winos_set_plugin_name(QString name);
    void winos_set_destination_location(QString result_dir, QString tmp_dir, QString db_file);
    void winos_set_essential_for_vorix_desk_extraction(QStringList tables);
    void winos_set_engine_type(int type);
    void winos_set_essentials();
    void winos_cancel_extraction();
    void winos_set_source_count(int count);
    void winos_find_artifacts_source();
    void winos_extract_artifacts();

    QStringList users() const { return users_QStringList; }

  signals:
    void signal_extracted_records_of_plugin_winos(qint64 records);
    void signal_total_tabs_processed_winos(int count);

  private:
    void find_source_file();
    void extract_plugin_artifacts();

    extractor_run_settings run;
    QStringList users_QStringList;
};

#endif
