// Every evidence file of a Takeout calendar, found and accounted for: calendar folders under the
// account's own language found by content, file names that are not UTF-8 read by their bytes,
// and the chain-of-custody tables (calendar_source_files, calendar_extraction_runs).

#include "extractors/evidence_path.h"
#include "extractors/google_calendar_gtakeoutos.h"
#include "extractors/hashing_file_device.h"
#include "extractors/takeout_calendar_discovery.h"
#include "tests/extraction_fixture.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace
{
QList<QVariantMap> event_rows(const QString& db)
{
    QList<QVariantMap> rows = test_support::table_rows(db, "calendar_events");
    for (QVariantMap& row : rows)
        row.remove("INT");
    return rows;
}

// The rows with one folder name of the path columns put back to another.
QList<QVariantMap> renamed(QList<QVariantMap> rows, const QString& from, const QString& to)
{
    for (QVariantMap& row : rows)
    {
        for (const char* column : {"ics_file_path", "source_file", "export_file_paths"})
            row[column] = row.value(column).toString().replace(from, to);
    }
    return rows;
}

// The rows must be equal; on a difference, the first differing column is named.
QString first_difference(const QList<QVariantMap>& a, const QList<QVariantMap>& b)
{
    if (a.size() != b.size())
        return QString("%1 rows against %2").arg(a.size()).arg(b.size());
    for (qsizetype i = 0; i < a.size(); ++i)
    {
        for (auto it = a.at(i).cbegin(); it != a.at(i).cend(); ++it)
        {
            if (b.at(i).value(it.key()) != it.value())
                return QString("row %1, %2: %3 against %4")
                    .arg(i)
                    .arg(it.key(), it.value().toString(), b.at(i).value(it.key()).toString());
        }
    }
    return QString();
}

QString sha256sum_of(const QString& path)
{
    QProcess tool;
    tool.start("sha256sum", {path});
    tool.waitForFinished();
    return QString::fromLatin1(tool.readAllStandardOutput()).section(' ', 0, 0);
}

QString sha256sum_of_raw(const QByteArray& path)
{
    // sha256sum reads stdin: the name's bytes never pass through text.
    QProcess tool;
    tool.setStandardInputFile(QString()); // replaced below
    const int fd = ::open(path.constData(), O_RDONLY);
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    tool.start("sha256sum", {"-"});
    tool.write(bytes);
    tool.closeWriteChannel();
    tool.waitForFinished();
    return QString::fromLatin1(tool.readAllStandardOutput()).section(' ', 0, 0);
}
} // namespace

class tst_evidence_sources : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void header_decides_data();
    void header_decides();
    void display_form_of_bytes_data();
    void display_form_of_bytes();
    void localized_folder_gives_the_rows_of_calendar();
    void calendar_folder_comes_first();
    void several_qualifying_folders_are_all_taken();
    void latin1_file_name_is_read();
    void custody_rows_account_for_every_entry();
    void hash_device_matches_sha256sum();
    void cancelled_run_is_recorded_as_cancelled();
};

void tst_evidence_sources::init()
{
    plugin_static_function::close_debug_file();
    plugin_static_function::set_essentials();
}

void tst_evidence_sources::header_decides_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<bool>("google");
    QTest::newRow("Google Calendar") << test_support::google_export("a", 1) << true;
    QTest::newRow("byte order mark, LF only")
        << QByteArray("\xEF\xBB\xBF"
                      "BEGIN:VCALENDAR\nPRODID:-//Google Inc//Google Calendar 70.9054//EN\n")
        << true;
    QTest::newRow("folded PRODID")
        << QByteArray("BEGIN:VCALENDAR\r\nPRODID:-//Google Inc//Google Cal\r\n endar 1//EN\r\n"
                      "BEGIN:VEVENT\r\n")
        << true;
    QTest::newRow("lower-case names")
        << QByteArray("begin:vcalendar\r\nprodid:-//google inc//google calendar//en\r\n") << true;
    QTest::newRow("another producer")
        << QByteArray("BEGIN:VCALENDAR\r\nPRODID:-//Apple Inc.//macOS 14//EN\r\nBEGIN:VEVENT\r\n") << false;
    QTest::newRow("PRODID only inside an event")
        << QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nPRODID:Google Calendar\r\n")
        << false;
    QTest::newRow("not a calendar") << QByteArray("PRODID:-//Google Inc//Google Calendar//EN\r\n") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void tst_evidence_sources::header_decides()
{
    QFETCH(QByteArray, start);
    QFETCH(bool, google);
    QCOMPARE(takeout_calendar_discovery::header_names_google_calendar(start), google);
}

