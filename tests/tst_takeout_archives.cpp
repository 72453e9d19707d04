// Takeout archives as downloaded: gcal-extract reads .zip, .tgz and .tar.gz parts of one export
// (through libarchive) and stores the rows of the same export unpacked, path columns included,
// with each file's archive and member and each archive's SHA-256; hostile and damaged archives
// yield what they can and list the rest. The archive fuzz target's seeds are replayed here.

#include "host/takeout_source.h"
#include "tests/extraction_fixture.h"
#include "tests/fuzz/archive_fuzz_entry.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

#include <clocale>

namespace
{
const qint64 fixed_time = 1700000000; // even: a zip keeps times to two seconds

struct member
{
    QByteArray name;
    QByteArray bytes;
};

// Writes an archive with libarchive: "zip", "tgz" (gzip over pax) or "tar" (GNU tar, names as bytes).
bool write_archive(const QString& path, const QString& format, const QList<member>& members)
{
    // Names as bytes, without a UTF-8 flag, as older archive tools wrote them: the "C" character type.
    const QByteArray character_type = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    struct archive* writer = archive_write_new();
    if (format == "zip")
        archive_write_set_format_zip(writer);
    else if (format == "tgz")
    {
        archive_write_set_format_pax_restricted(writer);
        archive_write_add_filter_gzip(writer);
    }
    else
        archive_write_set_format_gnutar(writer);
    bool ok = archive_write_open_filename(writer, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const member& m : members)
    {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_copy_pathname(entry, m.name.constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, m.bytes.size());
        archive_entry_set_mtime(entry, fixed_time, 0);
        ok = ok && archive_write_header(writer, entry) == ARCHIVE_OK &&
             archive_write_data(writer, m.bytes.constData(), size_t(m.bytes.size())) == m.bytes.size();
        archive_entry_free(entry);
    }
    ok = archive_write_close(writer) == ARCHIVE_OK && ok;
    archive_write_free(writer);
    std::setlocale(LC_CTYPE, character_type.constData());
    return ok;
}

struct outcome
{
    int exit_code = -1;
    QString out;
    QString err;
};

outcome run_host(const QStringList& arguments)
{
    static QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    QProcess host;
    host.setProcessEnvironment(environment);
    host.start(test_support::host_program(), arguments);
    host.waitForFinished(300000);
    return {host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1,
            QString::fromLocal8Bit(host.readAllStandardOutput()),
            QString::fromLocal8Bit(host.readAllStandardError())};
}

QList<QVariantMap> rows_without(const QString& db, const QString& table, const QStringList& columns)
{
    QList<QVariantMap> rows = test_support::table_rows(db, table);
    for (QVariantMap& row : rows)
    {
        for (const QString& column : columns)
            row.remove(column);
    }
    return rows;
}

QString sha256sum_of(const QString& path)
{
    QProcess tool;
    tool.start("sha256sum", {path});
    tool.waitForFinished();
    return QString::fromLatin1(tool.readAllStandardOutput()).section(' ', 0, 0);
}

// An unpacked export: Takeout/Calendar with three calendars and Takeout/Drive beside it.
QList<member> export_members()
{
    return {{"Takeout/Calendar/Birthdays.ics", test_support::google_export("b", 2)},
            {"Takeout/Calendar/Work.ics", test_support::google_export("w", 3)},
            {"Takeout/Calendar/sub/Team.ics", test_support::google_export("t", 1)},
            {"Takeout/Drive/notes.txt", "not a calendar"}};
}

bool unpack_by_hand(const QString& root, const QList<member>& members)
{
    for (const member& m : members)
    {
        const QByteArray path = QFile::encodeName(root) + "/" + m.name;
        QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
        if (!test_support::write_raw(path, m.bytes, fixed_time))
            return false;
    }
    return true;
}
} // namespace

class tst_takeout_archives : public QObject
{
    Q_OBJECT

