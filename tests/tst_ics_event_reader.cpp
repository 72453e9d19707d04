// The calendar event reader: golden Takeout fixtures, time conversion, line rules, alarms,
// repeat rules, folding, cancellation and progress.

#include "extractors/ics/ics_event_scanner.h"
#include "extractors/ics/ics_rule_text.h"
#include "extractors/ics/ics_unfolding_reader.h"
#include "tests/extraction_fixture.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

QString local_epoch(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QString::number(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime).toSecsSinceEpoch());
}

QString utc_epoch(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QString::number(QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch());
}

// Feeds the lines of one event (the calendar's lines first where they hold a BEGIN:VEVENT) to a
// scanner and returns the row completed by the closing END:VEVENT.
ics_event_row scan_event(const QStringList& lines)
{
    ics_event_scanner scanner(nullptr);
    scanner.start_file();
    if (!lines.contains("BEGIN:VEVENT"))
        scanner.scan_line("BEGIN:VEVENT");
    for (const QString& line : lines)
    {
        if (scanner.scan_line(line.toUtf8()) == ics_event_scanner::outcome::row_complete)
            return scanner.finished_row();
    }
    if (scanner.scan_line("END:VEVENT") == ics_event_scanner::outcome::row_complete)
        return scanner.finished_row();
    return ics_event_row();
}

QString column_of(const ics_event_row& row, const QString& column)
{
    const QHash<QString, QByteArray> values = {
        {"title", row.title},
        {"location", row.location},
        {"status", row.status},
        {"event_notes", row.event_notes},
        {"event_uid", row.event_uid},
        {"timezone", row.timezone},
        {"event_start_date", row.event_start_date},
        {"event_end_date", row.event_end_date},
        {"alert", row.alert},
        {"alert_on_date", row.alert_on_date},
        {"alarm_action", row.alarm_action},
        {"sound", row.sound},
        {"repeat_detail", row.repeat_detail},
        {"end_repeat_on_date", row.end_repeat_on_date},
        {"attachment_detail", row.attachment_detail},
        {"conference_added", row.conference_added},
        {"previous_pro_id", row.previous_pro_id},
        {"url", row.url},
        {"alarm_uid", row.alarm_uid},
        {"calendar_name", row.calendar_name},
        {"event_update_date", row.event_update_date},
    };
    return QString::fromUtf8(values.value(column, "<no such column>"));
}

QStringList read_all_lines(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ics_unfolding_reader reader(&buffer);
    QStringList lines;
    QByteArrayView line;
    while (reader.next_line(&line))
        lines << QString::fromUtf8(line);
    return lines;
}

QByteArray many_events(int count)
{
    QByteArray bytes = "BEGIN:VCALENDAR\r\nPRODID:-//Test//EN\r\n";
    for (int i = 0; i < count; ++i)
        bytes += "BEGIN:VEVENT\r\nDTSTART:20240101T100000Z\r\nUID:event-" + QByteArray::number(i) +
                 "\r\nSUMMARY:Event number " + QByteArray::number(i) + "\r\nEND:VEVENT\r\n";
    return bytes + "END:VCALENDAR\r\n";
}
} // namespace

class tst_ics_event_reader : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup();

    void golden_takeout_data();
    void golden_takeout();

    void takeout_time_data();
    void takeout_time();

    void line_rules_data();
    void line_rules();

    void alarm_offset_data();
    void alarm_offset();

    void unfolding_data();
    void unfolding();
    void folds_across_chunk_boundaries_data();
    void folds_across_chunk_boundaries();
    void long_lines_are_left_out_data();
    void long_lines_are_left_out();

    void streaming_gives_the_rows_of_reading_whole_data();
    void streaming_gives_the_rows_of_reading_whole();
    void working_values_reset_between_files();
    void unterminated_blocks_do_not_swallow_events();

    void progress_is_throttled_and_cancel_keeps_first_rows();
};

void tst_ics_event_reader::cleanup()
{
    pin_machine_zone("UTC");
}

void tst_ics_event_reader::golden_takeout_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("expected_file");
    QTest::newRow("UTC") << QByteArray("UTC") << "reader/takeout.UTC.expected.json";
    QTest::newRow("America/New_York")
        << QByteArray("America/New_York") << "reader/takeout.America_New_York.expected.json";
}

