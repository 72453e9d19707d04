// Timeline entries of series, built from result databases made here with the schema's own statements:
// occurrences, moved and cancelled ones, EXDATEs, the export entry, the horizon and window, the cap,
// all-day entries, readable messages with guests, and cells a spreadsheet would run.

#include "plugin/result_schema.h"
#include "tests/test_support.h"
#include "timeline/timeline_message.h"
#include "timeline/timeline_writer.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
qint64 at(const QString& iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toSecsSinceEpoch();
}

QString text_at(const QString& iso)
{
    return QString::number(at(iso));
}

struct fixture_row
{
    QString table;
    QVariantMap values; // column name to value; event_int ties a companion row to its event's INT
};

// One calendar_events row, with the times as stored text.
fixture_row event_row(int id, const QString& uid, const QString& title, const QString& file,
                      const QString& start, const QString& end, const QString& stamp,
                      const QString& last_modified = QString(), const QString& status = "CONFIRMED")
{
    return {"calendar_events",
            {{"INT", id},
             {"event_uid", uid},
             {"title", title},
             {"calendar_name", "Work"},
             {"ics_file_path", file},
             {"source_file", file},
             {"status", status},
             {"event_start_date", start.isEmpty() ? QString() : text_at(start)},
             {"event_end_date", end.isEmpty() ? QString() : text_at(end)},
             {"event_update_date", stamp.isEmpty() ? QString() : text_at(stamp)},
             {"event_last_modified", last_modified.isEmpty() ? QString() : text_at(last_modified)}}};
}

fixture_row series_row(int event, const QVariantMap& values)
{
    QVariantMap row = values;
    row.insert("event_int", event);
    return {"calendar_event_series", row};
}

fixture_row person_row(int event, const QString& role, const QString& name, const QString& email,
                       const QString& answer)
{
    return {"calendar_event_people",
            {{"event_int", event},
             {"role", role},
             {"display_name", name},
             {"email", email},
             {"participation_status", answer}}};
}

