#ifndef EXTRACTION_FIXTURE_H
#define EXTRACTION_FIXTURE_H

// Runs a whole Takeout extraction in-process, the way the suite drives the plug-in.

#include "plugin/google_calendar.h"
#include "tests/test_support.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace extraction_fixture
{
struct settings
{
    QString email = "alex@example.com";
    int source_number = 1;
    QString scheme_display = "Google Takeout";
    QString source_type;
    QString log_file;
};

inline QString database_of(const QString& result_dir)
{
    return result_dir + "/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite";
}

inline void prepare(google_calendar& plugin, const QString& source_dir, const QString& result_dir,
                    const settings& s = settings())
{
    plugin.pub_set_essentials();
    plugin.pub_set_engine_type(0);
    plugin.pub_set_source_count(s.source_number);
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info general;
    general.debug_mode_status = !s.log_file.isEmpty();
    general.debug_print_in_file = !s.log_file.isEmpty();
    general.debug_file_path = s.log_file;
    plugin.pub_set_general_info(general);
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info source;
    source.source_path = source_dir.endsWith("/") ? source_dir : source_dir + "/";
    source.os_scheme_internal = "gTakeoutOS";
    source.os_scheme_display = s.scheme_display;
    source.takeout_email_id = s.email;
    source.source_type_internal = s.source_type;
    plugin.pub_set_source_info(source);
    plugin.pub_set_essential_for_vorix_desk_extraction({"calendar_events"}, {});
    plugin.pub_set_result_directory(result_dir);
    plugin.pub_create_db_tables();
    plugin.pub_set_clear_db(true);
    plugin.pub_find_source_file();
}

// Extracts `source_dir` (the folder holding Calendar/) into `result_dir`; returns the database path.
inline QString run(const QString& source_dir, const QString& result_dir, const settings& s = settings())
{
    google_calendar plugin;
    prepare(plugin, source_dir, result_dir, s);
    plugin.pub_extract_artifacts();
    plugin.pub_remove_temporary_asthetics();
    return database_of(result_dir);
}

// Independent count of events: lines that open a VEVENT (any case) once folds are undone. An
// event cut off before its END:VEVENT is still an event.
inline int event_count(QByteArray bytes)
{
    bytes.replace("\r\n ", "").replace("\r\n\t", "").replace("\n ", "").replace("\n\t", "");
    if (!bytes.contains('\n'))
        return 0;
    int count = 0;
    for (const QByteArray& line : bytes.split('\n'))
        count += line.trimmed().toUpper() == "BEGIN:VEVENT" ? 1 : 0;
    return count;
}
} // namespace extraction_fixture

#endif
