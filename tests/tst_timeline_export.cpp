// Timeline export: entries, their order and fields in both formats, the refusals of bad input, and the
// export run by gcal-extract --timeline.

#include "plugin/result_schema.h"
#include "tests/test_support.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QStringList header = {"message", "datetime",         "timestamp",         "timestamp_desc",
                            "title",   "location",         "calendar_name",     "event_uid",
                            "status",  "takeout_email_id", "source_count_name", "source_file",
                            "all_day", "original_time"};
// The event's columns each entry copies, as the database keeps them.
const QStringList copied_columns = header.mid(4, 8);

const QStringList time_columns = {"event_start_date",  "event_end_date",      "event_creation_date",
                                  "event_update_date", "event_last_modified", "alert_on_date",
                                  "end_repeat_on_date"};

// One stored row: the eight copied texts (title .. source_file) and the seven time columns.
struct fixture_event
{
    int id;
    QStringList texts;
    QVariantList times;
};

const QString quoted_title = "Lunch, \"Big\" one\nsecond line";
const QString umlaut_title = QString::fromUtf8("Besprechung \xC3\xBC"
                                               "ber Z\xC3\xBCrich \xE2\x80\x93 "
                                               "\xE4\xBC\x9A\xE8\xAD\xB0 \xF0\x9F\x8E\x89");

// Inserted out of id order on purpose: ties must follow the event order, which is the id.
QList<fixture_event> fixture_events()
{
    const QVariant null;
    return {
        {5,
         {quoted_title, "Room \"A\", floor 2\r\nnext", "Team, private", "uid-quotes", "TENTATIVE",
          "b@example.com", "Source2", "/Calendar/Team.ics"},
         {"1700000000", "253402300799", "1700000000", "-62135596800", "", "", "1700000000"}},
        {1,
         {"Weekly sync", "Room 1, Building 2 Floor 3", "Work calendar", "uid-weekly", "CONFIRMED",
          "alex@example.com", "Source1", "/Calendar/Work.ics"},
         {"1700000000", "1700003600", "1600000000", "1700000500", "1650000000", "1699999100", "1710000000"}},
        {2,
         {"No times", "", "Work calendar", "uid-none", "CONFIRMED", "", "Source1", "/Calendar/Work.ics"},
         {"", "", "", "", null, null, null}},
        {3,
         {"Garbage times", "", "Work calendar", "uid-garbage", "", "", "Source1", "/Calendar/Work.ics"},
         {" 5", "+5", "abc", "99999999999999999999", "20200101T100000Z", "253402300800", "12.5"}},
        {4,
         {umlaut_title,
          QString::fromUtf8("Stra\xC3\x9F"
                            "e 5"),
          QString::fromUtf8("Kalender \xC3\xA4"), "uid-umlaut", "CONFIRMED\r", "", "Source1",
          QString::fromUtf8("/Calendar/K\xC3\xA4lender.ics")},
         {"-86400", "", "", "", "", "", ""}},
        {6,
         {"", "", "", "uid-bare", "", "", "Source1", "/Calendar/Bare.ics"},
         {"", "", "", "", "", "1500000000", ""}},
    };
}

// What the examiner must see, in this order: message, datetime, timestamp, timestamp_desc, event.
struct expected_entry
{
    QString message;
    QString datetime;
    QString timestamp;
    QString description;
    QString uid;
};

