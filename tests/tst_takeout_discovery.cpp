// Takeout discovery: finding the Calendar folder, the engine and table gates of the parse, the
// progress signals, and that no path but a found calendar folder is ever read.

#include "extractors/google_calendar_gtakeoutos.h"
#include "plugin/google_calendar.h"
#include "tests/test_support.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/inotify.h>
#include <unistd.h>

namespace
{
const QByteArray two_events = "BEGIN:VCALENDAR\r\n"
                              "BEGIN:VEVENT\r\nUID:one@example.com\r\nSUMMARY:first\r\nEND:VEVENT\r\n"
                              "BEGIN:VEVENT\r\nUID:two@example.com\r\nSUMMARY:second\r\nEND:VEVENT\r\n"
                              "END:VCALENDAR\r\n";

const QString takeout_search = "[google_calendar_gtakeoutos::find_source_file] ";

// Names of the files opened inside the watched folders (not the folders themselves).
class open_watch
{
  public:
    open_watch() : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~open_watch()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool watch(const QString& dir)
    {
        return fd >= 0 && inotify_add_watch(fd, QFile::encodeName(dir).constData(), IN_OPEN | IN_ACCESS) >= 0;
    }
    QStringList opened_files()
    {
        QStringList names;
        alignas(inotify_event) char buffer[8192];
        ssize_t size = 0;
        while ((size = ::read(fd, buffer, sizeof buffer)) > 0)
        {
            for (char* at = buffer; at < buffer + size;)
            {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && !(event->mask & IN_ISDIR))
                    names << QString::fromLocal8Bit(event->name);
                at += sizeof(inotify_event) + event->len;
            }
        }
        names.removeDuplicates();
        return names;
    }

  private:
    int fd;
};

QList<qint64> values_of(const QSignalSpy& spy)
{
    QList<qint64> values;
    for (const QList<QVariant>& call : spy)
        values << call.at(0).toLongLong();
    return values;
}

// A plug-in object set up for a Takeout source, with its result database created.
struct takeout_run
{
    QTemporaryDir result;
    QString log;
    google_calendar plugin;
    google_calendar_gtakeoutos* takeout = nullptr;

    takeout_run(const QString& source_path, int engine = 0, const QStringList& tables = {"calendar_events"})
    {
        log = result.path() + "/debug.log";
        takeout = plugin.findChild<google_calendar_gtakeoutos*>();
        plugin.pub_set_essentials();
        plugin.pub_set_engine_type(engine);
        struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info general;
        general.debug_mode_status = general.debug_print_in_file = true;
        general.debug_file_path = log;
        plugin.pub_set_general_info(general);
        struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info;
        info.source_path = source_path;
        info.os_scheme_internal = "gTakeoutOS";
        plugin.pub_set_source_info(info);
        plugin.pub_set_essential_for_vorix_desk_extraction(tables, {});
        plugin.pub_set_result_directory(result.path());
        plugin.pub_create_db_tables();
    }
    ~takeout_run() { plugin_static_function::close_debug_file(); }

    QStringList calls() const { return test_support::log_calls(log); }
    int rows() const
    {
        return int(test_support::table_rows(result.path() +
                                                "/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite",
                                            "calendar_events")
                       .size());
    }
};

enum class calendar_entry
{
    folder,
    file,
    none
};
} // namespace

Q_DECLARE_METATYPE(calendar_entry)

class tst_takeout_discovery : public QObject
{
    Q_OBJECT

  private slots:
    void init();

    void finds_the_calendar_folder_data();
    void finds_the_calendar_folder();
    void second_search_after_the_folder_is_gone();
    void empty_source_path_finds_nothing_here();
    void parse_gates_data();
    void parse_gates();
    void parse_reports_progress_in_order();
    void the_watch_sees_a_real_parse();
    void no_folder_no_reads_data();
    void no_folder_no_reads();
};

void tst_takeout_discovery::init()
{
    plugin_static_function::close_debug_file();
    plugin_static_function::set_essentials();
}

