// The stand-in host program, run as an examiner would: the whole lifecycle, its options, its
// answers to bad input, cancellation, and the summary line.

#include "plugin/result_schema.h"
#include "tests/extraction_fixture.h"

#include <QLibrary>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace
{
struct outcome
{
    int exit_code = -1;
    QString out;
    QString err;
};

// Qt warns on start when it has no runtime folder; a private one keeps stderr to the program's own words.
QProcessEnvironment host_environment()
{
    static QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    return environment;
}

outcome run_host(const QStringList& arguments)
{
    QProcess host;
    host.setProcessEnvironment(host_environment());
    host.start(test_support::host_program(), arguments);
    host.waitForFinished(300000);
    return {host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1,
            QString::fromLocal8Bit(host.readAllStandardOutput()),
            QString::fromLocal8Bit(host.readAllStandardError())};
}

QString summary(qint64 files_read, qint64 files_left_out, qint64 events, const QString& db)
{
    return QString("%1 files read, %2 files left out, %3 events stored in calendar_events of %4\n")
        .arg(files_read)
        .arg(files_left_out)
        .arg(events)
        .arg(db);
}

// The closing line as the run's own row in calendar_extraction_runs has it (the last run).
QString summary_of_last_run(const QString& db)
{
    const QList<QVariantMap> runs = test_support::table_rows(db, "calendar_extraction_runs");
    if (runs.isEmpty())
        return summary(0, 0, 0, db);
    const QVariantMap run = runs.last();
    return summary(run.value("files_read").toLongLong(), run.value("files_left_out").toLongLong(),
                   run.value("events_stored").toLongLong(), db);
}

// The lines gcal-extract writes on stderr about the source it used.
QString source_lines(const QString& root, const QString& layout, const QStringList& calendars)
{
    QString text = "gcal-extract: source folder: " + root + " (" + layout + ")\n";
    for (const QString& calendar : calendars)
        text += "gcal-extract: calendar folder: " + calendar + "\n";
    return text;
}

QStringList all_table_names()
{
    QStringList names;
    for (const result_table& table : result_schema::tables())
        names << table.name;
    names.sort();
    return names;
}

QStringList tables_of(const QString& db)
{
    QStringList names;
    for (const QVariantMap& row : test_support::table_rows(db, "sqlite_master"))
        names << row.value("name").toString();
    names.sort();
    return names;
}

int rows_of(const QString& db, const QString& table = "calendar_events")
{
    return int(test_support::table_rows(db, table).size());
}

// Events of the bundled sample, counted from its files rather than from any reader.
int sample_events()
{
    int events = 0;
    QDirIterator it(test_support::test_data("sample_takeout/Calendar"), {"*.ics"}, QDir::Files);
    while (it.hasNext())
        events += extraction_fixture::event_count(test_support::read_file(it.next()));
    return events;
}

QByteArray many_events(int count)
{
    QByteArray bytes = "BEGIN:VCALENDAR\r\n";
    for (int i = 0; i < count; ++i)
        bytes += "BEGIN:VEVENT\r\nUID:e" + QByteArray::number(i) + "@example.com\r\nSUMMARY:Event " +
                 QByteArray::number(i) + "\r\nDTSTART:20240101T100000Z\r\nEND:VEVENT\r\n";
    return bytes + "END:VCALENDAR\r\n";
}

QString loader_error(const QString& path)
{
    QLibrary library(path);
    if (library.load() && !library.resolve("create_object"))
        return library.errorString();
    return library.errorString();
}

const QString usage_first_line = "usage: gcal-extract [options] SOURCE... RESULT_DIR";
} // namespace

class tst_host_program : public QObject
{
    Q_OBJECT

  private slots:
    void lifecycle_on_an_empty_takeout_data();
    void lifecycle_on_an_empty_takeout();
    void sample_takeout_reports_its_events_data();
    void sample_takeout_reports_its_events();
    void options_reach_the_plugin_data();
    void options_reach_the_plugin();
    void bad_usage_data();
    void bad_usage();
    void plugin_not_loadable_data();
    void plugin_not_loadable();
    void source_not_a_folder_data();
    void source_not_a_folder();
    void unusable_result_folder_is_not_success();
    void progress_on_a_terminal_data();
    void progress_on_a_terminal();
    void cancel_after_zero_ms();
    void interrupt_cancels_and_keeps_what_was_stored();
    void help_exits_0_data();
    void help_exits_0();
    void no_calendar_export_data();
    void no_calendar_export();
    void log_where_the_sample_asks_for_it();
    void unwritable_log_is_an_error();
    void no_qt_noise_without_a_runtime_folder();
    void layouts_give_the_rows_of_the_takeout_folder_data();
    void layouts_give_the_rows_of_the_takeout_folder();
    void failed_transaction_is_not_success();
};