QList<expected_entry> expected_entries()
{
    const QString quotes = "Lunch, \"Big\" one\nsecond line (Team, private)";
    const QString weekly = "Weekly sync (Work calendar)";
    return {
        {"Event Stamped (DTSTAMP): " + quotes, "0001-01-01T00:00:00Z", "-62135596800000000",
         "Event Stamped (DTSTAMP)", "uid-quotes"},
        {"Event Start: " + umlaut_title + QString::fromUtf8(" (Kalender \xC3\xA4)"), "1969-12-31T00:00:00Z",
         "-86400000000", "Event Start", "uid-umlaut"},
        {"Alarm", "2017-07-14T02:40:00Z", "1500000000000000", "Alarm", "uid-bare"},
        {"Event Created: " + weekly, "2020-09-13T12:26:40Z", "1600000000000000", "Event Created",
         "uid-weekly"},
        {"Event Last Modified: " + weekly, "2022-04-15T05:20:00Z", "1650000000000000", "Event Last Modified",
         "uid-weekly"},
        {"Alarm: " + weekly, "2023-11-14T21:58:20Z", "1699999100000000", "Alarm", "uid-weekly"},
        {"Event Start: " + weekly, "2023-11-14T22:13:20Z", "1700000000000000", "Event Start", "uid-weekly"},
        {"Event Start: " + quotes, "2023-11-14T22:13:20Z", "1700000000000000", "Event Start", "uid-quotes"},
        {"Event Created: " + quotes, "2023-11-14T22:13:20Z", "1700000000000000", "Event Created",
         "uid-quotes"},
        {"Repeat Ends: " + quotes, "2023-11-14T22:13:20Z", "1700000000000000", "Repeat Ends", "uid-quotes"},
        {"Event Stamped (DTSTAMP): " + weekly, "2023-11-14T22:21:40Z", "1700000500000000",
         "Event Stamped (DTSTAMP)", "uid-weekly"},
        {"Event End: " + weekly, "2023-11-14T23:13:20Z", "1700003600000000", "Event End", "uid-weekly"},
        {"Repeat Ends: " + weekly, "2024-03-09T16:00:00Z", "1710000000000000", "Repeat Ends", "uid-weekly"},
        {"Event End: " + quotes, "9999-12-31T23:59:59Z", "253402300799000000", "Event End", "uid-quotes"},
    };
}