bool create_database(const QString& path, const QList<fixture_row>& rows)
{
    const QString name = "tst_timeline_entries fixture";
    bool ok = !QFileInfo::exists(path) || QFile::remove(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        ok = ok && db.open();
        QSqlQuery query(db);
        for (const result_table& table : result_schema::tables())
            ok = ok && query.exec(table.create_statement);
        for (const fixture_row& row : rows)
        {
            const QStringList columns = row.values.keys();
            ok = ok && query.prepare("INSERT INTO " + row.table + "(" + columns.join(",") + ") VALUES(?" +
                                     QString(",?").repeated(columns.size() - 1) + ")");
            for (const QString& column : columns)
                query.addBindValue(row.values.value(column));
            ok = ok && query.exec();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

struct run_result
{
    int exit_code = -1;
    QString out;
    QString err;
};

// `file_size_limit`: the largest file the program may write, in 512-byte blocks; writing past it fails
// (EFBIG) as on a full disk.
run_result run_timeline(const QStringList& arguments, int file_size_limit = 0)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TZ", "America/New_York");
    process.setProcessEnvironment(environment);
    const QString program = QStringLiteral(GCAL_BINARY_DIR "/gcal-timeline");
    if (file_size_limit > 0)
        process.start(
            "/bin/sh",
            QStringList{"-c", QString("ulimit -f %1; trap '' XFSZ; exec \"$0\" \"$@\"").arg(file_size_limit),
                        program} +
                arguments);
    else
        process.start(program, arguments);
    run_result result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exit_code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
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

// "datetime description" of every entry of one UID, in file order.
QStringList entries_of(const QList<QJsonObject>& entries, const QString& uid)
{
    QStringList found;
    for (const QJsonObject& entry : entries)
    {
        if (entry.value("event_uid").toString() == uid)
            found << entry.value("datetime").toString() + " " + entry.value("timestamp_desc").toString();
    }
    return found;
}

QJsonObject first_entry(const QList<QJsonObject>& entries, const QString& uid, const QString& description)
{
    for (const QJsonObject& entry : entries)
    {
        if (entry.value("event_uid").toString() == uid &&
            entry.value("timestamp_desc").toString() == description)
            return entry;
    }
    return QJsonObject();
}

// A weekly series in Berlin with an EXDATE, one occurrence moved and one cancelled by its own row, all
// in one file with one DTSTAMP; organizer stored after a guest; an escaped title.
QList<fixture_row> weekly_rows()
{
    const QString file = "/Calendar/Work.ics";
    const QString stamp = "2024-06-01T12:00:00Z";
    return {
        event_row(1, "uid-weekly", "Stand-up\\, team A\\; daily\\nsecond line", file, "2024-03-05T08:15:00Z",
                  "2024-03-05T08:45:00Z", stamp, "2024-04-10T08:00:00Z"),
        series_row(1, {{"rrule", "FREQ=WEEKLY;COUNT=6"},
                       {"dtstart_as_written", "20240305T091500"},
                       {"dtstart_tzid", "Europe/Berlin"},
                       {"exdate", text_at("2024-03-19T08:15:00Z")}}),
        person_row(1, "attendee", "Ortiz\\, Mateo", "mateo@example.com", "ACCEPTED"),
        person_row(1, "organizer", "Alex Doe", "alex@example.com", ""),
        person_row(1, "attendee", "Room 1", "room1@example.com", ""),
        event_row(2, "uid-weekly", "Stand-up (moved)", file, "2024-03-27T13:00:00Z", "2024-03-27T13:30:00Z",
                  stamp),
        series_row(2, {{"recurrence_id", text_at("2024-03-26T08:15:00Z")},
                       {"dtstart_as_written", "20240327T140000"},
                       {"dtstart_tzid", "Europe/Berlin"}}),
        person_row(2, "attendee", "Ortiz\\, Mateo", "mateo@example.com", "DECLINED"),
        event_row(3, "uid-weekly", "Stand-up", file, "2024-04-09T07:15:00Z", "2024-04-09T07:45:00Z", stamp,
                  QString(), "CANCELLED"),
        series_row(3, {{"recurrence_id", text_at("2024-04-09T07:15:00Z")},
                       {"dtstart_as_written", "20240409T091500"},
                       {"dtstart_tzid", "Europe/Berlin"}}),
        event_row(4, "uid-changed", "Changed in place", file, "2024-05-01T10:00:00Z", "", stamp),
        series_row(4, {{"recurrence_id", text_at("2024-05-01T10:00:00Z")},
                       {"dtstart_as_written", "20240501T100000Z"}}),
        event_row(5, "uid-one-off", "=HYPERLINK(\"http://example.com\")", file, "2024-05-14T16:00:00Z",
                  "2024-05-14T17:00:00Z", stamp),
        event_row(6, "uid-called-off", "Called off", file, "2024-06-03T09:00:00Z", "", stamp, QString(),
                  "CANCELLED"),
        series_row(6, {{"rrule", "FREQ=DAILY;COUNT=2"}, {"dtstart_as_written", "20240603T090000Z"}}),
    };
}
} // namespace

class tst_timeline_entries : public QObject
{
    Q_OBJECT

  private slots:
    void init();

    void series_entries();
    void messages();
    void export_entry_data();
    void export_entry();
    void horizon_and_window_data();
    void horizon_and_window();
    void cap();
    void many_series();
    void failed_write_keeps_earlier_output();
    void all_day();
    void unreadable_series_kept_as_event();
    void zones_defined_by_each_file();
    void csv_cells_data();
    void csv_cells();
    void formula_in_file();
    void unescaped_data();
    void unescaped();

  private:
    QTemporaryDir dir;
    QString db_path;
};

void tst_timeline_entries::init()
{
    QVERIFY(dir.isValid());
    db_path = dir.filePath("Google_Calendar.sqlite");
    QVERIFY(create_database(db_path, weekly_rows()));
}

// Each occurrence once: the EXDATE and the cancelled row as cancelled occurrences at the time they
// cancel, the moved row at its new time only, never also at the old one.
void tst_timeline_entries::series_entries()
{
    const QString out = dir.filePath("series.jsonl");
    const run_result result = run_timeline({db_path, out});
    QCOMPARE(result.exit_code, 0);
    QVERIFY2(result.out.contains("; 2 series expanded into 5 occurrences, 4 cancelled occurrences\n"),
             qPrintable(result.out));
    const QList<QJsonObject> entries = read_jsonl(out);
    const QStringList expected = {
        "2024-03-05T08:15:00Z Occurrence Start",     "2024-03-12T08:15:00Z Occurrence Start",
        "2024-03-19T08:15:00Z Cancelled Occurrence", "2024-03-27T13:00:00Z Moved Occurrence Start",
        "2024-04-02T07:15:00Z Occurrence Start",     "2024-04-09T07:15:00Z Cancelled Occurrence",
        "2024-04-10T08:00:00Z Event Last Modified",
    };
    QCOMPARE(entries_of(entries, "uid-weekly"), expected);
    QCOMPARE(entries_of(entries, "uid-changed"),
             QStringList{"2024-05-01T10:00:00Z Changed Occurrence Start"});

    const QJsonObject moved = first_entry(entries, "uid-weekly", "Moved Occurrence Start");
    QCOMPARE(moved.value("original_time").toString(), "2024-03-26T08:15:00Z");
    QVERIFY(moved.value("message").toString().contains("moved from 2024-03-26T08:15:00Z"));
    QVERIFY(moved.value("message").toString().contains("until 2024-03-27T13:30:00Z"));
    const QJsonObject occurrence = first_entry(entries, "uid-weekly", "Occurrence Start");
    QCOMPARE(occurrence.value("original_time").toString(), "");
    QVERIFY(occurrence.value("message").toString().contains("at 2024-03-05 09:15:00 Europe/Berlin"));
    for (const QJsonObject& entry : entries)
    {
        if (entry.value("timestamp_desc").toString() != "Cancelled Occurrence")
            continue;
        QCOMPARE(entry.value("original_time").toString(), entry.value("datetime").toString());
    }
}

// The message unescapes and names organizer first; the copied column keeps the value as stored.
void tst_timeline_entries::messages()
{
    const QString out = dir.filePath("messages.jsonl");
    QCOMPARE(run_timeline({db_path, out}).exit_code, 0);
    const QList<QJsonObject> entries = read_jsonl(out);
    const QJsonObject occurrence = first_entry(entries, "uid-weekly", "Occurrence Start");
    QCOMPARE(occurrence.value("title").toString(), "Stand-up\\, team A\\; daily\\nsecond line");
    QCOMPARE(
        occurrence.value("message").toString(),
        "Occurrence Start: Stand-up, team A; daily\nsecond line (Work); occurrence of series uid-weekly at "
        "2024-03-05 09:15:00 Europe/Berlin; until 2024-03-05T08:45:00Z; organizer Alex Doe "
        "<alex@example.com>; guests Ortiz, Mateo <mateo@example.com> ACCEPTED, Room 1 "
        "<room1@example.com> no answer recorded");
    const QJsonObject moved = first_entry(entries, "uid-weekly", "Moved Occurrence Start");
    QVERIFY(moved.value("message").toString().endsWith("guests Ortiz, Mateo <mateo@example.com> DECLINED"));
    const QJsonObject cancelled = first_entry(entries, "uid-weekly", "Cancelled Occurrence");
    QVERIFY(cancelled.value("message").toString().endsWith("; cancelled by EXDATE"));
}

void tst_timeline_entries::export_entry_data()
{
    QTest::addColumn<QStringList>("stamps"); // one DTSTAMP per event of one file, empty for none
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one DTSTAMP for all: one export entry")
        << QStringList{"2024-06-01T12:00:00Z", "2024-06-01T12:00:00Z", "2024-06-01T12:00:00Z"}
        << QStringList{"2024-06-01T12:00:00Z Calendar Exported (DTSTAMP)"};
    QTest::newRow("two DTSTAMPs: each event's own")
        << QStringList{"2024-06-01T12:00:00Z", "2024-06-01T12:00:01Z", "2024-06-01T12:00:00Z"}
        << QStringList{"2024-06-01T12:00:00Z Event Stamped (DTSTAMP)",
                       "2024-06-01T12:00:00Z Event Stamped (DTSTAMP)",
                       "2024-06-01T12:00:01Z Event Stamped (DTSTAMP)"};
    QTest::newRow("one event without DTSTAMP: no export entry")
        << QStringList{"2024-06-01T12:00:00Z", "", "2024-06-01T12:00:00Z"}
        << QStringList{"2024-06-01T12:00:00Z Event Stamped (DTSTAMP)",
                       "2024-06-01T12:00:00Z Event Stamped (DTSTAMP)"};
    QTest::newRow("a file of one event: its own DTSTAMP")
        << QStringList{"2024-06-01T12:00:00Z"} << QStringList{"2024-06-01T12:00:00Z Event Stamped (DTSTAMP)"};
}

void tst_timeline_entries::export_entry()
{
    QFETCH(QStringList, stamps);
    QFETCH(QStringList, expected);
    QList<fixture_row> rows;
    for (int i = 0; i < stamps.size(); ++i)
        rows << event_row(i + 1, QString("uid-%1").arg(i), "Meeting", "/Calendar/One.ics", "", "",
                          stamps.at(i));
    // Another file's shared DTSTAMP never joins this one's.
    rows << event_row(90, "uid-other", "Other", "/Calendar/Other.ics", "", "", "2024-06-01T12:00:00Z");
    QVERIFY(create_database(db_path, rows));
    const QString out = dir.filePath("export.jsonl");
    QCOMPARE(run_timeline({"--force", db_path, out}).exit_code, 0);
    QStringList found;
    for (const QJsonObject& entry : read_jsonl(out))
    {
        if (entry.value("source_file").toString() != "/Calendar/One.ics")
            continue;
        found << entry.value("datetime").toString() + " " + entry.value("timestamp_desc").toString();
        if (entry.value("timestamp_desc").toString() == "Calendar Exported (DTSTAMP)")
        {
            QCOMPARE(entry.value("event_uid").toString(), "");
            QCOMPARE(entry.value("title").toString(), "");
            QVERIFY(entry.value("message").toString().contains(
                QString("all %1 events of /Calendar/One.ics").arg(stamps.size())));
        }
    }
    QCOMPARE(found, expected);
}

void tst_timeline_entries::horizon_and_window_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("outside");
    // Daily from 1 June 08:00 UTC, endless; its file's DTSTAMP 3 June 12:00, LAST-MODIFIED 4 June 09:00.
    QTest::newRow("to the latest LAST-MODIFIED of the file")
        << QStringList() << QStringList{"06-01", "06-02", "06-03", "06-04"} << -1;
    QTest::newRow("until ends it before the horizon")
        << QStringList{"--until", "2024-06-03"} << QStringList{"06-01", "06-02"} << 2;
    QTest::newRow("until beyond the horizon carries it on")
        << QStringList{"--until", "2024-06-07"}
        << QStringList{"06-01", "06-02", "06-03", "06-04", "06-05", "06-06"} << 0;
    QTest::newRow("from cuts the start, the plain entries before it too")
        << QStringList{"--from", "2024-06-03"} << QStringList{"06-03", "06-04"} << 3;
}

void tst_timeline_entries::horizon_and_window()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    QFETCH(int, outside);
    const QString file = "/Calendar/Daily.ics";
    QVERIFY(create_database(
        db_path,
        {event_row(1, "uid-daily", "Daily", file, "2024-06-01T08:00:00Z", "2024-06-01T08:30:00Z",
                   "2024-06-03T12:00:00Z", "2024-06-01T07:00:00Z"),
         series_row(1, {{"rrule", "FREQ=DAILY"}, {"dtstart_as_written", "20240601T080000Z"}}),
         event_row(2, "uid-later", "Later", file, "", "", "2024-06-03T12:00:00Z", "2024-06-04T09:00:00Z")}));
    const QString out = dir.filePath("window.jsonl");
    const run_result result = run_timeline(options + QStringList{"--force", db_path, out});
    QCOMPARE(result.exit_code, 0);
    QStringList days;
    for (const QJsonObject& entry : read_jsonl(out))
    {
        const QString datetime = entry.value("datetime").toString();
        if (options.contains("--from"))
            QVERIFY(datetime >= "2024-06-03");
        if (entry.value("timestamp_desc").toString() == "Occurrence Start")
            days << datetime.mid(5, 5);
    }
    QCOMPARE(days, expected);
    if (outside < 0)
        QVERIFY(!result.out.contains("outside the window"));
    else
        QVERIFY2(result.out.contains(QString("; %1 entries outside the window").arg(outside)),
                 qPrintable(result.out));
}

