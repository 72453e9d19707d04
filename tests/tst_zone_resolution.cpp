// Every zoned instant the reader stores: tz database names under any of their names, Windows names,
// zones the file defines itself (before or after the events), the machine's zone only as a last
// resort, and the same instants as python-icalendar reads from the same files.

#include "extractors/ics/ics_calendar_file.h"
#include "extractors/ics/ics_content_line.h"
#include "extractors/ics/ics_zone_resolver.h"
#include "tests/extraction_fixture.h"
#include "tests/test_support.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace
{
void pin_machine_zone(const QByteArray& zone)
{
    qputenv("TZ", zone);
    tzset();
}

QByteArray utc(int y, int mo, int d, int h, int mi = 0, int s = 0)
{
    return QByteArray::number(
        QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch());
}

QByteArray machine(int y, int mo, int d, int h, int mi = 0)
{
    return QByteArray::number(QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime).toSecsSinceEpoch());
}

const QByteArray eastern_zone =
    "BEGIN:VTIMEZONE\r\nTZID:Eastern\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
    "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
    "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

const QByteArray outlook_zone =
    "BEGIN:VTIMEZONE\r\nTZID:(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

QByteArray one_event(const QByteArray& start_line)
{
    return "BEGIN:VEVENT\r\n" + start_line + "\r\nUID:x\r\nEND:VEVENT\r\n";
}

struct file_reading
{
    QList<ics_event_row> rows;
    QStringList notes;
    qint64 first_row_at = -1; // how far the file had been read when the first row came
    qint64 size = 0;
};

file_reading read_calendar(const QByteArray& text)
{
    QByteArray bytes = "BEGIN:VCALENDAR\r\n" + text + "END:VCALENDAR\r\n";
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    file_reading reading;
    reading.size = bytes.size();
    ics_calendar_file file(nullptr);
    file.read(
        &device,
        [&](const ics_settled_event& e)
        {
            reading.rows.append(e.row);
            return true;
        },
        [&](const QString& note) { reading.notes.append(note); });
    return reading;
}
} // namespace

class tst_zone_resolution : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { pin_machine_zone("Asia/Tokyo"); }
    void cleanupTestCase() { pin_machine_zone("UTC"); }
    void zone_cases_data();
    void zone_cases();
    void posix_rule_names_are_not_zones_data();
    void posix_rule_names_are_not_zones();
    void one_file_zone_never_reaches_another_file();
    void no_tzid_is_the_machine_clock();
    void events_waiting_for_a_zone_are_bounded();
    void parameters_as_written_data();
    void parameters_as_written();
    void agrees_with_python_icalendar_data();
    void agrees_with_python_icalendar();
};

