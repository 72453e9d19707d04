// Hostile evidence: each run must end, store the complete events it finds, go on with the next
// file, and leave the evidence exactly as it was.

#include "tests/extraction_fixture.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
const QByteArray next_file =
    "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:next\r\nSUMMARY:next file\r\nEND:VEVENT\r\n";

QByteArray one_event(const QByteArray& summary)
{
    return "BEGIN:VEVENT\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\n";
}

int run_host(const QString& source, const QString& result, int timeout_ms = 300000)
{
    QProcess host;
    host.start(test_support::host_program(), {"-q", source, result});
    if (!host.waitForFinished(timeout_ms))
    {
        host.kill();
        host.waitForFinished();
        return -2; // hung
    }
    return host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
}

int scalar(const QString& db_path, const QString& sql)
{
    int value = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "scalar");
        db.setDatabaseName(db_path);
        if (db.open())
        {
            QSqlQuery query(sql, db);
            if (query.next())
                value = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase("scalar");
    return value;
}

// Path, size, modification time and content hash of everything below `root`, links included.
QStringList snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        const QFileInfo info(path);
        QString entry = path + "|" + QString::number(info.size()) + "|" +
                        QString::number(info.lastModified().toMSecsSinceEpoch());
        if (info.isFile() && !info.isSymLink())
            entry +=
                "|" +
                QCryptographicHash::hash(test_support::read_file(path), QCryptographicHash::Sha1).toHex();
        entries << entry;
    }
    entries.sort();
    return entries;
}

void make_socket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
}
} // namespace

class tst_hostile_evidence : public QObject
{
    Q_OBJECT

  private slots:
    void hostile_files_end_cleanly_data();
    void hostile_files_end_cleanly();
    void evidence_is_never_written();
    void vanishing_file_is_logged_and_skipped();
    void killed_run_leaves_a_sound_database();
    void full_file_system_keeps_earlier_rows();
};

void tst_hostile_evidence::hostile_files_end_cleanly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("rows");
    QTest::newRow("empty file") << "empty" << 0;
    QTest::newRow("no line feed") << "no line feed" << 0;
    QTest::newRow("only carriage returns") << "only CR" << 0;
    QTest::newRow("NUL bytes") << "NUL" << 1;
    QTest::newRow("invalid UTF-8") << "invalid UTF-8" << 1;
    QTest::newRow("a single 64 MB line") << "64 MB line" << 1;
    QTest::newRow("a million END:VEVENT lines") << "million ends" << 1000000;
    QTest::newRow("an alarm that never ends") << "open alarm" << 2;
    QTest::newRow("a folder named x.ics") << "folder" << 1;
    QTest::newRow("a FIFO named x.ics") << "fifo" << 0;
    QTest::newRow("a socket named x.ics") << "socket" << 0;
    QTest::newRow("a link named x.ics") << "link" << 0;
    QTest::newRow("a link loop") << "link loop" << 1;
    QTest::newRow("folders 500 deep") << "deep" << 1;
    QTest::newRow("20,000 small files") << "many files" << 20000;
}