void tst_evidence_sources::display_form_of_bytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ASCII") << QByteArray("/Calendar/a.ics") << "/Calendar/a.ics" << true;
    QTest::newRow("UTF-8") << QByteArray("/Календарь/caf\xC3\xA9.ics")
                           << QString::fromUtf8("/Календарь/café.ics") << true;
    QTest::newRow("Latin-1") << QByteArray("caf\xE9.ics") << "caf\\xE9.ics" << false;
    QTest::newRow("cut sequence") << QByteArray("a\xE2\x82") << "a\\xE2\\x82" << false;
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << "\\xC0\\xAF" << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << "\\xED\\xA0\\x80" << false;
}

void tst_evidence_sources::display_form_of_bytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(bool, valid);
    QCOMPARE(evidence_path::display_form(bytes), shown);
    QCOMPARE(evidence_path::is_valid_utf8(bytes), valid);
}

void tst_evidence_sources::localized_folder_gives_the_rows_of_calendar()
{
    QTemporaryDir plain;
    QTemporaryDir localized;
    QTemporaryDir results;
    const QString name = QString::fromUtf8("Календарь");
    for (const QString& file : {QString("/Work.ics"), QString("/sub/Birthdays.ics")})
    {
        const QByteArray bytes = test_support::google_export(file.toUtf8(), 3);
        QVERIFY(test_support::write_file(plain.path() + "/Calendar" + file, bytes));
        QVERIFY(test_support::write_file(localized.path() + "/" + name + file, bytes));
    }
    // Beside it, a folder of other .ics files that is not the calendar.
    QVERIFY(
        test_support::write_file(localized.path() + "/Other/x.ics",
                                 "BEGIN:VCALENDAR\r\nPRODID:-//Other//EN\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\n"));

    extraction_fixture::settings s;
    s.log_file = results.path() + "/localized.log";
    const QString plain_db = extraction_fixture::run(plain.path(), results.path() + "/plain");
    const QString localized_db = extraction_fixture::run(localized.path(), results.path() + "/localized", s);
    const QList<QVariantMap> rows = event_rows(localized_db);
    QCOMPARE(rows.size(), 6);
    QCOMPARE(first_difference(renamed(rows, name, "Calendar"), event_rows(plain_db)), QString());
    QCOMPARE(rows.first().value("ics_file_path").toString(), "/" + name + "/Work.ics");

    const QStringList texts = test_support::log_texts(s.log_file);
    QVERIFY2(
        texts.contains("[find_source_file] Source file found at path-->>" + localized.path() + "/" + name),
        qPrintable(texts.join('\n')));
    QCOMPARE(texts.filter("Source file found").size(), 1);
    QCOMPARE(texts.filter("all taken in byte order").size(), 1);
}

void tst_evidence_sources::calendar_folder_comes_first()
{
    QTemporaryDir source;
    QTemporaryDir results;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics", test_support::google_export("c", 1)));
    QVERIFY(test_support::write_file(source.path() + "/Kalender/b.ics", test_support::google_export("k", 2)));
    const QString db = extraction_fixture::run(source.path(), results.path());
    const QList<QVariantMap> rows = event_rows(db);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value("ics_file_path").toString(), QString("/Calendar/a.ics"));
}

void tst_evidence_sources::several_qualifying_folders_are_all_taken()
{
    QTemporaryDir source;
    QTemporaryDir results;
    QVERIFY(test_support::write_file(source.path() + "/Kalender/b.ics", test_support::google_export("k", 2)));
    QVERIFY(test_support::write_file(source.path() + "/Agenda/a.ics", test_support::google_export("a", 1)));
    QVERIFY(test_support::write_file(source.path() + "/.hidden/h.ics", test_support::google_export("h", 1)));
    QVERIFY(QFile::link(source.path() + "/Kalender", source.path() + "/Linked"));
    extraction_fixture::settings s;
    s.log_file = results.path() + "/debug.log";
    const QString db = extraction_fixture::run(source.path(), results.path(), s);
    QStringList paths;
    for (const QVariantMap& row : event_rows(db))
        paths << row.value("ics_file_path").toString();
    QCOMPARE(paths, (QStringList{"/Agenda/a.ics", "/Kalender/b.ics", "/Kalender/b.ics"}));
    const QStringList found = test_support::log_texts(s.log_file).filter("Source file found");
    QCOMPARE(found,
             (QStringList{"[find_source_file] Source file found at path-->>" + source.path() + "/Agenda",
                          "[find_source_file] Source file found at path-->>" + source.path() + "/Kalender"}));
}

