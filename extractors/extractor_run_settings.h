#ifndef EXTRACTOR_RUN_SETTINGS_H
#define EXTRACTOR_RUN_SETTINGS_H

// What every extractor keeps of the host's settings between its scheme-prefixed setters.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <atomic>

class plugin_helper_functions;

struct extractor_run_settings
{
    qint64 records_extracted_qint64 = 0;
    int tabs_processed_int = 0;
    QElapsedTimer elapsed_timer;
    plugin_helper_functions* helper_obj = nullptr; // not owned
    QString tmp_directory_QString;
    QString destination_db_file_QString;
    QString result_directory_QString;
    int type_engine_int = -1;
    std::atomic<bool> bool_cancel_extraction{false};
    int source_count_int = 0;
    QStringList tables_QStringList;
    QString plugin_name_QString;
    QString source_path;
    QString source_type_internal;
    QString os_scheme_display;
};

#endif
