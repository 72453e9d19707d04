#ifndef GOOGLE_CALENDAR_H
#define GOOGLE_CALENDAR_H

// The plug-in object the host creates through create_object and drives through its virtual
// pub_ operations. The order of those operations is the host's calling interface.

#include "plugin/host_records.h"
#include "plugin/ios_uid_backup_parser.h"

#include <QFrame>
#include <QString>
#include <QStringList>

#include <atomic>

class Ui_google_calendar;
class plugin_helper_functions;
class google_calendar_macos;
class google_calendar_ios_uid;
class google_calendar_winos;
class google_calendar_gtakeoutos;

class google_calendar : public QFrame
{
    Q_OBJECT

public:
    explicit google_calendar(QWidget* parent = nullptr);
    ~google_calendar() override;

    virtual void pub_set_engine_type(int type);
    virtual QString pub_get_artifact_name();
    virtual void pub_set_essentials();
    virtual void pub_set_source_count(int count);
    virtual void pub_set_ios_uid_backup_pointer(ios_uid_backup_parser* parser);
    virtual void pub_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info info);
    virtual void pub_set_general_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info);
    virtual void pub_set_source_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info);
    virtual void pub_set_essential_for_vorix_desk_extraction(QStringList tables, QStringList other);
    virtual void pub_set_result_directory(QString dir);
    virtual void pub_create_db_tables();
    virtual void pub_set_clear_db(bool clear);
    virtual void pub_cancel_extraction();
    virtual void pub_find_source_file();
    virtual void pub_set_extended_attributes_list(QStringList list);
    virtual void pub_extract_artifacts();
    virtual void pub_generate_chat_html_pages();
    virtual void pub_remove_temporary_asthetics();

signals:
    void signal_extracted_records_of_plugin_overall(qint64 records);
    void signal_tab_processed_of_plugin_overall(int tab_count);

public slots:
    void slot_m_process_finished(int status);
    void slot_extracted_records_of_plugin(qint64 records);
    void slot_total_tabs_processed(int count);

private:
    void set_destination_location(QString dir);
    void create_destination_database();
    void create_db_tables();
    void clear_db_tables();
    void log_unmatched_scheme(const QString& caller);

    Ui_google_calendar* ui;
    bool bool_process_finished;
    qint64 records_extracted_qint64;
    int tabs_processed_int;
    QString tmp_directory_QString;
    QString destination_db_file_QString;
    QString result_directory_QString;
    int type_engine_int;
    std::atomic<bool> bool_cancel_extraction;
    QString os_scheme_internal_QString;
    QStringList tables_to_clear_QStringList;
    plugin_helper_functions* helper_obj;
    google_calendar_macos* macos_obj;
    google_calendar_ios_uid* ios_uid_obj;
    google_calendar_winos* winos_obj;
    google_calendar_gtakeoutos* gtakeoutos_obj;

};

#endif