void tst_evidence_sources::latin1_file_name_is_read()
{
    QTemporaryDir plain;
    QTemporaryDir latin1;
    QTemporaryDir results;
    const QByteArray bytes = test_support::google_export("l", 2);
    QVERIFY(test_support::write_file(plain.path() + "/Calendar/cafe.ics", bytes));
    QVERIFY(QDir().mkpath(latin1.path() + "/Calendar"));
    const QByteArray raw = QFile::encodeName(latin1.path()) + "/Calendar/caf\xE9.ics";
    QVERIFY(test_support::write_raw(raw, bytes));

    const QString plain_db = extraction_fixture::run(plain.path(), results.path() + "/plain");
    const QString db = extraction_fixture::run(latin1.path(), results.path() + "/latin1");
    const QList<QVariantMap> rows = event_rows(db);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.first().value("ics_file_path").toString(), QString("/Calendar/caf\\xE9.ics"));
    QCOMPARE(first_difference(renamed(rows, "caf\\xE9", "cafe"), event_rows(plain_db)), QString());

    const QList<QVariantMap> files = test_support::table_rows(db, "calendar_source_files");
    QCOMPARE(files.size(), 1);
    QCOMPARE(files.first().value("ics_file_path").toString(), QString("/Calendar/caf\\xE9.ics"));
    QCOMPARE(files.first().value("ics_file_path_bytes").toString(),
             QString::fromLatin1(QByteArray("/Calendar/caf\xE9.ics").toHex()));
    QCOMPARE(files.first().value("outcome").toString(), QString("read"));
    QCOMPARE(files.first().value("events_stored").toInt(), 2);
    if (!QStandardPaths::findExecutable("sha256sum").isEmpty())
        QCOMPARE(files.first().value("sha256").toString(), sha256sum_of_raw(raw));
    QCOMPARE(::unlink(raw.constData()), 0); // QTemporaryDir cannot remove a name it cannot decode
}

