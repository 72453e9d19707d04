// gcal-extract: runs the Google Calendar plug-in over a Takeout export (a folder or the downloaded
// archives), the way the suite does, and reports what this run read and stored.

#include "extractors/evidence_path.h"
#include "host/cancel_requester.h"
#include "host/extract_options.h"
#include "host/progress_listener.h"
#include "host/takeout_source.h"
#include "plugin/google_calendar.h"
#include "plugin/result_schema.h"
#include "timeline/timeline_exporter.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <clocale>
#include <cstdio>
#include <langinfo.h>
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
    exit_timeline_failed = 6,
    exit_no_calendar = 7,
    exit_log_unwritable = 8
};

// Qt's start-up warnings about its runtime folder are not the program's words: only they are
// dropped, everything else goes to the handler Qt had.
QtMessageHandler qt_handler = nullptr;
void quiet_start_up(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith("QStandardPaths: ") && message.contains("runtime"))
        return;
    if (qt_handler)
        qt_handler(type, context, message);
}

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

// Whether the result database exists and can be read; opened for writing all the same, so that a
// journal a failed run left behind is rolled back as by any later reader. Never creates one.
bool database_is_readable(const QString& db_path)
{
    const QString name = "gcal-extract check";
    bool readable = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(db_path);
        if (QFileInfo(db_path).isFile() && db.open())
        {
            QSqlQuery query("SELECT count(*) FROM calendar_events", db);
            readable = query.next();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return readable;
}

// This run's row of calendar_extraction_runs: written by the plug-in in this process, after the
// program started.
struct run_summary
{
    bool found = false;
    qint64 run_int = -1;
    qint64 events = 0;
    qint64 files_read = 0;
    qint64 files_left_out = 0;
    QString outcome;
};

// What gcal-extract adds to the plug-in's custody rows: the sources as given, and for archives
// each archive's hash and the archive and member of every file.
struct host_record
{
    QStringList sources;
    QString settings;
    QList<takeout_source::archive_report> archives;
    QString root;          // the root handed to the plug-in
};

// The member's ics_file_path, as the plug-in writes it for the unpacked file.
QString ics_path_of(const QByteArray& unpacked_to, const QString& root)
{
    QString path = evidence_path::display_form(unpacked_to).trimmed();
    if (path.startsWith(root))
        path.remove(0, root.size());
    if (!path.startsWith('/'))
        path.prepend('/');
    return path;
}

bool exec_logged(QSqlQuery& query)
{
    if (query.exec())
        return true;
    std::fprintf(stderr, "gcal-extract: cannot record the sources in the database: %s\n",
                 qPrintable(query.lastError().text()));
    return false;
}

run_summary finish_records(const QString& db_path, const QDateTime& started, const host_record& host)
{
    run_summary summary;
    const QString name = "gcal-extract summary";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(db_path);
        if (QFileInfo(db_path).isFile() && db.open())
        {
            QSqlQuery query(db);
            query.prepare("SELECT INT, events_stored, files_read, files_left_out, outcome FROM "
                          "calendar_extraction_runs WHERE process_id = ? AND started_utc >= ? ORDER BY INT "
                          "DESC LIMIT 1");
            query.addBindValue(QCoreApplication::applicationPid());
            query.addBindValue(started.toString(Qt::ISODate));
            if (query.exec() && query.next())
            {
                summary.found = true;
                summary.run_int = query.value(0).toLongLong();
                summary.events = query.value(1).toLongLong();
                summary.files_read = query.value(2).toLongLong();
                summary.files_left_out = query.value(3).toLongLong();
                summary.outcome = query.value(4).toString();
            }
        }
        if (summary.found && db.transaction())
        {
            QSqlQuery update(db);
            update.prepare("UPDATE calendar_extraction_runs SET source = ?, settings = settings || ? WHERE INT = ?");
            update.addBindValue(host.sources.join('\n'));
            update.addBindValue("; " + host.settings);
            update.addBindValue(summary.run_int);
            exec_logged(update);

            QSqlQuery member_row(db);
            member_row.prepare("UPDATE calendar_source_files SET archive_path = ?, archive_member = ?, "
                               "reason = trim(coalesce(reason, '') || ?, '; ') WHERE run_int = ? AND ics_file_path = ?");
            QSqlQuery left_out_row(db);
            left_out_row.prepare(result_schema::calendar_source_files().insert_statement());
            QSqlQuery archive_row(db);
            archive_row.prepare(result_schema::calendar_source_archives().insert_statement());
            for (const takeout_source::archive_report& archive : host.archives)
            {
                for (const takeout_source::member_report& member : archive.members)
                {
                    const QString member_name = evidence_path::display_form(member.name);
                    if (!member.unpacked_to.isEmpty())
                    {
                        member_row.addBindValue(archive.path);
                        member_row.addBindValue(member_name);
                        member_row.addBindValue(member.reason.isEmpty() ? QString() : "; " + member.reason);
                        member_row.addBindValue(summary.run_int);
                        member_row.addBindValue(ics_path_of(member.unpacked_to, host.root));
                        exec_logged(member_row);
                        continue;
                    }
                    // run_int, ics_file_path, ics_file_path_bytes, archive_path, archive_member, size,
                    // modified, sha256, events, outcome, reason
                    const QVariantList values{summary.run_int, QString(),
                                              evidence_path::is_valid_utf8(member.name)
                                                  ? QString()
                                                  : QString::fromLatin1(member.name.toHex()),
                                              archive.path, member_name, QVariant(), QVariant(), QVariant(),
                                              0, QString("left out"), member.reason};
                    for (const QVariant& value : values)
                        left_out_row.addBindValue(value);
                    exec_logged(left_out_row);
                    ++summary.files_left_out;
                }
                const QVariantList values{summary.run_int,
                                          archive.path,
                                          archive.size_bytes,
                                          archive.modified_time,
                                          archive.sha256.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(archive.sha256)),
                                          archive.unpacked(),
                                          archive.left_out(),
                                          QString(!archive.opened ? "not read" : archive.damaged ? "read in part" : "read"),
                                          archive.problems.join("\n")};
                for (const QVariant& value : values)
                    archive_row.addBindValue(value);
                exec_logged(archive_row);
            }
            QSqlQuery counts(db);
            counts.prepare("UPDATE calendar_extraction_runs SET files_left_out = ? WHERE INT = ?");
            counts.addBindValue(summary.files_left_out);
            counts.addBindValue(summary.run_int);
            exec_logged(counts);
            if (!db.commit())
                std::fprintf(stderr, "gcal-extract: cannot record the sources in the database: %s\n",
                             qPrintable(db.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return summary;
}

QString default_plugin_path()
{
    return QCoreApplication::applicationDirPath() + "/libgoogle_calendar.so";
}

// Creates the log's folder and checks that the log can be written; empty when it can.
QString prepare_log(const QString& path)
{
    const QFileInfo log(path);
    if (!QDir().mkpath(log.absolutePath()))
        return "cannot create the folder of the debug log: " + log.absolutePath();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return "cannot write the debug log " + path + ": " + file.errorString();
    return QString();
}

// Unpacks the calendar members of every archive into `scratch`; prints each problem.
QList<takeout_source::archive_report> unpack_archives(const QStringList& archives, const QString& scratch,
                                                     long long limit_mb)
{
    const qint64 member_limit = qint64(limit_mb) << 20;
    takeout_source::archive_unpacker unpacker(QFile::encodeName(scratch), member_limit, 4 * member_limit);
    QList<takeout_source::archive_report> reports;
    for (const QString& archive : archives)
    {
        const takeout_source::archive_report report = unpacker.unpack_file(QFileInfo(archive).absoluteFilePath());
        for (const QString& problem : report.problems)
            print_error(archive + ": " + problem);
        std::fprintf(stderr, "gcal-extract: %s: %d calendar files unpacked, %d left out, SHA-256 %s\n",
                     qPrintable(archive), report.unpacked(), report.left_out(),
                     report.sha256.isEmpty() ? "not computed" : report.sha256.constData());
        reports << report;
    }
    return reports;
}

// The sources must be one folder, or archives only.
QString check_sources(const QStringList& sources, bool* archives)
{
    int folders = 0;
    for (const QString& source : sources)
    {
        const QFileInfo info(source);
        if (info.isDir() && info.isReadable())
            ++folders;
        else if (!(info.isFile() && info.isReadable() && takeout_source::is_archive_name(source)))
            return source;
    }
    *archives = folders == 0;
    if (folders > 0 && sources.size() > 1)
        return QString("\n"); // usage: one folder at a time
    return QString();
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qt_handler = qInstallMessageHandler(quiet_start_up);
    const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
    // Our options are read before Qt sees them: QApplication would take --plugin and other
    // names of its own out of the command line.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    QCoreApplication::setApplicationName("gcal-extract");
    QCoreApplication::setApplicationVersion(GCAL_VERSION);
    // Archive member names reach us as UTF-8 only in a UTF-8 character type; Qt assumes it too.
    if (QByteArray(nl_langinfo(CODESET)) != "UTF-8")
        std::setlocale(LC_CTYPE, "C.UTF-8");

    extract_options options;
    const QString usage_error = options.parse(arguments);
    if (options.help)
    {
        std::fputs(qPrintable(extract_options::usage()), stdout);
        return exit_done;
    }
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

    bool from_archives = false;
    const QString bad_source = check_sources(options.sources, &from_archives);
    if (bad_source == "\n")
    {
        print_error("give one SOURCE folder, or one or more archives");
        std::fputs(qPrintable(extract_options::usage()), stderr);
        return exit_usage;
    }
    if (!bad_source.isEmpty())
    {
        print_error("SOURCE is not a readable folder or Takeout archive (.zip, .tgz, .tar.gz): " + bad_source);
        return exit_bad_source;
    }
    if (!options.log_file.isEmpty())
    {
        const QString log_error = prepare_log(options.log_file);
        if (!log_error.isEmpty())
        {
            print_error(log_error);
            return exit_log_unwritable;
        }
    }

    takeout_source::source_root root;
    QString looked;
    if (!from_archives && !takeout_source::find_root(options.source_path, &root, &looked))
    {
        print_error("no calendar export found: " + looked);
        return exit_no_calendar;
    }

    QLibrary library(options.plugin_path.isEmpty() ? default_plugin_path() : options.plugin_path);
    QString load_error;
    google_calendar* plugin = load_plugin(library, &load_error);
    if (!plugin)
    {
        print_error("cannot load the plug-in: " + load_error);
        return exit_no_plugin;
    }

    host_record host;
    for (const QString& source : std::as_const(options.sources))
        host.sources << source;
    QString scratch;
    if (from_archives)
    {
        // Only the calendar's members, into the case's own scratch folder, never beside the evidence.
        QDir().mkpath(options.result_dir);
        scratch = QDir(options.result_dir).absoluteFilePath(
            QString("gcal-extract-unpacked-%1").arg(QCoreApplication::applicationPid()));
        takeout_source::remove_tree(QFile::encodeName(scratch));
        QDir().mkpath(scratch);
        host.archives = unpack_archives(options.sources, scratch, options.unpack_limit_mb);
        if (!takeout_source::find_root(scratch, &root, &looked))
        {
            print_error("no calendar export found in the archives: looked for .ics members under "
                        "Takeout/Calendar/ or a folder of Google Calendar exports (PRODID names Google Calendar)");
            delete plugin;
            takeout_source::remove_tree(QFile::encodeName(scratch));
            return exit_no_calendar;
        }
    }
    options.source_path = root.root;
    host.root = root.root;
    host.settings = QString("gcal-extract %1: %2%3; clear before %4")
                        .arg(GCAL_VERSION, root.layout,
                             from_archives ? QString(", unpacked from %1 archive(s), member limit %2 MiB")
                                                 .arg(options.sources.size())
                                                 .arg(options.unpack_limit_mb)
                                           : QString(),
                             options.keep_rows ? "no" : "yes");
    std::fprintf(stderr, "gcal-extract: source folder: %s (%s)\n",
                 qPrintable(from_archives ? QString("unpacked archives: ") + root.root : root.root),
                 qPrintable(root.layout));
    for (const QString& folder : std::as_const(root.calendar_folders))
        std::fprintf(stderr, "gcal-extract: calendar folder: %s\n", qPrintable(folder));

    const bool reads_calendars = options.engine == 0 && options.tables.contains("calendar_events");
    if (options.engine != 0)
        print_error(QString("engine type %1 stores no events: the plug-in reads calendars only for engine 0")
                        .arg(options.engine));
    else if (!options.tables.contains("calendar_events"))
        print_error("the table list does not name calendar_events: no events are stored");

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
    const bool readable = database_is_readable(db_path);
    const run_summary summary = readable ? finish_records(db_path, started, host) : run_summary();
    if (!scratch.isEmpty())
        takeout_source::remove_tree(QFile::encodeName(scratch));
    if (!readable)
    {
        // No result database to show: never a success, whatever the plug-in went through.
        print_error("cannot count the events in " + db_path);
        return exit_no_database;
    }
    if (reads_calendars && !summary.found && !cancelled)
    {
        print_error("this run left no record in calendar_extraction_runs of " + db_path +
                    " (its transaction was rolled back or never began, or the table cannot be written; see "
                    "the debug log)");
        return exit_no_database;
    }
    std::printf("%lld files read, %lld files left out, %lld events stored in calendar_events of %s\n",
                static_cast<long long>(summary.files_read), static_cast<long long>(summary.files_left_out),
                static_cast<long long>(summary.events), qPrintable(db_path));
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