void tst_hostile_evidence::hostile_files_end_cleanly()
{
    QFETCH(QString, kind);
    QFETCH(int, rows);
    QTemporaryDir source;
    QTemporaryDir outside;
    QTemporaryDir result;
    const QString calendar = source.path() + "/Calendar";
    const QString hostile = calendar + "/a.ics";
    QVERIFY(QDir().mkpath(calendar));
    QVERIFY(test_support::write_file(calendar + "/z_next.ics", next_file));

    if (kind == "empty")
        QVERIFY(test_support::write_file(hostile, ""));
    else if (kind == "no line feed")
        QVERIFY(test_support::write_file(hostile, "BEGIN:VEVENT SUMMARY:x END:VEVENT"));
    else if (kind == "only CR")
        QVERIFY(test_support::write_file(hostile, "BEGIN:VEVENT\rSUMMARY:x\rEND:VEVENT\r"));
    else if (kind == "NUL")
        QVERIFY(test_support::write_file(
            hostile, QByteArray("BEGIN:VEVENT\r\nSUMMARY:a\0b\r\n\0\0\r\nEND:VEVENT\r\n", 43)));
    else if (kind == "invalid UTF-8")
        QVERIFY(test_support::write_file(hostile, one_event("caf\xc3\x28 \xff\xfe \xed\xa0\x80")));
    else if (kind == "64 MB line")
        QVERIFY(test_support::write_file(hostile, "BEGIN:VEVENT\r\nDESCRIPTION:" + QByteArray(64 << 20, 'x') +
                                                      "\r\nEND:VEVENT\r\n"));
    else if (kind == "million ends")
        QVERIFY(test_support::write_file(hostile, QByteArray("END:VEVENT\r\n").repeated(1000000)));
    else if (kind == "open alarm")
        QVERIFY(test_support::write_file(hostile,
                                         "BEGIN:VEVENT\r\nSUMMARY:one\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\n"
                                         "END:VEVENT\r\nBEGIN:VEVENT\r\nSUMMARY:two\r\nEND:VEVENT\r\n"));
    else if (kind == "folder")
        QVERIFY(test_support::write_file(hostile + "/inside.ics", one_event("inside")) && true);
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(hostile).constData(), 0644), 0);
    else if (kind == "socket")
        make_socket(hostile);
    else if (kind == "link")
    {
        QVERIFY(test_support::write_file(outside.path() + "/target.ics", one_event("outside")));
        QVERIFY(QFile::link(outside.path() + "/target.ics", hostile));
    }
    else if (kind == "link loop")
    {
        QVERIFY(QDir().mkpath(calendar + "/loop"));
        QVERIFY(QFile::link(calendar, calendar + "/loop/back"));
        QVERIFY(QFile::link(calendar + "/loop/self", calendar + "/loop/self"));
        QVERIFY(test_support::write_file(calendar + "/loop/in.ics", one_event("in the loop")));
    }
    else if (kind == "deep")
    {
        QString deep = calendar;
        for (int i = 0; i < 500; ++i)
            deep += "/d";
        QVERIFY(QDir().mkpath(deep));
        QVERIFY(test_support::write_file(deep + "/bottom.ics", one_event("bottom")));
    }
    else if (kind == "many files")
    {
        for (int i = 0; i < 20000; ++i)
            QVERIFY(test_support::write_file(calendar + QString("/m%1.ics").arg(i, 5, 10, QChar('0')),
                                             one_event(QByteArray::number(i))));
    }

    QCOMPARE(run_host(source.path(), result.path()), 0);
    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(scalar(db, "SELECT count(*) FROM calendar_events"), rows + 1);
    QCOMPARE(scalar(db, "SELECT count(*) FROM calendar_events WHERE event_uid = 'next'"), 1);
}

void tst_hostile_evidence::evidence_is_never_written()
{
    const QString corpus = QStringLiteral(GCAL_CORPUS_DIR);
    if (!QFileInfo(corpus).isDir())
        QSKIP("the shared .ics corpus is not beside this checkout");
    QTemporaryDir source;
    QTemporaryDir result;
    // A copy, with the permissions of read-only evidence (root ignores them, so compare too).
    QProcess copy;
    copy.start("cp", {"-a", corpus, source.path() + "/Calendar"});
    QVERIFY(copy.waitForFinished() && copy.exitCode() == 0);
    QProcess::execute("chmod", {"-R", "a-w", source.path() + "/Calendar"});
    const QStringList before = snapshot(source.path());

    QCOMPARE(run_host(source.path(), result.path()), 0);
    QCOMPARE(snapshot(source.path()), before);
    QVERIFY(scalar(extraction_fixture::database_of(result.path()), "SELECT count(*) FROM calendar_events") >
            0);
    QProcess::execute("chmod", {"-R", "u+w", source.path()});
}

