// Hostile evidence and faults around a run: each run must end, store the complete events it
// finds, go on with the next file, say in the log what went wrong, and leave the evidence
// exactly as it was.

#include "tests/extraction_fixture.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized_build = true; // the sanitizers reserve more address space than any data limit
#else
constexpr bool sanitized_build = false;
#endif

namespace
{
const QByteArray next_file =
    "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:next\r\nSUMMARY:next file\r\nEND:VEVENT\r\n";

QByteArray one_event(const QByteArray& summary)
{
    return "BEGIN:VEVENT\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\n";
}

QByteArray many_events(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) + "\r\nEND:VEVENT\r\n";
    return bytes;
}

struct host_options
{
    QStringList arguments;
    int timeout_ms = 300000;
    rlim_t data_limit = RLIM_INFINITY;
};

// The host's exit code; -1 when it crashed, -2 when it did not end in time.
int run_host(const QString& source, const QString& result, const host_options& options = host_options())
{
    QProcess host;
    if (options.data_limit != RLIM_INFINITY)
    {
        const rlim_t limit = options.data_limit;
        host.setChildProcessModifier(
            [limit]
            {
                const rlimit data{limit, limit};
                ::setrlimit(RLIMIT_DATA, &data);
            });
    }
    host.start(test_support::host_program(),
               QStringList{"-q"} + options.arguments + QStringList{source, result});
    if (!host.waitForFinished(options.timeout_ms))
    {
        host.kill();
        host.waitForFinished();
        return -2;
    }
    return host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
}

QVariant scalar(const QString& db_path, const QString& sql)
{
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "scalar");
        db.setDatabaseName(db_path);
        if (db.open())
        {
            QSqlQuery query(sql, db);
            if (query.next())
                value = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase("scalar");
    return value;
}

int count_of(const QString& db_path, const QString& where = "1")
{
    const QVariant count = scalar(db_path, "SELECT count(*) FROM calendar_events WHERE " + where);
    return count.isValid() ? count.toInt() : -1;
}

bool integrity_ok(const QString& db_path)
{
    return scalar(db_path, "PRAGMA integrity_check").toString() == "ok";
}

// Path, type, size, mode, change and modification times (to the nanosecond) and content hash of
// everything below `root`, links included and not followed.
QStringList snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        struct stat status = {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        {
            entries << path + "|gone";
            continue;
        }
        QString entry = QString("%1|%2|%3|%4.%5|%6.%7")
                            .arg(path)
                            .arg(status.st_mode, 0, 8)
                            .arg(qint64(status.st_size))
                            .arg(qint64(status.st_mtim.tv_sec))
                            .arg(qint64(status.st_mtim.tv_nsec))
                            .arg(qint64(status.st_ctim.tv_sec))
                            .arg(qint64(status.st_ctim.tv_nsec));
        if (S_ISREG(status.st_mode))
            entry +=
                "|" +
                QCryptographicHash::hash(test_support::read_file(path), QCryptographicHash::Sha256).toHex();
        entries << entry;
    }
    entries.sort();
    return entries;
}

bool make_socket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

bool copy_read_only(const QString& from, const QString& to)
{
    if (QProcess::execute("cp", {"-a", from, to}) != 0)
        return false;
    return QProcess::execute("chmod", {"-R", "a-w", to}) == 0;
}

// Holds a database locked from another process until destroyed: the sqlite3 shell inside
// BEGIN EXCLUSIVE, waiting on its input.
class database_lock
{
  public:
    explicit database_lock(const QString& db_path)
    {
        shell.start("sqlite3", {db_path});
        if (!shell.waitForStarted())
            return;
        shell.write("BEGIN EXCLUSIVE;\nSELECT 'held';\n");
        while (!shell.canReadLine() && shell.waitForReadyRead(10000))
        {
        }
        held_bool = shell.readLine().trimmed() == "held";
    }
    ~database_lock()
    {
        shell.closeWriteChannel(); // the shell ends, and its transaction with it
        if (!shell.waitForFinished(10000))
            shell.kill();
        shell.waitForFinished();
    }
    bool held() const { return held_bool; }

  private:
    QProcess shell;
    bool held_bool = false;
};
} // namespace

class tst_hostile_evidence : public QObject
{
    Q_OBJECT