bool create_database(const QString& path, const QList<fixture_event>& events, bool with_table = true)
{
    const QString name = "tst_timeline_export fixture";
    bool ok = !QFileInfo::exists(path) || QFile::remove(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        ok = ok && db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(with_table ? result_schema::calendar_events().create_statement
                                         : "CREATE TABLE other(a INTEGER)");
        const QStringList columns = QStringList{"INT"} + copied_columns + time_columns;
        const QString insert = "INSERT INTO calendar_events(" + columns.join(",") + ") VALUES(?" +
                               QString(",?").repeated(columns.size() - 1) + ")";
        for (const fixture_event& event : events)
        {
            ok = ok && query.prepare(insert);
            query.addBindValue(event.id);
            for (const QVariant& value : QVariantList(event.texts.begin(), event.texts.end()) + event.times)
                query.addBindValue(value);
            ok = ok && query.exec();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// A strict RFC 4180 reader: records end in CRLF; a quoted field may hold commas, doubled quotes and line
// breaks; a quote or line break in an unquoted field is an error.
bool parse_csv(const QString& text, QList<QStringList>* records, QString* error)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    QStringList record;
    while (i < n)
    {
        QString field;
        if (text.at(i) == '"')
        {
            for (++i;; ++i)
            {
                if (i >= n)
                    return (*error = "unterminated quoted field"), false;
                if (text.at(i) != '"')
                    field += text.at(i);
                else if (i + 1 < n && text.at(i + 1) == '"')
                    field += text.at(++i);
                else
                    break;
            }
            ++i;
        }
        else
        {
            for (; i < n && text.at(i) != ',' && text.at(i) != '\r'; ++i)
            {
                if (text.at(i) == '"' || text.at(i) == '\n')
                    return (*error = "quote or line feed in an unquoted field at " + QString::number(i)),
                           false;
                field += text.at(i);
            }
        }
        record << field;
        if (i < n && text.at(i) == ',')
        {
            ++i;
            continue;
        }
        if (text.mid(i, 2) != "\r\n")
            return (*error = "record not ended by CRLF at " + QString::number(i)), false;
        i += 2;
        *records << record;
        record.clear();
    }
    return true;
}

// Every JSON line as a record in header order; the timestamp must be an integer number.
bool parse_jsonl(const QByteArray& bytes, QList<QStringList>* records, QString* error)
{
    if (bytes.isEmpty())
        return true;
    if (!bytes.endsWith('\n'))
        return (*error = "last line not ended"), false;
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');
    for (const QByteArray& line : lines)
    {
        QJsonParseError parse_error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &parse_error);
        if (!document.isObject())
            return (*error = "not a JSON object: " + parse_error.errorString()), false;
        const QJsonObject object = document.object();
        if (object.keys().size() != header.size())
            return (*error = "unexpected keys: " + object.keys().join(",")), false;
        qsizetype key_at = -1;
        for (const QString& key : header) // in the order of the CSV columns
        {
            const qsizetype at = line.indexOf("\"" + key.toUtf8() + "\":");
            if (at <= key_at)
                return (*error = "key out of order: " + key), false;
            key_at = at;
        }
        QStringList record;
        for (const QString& key : header)
        {
            const QJsonValue value = object.value(key);
            if (key == "timestamp" ? !value.isDouble() : !value.isString())
                return (*error = "wrong type of " + key), false;
            record << (key == "timestamp" ? QString::number(value.toInteger()) : value.toString());
        }
        *records << record;
    }
    return true;
}

// The entries of a written timeline, without the CSV header; false (with a warning) when it does not parse.
bool read_timeline(const QString& path, QList<QStringList>* records)
{
    const QByteArray bytes = test_support::read_file(path);
    QString error;
    const bool csv = path.endsWith(".csv", Qt::CaseInsensitive);
    bool ok =
        csv ? parse_csv(QString::fromUtf8(bytes), records, &error) : parse_jsonl(bytes, records, &error);
    if (ok && csv && (records->isEmpty() || records->takeFirst() != header))
        ok = (error = "missing or wrong header").isEmpty();
    if (!ok)
        qWarning() << path << "does not parse:" << error;
    return ok;
}

struct run_result
{
    int exit_code = -1;
    QString out;
    QString err;
};

run_result run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    run_result result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exit_code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString timeline_program()
{
    return QStringLiteral(GCAL_BINARY_DIR "/gcal-timeline");
}

QString summary(int entries, const QString& out, int events, int missing)
{
    return QString("%1 timeline entries written to %2; %3 events read, %4 times missing; 0 series expanded "
                   "into 0 occurrences, 0 cancelled occurrences\n")
        .arg(entries)
        .arg(out)
        .arg(events)
        .arg(missing);
}
} // namespace

class tst_timeline_export : public QObject
{
    Q_OBJECT

  private slots:
    void init();

    void entries_data();
    void entries();
    void empty_table_data();
    void empty_table();
    void output_replaced_only_with_force();

    void refusals_data();
    void refusals();
    void usage();

    void extract_with_timeline_data();
    void extract_with_timeline();
    void option_errors_data();
    void option_errors();

  private:
    QTemporaryDir dir;
    QString db_path;
};

void tst_timeline_export::init()
{
    QVERIFY(dir.isValid());
    db_path = dir.filePath("Google_Calendar.sqlite");
    QVERIFY(create_database(db_path, fixture_events()));
}

void tst_timeline_export::entries_data()
{
    QTest::addColumn<QString>("file_name");
    QTest::newRow("csv") << "timeline.csv";
    QTest::newRow("jsonl") << "timeline.jsonl";
    QTest::newRow("csv, upper-case suffix") << "TIMELINE.CSV";
    QTest::newRow("jsonl, mixed-case suffix") << "timeline.JsonL";
}