void tst_zone_resolution::zone_cases_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("timezone");
    QTest::addColumn<QString>("note");

    // The machine is in Tokyo (UTC+9, no daylight saving): a fallback to it shows.
    QTest::newRow("link name Asia/Calcutta")
        << one_event("DTSTART;TZID=Asia/Calcutta:20240310T093000") << utc(2024, 3, 10, 4)
        << QByteArray("Asia/Calcutta") << QString();
    QTest::newRow("link name US/Eastern in summer")
        << one_event("DTSTART;TZID=US/Eastern:20240716T090000") << utc(2024, 7, 16, 13)
        << QByteArray("US/Eastern") << QString();
    QTest::newRow("link name GB") << one_event("DTSTART;TZID=GB:20240716T090000") << utc(2024, 7, 16, 8)
                                  << QByteArray("GB") << QString();
    QTest::newRow("Etc/GMT+5 is five hours behind")
        << one_event("DTSTART;TZID=Etc/GMT+5:20240110T090000") << utc(2024, 1, 10, 14)
        << QByteArray("Etc/GMT+5") << QString();
    for (const char* utc_name : {"UTC", "Etc/UTC", "GMT", "Etc/GMT"})
        QTest::newRow(qPrintable(QString("TZID=%1").arg(utc_name)))
            << one_event(QByteArray("DTSTART;TZID=") + utc_name + ":20160320T110906")
            << utc(2016, 3, 20, 11, 9, 6) << QByteArray(utc_name) << QString();
    QTest::newRow("Windows name") << one_event("DTSTART;TZID=W. Europe Standard Time:20240716T100000")
                                  << utc(2024, 7, 16, 8) << QByteArray("W. Europe Standard Time")
                                  << QString();
    QTest::newRow("quoted Windows name")
        << one_event("DTSTART;TZID=\"Eastern Standard Time\":20240116T100000") << utc(2024, 1, 16, 15)
        << QByteArray("Eastern Standard Time") << QString();
    QTest::newRow("file zone, daylight side")
        << outlook_zone + one_event("DTSTART;TZID=\"(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, "
                                    "Vienna\":20240716T100000")
        << utc(2024, 7, 16, 8) << QByteArray("(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna")
        << QString();
    QTest::newRow("file zone, standard side")
        << outlook_zone + one_event("DTSTART;TZID=\"(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, "
                                    "Vienna\":20240116T100000")
        << utc(2024, 1, 16, 9) << QByteArray("(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna")
        << QString();
    QTest::newRow("Eastern defined by the file is not UTC")
        << eastern_zone + one_event("DTSTART;TZID=Eastern:20240305T090000") << utc(2024, 3, 5, 14)
        << QByteArray("Eastern") << QString();
    QTest::newRow("Eastern defined after the event")
        << one_event("DTSTART;TZID=Eastern:20240315T090000") + eastern_zone << utc(2024, 3, 15, 13)
        << QByteArray("Eastern") << QString();
    QTest::newRow("TZID with Z is the zone's wall clock")
        << one_event("DTSTART;TZID=America/New_York:20211222T170000Z") << utc(2021, 12, 22, 22)
        << QByteArray("America/New_York") << QString();
    QTest::newRow("Z alone stays UTC")
        << one_event("DTSTART:20211222T170000Z") << utc(2021, 12, 22, 17) << QByteArray() << QString();
    QTest::newRow("parameters in any order")
        << one_event("DTSTART;VALUE=DATE-TIME;TZID=Europe/Berlin:20240110T180000") << utc(2024, 1, 10, 17)
        << QByteArray("Europe/Berlin") << QString();
    QTest::newRow("spring gap takes the offset before the change")
        << one_event("DTSTART;TZID=US/Pacific:20240310T023000") << utc(2024, 3, 10, 10, 30)
        << QByteArray("US/Pacific") << QString();
    QTest::newRow("autumn overlap takes standard time")
        << one_event("DTSTART;TZID=US/Eastern:20241103T013000") << utc(2024, 11, 3, 6, 30)
        << QByteArray("US/Eastern") << QString();
    QTest::newRow("unknown zone is the machine's, and logged")
        << one_event("DTSTART;TZID=Nowhere/Unknown:20240716T090000") << machine(2024, 7, 16, 9)
        << QByteArray("Nowhere/Unknown")
        << QString("unknown time zone \"Nowhere/Unknown\": machine time zone used");
    QTest::newRow("floating stays on the machine's clock")
        << one_event("DTSTART:20240716T090000") << machine(2024, 7, 16, 9) << QByteArray() << QString();
    QTest::newRow("a date ignores its zone")
        << one_event("DTSTART;VALUE=DATE;TZID=Europe/Berlin:20240716") << machine(2024, 7, 16, 0)
        << QByteArray("Europe/Berlin") << QString();
    QTest::newRow("a zone with an endless fast rule is not evaluated")
        << "BEGIN:VTIMEZONE\r\nTZID:Fast\r\nBEGIN:STANDARD\r\nDTSTART:16010101T000000\r\n"
           "RRULE:FREQ=SECONDLY\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:"
           "VTIMEZONE\r\n" +
               one_event("DTSTART;TZID=Fast:20240716T090000")
        << machine(2024, 7, 16, 9) << QByteArray("Fast")
        << QString("unknown time zone \"Fast\": machine time zone used");
}

void tst_zone_resolution::zone_cases()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, timezone);
    QFETCH(QString, note);
    const file_reading reading = read_calendar(file);
    QCOMPARE(reading.rows.size(), 1);
    QCOMPARE(reading.rows.first().event_start_date, start);
    QCOMPARE(reading.rows.first().timezone, timezone);
    QCOMPARE(reading.notes, note.isEmpty() ? QStringList() : QStringList{note});
}

void tst_zone_resolution::posix_rule_names_are_not_zones_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("known");
    QTest::newRow("Eastern") << QByteArray("Eastern") << false;
    QTest::newRow("US-Eastern") << QByteArray("US-Eastern") << false;
    QTest::newRow("EST5EDT4") << QByteArray("EST5EDT4,M3.2.0,M11.1.0") << false;
    QTest::newRow("a path out of the zone folder") << QByteArray("../../etc/passwd") << false;
    QTest::newRow("US/Central") << QByteArray("US/Central") << true;
    QTest::newRow("Asia/Katmandu") << QByteArray("Asia/Katmandu") << true;
    QTest::newRow("Australia/ACT") << QByteArray("Australia/ACT") << true;
}