// FREQ=SECONDLY to a horizon a day away would be 86,400 entries: the cap stops it and the summary says so.
void tst_timeline_entries::cap()
{
    const QString file = "/Calendar/Hostile.ics";
    QVERIFY(create_database(
        db_path,
        {event_row(1, "uid-hostile", "Every second", file, "2024-06-01T00:00:00Z", "",
                   "2024-06-02T00:00:00Z"),
         series_row(1, {{"rrule", "FREQ=SECONDLY"}, {"dtstart_as_written", "20240601T000000Z"}}),
         event_row(2, "uid-calm", "Weekly", file, "2024-06-01T09:00:00Z", "", "2024-06-02T00:00:01Z"),
         series_row(2, {{"rrule", "FREQ=WEEKLY;COUNT=2"}, {"dtstart_as_written", "20240601T090000Z"}})}));
    const QString out = dir.filePath("cap.jsonl");
    const run_result result = run_timeline({db_path, out});
    QCOMPARE(result.exit_code, 0);
    QVERIFY2(result.out.endsWith("; 1 series cut at 10000 occurrences: uid-hostile\n"),
             qPrintable(result.out));
    int hostile = 0;
    int calm = 0;
    for (const QJsonObject& entry : read_jsonl(out))
    {
        if (entry.value("timestamp_desc").toString() != "Occurrence Start")
            continue;
        hostile += entry.value("event_uid").toString() == "uid-hostile" ? 1 : 0;
        calm += entry.value("event_uid").toString() == "uid-calm" ? 1 : 0;
    }
    QCOMPARE(hostile, 10000);
    QCOMPARE(calm, 2);
}