void tst_ics_event_reader::golden_takeout()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, expected_file);
    pin_machine_zone(zone);

    QTemporaryDir result;
    const QString db = extraction_fixture::run(test_support::test_data("reader/takeout"), result.path());
    const QList<QVariantMap> rows = test_support::table_rows(db, "calendar_events");
    const QJsonArray expected =
        QJsonDocument::fromJson(test_support::read_file(test_support::test_data(expected_file))).array();
    QCOMPARE(rows.size(), expected.size());
    for (int i = 0; i < rows.size(); ++i)
    {
        const QJsonObject want = expected.at(i).toObject();
        for (auto it = want.begin(); it != want.end(); ++it)
        {
            const QString got = rows.at(i).value(it.key()).toString();
            if (got != it.value().toString())
                QFAIL(qPrintable(
                    QString("row %1 (%2), column %3: got [%4], want [%5]")
                        .arg(i + 1)
                        .arg(want.value("event_uid").toString(), it.key(), got, it.value().toString())));
        }
        // The columns the reader does not fill stay NULL.
        for (const char* untouched : {"domain_user", "account_name", "LINKFILENAME", "notes"})
            QVERIFY(rows.at(i).value(untouched).isNull());
    }
}

void tst_ics_event_reader::takeout_time_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("zone_id");
    QTest::addColumn<QString>("expected");

    pin_machine_zone("Europe/Paris");
    const QString paris_1015 = local_epoch(2020, 1, 1, 10, 15);
    const QString paris_midnight = local_epoch(2020, 1, 1);
    pin_machine_zone("UTC");

    QTest::newRow("Z stays UTC on a UTC machine") << QByteArray("UTC") << "20200101T101500Z"
                                                  << ""
                                                  << "1577873700";
    QTest::newRow("Z stays UTC at UTC+1") << QByteArray("Europe/Paris") << "20200101T101500Z"
                                          << ""
                                          << "1577873700";
    QTest::newRow("floating is machine local") << QByteArray("Europe/Paris") << "20200101T101500"
                                               << "" << paris_1015;
    QTest::newRow("date only is local midnight") << QByteArray("Europe/Paris") << "20200101"
                                                 << "" << paris_midnight;
    QTest::newRow("empty time part") << QByteArray("UTC") << "20200101T"
                                     << ""
                                     << "1577836800";
    QTest::newRow("dashed with blank") << QByteArray("UTC") << "2020-01-01 10:15:00"
                                       << ""
                                       << "1577873700";
    QTest::newRow("dashed with T and hyphens") << QByteArray("UTC") << "2020-01-01T10-15-00"
                                               << ""
                                               << "1577873700";
    QTest::newRow("milliseconds are cut") << QByteArray("UTC") << "2020-01-01T10:15:00.250"
                                          << ""
                                          << "1577873700";
    QTest::newRow("blanks and carriage return") << QByteArray("UTC") << "  20200101T101500Z\r"
                                                << ""
                                                << "1577873700";
    QTest::newRow("blank is missing") << QByteArray("UTC") << "   "
                                      << ""
                                      << "";
    QTest::newRow("TZID applied") << QByteArray("UTC") << "20200101T100000"
                                  << "Europe/Berlin"
                                  << "1577869200";
    QTest::newRow("quoted TZID") << QByteArray("UTC") << "20200101T100000"
                                 << "\"Europe/Berlin\""
                                 << "1577869200";
    QTest::newRow("Windows zone id") << QByteArray("UTC") << "20200701T100000"
                                     << "Pacific Standard Time" << utc_epoch(2020, 7, 1, 17);
    QTest::newRow("unknown zone falls back to local") << QByteArray("Europe/Paris") << "20200101T101500"
                                                      << "Mars/Olympus" << paris_1015;
    QTest::newRow("Z wins over TZID") << QByteArray("UTC") << "20200101T101500Z"
                                      << "Europe/Berlin"
                                      << "1577873700";
    QTest::newRow("date ignores TZID") << QByteArray("UTC") << "20200101"
                                       << "Europe/Berlin"
                                       << "1577836800";
    QTest::newRow("year 0 is no time") << QByteArray("UTC") << "00000101T000000Z"
                                       << ""
                                       << "";
    QTest::newRow("garbage is no time") << QByteArray("UTC") << "not a date"
                                        << ""
                                        << "";
    QTest::newRow("offset form is no time") << QByteArray("UTC") << "2020-01-01T10:15:00+05:30"
                                            << ""
                                            << "";
    QTest::newRow("month 13 is no time") << QByteArray("UTC") << "20201301T101500Z"
                                         << ""
                                         << "";
    QTest::newRow("short date is no time") << QByteArray("UTC") << "2020011T101500Z"
                                           << ""
                                           << "";
}