  private slots:
    void parts_give_the_rows_of_the_unpacked_export_data();
    void parts_give_the_rows_of_the_unpacked_export();
    void latin1_member_name_data();
    void latin1_member_name();
    void hostile_members_are_listed_and_never_escape();
    void truncated_archive_yields_what_it_can();
    void archive_without_a_calendar();
    void member_paths_data();
    void member_paths();
    void seeds_replay_data();
    void seeds_replay();
};

void tst_takeout_archives::parts_give_the_rows_of_the_unpacked_export_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("zip, two parts") << "zip"
                                    << ".zip";
    QTest::newRow("tgz, two parts") << "tgz"
                                    << ".tgz";
    QTest::newRow("tar.gz, two parts") << "tgz"
                                       << ".tar.gz";
}

void tst_takeout_archives::parts_give_the_rows_of_the_unpacked_export()
{
    QFETCH(QString, format);
    QFETCH(QString, suffix);
    QTemporaryDir work;
    const QList<member> members = export_members();
    QVERIFY(unpack_by_hand(work.path() + "/unpacked", members));
    const QString evidence = work.path() + "/evidence";
    QVERIFY(QDir().mkpath(evidence));
    const QString part1 = evidence + "/takeout-20240301T000000Z-001" + suffix;
    const QString part2 = evidence + "/takeout-20240301T000000Z-002" + suffix;
    QVERIFY(write_archive(part1, format, {members.at(0), members.at(3)}));
    QVERIFY(write_archive(part2, format, {members.at(1), members.at(2)}));
    const QStringList evidence_before = test_support::entries_below(evidence);

    const outcome plain = run_host({"-q", work.path() + "/unpacked", work.path() + "/plain"});
    QCOMPARE(plain.exit_code, 0);
    const outcome run = run_host({"-q", part1, part2, work.path() + "/case"});
    QCOMPARE(run.exit_code, 0);
    const QString db = extraction_fixture::database_of(work.path() + "/case");
    const QString plain_db = extraction_fixture::database_of(work.path() + "/plain");
    QCOMPARE(run.out, "3 files read, 0 files left out, 6 events stored in calendar_events of " + db + "\n");

    // The rows of the unpacked export, path columns included.
    const QList<QVariantMap> events = test_support::table_rows(db, "calendar_events");
    QCOMPARE(events.size(), 6);
    QCOMPARE(events, test_support::table_rows(plain_db, "calendar_events"));
    QCOMPARE(events.first().value("ics_file_path").toString(), QString("/Calendar/Birthdays.ics"));
    // The custody rows too, and each names its archive and member.
    const QStringList archive_columns{"archive_path", "archive_member"};
    QCOMPARE(rows_without(db, "calendar_source_files", archive_columns),
             rows_without(plain_db, "calendar_source_files", archive_columns));
    const QList<QVariantMap> files = test_support::table_rows(db, "calendar_source_files");
    QCOMPARE(files.at(0).value("archive_path").toString(), part1);
    QCOMPARE(files.at(0).value("archive_member").toString(), QString("Takeout/Calendar/Birthdays.ics"));
    QCOMPARE(files.at(1).value("archive_path").toString(), part2);
    QCOMPARE(files.at(2).value("archive_member").toString(), QString("Takeout/Calendar/sub/Team.ics"));
    QCOMPARE(files.at(1).value("modified_time").toLongLong(), fixed_time);

    const QList<QVariantMap> archives = test_support::table_rows(db, "calendar_source_archives");
    QCOMPARE(archives.size(), 2);
    QCOMPARE(archives.at(0).value("archive_path").toString(), part1);
    QCOMPARE(archives.at(0).value("members_unpacked").toInt(), 1);
    QCOMPARE(archives.at(1).value("members_unpacked").toInt(), 2);
    QCOMPARE(archives.at(0).value("outcome").toString(), QString("read"));
    QCOMPARE(archives.at(0).value("size_bytes").toLongLong(), QFileInfo(part1).size());
    if (!QStandardPaths::findExecutable("sha256sum").isEmpty())
    {
        QCOMPARE(archives.at(0).value("sha256").toString(), sha256sum_of(part1));
        QCOMPARE(archives.at(1).value("sha256").toString(), sha256sum_of(part2));
    }
    const QList<QVariantMap> runs = test_support::table_rows(db, "calendar_extraction_runs");
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().value("source").toString(), part1 + "\n" + part2);
    QCOMPARE(runs.first().value("outcome").toString(), QString("completed"));

    // Nothing written beside the evidence; the scratch folder is gone from the case.
    QCOMPARE(test_support::entries_below(evidence), evidence_before);
    QCOMPARE(test_support::entries_below(work.path() + "/case"),
             (QStringList{"Artifacts_Result", "Artifacts_Result/Google_Calendar",
                          "Artifacts_Result/Google_Calendar/Google_Calendar.sqlite"}));
}