// Two hundred series expanded in blocks on several threads, some in a zone their file defines, two in a
// zone nobody knows: every occurrence once, sorted by time, ties in the order of the events, the unknown
// zone reported once for its file.
QList<fixture_row> many_series_rows()
{
    const QString office_time =
        QStringList{"BEGIN:VTIMEZONE",    "TZID:Office Time", "BEGIN:STANDARD", "DTSTART:19700101T000000",
                    "TZOFFSETFROM:+0200", "TZOFFSETTO:+0200", "END:STANDARD",   "END:VTIMEZONE"}
            .join("\r\n");
    QList<fixture_row> rows;
    for (int id = 1; id <= 200; ++id)
    {
        const QString file = id % 2 ? "/Calendar/Odd.ics" : "/Calendar/Even.ics";
        const QString uid = QString("uid-%1").arg(id, 3, 10, QChar('0'));
        rows << event_row(id, uid, "Daily " + uid, file, "2024-06-01T09:00:00Z", "2024-06-01T09:30:00Z",
                          "2024-07-01T00:00:00Z");
        QVariantMap series{{"rrule", "FREQ=DAILY;COUNT=150"}, {"dtstart_as_written", "20240601T090000Z"}};
        if (id % 4 == 1)
            series = {{"rrule", "FREQ=DAILY;COUNT=150"},
                      {"dtstart_as_written", "20240601T110000"},
                      {"dtstart_tzid", "Office Time"},
                      {"zone_definition", office_time}};
        else if (id == 150 || id == 190)
            series = {{"rrule", "FREQ=DAILY;COUNT=150"},
                      {"dtstart_as_written", "20240601T050000"},
                      {"dtstart_tzid", "Nowhere/Atlantis"}};
        rows << series_row(id, series);
    }
    return rows;
}