void tst_ics_event_reader::takeout_time()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, value);
    QFETCH(QString, zone_id);
    QFETCH(QString, expected);
    pin_machine_zone(zone);
    const QString got = zone_id.isEmpty() ? plugin_static_function::convert_T_Z_time_to_epoch(value)
                                          : plugin_static_function::convert_T_Z_time_to_epoch(value, zone_id);
    QCOMPARE(got, expected);
}

void tst_ics_event_reader::line_rules_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("expected");

    QTest::newRow("prefix removed once") << QStringList{"SUMMARY:Re: SUMMARY: Q3"} << "title"
                                         << "Re: SUMMARY: Q3";
    QTest::newRow("title keeps escapes") << QStringList{"SUMMARY:a\\, b\\; c"} << "title"
                                         << "a\\, b\\; c";
    QTest::newRow("title keeps Unicode spaces")
        << QStringList{QString("SUMMARY:x\u00a0")} << "title" << QString("x\u00a0");
    QTest::newRow("carriage return trimmed") << QStringList{"SUMMARY:Talk\r"} << "title"
                                             << "Talk";
    QTest::newRow("location unescaped")
        << QStringList{"LOCATION:Room 1\\, Building 2\\nFloor 3"} << "location"
        << "Room 1, Building 2 Floor 3";
    QTest::newRow("two descriptions")
        << QStringList{"DESCRIPTION:one", "BEGIN:VALARM", "DESCRIPTION:two", "END:VALARM"} << "event_notes"
        << "one;;two;;";
    QTest::newRow("alarm summary keeps the title")
        << QStringList{"SUMMARY:Dentist", "BEGIN:VALARM", "SUMMARY:Alarm notification", "END:VALARM"}
        << "title"
        << "Dentist";
    QTest::newRow("alarm uid keeps the event uid")
        << QStringList{"UID:event", "BEGIN:VALARM", "UID:alarm", "END:VALARM"} << "event_uid"
        << "event";
    QTest::newRow("time zone rules are not events")
        << QStringList{"BEGIN:VTIMEZONE", "DTSTART:19700329T020000", "RRULE:FREQ=YEARLY;BYMONTH=3",
                       "END:VTIMEZONE", "SUMMARY:x"}
        << "repeat_detail"
        << "";
    QTest::newRow("time zone start is not the event's")
        << QStringList{"BEGIN:VTIMEZONE", "DTSTART:19700329T020000", "END:VTIMEZONE"} << "event_start_date"
        << "";
    QTest::newRow("conference") << QStringList{"X-GOOGLE-CONFERENCE:https://meet.example/x"}
                                << "conference_added"
                                << "https://meet.example/x";
    QTest::newRow("hangout") << QStringList{"X-GOOGLE-HANGOUT:https://h.example/x"} << "conference_added"
                             << "https://h.example/x";
    QTest::newRow("zone text of start")
        << QStringList{"DTSTART;TZID=Europe/Berlin:20200101T100000"} << "timezone"
        << "Europe/Berlin";
    QTest::newRow("date-only carries no zone") << QStringList{"DTSTART;VALUE=DATE:20200101"} << "timezone"
                                               << "";
    QTest::newRow("start converted in its zone")
        << QStringList{"DTSTART;TZID=Europe/Berlin:20200101T100000"} << "event_start_date"
        << "1577869200";
    QTest::newRow("zone found among parameters")
        << QStringList{"DTSTART;VALUE=DATE-TIME;TZID=Europe/Berlin:20200101T100000"} << "event_start_date"
        << "1577869200";
    QTest::newRow("end prefix removed once") << QStringList{"DTEND:20200101T101500Z"} << "event_end_date"
                                             << "1577873700";
    QTest::newRow("stamp") << QStringList{"DTSTAMP:20200101T101500Z"} << "event_update_date"
                           << "1577873700";
    QTest::newRow("alarm time") << QStringList{"TRIGGER;VALUE=DATE-TIME:20200101T090000Z"} << "alert_on_date"
                                << "1577869200";
    QTest::newRow("alarm time leaves offset")
        << QStringList{"TRIGGER;VALUE=DATE-TIME:20200101T090000Z"} << "alert"
        << "";
    QTest::newRow("alarm relative to the end") << QStringList{"TRIGGER;RELATED=END:-PT5M"} << "alert"
                                               << " 5 Min Before End";
    QTest::newRow("sound") << QStringList{"BEGIN:VALARM", "ATTACH;VALUE=URI:Basso", "END:VALARM"} << "sound"
                           << "Basso";
    QTest::newRow("built-in sound ignored")
        << QStringList{"BEGIN:VALARM", "ATTACH;VALUE=URI:ical://x", "END:VALARM"} << "sound"
        << "";
    QTest::newRow("later alarm wins where it has values")
        << QStringList{"BEGIN:VALARM", "ACTION:DISPLAY", "TRIGGER:-PT10M", "ATTACH;VALUE=URI:Chord",
                       "END:VALARM",   "BEGIN:VALARM",   "ACTION:AUDIO",   "END:VALARM"}
        << "sound"
        << "Chord";
    QTest::newRow("attachments accumulate")
        << QStringList{"ATTACH;FILENAME=a.pdf:u1", "ATTACH;FILENAME=b.pdf:u2"} << "attachment_detail"
        << "a.pdf:u1;b.pdf:u2;";
    QTest::newRow("weekly rule")
        << QStringList{"RRULE:FREQ=WEEKLY;WKST=SU;UNTIL=20201231T235959Z;BYDAY=MO,WE"} << "repeat_detail"
        << "Frequency: WEEKLY;Week Start Day: SUNDAY;UNTIL: 20201231T235959Z;BYDAY: "
           "MONDAY,WEDNESDAY";
    QTest::newRow("until in UTC") << QStringList{"RRULE:FREQ=WEEKLY;UNTIL=20201231T235959Z"}
                                  << "end_repeat_on_date"
                                  << "1609459199";
    QTest::newRow("count and interval")
        << QStringList{"RRULE:FREQ=DAILY;COUNT=5;INTERVAL=2"} << "repeat_detail"
        << "Frequency: DAILY;End Repeat Count: 5;Repeat After Every Interval: 2";
    QTest::newRow("set position") << QStringList{"RRULE:FREQ=MONTHLY;BYDAY=1TU;BYSETPOS=1"} << "repeat_detail"
                                  << "Frequency: MONTHLY;BYDAY: 1TUESDAY;Set Particular Position On The: 1";
    QTest::newRow("weekend days") << QStringList{"RRULE:FREQ=WEEKLY;BYDAY=SU,SA"} << "repeat_detail"
                                  << "Frequency: WEEKLY;BYDAY: SUNDAY,SATURDAY";
    QTest::newRow("one-part rule") << QStringList{"RRULE:FREQ=YEARLY"} << "repeat_detail"
                                   << "Frequency: YEARLY";
    QTest::newRow("two rules joined")
        << QStringList{"RRULE:FREQ=DAILY", "RRULE:FREQ=WEEKLY;BYDAY=MO"} << "repeat_detail"
        << "Frequency: DAILY;Frequency: WEEKLY;BYDAY: MONDAY";
    QTest::newRow("FREQ not first") << QStringList{"RRULE:INTERVAL=2;FREQ=DAILY"} << "repeat_detail"
                                    << "Repeat After Every Interval: 2;Frequency: DAILY";
    QTest::newRow("header name") << QStringList{"BEGIN:VCALENDAR", "X-WR-CALNAME:Work", "BEGIN:VEVENT"}
                                 << "calendar_name"
                                 << "Work";
    QTest::newRow("other components are not events")
        << QStringList{"BEGIN:VTODO", "DESCRIPTION:task", "END:VTODO", "DESCRIPTION:event"} << "event_notes"
        << "event;;";
}