  private slots:
    void hostile_files_end_cleanly_data();
    void hostile_files_end_cleanly();
    void evidence_is_never_written();
    void evidence_is_opened_read_only();
    void vanishing_file_is_logged_and_skipped();
    void locked_database_fails_once_and_keeps_rows();
    void killed_run_leaves_a_sound_database();
    void full_file_system_keeps_earlier_rows();
};

void tst_hostile_evidence::hostile_files_end_cleanly_data()
{
    // The hostile entry is Calendar/a.ics (or lies below it); Calendar/z_next.ics follows it in
    // sorted order. `titles` are those of the rows the hostile entry gives, checked up to 20 rows.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<int>("timeout_s");

    const QString long_title(64 << 20, 'x');
    QTest::newRow("empty file") << "empty" << 0 << QStringList() << 300;
    QTest::newRow("no line feed") << "no line feed" << 0 << QStringList() << 300;
    QTest::newRow("only carriage returns") << "only CR" << 0 << QStringList() << 300;
    QTest::newRow("NUL bytes") << "NUL" << 1 << QStringList{QString::fromUtf8("a\0b", 3)} << 300;
    // A file that is no UTF-8 is read as Windows-1252, as old programs wrote it.
    QTest::newRow("invalid UTF-8") << "invalid UTF-8" << 2
                                   << QStringList{QString::fromUtf8(
                                                      u8"caf\u00C3( \u00FF\u00FE \u00ED\u00A0\u20AC"),
                                                  QString::fromUtf8(u8"\u00E2\u201A")}
                                   << 300;
    QTest::newRow("a single 64 MB line") << "64 MB line" << 1 << QStringList{long_title} << 300;
    QTest::newRow("200,000 empty events") << "many events" << 200000 << QStringList() << 300;
    QTest::newRow("a million END:VEVENT lines without events") << "million ends" << 0 << QStringList() << 300;
    QTest::newRow("an alarm that never ends") << "open alarm" << 2 << QStringList{"one", "two"} << 300;
    QTest::newRow("an alarm open at the end of the file") << "alarm at end" << 1 << QStringList{"cut"} << 300;
    QTest::newRow("a time zone block that never ends")
        << "open zone" << 1 << QStringList{"after zone"} << 300;
    QTest::newRow("a folder named x.ics") << "folder" << 1 << QStringList{"inside"} << 300;
    QTest::newRow("a FIFO named x.ics") << "fifo" << 0 << QStringList() << 300;
    QTest::newRow("a socket named x.ics") << "socket" << 0 << QStringList() << 300;
    QTest::newRow("a link named x.ics") << "link" << 0 << QStringList() << 300;
    QTest::newRow("a link to a folder outside") << "folder link" << 0 << QStringList() << 300;
    QTest::newRow("a link loop") << "link loop" << 1 << QStringList{"in the loop"} << 300;
    QTest::newRow("folders 500 deep") << "deep" << 1 << QStringList{"bottom"} << 300;
    QTest::newRow("20,000 small files") << "many files" << 20000 << QStringList() << 300;
    // Read in about a second when each rule line costs the same; a minute means it does not.
    QTest::newRow("200,000 repeat rules in one event") << "many rules" << 1 << QStringList{"rules"} << 60;
    QTest::newRow("a sparse 3 GB file without line breaks") << "sparse" << 0 << QStringList() << 300;
    QTest::newRow("a 1 GiB line inside an event") << "sparse line" << 1 << QStringList{"kept"} << 300;
}