void tst_hostile_evidence::vanishing_file_is_logged_and_skipped()
{
    // The first file keeps the run busy past the first progress signal; the second is gone by then.
    QTemporaryDir source;
    QTemporaryDir result;
    const QString calendar = source.path() + "/Calendar";
    const int big_events = 1500000;
    QByteArray big;
    for (int i = 0; i < big_events; ++i)
        big += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) + "\r\nEND:VEVENT\r\n";
    QVERIFY(test_support::write_file(calendar + "/a_big.ics", big));
    QVERIFY(test_support::write_file(calendar + "/b_vanishing.ics", one_event("gone")));
    QVERIFY(test_support::write_file(calendar + "/c_next.ics", next_file));

    extraction_fixture::settings s;
    s.log_file = result.path() + "/debug.log";
    google_calendar plugin;
    extraction_fixture::prepare(plugin, source.path(), result.path(), s);
    bool removed = false;
    connect(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall, this,
            [&](qint64 records)
            {
                if (records > 0 && records < big_events && !removed) // still inside the first file
                    removed = QFile::remove(calendar + "/b_vanishing.ics");
            });
    plugin.pub_extract_artifacts();
    plugin.pub_remove_temporary_asthetics();
    if (!removed)
        QSKIP("the first file was read in under a second: nothing vanished in the middle");
    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(scalar(db, "SELECT count(*) FROM calendar_events"), big_events + 1);
    QCOMPARE(scalar(db, "SELECT count(*) FROM calendar_events WHERE event_uid = 'next'"), 1);
    const QStringList texts = test_support::log_texts(s.log_file);
    QVERIFY(
        texts.contains("[extract_ics_calendar_events] ics file not exist" + calendar + "/b_vanishing.ics"));
    QVERIFY(texts.contains("[extract_ics_calendar_events] -END"));
}

void tst_hostile_evidence::killed_run_leaves_a_sound_database()
{
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics", next_file));
    QCOMPARE(run_host(source.path(), result.path()), 0);
    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(scalar(db, "SELECT count(*) FROM calendar_events"), 1);

    QByteArray big;
    for (int i = 0; i < 1500000; ++i)
        big += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) + "\r\nEND:VEVENT\r\n";
    QVERIFY(test_support::write_file(source.path() + "/Calendar/b.ics", big));
    QProcess host;
    host.start(test_support::host_program(), {"-q", "--keep-rows", source.path(), result.path()});
    QVERIFY(host.waitForStarted());
    QTest::qWait(700);
    ::kill(pid_t(host.processId()), SIGKILL);
    host.waitForFinished();

    QCOMPARE(scalar(db, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1);
    QVERIFY(scalar(db, "SELECT count(*) FROM calendar_events WHERE event_uid = 'next'") >= 1);
}

void tst_hostile_evidence::full_file_system_keeps_earlier_rows()
{
    QTemporaryDir mount_point;
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=2m", "tmpfs", mount_point.path()}) != 0)
        QSKIP("cannot mount a small tmpfs here (needs root and a kernel that allows it)");
    const QString result = mount_point.path() + "/case";
    QTemporaryDir source;
    QTemporaryDir big_source;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics", next_file));
    QByteArray big;
    for (int i = 0; i < 20000; ++i)
        big += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) + "\r\nDESCRIPTION:" + QByteArray(300, 'x') +
               "\r\nEND:VEVENT\r\n";
    QVERIFY(test_support::write_file(big_source.path() + "/Calendar/big.ics", big));

    QCOMPARE(run_host(source.path(), result), 0);
    QProcess host;
    const QString log = source.path() + "/debug.log";
    host.start(test_support::host_program(), {"-q", "--keep-rows", "--log", log, big_source.path(), result});
    const bool finished = host.waitForFinished(300000);
    const QString db = extraction_fixture::database_of(result);
    const int integrity_ok =
        scalar(db, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'");
    const int kept = scalar(db, "SELECT count(*) FROM calendar_events");
    const QStringList texts = test_support::log_texts(log);
    QProcess::execute("umount", {mount_point.path()});

    QVERIFY(finished);
    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(integrity_ok, 1);
    QCOMPARE(kept, 1); // the earlier run's row; none of the run that could not be written
    QVERIFY(texts.contains(
        "[extract_ics_calendar_events] transaction rolled back --------FAILED-------- database or "
        "disk is full"));
    QVERIFY(!texts.contains("[extract_ics_calendar_events] -END"));
}

QTEST_MAIN(tst_hostile_evidence)
#include "tst_hostile_evidence.moc"