void tst_ics_event_reader::line_rules()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, column);
    QFETCH(QString, expected);
    QCOMPARE(column_of(scan_event(lines), column), expected);
}

void tst_ics_event_reader::alarm_offset_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("minutes before") << "TRIGGER:-PT15M"
                                    << " 15 Min Before";
    QTest::newRow("ten minutes") << "TRIGGER:-PT10M"
                                 << " 10 Min Before";
    QTest::newRow("hour") << "TRIGGER:-PT1H"
                          << " 1 Hr Before";
    QTest::newRow("after") << "TRIGGER:PT30M"
                           << " 30 Min After";
    QTest::newRow("days") << "TRIGGER:-P2D"
                          << "2 Days Before";
    QTest::newRow("day and hours") << "TRIGGER:-P1DT2H"
                                   << "1 Days  2 Hr Before";
    QTest::newRow("at start after") << "TRIGGER:PT0S"
                                    << "At Start of Travel TimeAfter";
    QTest::newRow("at start before") << "TRIGGER:-PT0S"
                                     << "At Start of Travel TimeBefore";
    QTest::newRow("weeks") << "TRIGGER:-P1W"
                           << "1 Weeks Before";
}

void tst_ics_event_reader::alarm_offset()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QCOMPARE(column_of(scan_event({line}), "alert"), expected);
}

