// Each row is exactly one event: nothing merged, nothing taken from the calendar header or from
// other components, every spelling and parameter form of a property read, nothing lost unlogged.

#include "extractors/ics/ics_calendar_file.h"
#include "extractors/ics_calendar_store.h"
#include "plugin/result_schema.h"
#include "tests/extraction_fixture.h"
#include "tests/test_support.h"

#include <QBuffer>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <ctime>

namespace
{
using column_values = QMap<QString, QString>;

QByteArray column(const ics_event_row& row, const QString& name)
{
    const QHash<QString, QByteArray> values = {
        {"title", row.title},
        {"location", row.location},
        {"status", row.status},
        {"url", row.url},
        {"event_notes", row.event_notes},
        {"event_uid", row.event_uid},
        {"timezone", row.timezone},
        {"attachment_detail", row.attachment_detail},
        {"sound", row.sound},
        {"alert", row.alert},
        {"alert_on_date", row.alert_on_date},
        {"alarm_action", row.alarm_action},
        {"repeat_detail", row.repeat_detail},
        {"previous_pro_id", row.previous_pro_id},
        {"calendar_name", row.calendar_name},
        {"event_start_date", row.event_start_date},
        {"event_end_date", row.event_end_date},
        {"event_update_date", row.event_update_date},
    };
    return values.value(name, "(no such column)");
}

struct reading
{
    QList<ics_event_row> rows;
    QStringList notes;
};

reading read_bytes(QByteArray bytes, QIODevice* device = nullptr)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    reading result;
    ics_calendar_file file(nullptr);
    file.read(
        device ? device : &buffer,
        [&](const ics_settled_event& e)
        {
            result.rows.append(e.row);
            return true;
        },
        [&](const QString& note) { result.notes.append(note); });
    return result;
}

QByteArray crlf(const QByteArrayList& lines)
{
    return lines.join("\r\n") + "\r\n";
}

QString utc(int y, int mo, int d, int h, int mi = 0)
{
    return QString::number(QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc()).toSecsSinceEpoch());
}