void tst_host_program::lifecycle_on_an_empty_takeout_data()
{
    QTest::addColumn<bool>("calendar_folder");
    QTest::newRow("empty Calendar folder") << true;
}

void tst_host_program::lifecycle_on_an_empty_takeout()
{
    QFETCH(bool, calendar_folder);
    QTemporaryDir source;
    QTemporaryDir result;
    QTemporaryDir logs;
    if (calendar_folder)
        QVERIFY(QDir(source.path()).mkpath("Calendar"));
    const QStringList source_before = test_support::entries_below(source.path());
    const QString log = logs.path() + "/debug.log";
    const outcome run = run_host({"--log", log, source.path(), result.path()});

    QCOMPARE(run.exit_code, 0);
    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(run.out, summary(0, 0, 0, db));
    // No progress line (stderr is not a terminal): only the source it used.
    QCOMPARE(run.err, source_lines(source.path() + "/", "a Takeout folder", {source.path() + "/Calendar"}));
    QCOMPARE(tables_of(db), all_table_names());
    QCOMPARE(rows_of(db) + rows_of(db, "exportfilelist"), 0);
    // Only the scratch folder went away.
    QCOMPARE(test_support::entries_below(result.path()),
             (QStringList{"Artifacts_Result", "Artifacts_Result/Google_Calendar",
                          "Artifacts_Result/Google_Calendar/Google_Calendar.sqlite"}));
    QCOMPARE(test_support::entries_below(source.path()), source_before);

    // Every operation ran, in the suite's order.
    const QStringList order{"[set_destination_location] starts",
                            "[create_destination_database] starts",
                            "[find_source_file] starts",
                            "[pub_extract_artifacts] - START",
                            "[extract_ics_calendar_events] -START",
                            "[pub_extract_artifacts] - END"};
    QStringList steps;
    for (const QString& text : test_support::log_texts(log))
    {
        if (order.contains(text))
            steps << text;
    }
    QCOMPARE(steps, order);
}

void tst_host_program::sample_takeout_reports_its_events_data()
{
    QTest::addColumn<QString>("source_suffix");
    QTest::newRow("SOURCE as given") << "";
    QTest::newRow("SOURCE with a final slash") << "/";
    QTest::newRow("SOURCE with a dot segment") << "/../sample_takeout";
}

void tst_host_program::sample_takeout_reports_its_events()
{
    QFETCH(QString, source_suffix);
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    const outcome run = run_host(
        {"-q", "--email", "alex@example.com", "--source-number", "7", "--scheme-display", "Takeout 2024",
         "--log", log, test_support::test_data("sample_takeout") + source_suffix, result.path() + "/case"});
    QCOMPARE(run.exit_code, 0);
    const QString db = extraction_fixture::database_of(result.path() + "/case");
    const QList<QVariantMap> rows = test_support::table_rows(db, "calendar_events");
    QVERIFY(sample_events() > 0);
    QCOMPARE(int(rows.size()), sample_events());
    QCOMPARE(run.out, summary(2, 0, rows.size(), db));
    for (const QVariantMap& row : rows)
    {
        QCOMPARE(row.value("takeout_email_id").toString(), QString("alex@example.com"));
        QCOMPARE(row.value("source_count_name").toString(), QString("Source7"));
        QCOMPARE(row.value("os_scheme_display").toString(), QString("Takeout 2024"));
        QVERIFY(row.value("ics_file_path").toString().startsWith("/Calendar/"));
    }
    // The plug-in is handed one clean source root ending in a single "/".
    const QString found = "[find_source_file] Source file found at path-->>" +
                          QDir::cleanPath(test_support::test_data("sample_takeout")) + "/Calendar";
    QVERIFY2(test_support::log_texts(log).contains(found),
             qPrintable(test_support::log_texts(log).join('\n')));
}