void tst_zone_resolution::posix_rule_names_are_not_zones()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, known);
    // Qt itself takes some of these as POSIX rules with offset 0: validity alone proves nothing.
    QCOMPARE(ics_zone_resolver::database_zone(name).isValid(), known);
}

// A floating time has no zone to be unknown: the machine's clock, and nothing reported.
void tst_zone_resolution::no_tzid_is_the_machine_clock()
{
    ics_zone_resolver zones;
    const QDate date(2024, 7, 16);
    const QTime time(9, 15);
    for (const QByteArray& none : {QByteArray(), QByteArray("  ")})
        QCOMPARE(zones.epoch_of(date, time, none), ics_zone_resolver::machine_epoch(date, time));
    QVERIFY(zones.take_unknown_zones().isEmpty());
    zones.epoch_of(date, time, "Nowhere/Atlantis");
    QCOMPARE(zones.take_unknown_zones(), QList<QByteArray>{"Nowhere/Atlantis"});
}

void tst_zone_resolution::one_file_zone_never_reaches_another_file()
{
    const QByteArray plus_two =
        "BEGIN:VTIMEZONE\r\nTZID:Office\r\nBEGIN:STANDARD\r\nDTSTART:16010101T000000\r\n"
        "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0200\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    const QByteArray minus_three = QByteArray(plus_two).replace("+0200", "-0300");
    const QByteArray office_event = one_event("DTSTART;TZID=Office:20240716T090000");
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics",
                                     "BEGIN:VCALENDAR\r\n" + plus_two + office_event + "END:VCALENDAR\r\n"));
    QVERIFY(
        test_support::write_file(source.path() + "/Calendar/b.ics",
                                 "BEGIN:VCALENDAR\r\n" + minus_three + office_event + "END:VCALENDAR\r\n"));
    QVERIFY(test_support::write_file(source.path() + "/Calendar/c.ics",
                                     "BEGIN:VCALENDAR\r\n" + office_event + "END:VCALENDAR\r\n"));
    const QList<QVariantMap> rows =
        test_support::table_rows(extraction_fixture::run(source.path(), result.path()), "calendar_events");
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).value("event_start_date").toByteArray(), utc(2024, 7, 16, 7));
    QCOMPARE(rows.at(1).value("event_start_date").toByteArray(), utc(2024, 7, 16, 12));
    QCOMPARE(rows.at(2).value("event_start_date").toByteArray(), machine(2024, 7, 16, 9));
}

void tst_zone_resolution::events_waiting_for_a_zone_are_bounded()
{
    // A zone no VTIMEZONE ever defines: the events after it wait, but not all of a large file at once.
    const int count = int(ics_calendar_file::max_waiting_events) + 50;
    QByteArray text = one_event("DTSTART;TZID=Nowhere/Unknown:20240716T090000");
    for (int i = 1; i < count; ++i)
        text +=
            "BEGIN:VEVENT\r\nDTSTART:20240716T090000Z\r\nUID:" + QByteArray::number(i) + "\r\nEND:VEVENT\r\n";
    const file_reading reading = read_calendar(text);
    QCOMPARE(reading.rows.size(), count);
    QVERIFY2(reading.first_row_at < reading.size, "every event waited for the end of the file");
    QCOMPARE(reading.rows.first().event_start_date, machine(2024, 7, 16, 9));
    for (int i = 1; i < count; ++i)
        QCOMPARE(reading.rows.at(i).event_uid, QByteArray::number(i));
    QCOMPARE(reading.notes, QStringList{"unknown time zone \"Nowhere/Unknown\": machine time zone used"});
}