void tst_timeline_entries::many_series()
{
    QVERIFY(create_database(db_path, many_series_rows()));
    const QString out = dir.filePath("many.jsonl");
    const run_result result = run_timeline({db_path, out});
    QCOMPARE(result.exit_code, 0);
    QVERIFY2(result.out.contains("; 200 series expanded into 30000 occurrences, 0 cancelled occurrences"),
             qPrintable(result.out));
    QCOMPARE(result.err.count("Nowhere/Atlantis"), 1);
    QVERIFY(result.err.contains("/Calendar/Even.ics: zone Nowhere/Atlantis unknown"));

    QMap<QString, int> occurrences;
    qint64 last_timestamp = std::numeric_limits<qint64>::min();
    QString last_uid;
    for (const QJsonObject& entry : read_jsonl(out))
    {
        const qint64 timestamp = qint64(entry.value("timestamp").toDouble());
        const QString uid = entry.value("event_uid").toString();
        QVERIFY(timestamp >= last_timestamp);
        if (timestamp == last_timestamp)
            QVERIFY2(uid >= last_uid, qPrintable(last_uid + " before " + uid)); // the events' order
        last_timestamp = timestamp;
        last_uid = uid;
        if (entry.value("timestamp_desc").toString() != "Occurrence Start")
            continue;
        ++occurrences[uid];
        // 05:00 in the machine's New York is 09:00 UTC, as 11:00 Office Time and 09:00Z are.
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(timestamp / 1000, Qt::UTC).time(), QTime(9, 0));
    }
    QCOMPARE(occurrences.size(), 200);
    for (const int count : occurrences)
        QCOMPARE(count, 150);
}

