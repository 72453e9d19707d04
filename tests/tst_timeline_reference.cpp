// The occurrences of the timeline against an independent expansion of the same .ics files:
// python-icalendar reads them, python-dateutil's rrule expands each rule in the event's zone
// (tests/timeline_reference.py). gcal-extract stores the fixture folder, gcal-timeline expands it.

#include "tests/test_support.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// All-day and floating values are the machine's wall clock: one zone for every program here.
const char machine_zone[] = "America/New_York";

struct run_result
{
    int exit_code = -1;
    QByteArray out;
    QByteArray err;
};

run_result run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TZ", machine_zone);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    run_result result;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exit_code = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The system's interpreter, where the distribution's icalendar and dateutil live.
const char python[] = "/usr/bin/python3";

QString kind_of(const QString& description)
{
    if (description == "Occurrence Start")
        return "occurrence";
    if (description == "Moved Occurrence Start")
        return "moved";
    if (description == "Changed Occurrence Start")
        return "changed";
    if (description == "Cancelled Occurrence")
        return "cancelled";
    return QString();
}

QList<QJsonObject> read_jsonl(const QString& path)
{
    QList<QJsonObject> entries;
    for (const QByteArray& line : test_support::read_file(path).split('\n'))
    {
        if (!line.isEmpty())
            entries << QJsonDocument::fromJson(line).object();
    }
    return entries;
}
} // namespace

class tst_timeline_reference : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void occurrences_data();
    void occurrences();
    void export_entries();

  private:
    QTemporaryDir dir;
    QString db_path;
};

void tst_timeline_reference::initTestCase()
{
    QVERIFY(dir.isValid());
    const run_result modules = run(python, {"-c", "import icalendar, dateutil"});
    QVERIFY2(modules.exit_code == 0, "python3-icalendar and python3-dateutil are needed: " + modules.err);

    const QString case_dir = dir.filePath("case");
    const run_result extract =
        run(test_support::host_program(), {"-q", test_support::test_data("timeline"), case_dir});
    QVERIFY2(extract.exit_code == 0, extract.err.constData());
    db_path = case_dir + "/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite";
    QVERIFY(!test_support::table_rows(db_path, "calendar_events").isEmpty());
    if (test_support::table_rows(db_path, "calendar_event_series").isEmpty())
        QSKIP("calendar_event_series is empty in the extracted database: the reader does not fill it yet");
}

void tst_timeline_reference::occurrences_data()
{
    QTest::addColumn<QStringList>("window");
    QTest::newRow("every series to its own horizon") << QStringList();
    QTest::newRow("from and until across both changes")
        << QStringList{"--from", "2024-03-10", "--until", "2024-05-15"};
    QTest::newRow("until before the horizon ends every endless series")
        << QStringList{"--until", "2024-04-01"};
    QTest::newRow("from alone") << QStringList{"--from", "2024-05-01"};
}

void tst_timeline_reference::occurrences()
{
    QFETCH(QStringList, window);
    const QString out = dir.filePath(QString("timeline-%1.jsonl").arg(QTest::currentDataTag()));
    const run_result timeline =
        run(QStringLiteral(GCAL_BINARY_DIR "/gcal-timeline"), window + QStringList{"--force", db_path, out});
    QVERIFY2(timeline.exit_code == 0, timeline.err.constData());
    QVERIFY2(!timeline.out.contains("not fully read"), timeline.out.constData());

    QStringList ours;
    for (const QJsonObject& entry : read_jsonl(out))
    {
        const QString kind = kind_of(entry.value("timestamp_desc").toString());
        if (!kind.isEmpty())
            ours << entry.value("event_uid").toString() + "\t" + kind + "\t" +
                        QString::number(entry.value("timestamp").toInteger() / 1000000);
    }
    const run_result reference =
        run(python, QStringList{QStringLiteral(GCAL_SOURCE_DIR "/tests/timeline_reference.py"),
                                test_support::test_data("timeline")} +
                        window);
    QVERIFY2(reference.exit_code == 0, reference.err.constData());
    QStringList theirs = QString::fromUtf8(reference.out).split('\n', Qt::SkipEmptyParts);
    QVERIFY(!theirs.isEmpty());
    ours.sort();
    theirs.sort();
    QCOMPARE(ours, theirs);
}

// Work.ics: six events with one DTSTAMP, one export entry. Family.ics: three DTSTAMPs, three entries.
void tst_timeline_reference::export_entries()
{
    const QString out = dir.filePath("all.jsonl");
    QCOMPARE(run(QStringLiteral(GCAL_BINARY_DIR "/gcal-timeline"), {"--force", db_path, out}).exit_code, 0);
    QMap<QString, QStringList> stamps_of_file;
    for (const QJsonObject& entry : read_jsonl(out))
    {
        const QString description = entry.value("timestamp_desc").toString();
        if (description.contains("DTSTAMP"))
            stamps_of_file[entry.value("source_file").toString()] << description;
    }
    QCOMPARE(stamps_of_file.value("/Calendar/Work.ics"), QStringList{"Calendar Exported (DTSTAMP)"});
    QCOMPARE(stamps_of_file.value("/Calendar/Family.ics"), QStringList(3, "Event Stamped (DTSTAMP)"));
}

QTEST_MAIN(tst_timeline_reference)
#include "tst_timeline_reference.moc"