void tst_ics_event_reader::unfolding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CRLF and blank") << QByteArray("A:x\r\n y\r\nB:z") << QStringList{"A:xy\r", "B:z"};
    QTest::newRow("LF and tab") << QByteArray("A:x\n\ty\nB:z\n") << QStringList{"A:xy", "B:z", ""};
    QTest::newRow("only one blank removed") << QByteArray("A:x\r\n  y\r\n") << QStringList{"A:x y\r", ""};
    QTest::newRow("character split by a fold")
        << QByteArray("S:Caf\xc3\r\n \xa9\r\n") << QStringList{QString::fromUtf8("S:Caf\xc3\xa9\r"), ""};
    QTest::newRow("carriage return kept at line end") << QByteArray("A:x\r\nB") << QStringList{"A:x\r", "B"};
    QTest::newRow("no line feed: no lines") << QByteArray("BEGIN:VEVENT END:VEVENT") << QStringList{};
    QTest::newRow("folds only: no lines") << QByteArray("A:x\r\n y") << QStringList{};
    QTest::newRow("empty lines kept") << QByteArray("\n\nA\n") << QStringList{"", "", "A", ""};
}

void tst_ics_event_reader::unfolding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(read_all_lines(bytes), lines);
}

void tst_ics_event_reader::folds_across_chunk_boundaries_data()
{
    QTest::addColumn<int>("shift");
    for (int shift = -3; shift <= 3; ++shift)
        QTest::newRow(qPrintable(QString::number(shift))) << shift;
}

void tst_ics_event_reader::folds_across_chunk_boundaries()
{
    // Put the fold's CR, LF and blank, and a split character, on either side of a chunk edge.
    QFETCH(int, shift);
    const qsizetype edge = ics_unfolding_reader::chunk_size;
    const QByteArray head = "X:" + QByteArray(edge - 3 + shift, 'a');
    const QByteArray bytes = head + "\xc3\r\n \xa9tail\r\nNEXT:1\r\n";
    const QStringList lines = read_all_lines(bytes);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QString::fromUtf8(head + "\xc3\xa9tail\r"));
    QCOMPARE(lines.at(1), QString("NEXT:1\r"));
}

void tst_ics_event_reader::long_lines_are_left_out_data()
{
    // Limit 8 bytes, the carriage return counted; chunks of 3 bytes put every line across edges.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<qint64>>("offsets");
    QTest::newRow("at the limit") << QByteArray("A:12345\r\nB:1\r\n") << QStringList{"A:12345\r", "B:1\r", ""}
                                  << QList<qint64>();
    QTest::newRow("one byte over") << QByteArray("A:123456\r\nB:1\r\n") << QStringList{"B:1\r", ""}
                                   << QList<qint64>{0};
    QTest::newRow("over by its folds") << QByteArray("B:1\r\nA:12\r\n 34\r\n 567\r\nC:2\n")
                                       << QStringList{"B:1\r", "C:2", ""} << QList<qint64>{5};
    QTest::newRow("two long lines") << QByteArray("A:123456789\nB:1\nA:123456789\n") << QStringList{"B:1", ""}
                                    << QList<qint64>{0, 16};
    QTest::newRow("last line, no break after it")
        << QByteArray("B:1\nA:123456789") << QStringList{"B:1"} << QList<qint64>{4};
    QTest::newRow("no break at all") << QByteArray("A:123456789") << QStringList() << QList<qint64>();
}