// A write that fails part-way (the disk full, here a file size limit) is an error, and the earlier
// output stays as it was, with nothing left beside it.
void tst_timeline_entries::failed_write_keeps_earlier_output()
{
    QVERIFY(create_database(db_path, many_series_rows()));
    const QString out = dir.filePath("many.jsonl");
    const QByteArray earlier = "earlier timeline\n";
    QVERIFY(test_support::write_file(out, earlier));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    const run_result result = run_timeline({"--force", db_path, out}, 12000);
    QCOMPARE(result.exit_code, 1);
    QVERIFY2(result.err.startsWith("gcal-timeline: cannot write " + out), qPrintable(result.err));
    QCOMPARE(test_support::read_file(out), earlier);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
}

// All-day entries say so and give the date; the occurrences stand at the machine's midnight.
void tst_timeline_entries::all_day()
{
    const QString file = "/Calendar/Family.ics";
    QVERIFY(create_database(
        db_path, {event_row(1, "uid-birthday", "Birthday", file, "2024-03-05T05:00:00Z",
                            "2024-03-06T05:00:00Z", "2024-03-20T00:00:00Z"),
                  series_row(1, {{"rrule", "FREQ=WEEKLY;COUNT=2"},
                                 {"dtstart_as_written", "20240305"},
                                 {"exdate", text_at("2024-03-12T04:00:00Z")}}),
                  event_row(2, "uid-holiday", "Holiday", file, "2024-03-18T04:00:00Z", "2024-03-19T04:00:00Z",
                            "2024-03-20T00:00:01Z"),
                  series_row(2, {{"dtstart_as_written", "20240318"}, {"transp", "TRANSPARENT"}})}));
    const QString out = dir.filePath("all-day.jsonl");
    const run_result run = run_timeline({db_path, out});
    QCOMPARE(run.exit_code, 0);
    // A date has no zone to be unknown.
    QVERIFY2(!run.err.contains("unknown"), qPrintable(run.err));
    QStringList found;
    for (const QJsonObject& entry : read_jsonl(out))
    {
        QCOMPARE(entry.value("all_day").toString(), "true");
        const QString message = entry.value("message").toString();
        found << entry.value("datetime").toString() + " " + entry.value("timestamp_desc").toString() + " " +
                     message.mid(message.indexOf("all-day, "), 19);
    }
    QCOMPARE(found, (QStringList{"2024-03-05T05:00:00Z Occurrence Start all-day, 2024-03-05",
                                 "2024-03-12T04:00:00Z Cancelled Occurrence all-day, 2024-03-12",
                                 "2024-03-18T04:00:00Z Event Start all-day, 2024-03-18",
                                 "2024-03-19T04:00:00Z Event End all-day, 2024-03-18",
                                 "2024-03-20T00:00:00Z Event Stamped (DTSTAMP) all-day, 2024-03-05",
                                 "2024-03-20T00:00:01Z Event Stamped (DTSTAMP) all-day, 2024-03-18"}));
}