void tst_timeline_export::entries()
{
    QFETCH(QString, file_name);
    const QString out = dir.filePath(file_name);
    const QByteArray db_before = test_support::read_file(db_path);

    const run_result result = run(timeline_program(), {db_path, out});
    QCOMPARE(result.exit_code, 0);
    QCOMPARE(result.out, summary(14, out, 6, 28));
    QCOMPARE(test_support::read_file(db_path), db_before);

    QMap<QString, QStringList> texts_of;
    for (const fixture_event& event : fixture_events())
        texts_of.insert(event.texts.at(3), event.texts);
    QList<QStringList> records;
    QVERIFY(read_timeline(out, &records));
    const QList<expected_entry> expected = expected_entries();
    QCOMPARE(records.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
    {
        const expected_entry& e = expected.at(i);
        const QStringList wanted = QStringList{e.message, e.datetime, e.timestamp, e.description} +
                                   texts_of.value(e.uid) + QStringList{"false", ""};
        QCOMPARE(records.at(i), wanted);
    }
}

void tst_timeline_export::empty_table_data()
{
    QTest::addColumn<QString>("file_name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("csv: the header alone") << "empty.csv" << header.join(',').toUtf8() + "\r\n";
    QTest::newRow("jsonl: no lines") << "empty.jsonl" << QByteArray();
}

void tst_timeline_export::empty_table()
{
    QFETCH(QString, file_name);
    QFETCH(QByteArray, content);
    const QString empty_db = dir.filePath("empty.sqlite");
    QVERIFY(create_database(empty_db, {}));
    const QString out = dir.filePath(file_name);

    const run_result result = run(timeline_program(), {empty_db, out});
    QCOMPARE(result.exit_code, 0);
    QCOMPARE(result.out, summary(0, out, 0, 0));
    QVERIFY(QFileInfo::exists(out));
    QCOMPARE(test_support::read_file(out), content);
}

void tst_timeline_export::output_replaced_only_with_force()
{
    const QString out = dir.filePath("again.jsonl");
    const QByteArray earlier = QByteArray("earlier output that must go\n").repeated(100);
    QVERIFY(test_support::write_file(out, earlier));
    const run_result refused = run(timeline_program(), {db_path, out});
    QCOMPARE(refused.exit_code, 1);
    QCOMPARE(refused.err, "gcal-timeline: OUT exists, --force replaces it: " + out + "\n");
    QCOMPARE(test_support::read_file(out), earlier);

    QCOMPARE(run(timeline_program(), {"--force", db_path, out}).exit_code, 0);
    QList<QStringList> records;
    QVERIFY(read_timeline(out, &records));
    QCOMPARE(records.size(), expected_entries().size());
}

void tst_timeline_export::refusals_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing database") << "missing.sqlite"
                                      << "t.csv"
                                      << "no database file at";
    QTest::newRow("database is a folder") << "."
                                          << "t.csv"
                                          << "no database file at";
    QTest::newRow("no calendar_events") << "other.sqlite"
                                        << "t.csv"
                                        << "no calendar_events table in";
    QTest::newRow("not a database") << "notes.txt"
                                    << "t.jsonl"
                                    << "cannot read database";
    QTest::newRow("unknown suffix") << "Google_Calendar.sqlite"
                                    << "t.json"
                                    << "OUT must end in .csv or .jsonl";
    QTest::newRow("no suffix") << "Google_Calendar.sqlite"
                               << "timeline"
                               << "OUT must end in .csv or .jsonl";
    QTest::newRow("missing output folder") << "Google_Calendar.sqlite"
                                           << "no/such/folder/t.csv"
                                           << "output folder does not exist";
    QTest::newRow("output is the database") << "db.csv"
                                            << "db.csv"
                                            << "OUT is the database itself";
    QTest::newRow("output is a folder") << "Google_Calendar.sqlite"
                                        << "folder.csv"
                                        << "cannot write";
    QTest::newRow("output exists, no --force") << "Google_Calendar.sqlite"
                                               << "t.csv"
                                               << "OUT exists, --force replaces it";
}

void tst_timeline_export::refusals()
{
    QFETCH(QString, db);
    QFETCH(QString, out);
    QFETCH(QString, reason);
    QVERIFY(create_database(dir.filePath("other.sqlite"), {}, false));
    QVERIFY(test_support::write_file(dir.filePath("notes.txt"), "not a database, only text\n"));
    QVERIFY(QFile::copy(db_path, dir.filePath("db.csv")) || QFileInfo::exists(dir.filePath("db.csv")));
    QVERIFY(QDir(dir.path()).mkpath("folder.csv"));
    // An earlier timeline at OUT must survive a refused export.
    const QString out_path = dir.filePath(out);
    const bool out_folder_exists = QFileInfo(out_path).absoluteDir().exists() && !QFileInfo(out_path).isDir();
    const QByteArray earlier = out == db ? test_support::read_file(out_path) : QByteArray("earlier\r\n");
    if (out_folder_exists)
        QVERIFY(test_support::write_file(out_path, earlier));

    // --force except where its absence is the refusal: an earlier file is replaced only by a good export.
    QStringList arguments{dir.filePath(db), out_path};
    if (!reason.startsWith("OUT exists"))
        arguments.prepend("--force");
    const run_result result = run(timeline_program(), arguments);
    QCOMPARE(result.exit_code, 1);
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.startsWith("gcal-timeline: " + reason), qPrintable(result.err));
    QVERIFY2(result.err.endsWith('\n') && result.err.count('\n') == 1, qPrintable(result.err));
    if (out_folder_exists)
        QCOMPARE(test_support::read_file(out_path), earlier);
    else
        QVERIFY(!QFileInfo::exists(out_path) || QFileInfo(out_path).isDir());
}