void tst_ics_event_reader::long_lines_are_left_out()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(QList<qint64>, offsets);
    for (const qint64 chunk : {qint64(3), ics_unfolding_reader::chunk_size})
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        ics_unfolding_reader reader(&buffer, chunk, 8);
        QStringList read;
        QByteArrayView line;
        while (reader.next_line(&line))
            read << QString::fromUtf8(line);
        QCOMPARE(read, lines);
        QCOMPARE(reader.left_out_line_offsets(), offsets);
    }
}

namespace
{
// Every column of every row the scanner completes while reading `bytes` in chunks of `chunk`.
QList<QByteArrayList> rows_read_in_chunks(const QByteArray& bytes, qint64 chunk)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ics_unfolding_reader reader(&buffer, chunk);
    ics_event_scanner scanner(nullptr);
    scanner.start_file();
    QList<QByteArrayList> rows;
    QByteArrayView line;
    while (reader.next_line(&line))
    {
        if (scanner.scan_line(line) != ics_event_scanner::outcome::row_complete)
            continue;
        const ics_event_row r = scanner.finished_row();
        rows << QByteArrayList{r.previous_pro_id,
                               r.title,
                               r.location,
                               r.status,
                               r.conference_added,
                               r.timezone,
                               r.url,
                               r.attachment_detail,
                               r.event_end_date,
                               r.event_start_date,
                               r.event_creation_date,
                               r.event_update_date,
                               r.event_uid,
                               r.repeat_detail,
                               r.alert,
                               r.alarm_action,
                               r.event_last_modified,
                               r.end_repeat_on_date,
                               r.sound,
                               r.alert_on_date,
                               r.alarm_uid,
                               r.event_notes,
                               r.calendar_name};
        scanner.reset_row();
    }
    return rows;
}
} // namespace

void tst_ics_event_reader::streaming_gives_the_rows_of_reading_whole_data()
{
    QTest::addColumn<qint64>("chunk");
    for (qint64 chunk : {1, 2, 3, 5, 7, 64, 4093})
        QTest::newRow(qPrintable(QString::number(chunk))) << chunk;
}

void tst_ics_event_reader::streaming_gives_the_rows_of_reading_whole()
{
    // Small chunks put every fold, every CR LF and every multi-byte character across an edge.
    QFETCH(qint64, chunk);
    QByteArray bytes;
    for (const char* fixture :
         {"reader/takeout/Calendar/Work.ics", "reader/takeout/Calendar/sub/deeper/second.ics"})
        bytes += test_support::read_file(test_support::test_data(fixture));
    bytes += many_events(50);
    const QList<QByteArrayList> whole = rows_read_in_chunks(bytes, bytes.size() + 1);
    QCOMPARE(whole.size(), 56);
    QCOMPARE(rows_read_in_chunks(bytes, chunk), whole);
}

void tst_ics_event_reader::working_values_reset_between_files()
{
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(test_support::write_file(
        source.path() + "/Calendar/a.ics",
        "PRODID:p\r\nX-WR-CALNAME:First\r\nBEGIN:VEVENT\r\nDTSTART:20200101T100000Z\r\n"
        "DTEND:20200101T110000Z\r\nSUMMARY:one\r\nDESCRIPTION:only a\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nSUMMARY:half\r\nDESCRIPTION:unfinished"));
    QVERIFY(test_support::write_file(source.path() + "/Calendar/b.ics",
                                     "BEGIN:VEVENT\r\nSUMMARY:two\r\nEND:VEVENT\r\n"));
    const QList<QVariantMap> rows =
        test_support::table_rows(extraction_fixture::run(source.path(), result.path()), "calendar_events");
    // The cut-off last event of a.ics is a row of its own; nothing of a.ics reaches b.ics.
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).value("calendar_name").toString(), QString("First"));
    QCOMPARE(rows.at(1).value("title").toString(), QString("half"));
    QCOMPARE(rows.at(1).value("event_notes").toString(), QString("unfinished;;"));
    QCOMPARE(rows.at(1).value("previous_pro_id").toString(), QString());
    QCOMPARE(rows.at(2).value("title").toString(), QString("two"));
    for (const char* column :
         {"event_start_date", "event_end_date", "event_notes", "calendar_name", "previous_pro_id"})
        QCOMPARE(rows.at(2).value(column).toString(), QString());
}

