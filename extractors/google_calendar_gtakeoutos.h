#ifndef GOOGLE_CALENDAR_GTAKEOUTOS_H
#define GOOGLE_CALENDAR_GTAKEOUTOS_H

#include "extractors/extractor_run_settings.h"
#include "plugin/host_records.h"
#include "plugin/ios_uid_backup_parser.h"

#include <QStringList>
#include <QWidget>

class plugin_helper_functions;
class ics_calendar_file;
class ics_calendar_store;
struct ics_row_provenance;
struct ics_settled_event;
struct calendar_walk_entry;
struct source_file_record;

class google_calendar_gtakeoutos : public QWidget
{
    Q_OBJECT

  public:
    explicit google_calendar_gtakeoutos(QWidget* parent = nullptr);

    void gtakeoutos_set_plugin_helper_obj(plugin_helper_functions* obj);
    void gtakeoutos_set_record_count(qint64 count);
    void gtakeoutos_set_tab_processed_count(int count);
    void gtakeoutos_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info info);
    void gtakeoutos_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info);
    void gtakeoutos_set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info);
    void gtakeoutos_set_plugin_name(QString name);
    void gtakeoutos_set_destination_location(QString result_dir, QString tmp_dir, QString db_file);
    void gtakeoutos_set_essential_for_vorix_desk_extraction(QStringList tables);
    void gtakeoutos_set_engine_type(int type);
    void gtakeoutos_set_essentials();
    void gtakeoutos_cancel_extraction();
    void gtakeoutos_set_source_count(int count);
    void gtakeoutos_find_artifacts_source();
    void gtakeoutos_extract_artifacts();

    // The first calendar folder found (empty when none), and all of them, as shown in the log.
    QString calendar_directory() const;
    QStringList calendar_directories() const;

  signals:
    void signal_extracted_records_of_plugin_gtakeoutos(qint64 records);
    void signal_total_tabs_processed_gtakeoutos(int count);

  private:
    void find_source_file();
    void extract_plugin_artifacts();
    void extract_ics_calendar_events();
    QList<calendar_walk_entry> calendar_files() const;
    bool read_ics_file(const QByteArray& path, ics_calendar_file& calendar_file, ics_calendar_store& store,
                       const QString& db_name, source_file_record* record);
    bool store_row(const ics_settled_event& event, ics_calendar_store& store,
                   const ics_row_provenance& provenance, const QString& db_name);
    ics_row_provenance provenance_of(const QByteArray& path) const;
    QString relative_path_of(const QByteArray& path) const;

    extractor_run_settings run;
    QString takeout_email_id;
    // The calendar folders found by find_source_file(), as the file system's bytes.
    QList<QByteArray> calendar_directories_bytes;
};

#endif
