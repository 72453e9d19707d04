// The stand-in host program, run as an examiner would: the whole lifecycle and its answers.

#include "tests/extraction_fixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
struct outcome
{
    int exit_code = -1;
    QString out;
    QString err;
};

outcome run_host(const QStringList& arguments)
{
    QProcess host;
    host.start(test_support::host_program(), arguments);
    host.waitForFinished(120000);
    return {host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1,
            QString::fromLocal8Bit(host.readAllStandardOutput()),
            QString::fromLocal8Bit(host.readAllStandardError())};
}

QStringList tables_of(const QString& db)
{
    QStringList names;
    for (const QVariantMap& row : test_support::table_rows(db, "sqlite_master"))
        names << row.value("name").toString();
    return names;
}
} // namespace

class tst_host_program : public QObject
{
    Q_OBJECT

  private slots:
    void empty_takeout_leaves_both_tables_and_no_scratch();
    void sample_takeout_reports_its_events();
    void answers_data();
    void answers();
    void cancelled_run_exits_5();
};

void tst_host_program::empty_takeout_leaves_both_tables_and_no_scratch()
{
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(QDir(source.path()).mkpath("Calendar"));
    const outcome run = run_host({"-q", source.path(), result.path()});
    QCOMPARE(run.exit_code, 0);
    const QString db = extraction_fixture::database_of(result.path());
    QVERIFY(QFileInfo::exists(db));
    QVERIFY(tables_of(db).contains("calendar_events"));
    QVERIFY(tables_of(db).contains("exportfilelist"));
    QVERIFY(!QFileInfo::exists(result.path() + "/Artifacts_Result/Google_Calendar/tmp"));
    QVERIFY(QFileInfo(source.path() + "/Calendar").isDir());
    QVERIFY(run.out.startsWith("0 events in calendar_events of "));
}

void tst_host_program::sample_takeout_reports_its_events()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    const outcome run = run_host({"-q", "--email", "alex@example.com", "--log", log,
                                  test_support::test_data("sample_takeout"), result.path()});
    QCOMPARE(run.exit_code, 0);
    const QString db = extraction_fixture::database_of(result.path());
    const QList<QVariantMap> rows = test_support::table_rows(db, "calendar_events");
    QVERIFY(rows.size() > 0);
    QCOMPARE(run.out.trimmed(), QString("%1 events in calendar_events of %2").arg(rows.size()).arg(db));
    QCOMPARE(rows.first().value("takeout_email_id").toString(), QString("alex@example.com"));
    const QStringList texts = test_support::log_texts(log);
    QVERIFY(texts.contains("[pub_extract_artifacts] - START"));
    QVERIFY(texts.contains("[pub_extract_artifacts] - END"));
}

void tst_host_program::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<QString>("error_part");
    const QString sample = test_support::test_data("sample_takeout");
    QTest::newRow("no arguments") << QStringList{} << 2 << "usage: gcal-extract";
    QTest::newRow("one argument") << QStringList{sample} << 2 << "usage: gcal-extract";
    QTest::newRow("unknown option") << QStringList{"--bogus", sample, "/tmp/x"} << 2 << "bogus";
    QTest::newRow("engine out of range") << QStringList{"--engine", "7", sample, "/tmp/x"} << 2 << "--engine";
    QTest::newRow("encrypted log without file")
        << QStringList{"--encrypt-log", sample, "/tmp/x"} << 2 << "--log";
    QTest::newRow("missing plug-in") << QStringList{"--plugin", "/nonexistent/libnone.so", sample, "/tmp/x"}
                                     << 3 << "cannot load the plug-in";
    QTest::newRow("not a library") << QStringList{"--plugin", sample + "/Calendar/Birthdays.ics", sample,
                                                  "/tmp/x"}
                                   << 3 << "cannot load the plug-in";
    QTest::newRow("source missing") << QStringList{"/nonexistent/takeout", "/tmp/x"} << 4
                                    << "not a readable folder";
    QTest::newRow("source is a file")
        << QStringList{sample + "/Calendar/Birthdays.ics", "/tmp/x"} << 4 << "not a readable folder";
}

void tst_host_program::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exit_code);
    QFETCH(QString, error_part);
    const outcome run = run_host(arguments);
    QCOMPARE(run.exit_code, exit_code);
    QVERIFY2(run.err.contains(error_part), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void tst_host_program::cancelled_run_exits_5()
{
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics",
                                     "BEGIN:VEVENT\r\nSUMMARY:x\r\nEND:VEVENT\r\n"));
    const outcome run = run_host({"-q", "--cancel-after-ms", "0", source.path(), result.path()});
    QCOMPARE(run.exit_code, 5);
    QVERIFY(QFileInfo::exists(extraction_fixture::database_of(result.path())));
}

QTEST_MAIN(tst_host_program)
#include "tst_host_program.moc"