// A series row whose DTSTART cannot be read leaves the event's own start and end, and says why.
void tst_timeline_entries::unreadable_series_kept_as_event()
{
    QVERIFY(create_database(
        db_path, {event_row(1, "uid-odd", "Odd", "/Calendar/Odd.ics", "2024-06-01T08:00:00Z",
                            "2024-06-01T09:00:00Z", ""),
                  series_row(1, {{"rrule", "FREQ=DAILY"}, {"dtstart_as_written", "2024-06-01 08:00"}})}));
    const QString out = dir.filePath("odd.jsonl");
    const run_result result = run_timeline({db_path, out});
    QCOMPARE(result.exit_code, 0);
    QVERIFY2(result.err.contains("uid-odd: DTSTART as written is not a date or date-time"),
             qPrintable(result.err));
    QVERIFY(result.out.endsWith("; 1 series rows not fully read\n"));
    QCOMPARE(entries_of(read_jsonl(out), "uid-odd"),
             (QStringList{"2024-06-01T08:00:00Z Event Start", "2024-06-01T09:00:00Z Event End"}));
}

// A TZID no database knows, defined by the file itself: each file's own definition, even where two files
// give one name different offsets.
void tst_timeline_entries::zones_defined_by_each_file()
{
    const auto zone = [](const QString& offset)
    {
        return QStringList{
            "BEGIN:VTIMEZONE",        "TZID:Office Time",     "BEGIN:STANDARD", "DTSTART:19700101T000000",
            "TZOFFSETFROM:" + offset, "TZOFFSETTO:" + offset, "TZNAME:OT",      "END:STANDARD",
            "END:VTIMEZONE"}
            .join("\r\n");
    };
    QList<fixture_row> rows;
    const QStringList files{"/Calendar/Mumbai.ics", "/Calendar/Cairo.ics"};
    const QStringList offsets{"+0530", "+0200"};
    for (int i = 0; i < 2; ++i)
    {
        rows << event_row(i + 1, "uid-" + QString::number(i), "Office", files.at(i), "", "", "")
             << series_row(i + 1, {{"rrule", "FREQ=DAILY;COUNT=2"},
                                   {"dtstart_as_written", "20240601T090000"},
                                   {"dtstart_tzid", "Office Time"},
                                   {"zone_definition", zone(offsets.at(i))}});
    }
    QVERIFY(create_database(db_path, rows));
    const QString out = dir.filePath("zones.jsonl");
    QCOMPARE(run_timeline({db_path, out}).exit_code, 0);
    const QList<QJsonObject> entries = read_jsonl(out);
    QCOMPARE(entries_of(entries, "uid-0"),
             (QStringList{"2024-06-01T03:30:00Z Occurrence Start", "2024-06-02T03:30:00Z Occurrence Start"}));
    QCOMPARE(entries_of(entries, "uid-1"),
             (QStringList{"2024-06-01T07:00:00Z Occurrence Start", "2024-06-02T07:00:00Z Occurrence Start"}));
    QVERIFY(first_entry(entries, "uid-0", "Occurrence Start")
                .value("message")
                .toString()
                .contains("at 2024-06-01 09:00:00 Office Time"));

    // A name neither known nor defined: expanded in the machine's zone (New York here), and said so.
    QVERIFY(create_database(
        db_path,
        {event_row(1, "uid-lost", "Lost", "/Calendar/Lost.ics", "", "", ""),
         series_row(1, {{"rrule", "FREQ=DAILY;COUNT=1"},
                        {"dtstart_as_written", "20240601T090000"},
                        {"dtstart_tzid", "Nowhere/Atlantis"}}),
         event_row(2, "uid-floating", "Floating", "/Calendar/Lost.ics", "", "", ""),
         series_row(2, {{"rrule", "FREQ=DAILY;COUNT=1"}, {"dtstart_as_written", "20240601T090000"}})}));
    const run_result lost = run_timeline({"--force", db_path, out});
    QCOMPARE(lost.exit_code, 0);
    // A floating time is the machine's clock by definition: no note for it.
    QCOMPARE(lost.err.count("unknown"), 1);
    QCOMPARE(entries_of(read_jsonl(out), "uid-floating"),
             QStringList{"2024-06-01T13:00:00Z Occurrence Start"});
    QVERIFY2(lost.err.contains("gcal-timeline: note: /Calendar/Lost.ics: zone Nowhere/Atlantis unknown, its "
                               "series expanded in the machine's zone\n"),
             qPrintable(lost.err));
    QCOMPARE(entries_of(read_jsonl(out), "uid-lost"), QStringList{"2024-06-01T13:00:00Z Occurrence Start"});
}