void tst_host_program::options_reach_the_plugin_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("events_per_run"); // 1 stands for the sample's count
    QTest::addColumn<bool>("accumulates");
    QTest::newRow("defaults") << QStringList{} << 2 << 1 << false;
    QTest::newRow("keep rows") << QStringList{"--keep-rows"} << 2 << 1 << true;
    QTest::newRow("field edition") << QStringList{"--engine", "1"} << 1 << 0 << false;
    QTest::newRow("other table only") << QStringList{"--tables", "exportfilelist"} << 1 << 0 << false;
    QTest::newRow("both tables") << QStringList{"--tables", "exportfilelist,calendar_events"} << 1 << 1
                                 << false;
}

void tst_host_program::options_reach_the_plugin()
{
    QFETCH(QStringList, options);
    QFETCH(int, runs);
    QFETCH(int, events_per_run);
    QFETCH(bool, accumulates);
    QTemporaryDir result;
    const int per_run = events_per_run * sample_events();
    const QString db = extraction_fixture::database_of(result.path());
    for (int i = 1; i <= runs; ++i)
    {
        const outcome run = run_host(QStringList{"-q"} + options +
                                     QStringList{test_support::test_data("sample_takeout"), result.path()});
        QCOMPARE(run.exit_code, 0);
        const int expected = accumulates ? i * per_run : per_run;
        QCOMPARE(rows_of(db), expected);
        // The closing line counts what this run stored, not the table.
        QCOMPARE(run.out, summary(per_run ? 2 : 0, 0, per_run, db));
        QCOMPARE(run.err.contains("stores no events") || run.err.contains("no events are stored"), per_run == 0);
    }
}

void tst_host_program::bad_usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    const QString sample = test_support::test_data("sample_takeout");
    const QString result = QDir::tempPath() + "/gcal-never-created";
    QTest::newRow("no arguments") << QStringList{} << "expected SOURCE... and RESULT_DIR, got 0 arguments";
    QTest::newRow("one argument") << QStringList{sample} << "expected SOURCE... and RESULT_DIR, got 1 arguments";
    QTest::newRow("two folders") << QStringList{sample, sample, result}
                                 << "give one SOURCE folder, or one or more archives";
    QTest::newRow("limit not a number") << QStringList{"--unpack-limit-mb", "lots", sample, result}
                                        << "--unpack-limit-mb takes a whole number of MiB from 1";
    QTest::newRow("unknown option") << QStringList{"--bogus", sample, result} << "Unknown option 'bogus'.";
    QTest::newRow("missing value") << QStringList{sample, result, "--email"}
                                   << "Missing value after '--email'.";
    QTest::newRow("engine out of range")
        << QStringList{"--engine", "3", sample, result} << "--engine takes 0, 1 or 2";
    QTest::newRow("engine not a number")
        << QStringList{"--engine", "desk", sample, result} << "--engine takes 0, 1 or 2";
    QTest::newRow("source number not a number")
        << QStringList{"--source-number", "one", sample, result} << "--source-number takes a whole number";
    QTest::newRow("negative delay") << QStringList{"--cancel-after-ms", "-1", sample, result}
                                    << "--cancel-after-ms takes a whole number of milliseconds";
    QTest::newRow("encrypted log without file")
        << QStringList{"--encrypt-log", sample, result} << "--encrypt-log needs --log FILE";
}

void tst_host_program::bad_usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const outcome run = run_host(arguments);
    QCOMPARE(run.exit_code, 2);
    QCOMPARE(run.out, QString());
    const QStringList lines = run.err.split('\n');
    QVERIFY2(lines.size() > 2, qPrintable(run.err));
    QCOMPARE(lines.at(0), "gcal-extract: " + reason); // one line of reason
    QCOMPARE(lines.at(1), usage_first_line);          // then the usage
    QVERIFY(run.err.contains("  --cancel-after-ms N"));
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/gcal-never-created"));
}

void tst_host_program::plugin_not_loadable_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::newRow("missing file") << QDir::tempPath() + "/gcal-no-such-dir/libnone.so";
    QTest::newRow("not a library") << test_support::test_data("sample_takeout/Calendar/Birthdays.ics");
    QTest::newRow("library without create_object")
        << QLibraryInfo::path(QLibraryInfo::LibrariesPath) + "/libQt6Sql.so.6";
}

void tst_host_program::plugin_not_loadable()
{
    QFETCH(QString, plugin);
    QTemporaryDir result;
    const outcome run =
        run_host({"--plugin", plugin, test_support::test_data("sample_takeout"), result.path() + "/case"});
    QCOMPARE(run.exit_code, 3);
    QCOMPARE(run.out, QString());
    const QString error = loader_error(plugin);
    QVERIFY(!error.isEmpty());
    QCOMPARE(run.err, "gcal-extract: cannot load the plug-in: " + error + "\n");
    QVERIFY(!QFileInfo::exists(result.path() + "/case"));
}