void tst_takeout_archives::latin1_member_name_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("tar") << "tar";
    QTest::newRow("zip") << "zip";
}

void tst_takeout_archives::latin1_member_name()
{
    QFETCH(QString, format);
    QTemporaryDir work;
    const QList<member> members{{"Takeout/Calendar/caf\xE9.ics", test_support::google_export("l", 2)}};
    QVERIFY(unpack_by_hand(work.path() + "/unpacked", members));
    const QString archive = work.path() + "/takeout." + (format == "zip" ? "zip" : "tar.gz");
    if (format == "zip")
        QVERIFY(write_archive(archive, "zip", members));
    else
    {
        // GNU tar keeps the name's bytes as they are; gzip over it.
        const QString tar = work.path() + "/plain.tar";
        QVERIFY(write_archive(tar, "tar", members));
        QProcess gzip;
        gzip.setStandardOutputFile(archive);
        gzip.start("gzip", {"-c", tar});
        QVERIFY(gzip.waitForFinished());
        QVERIFY(QFile::remove(tar));
    }
    const outcome plain = run_host({"-q", work.path() + "/unpacked", work.path() + "/plain"});
    const outcome run = run_host({"-q", archive, work.path() + "/case"});
    QCOMPARE(plain.exit_code, 0);
    QVERIFY2(run.exit_code == 0, qPrintable(run.err));
    const QString db = extraction_fixture::database_of(work.path() + "/case");
    const QString plain_db = extraction_fixture::database_of(work.path() + "/plain");
    const QList<QVariantMap> events = test_support::table_rows(db, "calendar_events");
    QCOMPARE(events.size(), 2);
    QCOMPARE(events.first().value("ics_file_path").toString(), QString("/Calendar/caf\\xE9.ics"));
    QCOMPARE(events, test_support::table_rows(plain_db, "calendar_events"));
    const QList<QVariantMap> files = test_support::table_rows(db, "calendar_source_files");
    QCOMPARE(files.first().value("archive_member").toString(), QString("Takeout/Calendar/caf\\xE9.ics"));
    QCOMPARE(files.first().value("ics_file_path_bytes").toString(),
             QString::fromLatin1(QByteArray("/Calendar/caf\xE9.ics").toHex()));
    ::unlink((QFile::encodeName(work.path()) + "/unpacked/Takeout/Calendar/caf\xE9.ics").constData());
}