void tst_timeline_entries::csv_cells_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("cell");
    QTest::newRow("formula") << "=HYPERLINK(\"http://x\",\"y\")"
                             << "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"";
    QTest::newRow("plus") << "+1+1"
                          << "'+1+1";
    QTest::newRow("minus") << "-2+3"
                           << "'-2+3";
    QTest::newRow("at") << "@SUM(A1)"
                        << "'@SUM(A1)";
    QTest::newRow("tab") << "\tcmd"
                         << "'\tcmd";
    QTest::newRow("carriage return") << "\r=1"
                                     << "\"'\r=1\"";
    QTest::newRow("inside is harmless") << "a=1+2"
                                        << "a=1+2";
    QTest::newRow("plain") << "Stand-up"
                           << "Stand-up";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("comma quoted") << "a, b"
                                  << "\"a, b\"";
}

void tst_timeline_entries::csv_cells()
{
    QFETCH(QString, value);
    QFETCH(QString, cell);
    QCOMPARE(timeline_writer::csv_cell(value), cell);
}

// The same title goes to CSV guarded and to JSON lines verbatim; a negative timestamp stays a number.
void tst_timeline_entries::formula_in_file()
{
    QVERIFY(create_database(
        db_path, {event_row(1, "uid-f", "=1+2", "/Calendar/F.ics", "1969-12-31T00:00:00Z", "", "")}));
    const QString csv = dir.filePath("f.csv");
    const QString jsonl = dir.filePath("f.jsonl");
    QCOMPARE(run_timeline({db_path, csv}).exit_code, 0);
    QCOMPARE(run_timeline({db_path, jsonl}).exit_code, 0);
    const QList<QByteArray> lines = test_support::read_file(csv).split('\n');
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines.at(1),
             QByteArray("Event Start: =1+2 (Work),1969-12-31T00:00:00Z,-86400000000,Event Start,'=1+2,,Work,"
                        "uid-f,CONFIRMED,,,/Calendar/F.ics,false,\r"));
    const QList<QJsonObject> entries = read_jsonl(jsonl);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).value("title").toString(), "=1+2");
    QCOMPARE(entries.at(0).value("timestamp").toInteger(), -86400000000LL);
}

void tst_timeline_entries::unescaped_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("readable");
    QTest::newRow("comma and semicolon") << "a\\, b\\; c"
                                         << "a, b; c";
    QTest::newRow("line breaks") << "one\\ntwo\\Nthree"
                                 << "one\ntwo\nthree";
    QTest::newRow("backslash") << "C:\\\\temp"
                               << "C:\\temp";
    QTest::newRow("escaped backslash before n") << "a\\\\nb"
                                                << "a\\nb";
    QTest::newRow("unknown escape stays") << "a\\tb"
                                          << "a\\tb";
    QTest::newRow("trailing backslash stays") << "end\\"
                                              << "end\\";
    QTest::newRow("nothing to do") << "plain"
                                   << "plain";
}

void tst_timeline_entries::unescaped()
{
    QFETCH(QString, stored);
    QFETCH(QString, readable);
    QCOMPARE(timeline_message::unescaped(stored), readable);
}

QTEST_MAIN(tst_timeline_entries)
#include "tst_timeline_entries.moc"