void tst_host_program::source_not_a_folder_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("missing") << QDir::tempPath() + "/gcal-no-such-takeout";
    QTest::newRow("a file") << test_support::test_data("sample_takeout/Calendar/Birthdays.ics");
    QTest::newRow("a missing archive") << QDir::tempPath() + "/gcal-no-such-takeout.zip";
}

void tst_host_program::source_not_a_folder()
{
    QFETCH(QString, source);
    QTemporaryDir result;
    const outcome run = run_host({source, result.path() + "/case"});
    QCOMPARE(run.exit_code, 4);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err,
             "gcal-extract: SOURCE is not a readable folder or Takeout archive (.zip, .tgz, .tar.gz): " + source +
                 "\n");
    QVERIFY(!QFileInfo::exists(result.path() + "/case"));
}

void tst_host_program::unusable_result_folder_is_not_success()
{
    // No database can be created under a file: the run must not end as a success with 0 events.
    QTemporaryDir dir;
    const QString result = dir.path() + "/case";
    QVERIFY(test_support::write_file(result, "a file, not a folder"));
    const outcome run = run_host({"-q", test_support::test_data("sample_takeout"), result});
    QCOMPARE(run.exit_code, 1);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains("gcal-extract: cannot count the events in " + result), qPrintable(run.err));
    QCOMPARE(test_support::read_file(result), QByteArray("a file, not a folder"));
}

void tst_host_program::progress_on_a_terminal_data()
{
    QTest::addColumn<bool>("quiet");
    QTest::newRow("progress shown") << false;
    QTest::newRow("quiet") << true;
}

void tst_host_program::progress_on_a_terminal()
{
    QFETCH(bool, quiet);
    const QString script = QStandardPaths::findExecutable("script");
    if (script.isEmpty())
        QSKIP("no script(1) here to give the program a terminal");
    QTemporaryDir result;
    const QString command = QString("'%1' %2 '%3' '%4'")
                                .arg(test_support::host_program(), quiet ? "-q" : "",
                                     test_support::test_data("sample_takeout"), result.path());
    QProcess terminal;
    terminal.setProcessEnvironment(host_environment());
    terminal.start(script, {"-qec", command, "/dev/null"});
    QVERIFY(terminal.waitForFinished(300000));
    QCOMPARE(terminal.exitCode(), 0);
    const QString shown = QString::fromLocal8Bit(terminal.readAllStandardOutput());
    const QString progress = "\r" + QString::number(sample_events()) + " events read";
    QCOMPARE(shown.contains(progress), !quiet);
    QCOMPARE(shown.contains("events read"), !quiet);
    QVERIFY(shown.contains(QString::number(sample_events()) + " events stored in calendar_events of "));
}

void tst_host_program::cancel_after_zero_ms()
{
    QTemporaryDir result;
    const outcome run =
        run_host({"-q", "--cancel-after-ms", "0", test_support::test_data("sample_takeout"), result.path()});
    QCOMPARE(run.exit_code, 5);
    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(tables_of(db), all_table_names());
    QVERIFY(rows_of(db) <= sample_events());
    QCOMPARE(run.out, summary_of_last_run(db));
}

void tst_host_program::interrupt_cancels_and_keeps_what_was_stored()
{
    QTemporaryDir source;
    QTemporaryDir result;
    const int total = 200000;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/big.ics", many_events(total)));
    const QString log = result.path() + "/debug.log";
    QProcess host;
    host.setProcessEnvironment(host_environment());
    host.start(test_support::host_program(), {"-q", "--log", log, source.path(), result.path() + "/case"});
    QVERIFY(host.waitForStarted());

    // Ctrl-C once the extraction runs.
    QElapsedTimer waited;
    waited.start();
    while (host.state() == QProcess::Running &&
           !test_support::log_texts(log).contains("[extract_ics_calendar_events] -START") &&
           waited.elapsed() < 120000)
        QTest::qWait(5);
    if (host.state() != QProcess::Running)
        QSKIP("the run ended before it could be interrupted");
    QCOMPARE(::kill(pid_t(host.processId()), SIGINT), 0);
    QVERIFY(host.waitForFinished(300000));
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);

    const QString db = extraction_fixture::database_of(result.path() + "/case");
    const int stored = rows_of(db);
    if (host.exitCode() == 0 && stored == total)
        QSKIP("the whole file was read before the interrupt arrived");
    QCOMPARE(host.exitCode(), 5);
    QVERIFY(stored < total);
    // Interrupted inside the file (read in part) or before it (not read): as the run's row says.
    QCOMPARE(QString::fromLocal8Bit(host.readAllStandardOutput()), summary_of_last_run(db));
    QCOMPARE(test_support::table_rows(db, "calendar_extraction_runs").last().value("events_stored").toInt(), stored);
    QCOMPARE(test_support::table_rows(db, "calendar_extraction_runs").last().value("outcome").toString(),
             QString("cancelled"));
    QVERIFY(test_support::log_texts(log).contains("[pub_extract_artifacts] - END"));
}