void tst_zone_resolution::parameters_as_written_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("parameter");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("quoted colon, comma and semicolon")
        << QByteArray("ATTENDEE;CN=\"Ortiz, Mateo; Jr: CEO\";PARTSTAT=ACCEPTED:mailto:m@example.com")
        << QByteArray("ATTENDEE") << QByteArray("CN") << QByteArray("Ortiz, Mateo; Jr: CEO")
        << QByteArray("mailto:m@example.com");
    QTest::newRow("names in any case")
        << QByteArray("dtStart;tzid=Europe/Berlin:20240101T100000") << QByteArray("DTSTART")
        << QByteArray("TZID") << QByteArray("Europe/Berlin") << QByteArray("20240101T100000");
    QTest::newRow("caret escapes") << QByteArray("ATTENDEE;CN=\"^'Ann^' ^^ B^nC\":mailto:a@x")
                                   << QByteArray("ATTENDEE") << QByteArray("CN")
                                   << QByteArray("\"Ann\" ^ B\nC") << QByteArray("mailto:a@x");
    QTest::newRow("unquoted commas stay in a single value")
        << QByteArray("DTSTART;TZID=Amsterdam, Berlin:20240101T100000") << QByteArray("DTSTART")
        << QByteArray("TZID") << QByteArray("Amsterdam, Berlin") << QByteArray("20240101T100000");
    QTest::newRow("a list of quoted values gives the first")
        << QByteArray("ATTENDEE;DELEGATED-FROM=\"mailto:a@x\",\"mailto:b@x\":mailto:c@x")
        << QByteArray("ATTENDEE") << QByteArray("DELEGATED-FROM") << QByteArray("mailto:a@x")
        << QByteArray("mailto:c@x");
    QTest::newRow("a quote that never closes ends at the next colon")
        << QByteArray("SUMMARY;LANGUAGE=\"de:Hallo") << QByteArray("SUMMARY") << QByteArray("LANGUAGE")
        << QByteArray("\"de") << QByteArray("Hallo");
    QTest::newRow("value keeps its own colons")
        << QByteArray("DESCRIPTION;ALTREP=\"cid:x\":see: http://x") << QByteArray("DESCRIPTION")
        << QByteArray("ALTREP") << QByteArray("cid:x") << QByteArray("see: http://x");
}

void tst_zone_resolution::parameters_as_written()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, parameter);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, value);
    ics_content_line content;
    QVERIFY(content.parse(line));
    QVERIFY(content.is(name));
    QCOMPARE(content.parameter(parameter), expected);
    QCOMPARE(content.value().toByteArray(), value);
}

void tst_zone_resolution::agrees_with_python_icalendar_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("machine_zone");
    const QString fixtures = test_support::test_data("zones");
    for (const char* zone : {"UTC", "America/New_York", "Asia/Kolkata", "Australia/Lord_Howe"})
    {
        QTest::newRow(qPrintable(QString("fixtures, machine in %1").arg(zone)))
            << fixtures << QByteArray(zone);
        QTest::newRow(qPrintable(QString("corpus, machine in %1").arg(zone)))
            << QString() << QByteArray(zone);
    }
    QTest::newRow("sample Takeout") << test_support::test_data("sample_takeout")
                                    << QByteArray("Europe/Berlin");
}

void tst_zone_resolution::agrees_with_python_icalendar()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, machine_zone);
    QTemporaryDir work;
    if (source == "generated")
    {
        source = work.path() + "/generated";
        QProcess generator;
        generator.start(QString(GCAL_BINARY_DIR) + "/bench/generate_takeout", {source, "3000", "4", "7"});
        QVERIFY(generator.waitForFinished(120000));
        QCOMPARE(generator.exitCode(), 0);
    }
    else if (source.isEmpty())
    {
        // The corpus laid out as a Takeout folder: Calendar/ holding its project folders.
        source = work.path() + "/corpus";
        const QDir corpus(GCAL_CORPUS_DIR);
        QDirIterator it(corpus.path(), {"*.ics"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
        {
            const QString path = it.next();
            QVERIFY(test_support::write_file(source + "/Calendar/" + corpus.relativeFilePath(path),
                                             test_support::read_file(path)));
        }
    }
    QProcess host;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TZ", QString::fromLatin1(machine_zone));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    host.setProcessEnvironment(environment);
    host.start(test_support::host_program(), {"-q", source, work.path() + "/case"});
    QVERIFY(host.waitForFinished(300000));
    QCOMPARE(host.exitCode(), 0);

    QProcess check;
    check.start("/usr/bin/python3", {QString(GCAL_SOURCE_DIR) + "/../shared/tools/tz_crosscheck.py", source,
                                     extraction_fixture::database_of(work.path() + "/case")});
    QVERIFY(check.waitForFinished(300000));
    const QString report = QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
    QVERIFY2(check.exitCode() == 0, qPrintable(report));
    const QRegularExpressionMatch agreeing =
        QRegularExpression("instants agreeing: (\\d+)/(\\d+)").match(report);
    QVERIFY2(agreeing.hasMatch(), qPrintable(report));
    QVERIFY2(agreeing.captured(2).toInt() > 0, qPrintable(report));
}

QTEST_MAIN(tst_zone_resolution)
#include "tst_zone_resolution.moc"
