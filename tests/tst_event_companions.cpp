// Guests, series and alarms: one companion row per ORGANIZER/ATTENDEE, per series-bearing event and
// per VALARM, tied to its calendar_events row, as python-icalendar reads the same events.

#include "plugin/result_schema.h"
#include "tests/extraction_fixture.h"
#include "tests/test_support.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace
{
QString utc(int y, int mo, int d, int h, int mi = 0)
{
    return QString::number(QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc()).toSecsSinceEpoch());
}

QStringList values_of(const QVariantMap& row, const QStringList& columns)
{
    QStringList values;
    for (const QString& column : columns)
        values << row.value(column).toString();
    return values;
}

// Rows of a companion table that name no event of calendar_events.
int orphans(const QString& db)
{
    QSet<int> events;
    for (const QVariantMap& row : test_support::table_rows(db, "calendar_events"))
        events.insert(row.value("INT").toInt());
    int count = 0;
    for (const result_table& table : {result_schema::calendar_event_people(), result_schema::calendar_event_series(),
                                      result_schema::calendar_event_alarms()})
        for (const QVariantMap& row : test_support::table_rows(db, table.name))
            count += events.contains(row.value("event_int").toInt()) ? 0 : 1;
    return count;
}

QString copy_corpus(const QString& into)
{
    const QDir corpus(GCAL_CORPUS_DIR);
    QDirIterator it(corpus.path(), {"*.ics"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        test_support::write_file(into + "/Calendar/" + corpus.relativeFilePath(path), test_support::read_file(path));
    }
    return into;
}
} // namespace

class tst_event_companions : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        qputenv("TZ", "America/New_York");
        tzset();
    }
    void guests_of_a_meeting();
    void series_and_moved_occurrences();
    void every_alarm_of_an_event();
    void a_new_run_never_meets_old_companions();
    void agrees_with_python_icalendar_data();
    void agrees_with_python_icalendar();
};

void tst_event_companions::guests_of_a_meeting()
{
    QTemporaryDir result;
    const QString db = extraction_fixture::run(test_support::test_data("people"), result.path());
    const QStringList columns{"event_int",     "role", "display_name", "email", "participation_status",
                              "attendee_role", "kind", "extra_guests", "comment"};
    QList<QStringList> people;
    for (const QVariantMap& row : test_support::table_rows(db, "calendar_event_people"))
        people << values_of(row, columns);
    const QList<QStringList> expected{
        {"1", "organizer", "Ana Lima", "ana.lima@example.com", "", "", "", "", ""},
        // A quoted name with a comma, folded across two lines.
        {"1", "attendee", "Ortiz, Mateo", "mateo.ortiz@example.com", "ACCEPTED", "REQ-PARTICIPANT", "INDIVIDUAL",
         "0", ""},
        {"1", "attendee", QString::fromUtf8(u8"Jürgen Groß"), "j.gross@example.de", "DECLINED", "OPT-PARTICIPANT",
         "INDIVIDUAL", "1", "On leave, sorry"},
        {"1", "attendee", "Room Berlin-3-Elbe (8)", "c_188@resource.calendar.google.com", "ACCEPTED",
         "REQ-PARTICIPANT", "RESOURCE", "0", ""},
        {"2", "organizer", "Ana Lima", "ana.lima@example.com", "", "", "", "", ""},
        {"2", "attendee", "Ortiz, Mateo", "mateo.ortiz@example.com", "TENTATIVE", "REQ-PARTICIPANT", "INDIVIDUAL",
         "0", ""},
        // The organizer of a birthday is no attendee of it.
        {"4", "organizer", "Ana Lima", "ana.lima@example.com", "", "", "", "", ""},
    };
    QCOMPARE(people, expected);
    QCOMPARE(orphans(db), 0);
}