void tst_hostile_evidence::hostile_files_end_cleanly()
{
    QFETCH(QString, kind);
    QFETCH(int, rows);
    QFETCH(QStringList, titles);
    QFETCH(int, timeout_s);
    QTemporaryDir source;
    QTemporaryDir outside;
    QTemporaryDir result;
    const QString calendar = source.path() + "/Calendar";
    const QString hostile = calendar + "/a.ics";
    QVERIFY(QDir().mkpath(calendar));
    QVERIFY(test_support::write_file(calendar + "/z_next.ics", next_file));
    host_options options;
    options.timeout_ms = timeout_s * 1000;

    if (kind == "empty")
        QVERIFY(test_support::write_file(hostile, ""));
    else if (kind == "no line feed")
        QVERIFY(test_support::write_file(hostile, "BEGIN:VEVENT SUMMARY:x END:VEVENT"));
    else if (kind == "only CR")
        QVERIFY(test_support::write_file(hostile, "BEGIN:VEVENT\rSUMMARY:x\rEND:VEVENT\r"));
    else if (kind == "NUL")
        QVERIFY(test_support::write_file(
            hostile, QByteArray("BEGIN:VEVENT\r\nSUMMARY:a\0b\r\n\0\0\r\nEND:VEVENT\r\n", 43)));
    else if (kind == "invalid UTF-8") // a broken sequence, stray bytes, an encoded surrogate, a cut end
        QVERIFY(test_support::write_file(hostile, one_event("caf\xc3\x28 \xff\xfe \xed\xa0\x80") +
                                                      "BEGIN:VEVENT\r\nSUMMARY:\xe2\x82\r\nEND:VEVENT"));
    else if (kind == "64 MB line")
        QVERIFY(test_support::write_file(hostile, one_event(QByteArray(64 << 20, 'x'))));
    else if (kind == "many events")
        QVERIFY(test_support::write_file(hostile, QByteArray("BEGIN:VEVENT\r\nEND:VEVENT\r\n").repeated(200000)));
    else if (kind == "million ends")
        QVERIFY(test_support::write_file(hostile, QByteArray("END:VEVENT\r\n").repeated(1000000)));
    else if (kind == "open alarm")
        QVERIFY(test_support::write_file(hostile,
                                         "BEGIN:VEVENT\r\nSUMMARY:one\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\n"
                                         "END:VEVENT\r\nBEGIN:VEVENT\r\nSUMMARY:two\r\nEND:VEVENT\r\n"));
    else if (kind == "alarm at end") // a cut file: nothing of it may reach the next file's row
        QVERIFY(test_support::write_file(hostile, "BEGIN:VEVENT\r\nSUMMARY:cut\r\nDESCRIPTION:cut\r\n"
                                                  "BEGIN:VALARM\r\nTRIGGER:-PT5M\r\nACTION:AUDIO\r\n"));
    else if (kind == "open zone")
        QVERIFY(
            test_support::write_file(hostile, "BEGIN:VTIMEZONE\r\nTZID:X\r\nRRULE:FREQ=YEARLY;BYMONTH=3\r\n" +
                                                  one_event("after zone")));
    else if (kind == "folder")
        QVERIFY(test_support::write_file(hostile + "/inside.ics", one_event("inside")));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(hostile).constData(), 0644), 0);
    else if (kind == "socket")
        QVERIFY(make_socket(hostile));
    else if (kind == "link")
    {
        QVERIFY(test_support::write_file(outside.path() + "/target.ics", one_event("outside")));
        QVERIFY(QFile::link(outside.path() + "/target.ics", hostile));
    }
    else if (kind == "folder link")
    {
        QVERIFY(test_support::write_file(outside.path() + "/inner.ics", one_event("outside")));
        QVERIFY(QFile::link(outside.path(), calendar + "/a_outside"));
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
    else if (kind == "many rules")
        QVERIFY(test_support::write_file(
            hostile, "BEGIN:VEVENT\r\nSUMMARY:rules\r\n" +
                         QByteArray("RRULE:FREQ=DAILY;COUNT=1\r\n").repeated(200000) + "END:VEVENT\r\n"));
    else if (kind == "sparse")
    {
        // Costs nothing on disk; a run that holds it whole needs more memory than it is allowed.
        if (sanitized_build)
            QSKIP("a data limit cannot be set under the sanitizers");
        QFile file(hostile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(3) << 30));
        options.data_limit = rlim_t(1) << 30;
    }
    else if (kind == "sparse line")
    {
        // A description of 1 GiB of NUL bytes inside an otherwise sound event: the line is left
        // out and logged, the event is kept.
        if (sanitized_build)
            QSKIP("a data limit cannot be set under the sanitizers");
        QFile file(hostile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BEGIN:VEVENT\r\nSUMMARY:kept\r\nDESCRIPTION:");
        QVERIFY(file.seek(qint64(1) << 30));
        file.write("\r\nLOCATION:here\r\nEND:VEVENT\r\n");
        options.data_limit = rlim_t(1) << 30;
        options.arguments = QStringList{"--log", result.path() + "/debug.log"};
    }

    QCOMPARE(run_host(source.path(), result.path(), options), 0);

    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(count_of(db), rows + 1);
    QCOMPARE(count_of(db, "event_uid = 'next'"), 1);
    // Nothing of the hostile entry flows into the next file's row.
    const QList<QVariantMap> all = test_support::table_rows(db, "calendar_events");
    const QVariantMap next = all.last();
    QCOMPARE(next.value("title").toString(), QString("next file"));
    for (const char* column : {"event_notes", "alert", "alarm_action", "repeat_detail", "timezone"})
        QVERIFY2(next.value(column).toString().isEmpty(), column);
    if (rows <= 20)
    {
        QStringList stored;
        for (int i = 0; i + 1 < all.size(); ++i)
            stored << all.at(i).value("title").toString();
        QVERIFY2(stored == titles, qPrintable(stored.join(" | ").left(200)));
    }
    if (kind == "sparse line")
    {
        QCOMPARE(all.first().value("location").toString(), QString("here"));
        QCOMPARE(all.first().value("event_notes").toString(), QString());
        QVERIFY(test_support::log_texts(result.path() + "/debug.log")
                    .contains("[extract_ics_calendar_events] " + hostile +
                              ": line longer than 268435456 bytes left out at byte 28"));
    }
}