void tst_takeout_archives::hostile_members_are_listed_and_never_escape()
{
    QTemporaryDir work;
    const QString seeds = test_support::test_data("archive-fuzz-seeds/");
    const QString evidence = work.path() + "/deep/er/evidence";
    QVERIFY(QDir().mkpath(evidence));
    for (const QString seed : {"zipslip.zip", "links.tar", "bomb.zip"})
        QVERIFY(QFile::copy(seeds + seed, evidence + "/" + seed));
    const QString result = work.path() + "/deep/er/case";
    const outcome run = run_host({"-q", "--unpack-limit-mb", "1", evidence + "/zipslip.zip",
                                  evidence + "/links.tar", evidence + "/bomb.zip", result});
    QCOMPARE(run.exit_code, 0);
    // Nothing landed outside the case: not beside it, not above it, not at an absolute path.
    QCOMPARE(test_support::entries_below(work.path()).filter("evil"), QStringList());
    QVERIFY(!QFileInfo::exists("/abs/evil.ics"));
    QVERIFY(!QFileInfo::exists("/tmp/evil.ics"));
    QCOMPARE(test_support::entries_below(result),
             (QStringList{"Artifacts_Result", "Artifacts_Result/Google_Calendar",
                          "Artifacts_Result/Google_Calendar/Google_Calendar.sqlite"}));

    const QString db = extraction_fixture::database_of(result);
    QStringList left_out;
    QStringList read;
    for (const QVariantMap& row : test_support::table_rows(db, "calendar_source_files"))
    {
        const QString line = QFileInfo(row.value("archive_path").toString()).fileName() + " " +
                             row.value("archive_member").toString() + ": " + row.value("reason").toString();
        (row.value("outcome").toString() == "left out" ? left_out : read) << line;
    }
    const QString escapes = "its path leaves the archive's root (absolute or with ..), not unpacked";
    QCOMPARE(left_out,
             (QStringList{
                 "zipslip.zip ../evil.ics: " + escapes,
                 "zipslip.zip /abs/evil.ics: " + escapes,
                 "zipslip.zip Takeout/Calendar/../../evil2.ics: " + escapes,
                 "links.tar Takeout/Calendar/link.ics: link in the archive, not followed",
                 "links.tar Takeout/Calendar/hard.ics: hard link in the archive, not followed",
                 "links.tar Takeout/Calendar/fifo.ics: not a regular file",
                 "bomb.zip Takeout/Calendar/bomb.ics: expands past the limit of 1048576 bytes for "
                 "one member (a decompression bomb?), stopped and not kept",
                 "bomb.zip Takeout/Calendar/a.ics: the same name came earlier; the first one is kept",
             }));
    // The safe members are read: the same name twice keeps the first (a.ics of links.tar).
    QCOMPARE(read.size(), 4);
    QVERIFY(run.err.contains(
        "bomb.zip: Takeout/Calendar/a.ics: the same name came earlier; the first one is kept"));
    QVERIFY(run.err.contains("zipslip.zip: ../evil.ics: " + escapes));
    QCOMPARE(run.out, "4 files read, 8 files left out, 4 events stored in calendar_events of " + db + "\n");
}

void tst_takeout_archives::truncated_archive_yields_what_it_can()
{
    QTemporaryDir work;
    for (const QString seed : {"truncated.tgz", "truncated.zip"})
    {
        const QString result = work.path() + "/" + seed;
        const outcome run = run_host({"-q", test_support::test_data("archive-fuzz-seeds/" + seed), result});
        QCOMPARE(run.exit_code, 0);
        const QString db = extraction_fixture::database_of(result);
        const QList<QVariantMap> events = test_support::table_rows(db, "calendar_events");
        QVERIFY2(!events.isEmpty(), qPrintable(run.err));
        QCOMPARE(events.first().value("event_uid").toString(), QString("seed@google.com"));
        const QList<QVariantMap> archives = test_support::table_rows(db, "calendar_source_archives");
        QCOMPARE(archives.size(), 1);
        QCOMPARE(archives.first().value("outcome").toString(), QString("read in part"));
        QVERIFY(!archives.first().value("problems").toString().isEmpty());
        QVERIFY2(run.err.contains(seed + ": "), qPrintable(run.err));
    }
}