void tst_timeline_export::usage()
{
    for (const QStringList& arguments :
         {QStringList(), QStringList{db_path}, QStringList{db_path, "a.csv", "b"}})
    {
        const run_result result = run(timeline_program(), arguments);
        QCOMPARE(result.exit_code, 2);
        QVERIFY(
            result.err.startsWith("usage: gcal-timeline [--from DATE] [--until DATE] [--force] DB OUT\n"));
        QVERIFY(result.out.isEmpty());
    }
    for (const char* help : {"--help", "-h"})
    {
        const run_result result = run(timeline_program(), {help});
        QCOMPARE(result.exit_code, 0);
        QVERIFY(
            result.out.startsWith("usage: gcal-timeline [--from DATE] [--until DATE] [--force] DB OUT\n"));
        QVERIFY(result.out.contains("--until DATE"));
        QVERIFY(result.err.isEmpty());
    }
}

void tst_timeline_export::extract_with_timeline_data()
{
    QTest::addColumn<QString>("file_name");
    QTest::addColumn<int>("exit_code");
    QTest::newRow("csv written") << "sample.csv" << 0;
    QTest::newRow("jsonl written") << "sample.jsonl" << 0;
    QTest::newRow("unknown suffix") << "sample.txt" << 6;
    QTest::newRow("missing output folder") << "missing/sample.csv" << 6;
}