QString local(int y, int mo, int d)
{
    return QString::number(QDateTime(QDate(y, mo, d), QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch());
}

// A device that gives its bytes up to `fail_at`, then fails like a disk that cannot be read.
class failing_device : public QIODevice
{
  public:
    failing_device(QByteArray bytes, qint64 fail_at) : bytes(std::move(bytes)), fail_at(fail_at)
    {
        open(QIODevice::ReadOnly);
    }

  protected:
    qint64 readData(char* data, qint64 max) override
    {
        if (pos() >= fail_at)
        {
            setErrorString("Input/output error");
            return -1;
        }
        const qint64 n = qMin(max, fail_at - pos());
        memcpy(data, bytes.constData() + pos(), size_t(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QByteArray bytes;
    qint64 fail_at;
};
} // namespace

class tst_event_integrity : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        qputenv("TZ", "America/New_York");
        tzset();
    }
    void rows_are_events_data();
    void rows_are_events();
    void read_error_keeps_the_rows_before();
    void accumulated_values_are_capped();
    void a_value_sqlite_cannot_take_fails_the_row();
    void evidence_below_an_icbu_folder_of_the_examiner_is_read();
};

void tst_event_integrity::rows_are_events_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<column_values>>("rows");
    QTest::addColumn<QStringList>("notes");

    QTest::newRow("an event without END:VEVENT is not merged with the next")
        << crlf({"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:first", "SUMMARY:First", "LOCATION:Here",
                 "DTSTART:20240101T100000Z", "BEGIN:VEVENT", "UID:second", "SUMMARY:Second",
                 "DTSTART:20240102T100000Z", "DTEND:20240102T110000Z", "END:VEVENT", "END:VCALENDAR"})
        << QList<column_values>{{{"event_uid", "first"},
                                 {"title", "First"},
                                 {"location", "Here"},
                                 {"event_end_date", ""}},
                                {{"event_uid", "second"}, {"title", "Second"}, {"location", ""}}}
        << QStringList{"event without END:VEVENT from line 2 stored with what it has"};
    QTest::newRow("a cut-off last event is a row")
        << crlf({"BEGIN:VCALENDAR", "BEGIN:VEVENT", "UID:whole", "END:VEVENT", "BEGIN:VEVENT", "UID:cut",
                 "SUMMARY:Cut off"})
        << QList<column_values>{{{"event_uid", "whole"}}, {{"event_uid", "cut"}, {"title", "Cut off"}}}
        << QStringList{"event without END:VEVENT from line 5 stored with what it has"};
    QTest::newRow("calendar header and lines between events stay out")
        << crlf({"BEGIN:VCALENDAR", "PRODID:-//Google Inc//Google Calendar 70.9054//EN", "X-WR-CALNAME:Work",
                 "DESCRIPTION:The calendar's description", "URL:http://calendar.example",
                 "NAME:Work calendar", "STATUS:CANCELLED", "BEGIN:VEVENT", "UID:a", "END:VEVENT",
                 "STATUS:CANCELLED", "DESCRIPTION:between", "BEGIN:VEVENT", "UID:b", "END:VEVENT",
                 "END:VCALENDAR"})
        << QList<column_values>{{{"event_uid", "a"},
                                 {"status", ""},
                                 {"event_notes", ""},
                                 {"url", ""},
                                 {"previous_pro_id", "-//Google Inc//Google Calendar 70.9054//EN"},
                                 {"calendar_name", "Work"}},
                                {{"event_uid", "b"},
                                 {"status", ""},
                                 {"event_notes", ""},
                                 {"previous_pro_id", ""},
                                 {"calendar_name", "Work"}}}
        << QStringList();
    QTest::newRow("other components inside an event do not feed it")
        << crlf({"BEGIN:VEVENT", "UID:a", "SUMMARY:Own", "BEGIN:VLOCATION", "NAME:Elsewhere",
                 "LOCATION:Elsewhere", "END:VLOCATION", "BEGIN:PARTICIPANT", "SUMMARY:Participant",
                 "DESCRIPTION:Participant notes", "END:PARTICIPANT", "BEGIN:X-THING", "SUMMARY:Thing",
                 "END:X-THING", "BEGIN:VALARM", "DESCRIPTION:Alarm text", "END:VALARM", "END:VEVENT"})
        << QList<column_values>{{{"title", "Own"},
                                 {"location", ""},
                                 {"event_notes", "Alarm text;;"},
                                 {"event_uid", "a"}}}
        << QStringList();
    QTest::newRow("names in any case")
        << crlf({"begin:vevent", "summary:Lower", "Dtstart:20240101T100000Z", "location:Room", "end:vevent"})
        << QList<column_values>{{{"title", "Lower"},
                                 {"location", "Room"},
                                 {"event_start_date", utc(2024, 1, 1, 10)}}}
        << QStringList();
    QTest::newRow("properties with parameters")
        << crlf({"BEGIN:VEVENT", "SUMMARY;LANGUAGE=de:Besprechung", "DESCRIPTION;ALTREP=\"cid:x\":Agenda",
                 "LOCATION;ALTREP=\"http://x\":Raum 1\\, Etage 2", "URL:http://plain.example", "BEGIN:VALARM",
                 "TRIGGER;VALUE=DURATION:-PT15M", "END:VALARM", "END:VEVENT"})
        << QList<column_values>{{{"title", "Besprechung"},
                                 {"event_notes", "Agenda;;"},
                                 {"location", "Raum 1, Etage 2"},
                                 {"url", "http://plain.example"},
                                 {"alert", " 15 Min Before"}}}
        << QStringList();
    QTest::newRow("an event's own attachments, in any parameter order")
        << crlf({"BEGIN:VEVENT", "ATTACH;FILENAME=plan.pdf;FMTTYPE=application/pdf:https://drive.example/1",
                 "ATTACH;FMTTYPE=image/png;FILENAME=map.png:https://drive.example/2",
                 "ATTACH:https://drive.example/3", "ATTACH;FMTTYPE=image/png:https://drive.example/4",
                 "BEGIN:VALARM", "ATTACH;VALUE=URI:Chord", "END:VALARM", "END:VEVENT"})
        << QList<column_values>{{{"attachment_detail",
                                  "plan.pdf;FMTTYPE=application/pdf:https://drive.example/1;"
                                  "map.png;FMTTYPE=image/png:https://drive.example/2;"
                                  "https://drive.example/3;https://drive.example/4;"},
                                 {"sound", "Chord"}}}
        << QStringList();
    QTest::newRow("FREQ anywhere in the rule")
        << crlf({"BEGIN:VEVENT", "RRULE:BYDAY=MO;FREQ=WEEKLY;COUNT=5", "END:VEVENT"})
        << QList<column_values>{{{"repeat_detail", "BYDAY: MONDAY;Frequency: WEEKLY;End Repeat Count: 5"}}}
        << QStringList();
    QTest::newRow("alarm relative to the end")
        << crlf({"BEGIN:VEVENT", "BEGIN:VALARM", "TRIGGER;RELATED=END:PT5M", "END:VALARM", "END:VEVENT"})
        << QList<column_values>{{{"alert", " 5 Min After End"}}} << QStringList();
    QTest::newRow("DURATION gives the end")
        << crlf({"BEGIN:VEVENT", "UID:timed", "DTSTART;TZID=Europe/Berlin:20240330T230000",
                 "DURATION:P1DT1H30M", "END:VEVENT", "BEGIN:VEVENT", "UID:day", "DTSTART;VALUE=DATE:20240309",
                 "DURATION:P2D", "END:VEVENT", "BEGIN:VEVENT", "UID:both", "DTSTART:20240101T100000Z",
                 "DTEND:20240101T110000Z", "DURATION:PT5H", "END:VEVENT"})
        // Across the change to summer time the day is a calendar day: 31 March 23:00 CEST, then 90 minutes.
        << QList<column_values>{{{"event_uid", "timed"}, {"event_end_date", utc(2024, 3, 31, 22, 30)}},
                                {{"event_uid", "day"}, {"event_end_date", local(2024, 3, 11)}},
                                {{"event_uid", "both"}, {"event_end_date", utc(2024, 1, 1, 11)}}}
        << QStringList();
    QTest::newRow("a Windows-1252 file")
        << QByteArray(
               "\xEF\xBB\xBF"
               "BEGIN:VCALENDAR\r\nX-WR-CALNAME:Kalender\r\nBEGIN:VEVENT\r\nSUMMARY:Caf\xE9 M\xFCller\r\n"
               "LOCATION:Stra\xDF"
               "e \x80 5\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        << QList<column_values>{{{"title", QString::fromUtf8(u8"Café Müller")},
                                 {"location", QString::fromUtf8(u8"Straße € 5")},
                                 {"calendar_name", "Kalender"}}}
        << QStringList{"bytes that are not UTF-8 from line 4: text read as Windows-1252"};
    QTest::newRow("a UTF-8 file is untouched")
        << QByteArray(
               "\xEF\xBB\xBF"
               "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:Caf\xC3\xA9\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        << QList<column_values>{{{"title", QString::fromUtf8(u8"Café")}}} << QStringList();
    QTest::newRow("a time that cannot be read is logged")
        << crlf({"BEGIN:VEVENT", "DTSTART:2024-13-45", "DTSTAMP:yesterday", "END:VEVENT"})
        << QList<column_values>{{{"event_start_date", ""}, {"event_update_date", ""}}}
        << QStringList{"DTSTART value \"2024-13-45\" is no date or time: left empty",
                       "DTSTAMP value \"yesterday\" is no date or time: left empty"};
}