void tst_evidence_sources::custody_rows_account_for_every_entry()
{
    QTemporaryDir source;
    QTemporaryDir outside;
    QTemporaryDir results;
    const QString calendar = source.path() + "/Calendar";
    QVERIFY(test_support::write_file(calendar + "/a.ics", test_support::google_export("a", 3)));
    QVERIFY(test_support::write_file(calendar + "/b.ics", ""));
    QVERIFY(test_support::write_file(calendar + "/.hidden.ics", test_support::google_export("h", 1)));
    QVERIFY(test_support::write_file(calendar + "/notes.txt", "not a calendar"));
    QVERIFY(test_support::write_file(outside.path() + "/target.ics", test_support::google_export("o", 1)));
    QVERIFY(QFile::link(outside.path() + "/target.ics", calendar + "/c_link.ics"));
    QCOMPARE(::mkfifo(QFile::encodeName(calendar + "/d_fifo.ics").constData(), 0644), 0);
    QVERIFY(test_support::write_file(calendar + "/e_unreadable.ics", test_support::google_export("u", 1)));
    QFile::setPermissions(calendar + "/e_unreadable.ics", QFileDevice::Permissions());
    const bool root_reads_anyway = QFile(calendar + "/e_unreadable.ics").open(QIODevice::ReadOnly);

    const QString db = extraction_fixture::run(source.path(), results.path());
    const QList<QVariantMap> files = test_support::table_rows(db, "calendar_source_files");
    QStringList seen;
    for (const QVariantMap& row : files)
        seen << row.value("ics_file_path").toString() + " | " + row.value("outcome").toString() + " | " +
                    row.value("reason").toString() + " | " + row.value("events_stored").toString();
    QStringList expected{"/Calendar/.hidden.ics | left out | hidden file | 0",
                         "/Calendar/a.ics | read |  | 3", "/Calendar/b.ics | read |  | 0",
                         "/Calendar/c_link.ics | left out | link, not followed | 0",
                         "/Calendar/d_fifo.ics | left out | not a regular file | 0"};
    expected << (root_reads_anyway
                     ? "/Calendar/e_unreadable.ics | read |  | 1"
                     : "/Calendar/e_unreadable.ics | left out | cannot be opened: Permission denied | 0");
    QCOMPARE(seen, expected);

    const QVariantMap a = files.at(1);
    QCOMPARE(a.value("size_bytes").toLongLong(), QFileInfo(calendar + "/a.ics").size());
    QCOMPARE(a.value("modified_time").toLongLong(),
             QFileInfo(calendar + "/a.ics").lastModified().toSecsSinceEpoch());
    if (!QStandardPaths::findExecutable("sha256sum").isEmpty())
    {
        QCOMPARE(a.value("sha256").toString(), sha256sum_of(calendar + "/a.ics"));
        QCOMPARE(files.at(2).value("sha256").toString(), sha256sum_of(calendar + "/b.ics"));
    }
    QVERIFY(files.at(0).value("sha256").isNull());

    const QList<QVariantMap> runs = test_support::table_rows(db, "calendar_extraction_runs");
    QCOMPARE(runs.size(), 1);
    const QVariantMap run = runs.first();
    QCOMPARE(run.value("outcome").toString(), QString("completed"));
    QCOMPARE(run.value("events_stored").toInt(), root_reads_anyway ? 4 : 3);
    QCOMPARE(run.value("files_read").toInt(), root_reads_anyway ? 3 : 2);
    QCOMPARE(run.value("files_left_out").toInt(), root_reads_anyway ? 3 : 4);
    QCOMPARE(run.value("source").toString(), source.path() + "/");
    QCOMPARE(run.value("process_id").toLongLong(), QCoreApplication::applicationPid());
    QVERIFY(run.value("started_utc").toString().endsWith('Z'));
    QVERIFY(run.value("ended_utc").toString() >= run.value("started_utc").toString());
    QVERIFY(!run.value("machine_time_zone").toString().isEmpty());
    QVERIFY(run.value("settings").toString().contains("engine type 0"));
    QVERIFY(!run.value("plugin_version").toString().isEmpty());
    for (const QVariantMap& row : files)
        QCOMPARE(row.value("run_int"), run.value("INT"));
    QFile::setPermissions(calendar + "/e_unreadable.ics", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void tst_evidence_sources::hash_device_matches_sha256sum()
{
    // Bytes read in odd chunks, the rest read at the end: the hash of the whole.
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += char(i * 7 % 251);
    QBuffer inner(&bytes);
    QVERIFY(inner.open(QIODevice::ReadOnly));
    hashing_file_device device(&inner);
    QVERIFY(device.open_for_reading());
    char chunk[333];
    QCOMPARE(device.read(chunk, sizeof chunk), qint64(sizeof chunk));
    QCOMPARE(device.pos(), qint64(sizeof chunk));
    device.read_to_end();
    QVERIFY(device.at_file_end());
    QCOMPARE(device.bytes_hashed(), qint64(bytes.size()));
    QCOMPARE(device.sha256_hex(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QVERIFY(!device.seek(0));
}

void tst_evidence_sources::cancelled_run_is_recorded_as_cancelled()
{
    QTemporaryDir source;
    QTemporaryDir results;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics", test_support::google_export("a", 2)));
    QVERIFY(test_support::write_file(source.path() + "/Calendar/b.ics", test_support::google_export("b", 2)));
    google_calendar plugin;
    extraction_fixture::prepare(plugin, source.path(), results.path());
    // Cancelled as the run starts: the plug-in object itself would not start the extractor.
    auto* takeout = plugin.findChild<google_calendar_gtakeoutos*>();
    takeout->gtakeoutos_cancel_extraction();
    takeout->gtakeoutos_extract_artifacts();
    plugin.pub_remove_temporary_asthetics();
    const QString db = extraction_fixture::database_of(results.path());
    const QList<QVariantMap> runs = test_support::table_rows(db, "calendar_extraction_runs");
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().value("outcome").toString(), QString("cancelled"));
    QCOMPARE(runs.first().value("events_stored").toInt(), 0);
    const QList<QVariantMap> files = test_support::table_rows(db, "calendar_source_files");
    QCOMPARE(files.size(), 2);
    for (const QVariantMap& row : files)
    {
        QCOMPARE(row.value("outcome").toString(), QString("not read"));
        QCOMPARE(row.value("reason").toString(), QString("run cancelled before this file"));
    }
}

QTEST_MAIN(tst_evidence_sources)
#include "tst_evidence_sources.moc"