void tst_hostile_evidence::evidence_is_never_written()
{
    const QString corpus = QStringLiteral(GCAL_CORPUS_DIR);
    if (!QFileInfo(corpus).isDir())
        QSKIP("the shared .ics corpus is not beside this checkout");
    QTemporaryDir source;
    QTemporaryDir result;
    // Read-only as evidence is mounted; root writes anyway, so the snapshots decide.
    QVERIFY(copy_read_only(corpus, source.path() + "/Calendar"));
    const QStringList before = snapshot(source.path());
    QVERIFY(before.size() > 100);

    QCOMPARE(run_host(source.path(), result.path(), {{"--log", result.path() + "/debug.log"}}), 0);
    QCOMPARE(snapshot(source.path()), before);
    QVERIFY(count_of(extraction_fixture::database_of(result.path())) > 0);
    QProcess::execute("chmod", {"-R", "u+w", source.path()});
}

// Every system call that names a path below SOURCE, traced: opens are read-only, and nothing
// is created, renamed, removed, linked or re-stamped there.
void tst_hostile_evidence::evidence_is_opened_read_only()
{
    const QString corpus = QStringLiteral(GCAL_CORPUS_DIR);
    if (!QFileInfo(corpus).isDir())
        QSKIP("the shared .ics corpus is not beside this checkout");
    const QString strace = QStandardPaths::findExecutable("strace");
    if (strace.isEmpty())
        QSKIP("strace is not installed");
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(copy_read_only(corpus, source.path() + "/Calendar"));
    const QString trace = result.path() + "/trace.txt";
    QProcess traced;
    traced.start(strace, {"-f", "-qq", "-o", trace, "-e",
                          "trace=open,openat,openat2,creat,truncate,mkdir,mkdirat,rename,renameat,renameat2,"
                          "unlink,unlinkat,rmdir,link,linkat,symlink,symlinkat,chmod,fchmodat,chown,lchown,"
                          "fchownat,utime,utimes,utimensat,futimesat,setxattr,lsetxattr,removexattr,"
                          "lremovexattr,mknod,mknodat",
                          test_support::host_program(), "-q", source.path(), result.path() + "/case"});
    QVERIFY(traced.waitForFinished(300000));
    if (traced.exitCode() != 0 && traced.readAllStandardError().contains("ptrace"))
        QSKIP("strace cannot trace here (no ptrace permission)");
    QCOMPARE(traced.exitCode(), 0);

    const QString below = "\"" + source.path() + "/";
    int opens = 0;
    QStringList offending;
    for (const QString& call : QString::fromLocal8Bit(test_support::read_file(trace)).split('\n'))
    {
        if (!call.contains(below))
            continue;
        const bool is_open = call.contains(QRegularExpression("\\bopen(at2?)?\\("));
        if (is_open && call.contains("O_RDONLY") &&
            !call.contains(QRegularExpression("O_CREAT|O_TRUNC|O_APPEND")))
            ++opens;
        else
            offending << call;
    }
    QVERIFY2(offending.isEmpty(), qPrintable(offending.mid(0, 5).join('\n')));
    QVERIFY(opens > 100); // every .ics file, and the folders as they are listed
}