void tst_event_integrity::rows_are_events()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<column_values>, rows);
    QFETCH(QStringList, notes);
    const reading read = read_bytes(file);
    QCOMPARE(read.rows.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
    {
        for (auto it = rows.at(i).constBegin(); it != rows.at(i).constEnd(); ++it)
            QVERIFY2(
                QString::fromUtf8(column(read.rows.at(i), it.key())) == it.value(),
                qPrintable(QString("row %1 %2: %3").arg(i).arg(it.key(), column(read.rows.at(i), it.key()))));
    }
    QCOMPARE(read.notes, notes);
}

void tst_event_integrity::read_error_keeps_the_rows_before()
{
    const QByteArray bytes =
        crlf({"BEGIN:VEVENT", "UID:before", "END:VEVENT", "BEGIN:VEVENT", "UID:after", "END:VEVENT"});
    const qint64 fail_at = bytes.indexOf("BEGIN:VEVENT", 5);
    failing_device device(bytes, fail_at);
    const reading read = read_bytes(QByteArray(), &device);
    QCOMPARE(read.rows.size(), 1);
    QCOMPARE(read.rows.first().event_uid, QByteArray("before"));
    QCOMPARE(
        read.notes,
        QStringList{QString("read error at byte %1: Input/output error: the rest of the file is not read")
                        .arg(fail_at)});
}