void tst_event_companions::series_and_moved_occurrences()
{
    QTemporaryDir result;
    const QString db = extraction_fixture::run(test_support::test_data("people"), result.path());
    const QStringList columns{"event_int", "rrule", "rdate", "exdate", "recurrence_id", "recurrence_id_as_written",
                              "dtstart_as_written", "dtstart_tzid", "sequence", "transp", "class"};
    QList<QStringList> series;
    for (const QVariantMap& row : test_support::table_rows(db, "calendar_event_series"))
        series << values_of(row, columns);
    const QList<QStringList> expected{
        {"1", "FREQ=WEEKLY;WKST=MO;UNTIL=20240415T081500Z;BYDAY=MO", utc(2024, 3, 6, 13), utc(2024, 3, 18, 8, 15),
         "", "", "20240304T091500", "Europe/Berlin", "2", "OPAQUE", ""},
        {"2", "", "", "", utc(2024, 3, 25, 8, 15), "20240325T091500", "20240326T110000", "Europe/Berlin", "3",
         "OPAQUE", ""},
        {"3", "", "", "", utc(2024, 4, 8, 7, 15), "20240408T091500", "20240408T091500", "Europe/Berlin", "4", "",
         ""},
        {"4", "FREQ=YEARLY", "", "", "", "", "20240601", "", "", "TRANSPARENT", "PRIVATE"},
    };
    QCOMPARE(series, expected);
    // The moved occurrence keeps the series' UID: the series row tells them apart.
    const QList<QVariantMap> events = test_support::table_rows(db, "calendar_events");
    QCOMPARE(events.at(0).value("event_uid"), events.at(1).value("event_uid"));
}

void tst_event_companions::every_alarm_of_an_event()
{
    QTemporaryDir result;
    const QString db = extraction_fixture::run(test_support::test_data("people"), result.path());
    const QStringList columns{"event_int", "alarm_number", "action",   "trigger_as_written", "offset_text",
                              "trigger_time", "related",   "description", "summary",          "attendees"};
    QList<QStringList> alarms;
    for (const QVariantMap& row : test_support::table_rows(db, "calendar_event_alarms"))
        alarms << values_of(row, columns);
    const QList<QStringList> expected{
        {"1", "1", "DISPLAY", "-P0DT0H10M0S", "0 Days  0 Hr 10 Min 0 Sec Before", "", "start",
         "This is an event reminder", "", ""},
        {"1", "2", "EMAIL", "-P1D", "1 Days Before", "", "start", "This is an event reminder", "Alarm notification",
         "ana.lima@example.com"},
        {"2", "1", "DISPLAY", "VALUE=DATE-TIME:20240326T094500Z", "", utc(2024, 3, 26, 9, 45), "", "Moved", "", ""},
    };
    QCOMPARE(alarms, expected);
    // The suite's columns keep the last alarm, as ever.
    const QVariantMap first = test_support::table_rows(db, "calendar_events").first();
    QCOMPARE(first.value("alarm_action").toString(), QString("EMAIL"));
    QCOMPARE(first.value("alert").toString(), QString("1 Days Before"));
}

void tst_event_companions::a_new_run_never_meets_old_companions()
{
    QTemporaryDir result;
    const QString db = extraction_fixture::run(test_support::test_data("people"), result.path());
    const int people = int(test_support::table_rows(db, "calendar_event_people").size());
    // A second run clears calendar_events, so its INT starts at 1 again: the companions go too.
    extraction_fixture::run(test_support::test_data("people"), result.path());
    QCOMPARE(int(test_support::table_rows(db, "calendar_event_people").size()), people);
    QCOMPARE(orphans(db), 0);
}

void tst_event_companions::agrees_with_python_icalendar_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("guests fixture") << test_support::test_data("people");
    QTest::newRow("zones fixture") << test_support::test_data("zones");
    QTest::newRow("sample Takeout") << test_support::test_data("sample_takeout");
    QTest::newRow("corpus") << QString();
}

void tst_event_companions::agrees_with_python_icalendar()
{
    QFETCH(QString, source);
    QTemporaryDir work;
    if (source.isEmpty())
        source = copy_corpus(work.path() + "/corpus");
    const QString db = extraction_fixture::run(source, work.path() + "/case");
    QCOMPARE(orphans(db), 0);
    QProcess check;
    check.start("/usr/bin/python3", {QString(GCAL_SOURCE_DIR) + "/tests/companion_crosscheck.py", source, db});
    QVERIFY(check.waitForFinished(300000));
    const QString report = QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
    QVERIFY2(check.exitCode() == 0, qPrintable(report));
    const QRegularExpressionMatch agreeing = QRegularExpression("events agreeing: (\\d+)/(\\d+)").match(report);
    QVERIFY2(agreeing.hasMatch() && agreeing.captured(2).toInt() > 0, qPrintable(report));
}

QTEST_MAIN(tst_event_companions)
#include "tst_event_companions.moc"