void tst_hostile_evidence::vanishing_file_is_logged_and_skipped()
{
    // The first file keeps the run busy past the first progress signal; the second is gone by then.
    QTemporaryDir source;
    QTemporaryDir result;
    const QString calendar = source.path() + "/Calendar";
    const int big_events = 1500000;
    QVERIFY(test_support::write_file(calendar + "/a_big.ics", many_events(big_events)));
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
    QCOMPARE(count_of(db), big_events + 1);
    QCOMPARE(count_of(db, "event_uid = 'next'"), 1);
    const QStringList texts = test_support::log_texts(s.log_file);
    const int failed = int(
        texts.indexOf("[extract_ics_calendar_events] ics file not exist" + calendar + "/b_vanishing.ics"));
    QVERIFY(failed >= 0);
    QVERIFY(texts.value(failed + 1).contains("No such file")); // the file's own error text follows
    QVERIFY(texts.contains("[extract_ics_calendar_events] -END"));
}

void tst_hostile_evidence::locked_database_fails_once_and_keeps_rows()
{
    if (QStandardPaths::findExecutable("sqlite3").isEmpty())
        QSKIP("the sqlite3 shell is not installed");
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics", next_file));
    QCOMPARE(run_host(source.path(), result.path()), 0);
    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(count_of(db), 1);

    QVERIFY(test_support::write_file(source.path() + "/Calendar/b.ics", many_events(100)));
    const QString log = result.path() + "/debug.log";
    int status = -3;
    {
        database_lock lock(db);
        QVERIFY(lock.held());
        status = run_host(source.path(), result.path(), {{"--log", log}});
    }
    QCOMPARE(status, 1); // nothing stored, and the summary cannot read the locked database
    QVERIFY(integrity_ok(db));
    QCOMPARE(count_of(db), 1); // neither cleared nor half written
    const QStringList texts = test_support::log_texts(log);
    const QStringList begin_failed =
        texts.filter(QRegularExpression("^\\[extract_ics_calendar_events\\] begin transaction --------FAILED"
                                        "-------- .*database is locked"));
    QCOMPARE(begin_failed.size(), 1);
    QVERIFY(!texts.contains("[extract_ics_calendar_events] -END"));
    QVERIFY(texts.filter("query_insert").isEmpty()); // no row was tried against the lock
}

void tst_hostile_evidence::killed_run_leaves_a_sound_database()
{
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/a.ics", next_file));
    QCOMPARE(run_host(source.path(), result.path()), 0);
    const QString db = extraction_fixture::database_of(result.path());
    QCOMPARE(count_of(db), 1);

    // Killed once the run is writing: its rollback journal exists only inside the transaction.
    QVERIFY(test_support::write_file(source.path() + "/Calendar/b.ics", many_events(3000000)));
    QProcess host;
    host.start(test_support::host_program(), {"-q", "--keep-rows", source.path(), result.path()});
    QVERIFY(host.waitForStarted());
    const QString journal = db + "-journal";
    while (!QFileInfo::exists(journal) && !host.waitForFinished(5))
    {
    }
    QVERIFY2(host.state() == QProcess::Running, "the run ended before it was writing");
    QTest::qWait(200);
    ::kill(pid_t(host.processId()), SIGKILL);
    host.waitForFinished();
    QCOMPARE(host.exitStatus(), QProcess::CrashExit);

    QVERIFY(integrity_ok(db));
    QCOMPARE(count_of(db), 1); // the earlier run's row; the killed run's rows are rolled back
    QCOMPARE(count_of(db, "event_uid = 'next'"), 1);
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

    const int first = run_host(source.path(), result);
    QProcess host;
    const QString log = source.path() + "/debug.log";
    host.start(test_support::host_program(), {"-q", "--keep-rows", "--log", log, big_source.path(), result});
    const bool finished = host.waitForFinished(300000);
    const QString db = extraction_fixture::database_of(result);
    const bool sound = integrity_ok(db);
    const int kept = count_of(db);
    const QStringList texts = test_support::log_texts(log);
    QProcess::execute("umount", {mount_point.path()});

    QCOMPARE(first, 0);
    QVERIFY(finished);
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.exitCode(), 1); // nothing of the run could be stored: not a success
    QVERIFY(sound);
    QCOMPARE(kept, 1); // the earlier run's row; none of the run that could not be written
    QVERIFY(texts.contains(
        "[extract_ics_calendar_events] transaction rolled back --------FAILED-------- database or "
        "disk is full"));
    QVERIFY(!texts.contains("[extract_ics_calendar_events] -END"));
}

QTEST_MAIN(tst_hostile_evidence)
#include "tst_hostile_evidence.moc"
