#ifndef EXTRACT_OPTIONS_H
#define EXTRACT_OPTIONS_H

#include "timeline/timeline_settings.h"

#include <QString>
#include <QStringList>

// The command line of gcal-extract, parsed.
struct extract_options
{
    QStringList sources; // as given: one folder, or one or more archives
    QString source_path; // the root handed to the plug-in (found by gcal-extract)
    QString result_dir;
    bool help = false;
    long long unpack_limit_mb = 4096;
    QString email;
    int source_number = 1;
    QString scheme_display = "Google Takeout";
    int engine = 0;
    QStringList tables{"calendar_events"};
    bool keep_rows = false;
    QString log_file;
    bool log_terminal = false;
    bool encrypt_log = false;
    long long cancel_after_ms = -1;
    QString plugin_path;
    QString timeline_path;
    timeline_settings timeline;
    bool quiet = false;

    // Empty on success, else the reason the command line is unusable.
    QString parse(const QStringList& arguments);
    static QString usage();
};

#endif