void tst_ics_event_reader::unterminated_blocks_do_not_swallow_events()
{
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(
        test_support::write_file(source.path() + "/Calendar/broken.ics",
                                 "BEGIN:VTIMEZONE\r\nDTSTART:19700101T000000\r\n"
                                 "BEGIN:VEVENT\r\nSUMMARY:after a zone\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\n"
                                 "END:VEVENT\r\nBEGIN:VEVENT\r\nSUMMARY:after an alarm\r\nEND:VEVENT\r\n"));
    const QList<QVariantMap> rows =
        test_support::table_rows(extraction_fixture::run(source.path(), result.path()), "calendar_events");
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).value("title").toString(), QString("after a zone"));
    QCOMPARE(rows.at(0).value("event_start_date").toString(), QString());
    QCOMPARE(rows.at(1).value("title").toString(), QString("after an alarm"));
    QCOMPARE(rows.at(1).value("alert").toString(), QString());
}

namespace
{
struct progress_run
{
    QList<qint64> emitted;
    QList<qint64> at_ms;
    int in_parse() const { return int(emitted.size()) - 4; } // start, after the parse, the front's, final
};

QStringList uids_of(const QString& db_path)
{
    QStringList uids;
    const QString name = "uids";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(db_path);
        if (db.open())
        {
            QSqlQuery query("SELECT event_uid FROM calendar_events ORDER BY rowid", db);
            while (query.next())
                uids << query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return uids;
}

progress_run run_with_progress(QObject* context, const QString& source, const QString& result)
{
    progress_run run;
    google_calendar plugin;
    extraction_fixture::prepare(plugin, source, result);
    QElapsedTimer clock;
    QObject::connect(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall, context,
                     [&](qint64 records)
                     {
                         run.emitted << records;
                         run.at_ms << clock.elapsed();
                     });
    clock.start();
    plugin.pub_extract_artifacts();
    return run;
}
} // namespace

void tst_ics_event_reader::progress_is_throttled_and_cancel_keeps_first_rows()
{
    // Grow the calendar until its parse lasts long enough to report progress in the middle.
    QTemporaryDir source;
    QTemporaryDir whole_result;
    progress_run whole;
    int events = 0;
    for (int size : {150000, 600000, 2400000})
    {
        events = size;
        QVERIFY(test_support::write_file(source.path() + "/Calendar/long.ics", many_events(events)));
        whole = run_with_progress(this, source.path(), whole_result.path());
        if (whole.in_parse() > 0)
            break;
    }
    QVERIFY2(whole.in_parse() > 0, "no progress during a parse of millions of events");

    // Every in-parse emission comes more than a second after the one before.
    const QStringList rows = uids_of(extraction_fixture::database_of(whole_result.path()));
    QCOMPARE(rows.size(), events);
    QCOMPARE(whole.emitted.first(), qint64(0));
    QCOMPARE(whole.emitted.last(), qint64(events));
    for (int i = 1; i <= whole.in_parse(); ++i)
    {
        QVERIFY(whole.emitted.at(i) > whole.emitted.at(i - 1));
        if (i > 1)
            QVERIFY2(whole.at_ms.at(i) - whole.at_ms.at(i - 1) >= 1000,
                     "progress more often than once a second");
    }

    // Cancel at the first progress signal, as a host would: the rows stored so far are committed.
    QTemporaryDir cancelled_result;
    const QString log = cancelled_result.path() + "/debug.log";
    qint64 cancelled_at = -1;
    {
        extraction_fixture::settings s;
        s.log_file = log;
        google_calendar plugin;
        extraction_fixture::prepare(plugin, source.path(), cancelled_result.path(), s);
        connect(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall, this,
                [&](qint64 records)
                {
                    if (records > 0 && cancelled_at < 0)
                    {
                        cancelled_at = records;
                        plugin.pub_cancel_extraction();
                    }
                });
        plugin.pub_extract_artifacts();
        plugin.pub_remove_temporary_asthetics();
    }
    const QStringList kept = uids_of(extraction_fixture::database_of(cancelled_result.path()));
    QVERIFY(cancelled_at > 0);
    QCOMPARE(qint64(kept.size()), cancelled_at);
    QCOMPARE(kept, rows.mid(0, kept.size()));
    const QStringList texts = test_support::log_texts(log);
    QVERIFY(texts.contains("[extract_ics_calendar_events] -START"));
    QVERIFY(!texts.contains("[extract_ics_calendar_events] -END"));
}

QTEST_MAIN(tst_ics_event_reader)
#include "tst_ics_event_reader.moc"