void tst_takeout_discovery::finds_the_calendar_folder_data()
{
    QTest::addColumn<calendar_entry>("entry");
    QTest::addColumn<bool>("final_slash");
    QTest::addColumn<bool>("found");
    QTest::newRow("folder, final slash") << calendar_entry::folder << true << true;
    QTest::newRow("folder, no final slash") << calendar_entry::folder << false << true;
    QTest::newRow("a file named Calendar") << calendar_entry::file << true << true; // any entry passes
    QTest::newRow("nothing, final slash") << calendar_entry::none << true << false;
    QTest::newRow("nothing, no final slash") << calendar_entry::none << false << false;
}

void tst_takeout_discovery::finds_the_calendar_folder()
{
    QFETCH(calendar_entry, entry);
    QFETCH(bool, final_slash);
    QFETCH(bool, found);
    QTemporaryDir source;
    if (entry == calendar_entry::folder)
        QVERIFY(QDir(source.path()).mkpath("Calendar"));
    if (entry == calendar_entry::file)
        QVERIFY(test_support::write_file(source.path() + "/Calendar", "not a folder"));
    // A sibling that plain concatenation without the slash would hit.
    QVERIFY(QDir().mkpath(source.path() + "Calendar"));
    takeout_run run(source.path() + (final_slash ? "/" : ""));
    run.plugin.pub_find_source_file();
    QDir().rmdir(source.path() + "Calendar");

    const QString calendar = source.path() + "/Calendar";
    QCOMPARE(run.takeout->calendar_directory(), found ? calendar : QString());
    QStringList expected{takeout_search + "[find_source_file] starts"};
    if (found)
        expected << takeout_search + "[find_source_file] Source file found at path-->>" + calendar;
    expected << takeout_search + "[find_source_file] end";
    QCOMPARE(run.calls().filter("find_source_file"), expected);
}

void tst_takeout_discovery::second_search_after_the_folder_is_gone()
{
    QTemporaryDir source;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/work.ics", two_events));
    takeout_run run(source.path() + "/");
    run.plugin.pub_find_source_file();
    QCOMPARE(run.takeout->calendar_directory(), source.path() + "/Calendar");
    QVERIFY(QDir(source.path() + "/Calendar").removeRecursively());
    const qsizetype before = run.calls().size();
    run.plugin.pub_find_source_file();
    QCOMPARE(run.takeout->calendar_directory(), QString());
    QCOMPARE(run.calls().mid(before), (QStringList{takeout_search + "[find_source_file] starts",
                                                   takeout_search + "[find_source_file] end"}));
}

void tst_takeout_discovery::empty_source_path_finds_nothing_here()
{
    // An empty source path would make the candidate a relative "Calendar": the current folder's.
    QTemporaryDir cwd;
    QVERIFY(test_support::write_file(cwd.path() + "/Calendar/mine.ics", two_events));
    takeout_run run("");
    {
        test_support::scoped_current_dir here(cwd.path());
        run.plugin.pub_find_source_file();
        run.plugin.pub_extract_artifacts();
    }
    QCOMPARE(run.takeout->calendar_directory(), QString());
    QCOMPARE(run.rows(), 0);
}

void tst_takeout_discovery::parse_gates_data()
{
    QTest::addColumn<int>("engine");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<bool>("parsed");
    QTest::newRow("desk, calendar_events") << 0 << QStringList{"calendar_events"} << true;
    QTest::newRow("desk, among others") << 0 << QStringList{"exportfilelist", "calendar_events"} << true;
    QTest::newRow("desk, Calendar_Events") << 0 << QStringList{"Calendar_Events"} << false;
    QTest::newRow("desk, blank around the name") << 0 << QStringList{" calendar_events"} << false;
    QTest::newRow("desk, empty list") << 0 << QStringList{} << false;
    QTest::newRow("field, calendar_events") << 1 << QStringList{"calendar_events"} << false;
    QTest::newRow("relay, calendar_events") << 2 << QStringList{"calendar_events"} << false;
    QTest::newRow("unset engine") << -1 << QStringList{"calendar_events"} << false;
}