void tst_host_program::help_exits_0_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("first_line");
    for (const QString& option : {QString("--help"), QString("-h")})
    {
        QTest::newRow(qPrintable("gcal-extract " + option)) << "gcal-extract" << option << usage_first_line;
        QTest::newRow(qPrintable("gcal-timeline " + option))
            << "gcal-timeline" << option << "usage: gcal-timeline [--from DATE] [--until DATE] [--force] DB OUT";
        QTest::newRow(qPrintable("gcal-log-decrypt " + option))
            << "gcal-log-decrypt" << option << "usage: gcal-log-decrypt [FILE]";
    }
}

void tst_host_program::help_exits_0()
{
    QFETCH(QString, program);
    QFETCH(QString, option);
    QFETCH(QString, first_line);
    QProcess tool;
    tool.setProcessEnvironment(host_environment());
    tool.start(QStringLiteral(GCAL_BINARY_DIR "/") + program, {option});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    QCOMPARE(out.section('\n', 0, 0), first_line);
    QVERIFY2(out.contains("Exit status: 0"), qPrintable(out)); // every status is documented
    QCOMPARE(QString::fromLocal8Bit(tool.readAllStandardError()), QString());
}

void tst_host_program::no_calendar_export_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("empty folder") << "empty";
    QTest::newRow("other .ics files only") << "other";
    QTest::newRow("Takeout without a calendar") << "takeout";
}

void tst_host_program::no_calendar_export()
{
    QFETCH(QString, layout);
    QTemporaryDir source;
    QTemporaryDir result;
    if (layout == "other")
        QVERIFY(test_support::write_file(source.path() + "/Notes/x.ics",
                                         "BEGIN:VCALENDAR\r\nPRODID:-//Apple Inc.//EN\r\nEND:VCALENDAR\r\n"));
    if (layout == "takeout")
        QVERIFY(test_support::write_file(source.path() + "/Takeout/Drive/a.txt", "x"));
    const outcome run = run_host({source.path(), result.path() + "/case"});
    QCOMPARE(run.exit_code, 7);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith("gcal-extract: no calendar export found: looked in " + source.path()),
             qPrintable(run.err));
    QVERIFY(run.err.contains("Calendar"));
    QVERIFY(run.err.contains("PRODID"));
    QVERIFY(!QFileInfo::exists(result.path() + "/case"));
}

void tst_host_program::log_where_the_sample_asks_for_it()
{
    // ./dev sample: rm -rf out/sample-case, then --log out/sample-case/debug.log ... out/sample-case
    QTemporaryDir work;
    QProcess host;
    host.setProcessEnvironment(host_environment());
    host.setWorkingDirectory(work.path());
    host.start(test_support::host_program(),
               {"--log", "out/sample-case/debug.log", test_support::test_data("sample_takeout"), "out/sample-case"});
    QVERIFY(host.waitForFinished(300000));
    QCOMPARE(host.exitCode(), 0);
    const QString log = work.path() + "/out/sample-case/debug.log";
    QVERIFY(QFileInfo(log).size() > 0);
    QVERIFY(test_support::log_texts(log).contains("[extract_ics_calendar_events] -END"));
}

void tst_host_program::unwritable_log_is_an_error()
{
    QTemporaryDir dir;
    QVERIFY(test_support::write_file(dir.path() + "/a_file", "x"));
    const QString log = dir.path() + "/a_file/debug.log"; // its folder would have to be a file
    const outcome run = run_host({"--log", log, test_support::test_data("sample_takeout"), dir.path() + "/case"});
    QCOMPARE(run.exit_code, 8);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, "gcal-extract: cannot create the folder of the debug log: " + dir.path() + "/a_file\n");
    QVERIFY(!QFileInfo::exists(dir.path() + "/case"));
}