void tst_takeout_archives::archive_without_a_calendar()
{
    QTemporaryDir work;
    const QString archive = work.path() + "/takeout-001.zip";
    QVERIFY(write_archive(archive, "zip", {{"Takeout/Drive/notes.txt", "x"}}));
    const outcome run = run_host({"-q", archive, work.path() + "/case"});
    QCOMPARE(run.exit_code, 7);
    QCOMPARE(run.out, QString());
    QVERIFY(run.err.contains("no calendar export found in the archives"));
    QVERIFY(!QFileInfo::exists(work.path() + "/case/gcal-extract-unpacked-" + QString::number(0)));
    QCOMPARE(test_support::entries_below(work.path() + "/case").filter("unpacked"), QStringList());
}

void tst_takeout_archives::member_paths_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("relative"); // empty: refused
    QTest::newRow("plain") << QByteArray("Takeout/Calendar/a.ics") << QByteArray("Takeout/Calendar/a.ics");
    QTest::newRow("dot and empty parts")
        << QByteArray("./Takeout//Calendar/./a.ics") << QByteArray("Takeout/Calendar/a.ics");
    QTest::newRow("parent") << QByteArray("../a.ics") << QByteArray();
    QTest::newRow("parent inside") << QByteArray("Takeout/../../a.ics") << QByteArray();
    QTest::newRow("absolute") << QByteArray("/etc/a.ics") << QByteArray();
    QTest::newRow("only dots") << QByteArray("./.") << QByteArray();
    QTest::newRow("backslashes are a name on Linux") << QByteArray("..\\a.ics") << QByteArray("..\\a.ics");
}

void tst_takeout_archives::member_paths()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, relative);
    QByteArray got;
    QCOMPARE(takeout_source::safe_member_path(name, &got), !relative.isEmpty());
    if (!relative.isEmpty())
        QCOMPARE(got, relative);
}

void tst_takeout_archives::seeds_replay_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("unpacked"); // -1: at least one
    QTest::addColumn<int>("left_out");
    const QString seeds = test_support::test_data("archive-fuzz-seeds/");
    const QMap<QString, QPair<int, int>> expected{
        {"good.zip", {1, 0}},        {"good.tgz", {1, 0}},        {"good.tar", {1, 0}},
        {"truncated.zip", {-1, -1}}, {"truncated.tgz", {-1, -1}}, {"zipslip.zip", {1, 3}},
        {"zipslip.tar", {1, 3}},     {"links.tar", {3, 3}},       {"zip_symlink.zip", {1, 1}},
        {"bomb.zip", {1, 1}},        {"bomb_total.tgz", {4, 1}},  {"latin1.tar", {1, 0}},
        {"duplicate.zip", {1, 1}},   {"garbage.zip", {0, 0}}};
    const QStringList files = QDir(seeds).entryList(QDir::Files);
    QVERIFY(files.size() > expected.size());
    for (const QString& file : files)
    {
        if (file.endsWith(".py"))
            continue;
        const QPair<int, int> counts = expected.value(file, {-2, -2}); // -2: kept crash input, no counts
        QTest::newRow(qPrintable(file)) << seeds + file << counts.first << counts.second;
    }
}

void tst_takeout_archives::seeds_replay()
{
    QFETCH(QString, path);
    QFETCH(int, unpacked);
    QFETCH(int, left_out);
    QTemporaryDir workspace;
    const QByteArray bytes = test_support::read_file(path);
    const archive_fuzz::outcome result =
        archive_fuzz::unpack_one_archive(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                         size_t(bytes.size()), QFile::encodeName(workspace.path()));
    QVERIFY2(result.fault.isEmpty(), qPrintable(result.fault));
    if (unpacked == -1)
        QVERIFY(result.unpacked >= 1);
    else if (unpacked >= 0)
        QCOMPARE(result.unpacked, unpacked);
    if (left_out >= 0)
        QCOMPARE(result.left_out, left_out);
}

QTEST_MAIN(tst_takeout_archives)
#include "tst_takeout_archives.moc"