// Row contents come from the reader; here only that the export runs after the extraction.
void tst_timeline_export::extract_with_timeline()
{
    QFETCH(QString, file_name);
    QFETCH(int, exit_code);
    const QString out = dir.filePath(file_name);
    const QString result_dir = dir.filePath("case");
    const run_result result =
        run(test_support::host_program(),
            {"-q", "--timeline", out, test_support::test_data("sample_takeout"), result_dir});
    QCOMPARE(result.exit_code, exit_code);
    const QString database = result_dir + "/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite";
    QVERIFY(result.out.contains(" events stored in calendar_events of " + database + "\n"));
    if (exit_code != 0)
    {
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY2(result.err.contains(QRegularExpression("^gcal-extract: (OUT must end|output folder)[^\n]*\n",
                                                        QRegularExpression::MultilineOption)),
                 qPrintable(result.err));
        return;
    }
    const QRegularExpression line("^(\\d+) timeline entries written to " + QRegularExpression::escape(out) +
                                      "; (\\d+) events read, (\\d+) times missing; (\\d+) series expanded "
                                      "into (\\d+) occurrences, (\\d+) cancelled occurrences$",
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(result.out);
    QVERIFY2(match.hasMatch(), qPrintable(result.out));
    QList<QStringList> records;
    QVERIFY(read_timeline(out, &records));
    QCOMPARE(records.size(), match.captured(1).toInt());
    const int events = int(test_support::table_rows(database, "calendar_events").size());
    QCOMPARE(match.captured(2).toInt(), events);
    // Occurrences and cancellations as counted are the entries of those kinds.
    int occurrences = 0;
    int cancelled = 0;
    for (const QStringList& record : records)
    {
        occurrences += record.at(3).endsWith("Occurrence Start") ? 1 : 0;
        cancelled += record.at(3) == "Cancelled Occurrence" ? 1 : 0;
    }
    QCOMPARE(match.captured(5).toInt(), occurrences);
    QCOMPARE(match.captured(6).toInt(), cancelled);
}

void tst_timeline_export::option_errors_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<QString>("reason");
    const QString timeline = timeline_program();
    const QString extract = test_support::host_program();
    const QString source = test_support::test_data("sample_takeout");
    QTest::newRow("timeline: date not ISO")
        << timeline << QStringList{"--from", "14.03.2024", "DB", "t.csv"} << 2
        << "gcal-timeline: --from takes a date as 2024-03-14, not 14.03.2024";
    QTest::newRow("timeline: no such day")
        << timeline << QStringList{"--until", "2024-02-30", "DB", "t.csv"} << 2
        << "gcal-timeline: --until takes a date as 2024-03-14, not 2024-02-30";
    QTest::newRow("timeline: empty window")
        << timeline << QStringList{"--from", "2024-03-14", "--until", "2024-03-14", "DB", "t.csv"} << 2
        << "gcal-timeline: the window is empty: --until is not after the start";
    QTest::newRow("timeline: unknown option")
        << timeline << QStringList{"--since", "2024-03-14", "DB", "t.csv"} << 2
        << "gcal-timeline: Unknown option";
    QTest::newRow("extract: window without --timeline")
        << extract << QStringList{"--timeline-until", "2024-03-14", source, "refused-case"} << 2
        << "gcal-extract: --timeline-from, --timeline-until and --timeline-force need --timeline OUT";
    QTest::newRow("extract: date not ISO")
        << extract
        << QStringList{"--timeline", "t.csv", "--timeline-from", "2024-3-14", source, "refused-case"} << 2
        << "gcal-extract: --timeline-from takes a date as 2024-03-14, not 2024-3-14";
    QTest::newRow("extract: existing OUT refused before the run")
        << extract << QStringList{"--timeline", "existing.csv", source, "refused-case"} << 6
        << "gcal-extract: OUT exists, --timeline-force replaces it: ";
}

void tst_timeline_export::option_errors()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exit_code);
    QFETCH(QString, reason);
    const test_support::scoped_current_dir here(dir.path());
    QVERIFY(test_support::write_file(dir.filePath("existing.csv"), "earlier\r\n"));
    const run_result result = run(program, arguments);
    QCOMPARE(result.exit_code, exit_code);
    // A line of its own (Qt may warn about its runtime folder first).
    const QRegularExpression line("^" + QRegularExpression::escape(reason),
                                  QRegularExpression::MultilineOption);
    QVERIFY2(line.match(result.err).hasMatch(), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath("refused-case")));
    QCOMPARE(test_support::read_file(dir.filePath("existing.csv")), QByteArray("earlier\r\n"));
}

QTEST_MAIN(tst_timeline_export)
#include "tst_timeline_export.moc"
