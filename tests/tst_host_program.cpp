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

QString summary(qint64 events, const QString& db)
{
    return QString("%1 events in calendar_events of %2\n").arg(events).arg(db);
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

const QString usage_first_line = "usage: gcal-extract [options] SOURCE RESULT_DIR";
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
};

void tst_host_program::lifecycle_on_an_empty_takeout_data()
{
    QTest::addColumn<bool>("calendar_folder");
    QTest::newRow("empty Calendar folder") << true;
    QTest::newRow("no Calendar folder") << false;
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
    QCOMPARE(run.out, summary(0, db));
    QCOMPARE(run.err, QString()); // no progress line: stderr is not a terminal
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
    QCOMPARE(run.out, summary(rows.size(), db));
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
        QCOMPARE(run.out, summary(expected, db));
    }
}

void tst_host_program::bad_usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    const QString sample = test_support::test_data("sample_takeout");
    const QString result = QDir::tempPath() + "/gcal-never-created";
    QTest::newRow("no arguments") << QStringList{} << "expected SOURCE and RESULT_DIR, got 0 arguments";
    QTest::newRow("one argument") << QStringList{sample} << "expected SOURCE and RESULT_DIR, got 1 arguments";
    QTest::newRow("three arguments") << QStringList{sample, result, "x"}
                                     << "expected SOURCE and RESULT_DIR, got 3 arguments";
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
}

void tst_host_program::source_not_a_folder()
{
    QFETCH(QString, source);
    QTemporaryDir result;
    const outcome run = run_host({source, result.path() + "/case"});
    QCOMPARE(run.exit_code, 4);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, "gcal-extract: SOURCE is not a readable folder: " + source + "\n");
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
    QVERIFY2(run.err.startsWith("gcal-extract: cannot count the events in " + result), qPrintable(run.err));
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
    QVERIFY(shown.contains(QString::number(sample_events()) + " events in calendar_events of "));
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
    QCOMPARE(run.out, summary(rows_of(db), db));
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
    QCOMPARE(QString::fromLocal8Bit(host.readAllStandardOutput()), summary(stored, db));
    QVERIFY(test_support::log_texts(log).contains("[pub_extract_artifacts] - END"));
}

QTEST_MAIN(tst_host_program)
#include "tst_host_program.moc"