void tst_event_integrity::accumulated_values_are_capped()
{
    const QByteArray line = "DESCRIPTION:" + QByteArray(1 << 20, 'n') + "\r\n";
    const reading read =
        read_bytes("BEGIN:VEVENT\r\n" + line.repeated(130) + "SUMMARY:kept\r\nEND:VEVENT\r\n");
    QCOMPARE(read.rows.size(), 1);
    QCOMPARE(read.rows.first().event_notes.size(), ics_event_scanner::max_accumulated_size);
    QCOMPARE(read.rows.first().title, QByteArray("kept"));
    QCOMPARE(read.notes, QStringList{"notes of the event from line 1 cut at 134217728 bytes"});
}

void tst_event_integrity::a_value_sqlite_cannot_take_fails_the_row()
{
    QTemporaryDir dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "too_big");
        db.setDatabaseName(dir.path() + "/r.sqlite");
        QVERIFY(db.open());
        QSqlQuery(db).exec(
            "CREATE TABLE calendar_events(INT INTEGER PRIMARY KEY,bookmark,system_user,"
            "takeout_email_id,previous_pro_id,title,location,status,conference_added,timezone,url,"
            "attachment_detail,event_end_date,event_start_date,event_creation_date,event_update_date,"
            "event_uid,repeat_detail,alert,alarm_action,event_last_modified,end_repeat_on_date,sound,"
            "alert_on_date,alarm_uid,event_notes,ics_file_path,export_file_paths,source_file,"
            "source_count_name,os_scheme_display,calendar_name)");
        for (const result_table& table : result_schema::companion_tables())
            QSqlQuery(db).exec(table.create_statement);
        sqlite3* handle = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
        sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, 1000);
        ics_calendar_store store(db);
        ics_event_row row;
        row.title = QByteArray(2000, 't');
        QVERIFY(!store.insert(row, ics_row_provenance()));
        QVERIFY2(store.last_error_text().contains("value 5 of the row not bound"),
                 qPrintable(store.last_error_text()));
        row.title = "fits";
        QVERIFY(store.insert(row, ics_row_provenance()));
        QSqlQuery stored(db);
        QVERIFY(stored.exec("select title from calendar_events") && stored.next());
        QCOMPARE(stored.value(0).toString(), QString("fits"));
        QVERIFY(!stored.next());
    }
    QSqlDatabase::removeDatabase("too_big");
}

void tst_event_integrity::evidence_below_an_icbu_folder_of_the_examiner_is_read()
{
    QTemporaryDir cases;
    const QString source = cases.path() + "/cases/x.icbu/takeout";
    const QString result = cases.path() + "/result";
    QVERIFY(
        test_support::write_file(source + "/Calendar/a.ics", crlf({"BEGIN:VEVENT", "UID:a", "END:VEVENT"})));
    QVERIFY(test_support::write_file(source + "/Calendar/backup.icbu/b.ics",
                                     crlf({"BEGIN:VEVENT", "UID:b", "END:VEVENT"})));
    const QList<QVariantMap> rows =
        test_support::table_rows(extraction_fixture::run(source, result), "calendar_events");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value("event_uid").toString(), QString("a"));
}

QTEST_MAIN(tst_event_integrity)
#include "tst_event_integrity.moc"
