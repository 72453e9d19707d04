// gcal-extract: runs the Google Calendar plug-in over an unpacked Takeout folder, the way the
// suite does, and reports how many events landed in the result database.

#include "host/cancel_requester.h"
#include "host/extract_options.h"
#include "host/progress_listener.h"
#include "plugin/google_calendar.h"
#include "timeline/timeline_exporter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdio>
#include <unistd.h>

namespace
{
enum exit_status
{
    exit_done = 0,
    exit_no_database = 1,
    exit_usage = 2,
    exit_no_plugin = 3,
    exit_bad_source = 4,
    exit_cancelled = 5,
    exit_timeline_failed = 6
};

void print_error(const QString& text)
{
    std::fprintf(stderr, "gcal-extract: %s\n", qPrintable(text));
}

using create_object_function = void* (*)();

google_calendar* load_plugin(QLibrary& library, QString* error)
{
    if (!library.load())
    {
        *error = library.errorString();
        return nullptr;
    }
    auto create = reinterpret_cast<create_object_function>(library.resolve("create_object"));
    if (!create)
    {
        *error = library.errorString();
        return nullptr;
    }
    return static_cast<google_calendar*>(create());
}

struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info source_record(const extract_options& options)
{
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info;
    info.source_path = options.source_path;
    info.os_scheme_internal = "gTakeoutOS";
    info.os_scheme_display = options.scheme_display;
    info.takeout_email_id = options.email;
    return info;
}

struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info debug_record(const extract_options& options)
{
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info;
    info.debug_mode_status = !options.log_file.isEmpty() || options.log_terminal;
    info.debug_print_on_terminal = options.log_terminal;
    info.debug_print_in_file = !options.log_file.isEmpty();
    info.debug_encryption_status = options.encrypt_log;
    info.debug_file_path = options.log_file;
    return info;
}

// Drives every operation in the order the suite uses.
void run_lifecycle(google_calendar* plugin, const extract_options& options)
{
    plugin->pub_set_essentials();
    plugin->pub_set_engine_type(options.engine);
    plugin->pub_set_source_count(options.source_number);
    plugin->pub_set_ios_uid_backup_pointer(nullptr);
    plugin->pub_set_general_info(debug_record(options));
    plugin->pub_set_desktop_info(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info());
    plugin->pub_set_source_info(source_record(options));
    plugin->pub_set_essential_for_vorix_desk_extraction(options.tables, QStringList());
    plugin->pub_set_result_directory(options.result_dir);
    plugin->pub_create_db_tables();
    plugin->pub_set_clear_db(!options.keep_rows);
    plugin->pub_set_extended_attributes_list(QStringList());
    plugin->pub_find_source_file();
    plugin->pub_extract_artifacts();
    plugin->pub_remove_temporary_asthetics();
}

QString database_path(const extract_options& options)
{
    return QDir(options.result_dir)
        .absoluteFilePath("Artifacts_Result/Google_Calendar/Google_Calendar.sqlite");
}

qint64 stored_event_count(const QString& db_path)
{
    const QString name = "gcal-extract summary";
    qint64 count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(db_path);
        // Counting must not create a database; it opens for writing all the same, so that a
        // journal a failed run left behind is rolled back as by any later reader.
        if (QFileInfo(db_path).isFile() && db.open())
        {
            QSqlQuery query("SELECT count(*) FROM calendar_events", db);
            if (query.next())
                count = query.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return count;
}

QString default_plugin_path()
{
    return QCoreApplication::applicationDirPath() + "/libgoogle_calendar.so";
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Our options are read before Qt sees them: QApplication would take --plugin and other
    // names of its own out of the command line.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    int qt_argc = 1;
    QApplication app(qt_argc, argv);

    extract_options options;
    const QString usage_error = options.parse(arguments);
    if (!usage_error.isEmpty())
    {
        print_error(usage_error);
        std::fputs(qPrintable(extract_options::usage()), stderr);
        return exit_usage;
    }
    // Refused before the run, not after an extraction that may take long.
    const QFileInfo timeline_out(options.timeline_path);
    if (!options.timeline_path.isEmpty() && timeline_out.exists() && !timeline_out.isDir() &&
        !options.timeline.force)
    {
        print_error("OUT exists, --timeline-force replaces it: " + options.timeline_path);
        return exit_timeline_failed;
    }

    const QFileInfo source(options.source_path);
    if (!source.isDir() || !source.isReadable())
    {
        print_error("SOURCE is not a readable folder: " + options.source_path);
        return exit_bad_source;
    }
    // One clean root ending in a single "/", however SOURCE was typed.
    options.source_path = QDir::cleanPath(source.absoluteFilePath());
    if (!options.source_path.endsWith('/'))
        options.source_path += '/';

    QLibrary library(options.plugin_path.isEmpty() ? default_plugin_path() : options.plugin_path);
    QString load_error;
    google_calendar* plugin = load_plugin(library, &load_error);
    if (!plugin)
    {
        print_error("cannot load the plug-in: " + load_error);
        return exit_no_plugin;
    }

    bool cancelled = false;
    {
        progress_listener progress(!options.quiet && isatty(STDERR_FILENO));
        QObject::connect(plugin, SIGNAL(signal_extracted_records_of_plugin_overall(qint64)), &progress,
                         SLOT(slot_records(qint64)));
        cancel_requester::install_interrupt_handler();
        cancel_requester requester([plugin] { plugin->pub_cancel_extraction(); }, options.cancel_after_ms);
        run_lifecycle(plugin, options);
        cancelled = requester.requested();
    }
    delete plugin;

    const QString db_path = database_path(options);
    const qint64 events = stored_event_count(db_path);
    if (events < 0)
    {
        // No result database to show: never a success, whatever the plug-in went through.
        print_error("cannot count the events in " + db_path);
        return exit_no_database;
    }
    std::printf("%lld events in calendar_events of %s\n", static_cast<long long>(events),
                qPrintable(db_path));
    if (cancelled)
        return exit_cancelled;
    if (!options.timeline_path.isEmpty())
    {
        timeline_exporter exporter(options.timeline);
        if (!exporter.export_timeline(db_path, options.timeline_path))
        {
            print_error(exporter.error());
            return exit_timeline_failed;
        }
        for (const QString& problem : exporter.problems())
            print_error("timeline: not expanded in full: " + problem);
        for (const QString& zone : exporter.unknown_zones())
            print_error("timeline: note: " + zone);
        std::printf("%s\n", qPrintable(exporter.summary_line()));
    }
    return exit_done;
}