void tst_host_program::no_qt_noise_without_a_runtime_folder()
{
    QTemporaryDir result;
    QProcess host;
    QProcessEnvironment environment = host_environment();
    environment.remove("XDG_RUNTIME_DIR");
    host.setProcessEnvironment(environment);
    host.start(test_support::host_program(), {"-q", test_support::test_data("sample_takeout"), result.path()});
    QVERIFY(host.waitForFinished(300000));
    QCOMPARE(host.exitCode(), 0);
    const QString sample = QDir::cleanPath(test_support::test_data("sample_takeout"));
    QCOMPARE(QString::fromLocal8Bit(host.readAllStandardError()),
             source_lines(sample + "/", "a Takeout folder", {sample + "/Calendar"}));
}

void tst_host_program::layouts_give_the_rows_of_the_takeout_folder_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("folder holding Takeout/") << "archive root";
    QTest::newRow("the calendar folder itself") << "calendar folder";
    QTest::newRow("Calendar folder under a non-Latin name") << "localized";
}

void tst_host_program::layouts_give_the_rows_of_the_takeout_folder()
{
    QFETCH(QString, layout);
    QTemporaryDir work;
    const QString sample = test_support::test_data("sample_takeout/Calendar");
    const QString name = layout == "localized" ? QString::fromUtf8("Календарь") : QString("Calendar");
    const QString takeout = work.path() + "/export/Takeout";
    const QString plain_takeout = work.path() + "/plain-export/Takeout";
    QVERIFY(QDir().mkpath(takeout + "/" + name));
    QVERIFY(QDir().mkpath(plain_takeout + "/Calendar"));
    for (const QString& file : QDir(sample).entryList({"*.ics"}, QDir::Files))
    {
        QVERIFY(QFile::copy(sample + "/" + file, takeout + "/" + name + "/" + file));
        QVERIFY(QFile::copy(sample + "/" + file, plain_takeout + "/Calendar/" + file));
    }
    QString source = layout == "archive root" ? work.path() + "/export" : takeout;
    if (layout == "calendar folder")
        source = takeout + "/Calendar";

    const outcome plain = run_host({"-q", plain_takeout, work.path() + "/plain"});
    QCOMPARE(plain.exit_code, 0);
    const outcome run = run_host({"-q", source, work.path() + "/case"});
    QCOMPARE(run.exit_code, 0);
    const QString layout_text = layout == "archive root"      ? "a folder holding Takeout/"
                                : layout == "calendar folder" ? "the calendar folder itself"
                                                              : "a Takeout folder";
    QCOMPARE(run.err, source_lines(takeout + "/", layout_text, {takeout + "/" + name}));

    QList<QVariantMap> rows = test_support::table_rows(extraction_fixture::database_of(work.path() + "/case"),
                                                       "calendar_events");
    QList<QVariantMap> expected =
        test_support::table_rows(extraction_fixture::database_of(work.path() + "/plain"), "calendar_events");
    QCOMPARE(int(rows.size()), sample_events());
    if (layout == "localized")
    {
        for (QVariantMap& row : rows)
        {
            QVERIFY(row.value("ics_file_path").toString().startsWith("/" + name + "/"));
            for (const char* column : {"ics_file_path", "source_file", "export_file_paths"})
                row[column] = row.value(column).toString().replace(name, "Calendar");
        }
    }
    QCOMPARE(rows, expected);
}

void tst_host_program::failed_transaction_is_not_success()
{
    // A database whose calendar_source_files is a view: the run's rows cannot be written, so the
    // run leaves no record and must not end as a success.
    QTemporaryDir result;
    const QString db = extraction_fixture::database_of(result.path());
    QVERIFY(QDir().mkpath(QFileInfo(db).path()));
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase("QSQLITE", "view maker");
        connection.setDatabaseName(db);
        QVERIFY(connection.open());
        QSqlQuery query(connection);
        QVERIFY(query.exec("CREATE VIEW calendar_extraction_runs AS SELECT 1 AS INT"));
    }
    QSqlDatabase::removeDatabase("view maker");
    const outcome run = run_host({"-q", test_support::test_data("sample_takeout"), result.path()});
    QCOMPARE(run.exit_code, 1);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains("this run left no record in calendar_extraction_runs"), qPrintable(run.err));
}

QTEST_MAIN(tst_host_program)
#include "tst_host_program.moc"