void tst_takeout_discovery::parse_gates()
{
    QFETCH(int, engine);
    QFETCH(QStringList, tables);
    QFETCH(bool, parsed);
    QTemporaryDir source;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/work.ics", two_events));
    takeout_run run(source.path() + "/", engine, tables);
    run.plugin.pub_find_source_file();
    QSignalSpy records(run.takeout,
                       &google_calendar_gtakeoutos::signal_extracted_records_of_plugin_gtakeoutos);
    QSignalSpy tabs(run.takeout, &google_calendar_gtakeoutos::signal_total_tabs_processed_gtakeoutos);
    const qsizetype before = run.calls().size();
    run.plugin.pub_extract_artifacts();

    const QStringList calls = run.calls().mid(before);
    const QString gate = "[google_calendar_gtakeoutos::extract_plugin_artifacts] ";
    QCOMPARE(calls.filter(gate), (QStringList{gate + "[extract_plugin_artifacts] starts",
                                              gate + "[extract_plugin_artifacts] ends"}));
    QCOMPARE(calls.filter("[extract_ics_calendar_events] -START").size(), parsed ? 1 : 0);
    // Without a parse only the front operation's own count is emitted.
    QCOMPARE(values_of(records), parsed ? (QList<qint64>{2, 2}) : QList<qint64>{0});
    QCOMPARE(values_of(tabs), parsed ? QList<qint64>{1} : QList<qint64>{});
    QCOMPARE(run.rows(), parsed ? 2 : 0);
}

void tst_takeout_discovery::parse_reports_progress_in_order()
{
    QTemporaryDir source;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/work.ics", two_events));
    takeout_run run(source.path() + "/");
    run.plugin.pub_find_source_file();
    QStringList order;
    QObject::connect(run.takeout, &google_calendar_gtakeoutos::signal_extracted_records_of_plugin_gtakeoutos,
                     [&order](qint64 n) { order << "records " + QString::number(n); });
    QObject::connect(run.takeout, &google_calendar_gtakeoutos::signal_total_tabs_processed_gtakeoutos,
                     [&order](int n) { order << "tabs " + QString::number(n); });
    run.plugin.pub_extract_artifacts();
    QCOMPARE(order, (QStringList{"records 2", "tabs 1", "records 2"}));
}

void tst_takeout_discovery::the_watch_sees_a_real_parse()
{
    QTemporaryDir source;
    QVERIFY(test_support::write_file(source.path() + "/Calendar/work.ics", two_events));
    takeout_run run(source.path() + "/");
    open_watch watch;
    QVERIFY(watch.watch(source.path() + "/Calendar"));
    run.plugin.pub_find_source_file();
    run.plugin.pub_extract_artifacts();
    QCOMPARE(watch.opened_files(), QStringList{"work.ics"});
    QCOMPARE(run.rows(), 2);
}

void tst_takeout_discovery::no_folder_no_reads_data()
{
    QTest::addColumn<calendar_entry>("entry");
    QTest::addColumn<bool>("empty_source_path");
    QTest::newRow("no Calendar in the source") << calendar_entry::none << false;
    QTest::newRow("Calendar is a file") << calendar_entry::file << false;
    QTest::newRow("empty source path") << calendar_entry::none << true;
}

void tst_takeout_discovery::no_folder_no_reads()
{
    // Walking an empty path would read the examiner's own files (the current folder) as evidence.
    QFETCH(calendar_entry, entry);
    QFETCH(bool, empty_source_path);
    QTemporaryDir cwd;
    QTemporaryDir source;
    QVERIFY(test_support::write_file(cwd.path() + "/mine.ics", two_events));
    QVERIFY(test_support::write_file(cwd.path() + "/Calendar/mine.ics", two_events));
    if (entry == calendar_entry::file)
        QVERIFY(test_support::write_file(source.path() + "/Calendar", two_events));
    takeout_run run(empty_source_path ? QString() : source.path() + "/");
    open_watch watch;
    QVERIFY(watch.watch(cwd.path()));
    QVERIFY(watch.watch(cwd.path() + "/Calendar"));
    QVERIFY(watch.watch(source.path()));
    {
        test_support::scoped_current_dir here(cwd.path());
        run.plugin.pub_find_source_file();
        run.plugin.pub_extract_artifacts();
    }
    QCOMPARE(watch.opened_files(), QStringList{});
    QCOMPARE(run.rows(), 0);
    QVERIFY(run.calls().contains(
        "[google_calendar_gtakeoutos::extract_ics_calendar_events] "
        "[extract_ics_calendar_events] -END")); // the database was still opened and closed
}

QTEST_MAIN(tst_takeout_discovery)
#include "tst_takeout_discovery.moc"
