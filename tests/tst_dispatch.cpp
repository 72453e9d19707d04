// Dispatch by scheme to the four extractors: the search, the extraction, the cancel check and
// the overall record counts the host sees.

#include "plugin/google_calendar.h"
#include "tests/test_support.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QByteArray two_events = "BEGIN:VCALENDAR\r\n"
                              "BEGIN:VEVENT\r\nUID:one@example.com\r\nSUMMARY:first\r\n"
                              "DTSTART:20240101T100000Z\r\nEND:VEVENT\r\n"
                              "BEGIN:VEVENT\r\nUID:two@example.com\r\nSUMMARY:second\r\n"
                              "DTSTART:20240102T100000Z\r\nEND:VEVENT\r\n"
                              "END:VCALENDAR\r\n";

const QString unmatched = "------FAILED------- supported os scheme internal not matched, received os scheme "
                          "internal =  %1, plugin name is Google Calendar";

QList<qint64> values_of(const QSignalSpy& spy)
{
    QList<qint64> values;
    for (const QList<QVariant>& call : spy)
        values << call.at(0).toLongLong();
    return values;
}

// A desktop-edition run over a Takeout folder holding two events, up to the search.
struct dispatch_run
{
    QTemporaryDir source;
    QTemporaryDir result;
    QString log;
    QString db;
    google_calendar plugin;

    explicit dispatch_run(const QString& scheme)
    {
        test_support::write_file(source.path() + "/Calendar/work.ics", two_events);
        log = result.path() + "/debug.log";
        db = result.path() + "/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite";
        plugin.pub_set_essentials();
        plugin.pub_set_engine_type(0);
        plugin.pub_set_source_count(1);
        struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info general;
        general.debug_mode_status = general.debug_print_in_file = true;
        general.debug_file_path = log;
        plugin.pub_set_general_info(general);
        struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info info;
        info.source_path = source.path() + "/";
        info.os_scheme_internal = scheme;
        plugin.pub_set_source_info(info);
        plugin.pub_set_essential_for_vorix_desk_extraction({"calendar_events"}, {});
        plugin.pub_set_result_directory(result.path());
        plugin.pub_create_db_tables();
        plugin.pub_set_clear_db(true);
    }
    ~dispatch_run() { plugin_static_function::close_debug_file(); }

    qsizetype logged() const { return test_support::log_calls(log).size(); }
    QStringList calls_since(qsizetype before) const { return test_support::log_calls(log).mid(before); }
    int rows() const { return int(test_support::table_rows(db, "calendar_events").size()); }
};

const QString start = "[google_calendar::pub_extract_artifacts] [pub_extract_artifacts] - START";
const QString end = "[google_calendar::pub_extract_artifacts] [pub_extract_artifacts] - END";
} // namespace

class tst_dispatch : public QObject
{
    Q_OBJECT

  private slots:
    void search_reaches_the_scheme_data();
    void search_reaches_the_scheme();
    void extraction_reaches_the_scheme_data();
    void extraction_reaches_the_scheme();
    void cancel_before_extraction_data();
    void cancel_before_extraction();
    void unknown_scheme_ignores_the_cancel_flag();
    void counts_carry_over_until_essentials();
    void extended_attributes_change_nothing();
};

void tst_dispatch::search_reaches_the_scheme_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("macOS") << "macOS" << QStringList{};
    QTest::newRow("iOS_UID") << "iOS_UID"
                             << QStringList{
                                    "[google_calendar_ios_uid::find_source_file] [find_source_file] Starts",
                                    "[google_calendar_ios_uid::find_source_file] [find_source_file] Ends"};
    QTest::newRow("winOS") << "winOS"
                           << QStringList{
                                  "[google_calendar_winos::find_source_file] [find_source_file]---starts",
                                  "[google_calendar_winos::find_source_file] [find_source_file]---ends"};
    const QString takeout = "[google_calendar_gtakeoutos::find_source_file] ";
    QTest::newRow("gTakeoutOS") << "gTakeoutOS"
                                << QStringList{takeout + "[find_source_file] starts",
                                               takeout +
                                                   "[find_source_file] Source file found at path-->>SRC",
                                               takeout + "[find_source_file] end"};
    const QString failed = "[google_calendar::pub_find_source_file] " + unmatched;
    QTest::newRow("lower case macos") << "macos" << QStringList{failed.arg("macos")};
    QTest::newRow("lower case gtakeoutos") << "gtakeoutos" << QStringList{failed.arg("gtakeoutos")};
    QTest::newRow("blank around winOS") << " winOS" << QStringList{failed.arg(" winOS")};
    QTest::newRow("empty") << "" << QStringList{failed.arg("")};
}

void tst_dispatch::search_reaches_the_scheme()
{
    QFETCH(QString, scheme);
    QFETCH(QStringList, calls);
    dispatch_run run(scheme);
    const qsizetype before = run.logged();
    run.plugin.pub_find_source_file();
    calls.replaceInStrings("SRC", run.source.path() + "/Calendar");
    QCOMPARE(run.calls_since(before), calls);
}

void tst_dispatch::extraction_reaches_the_scheme_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QList<qint64>>("records");
    QTest::addColumn<QList<qint64>>("tabs");
    QTest::addColumn<int>("rows");
    QTest::newRow("macOS") << "macOS" << QStringList{start, end} << QList<qint64>{0, 0, 0} << QList<qint64>{}
                           << 0;
    QTest::newRow("iOS_UID") << "iOS_UID" << QStringList{start, end} << QList<qint64>{0, 0, 0}
                             << QList<qint64>{} << 0;
    const QString winos = "[google_calendar_winos::extract_plugin_artifacts] ";
    QTest::newRow("winOS") << "winOS"
                           << QStringList{start, winos + "[extract_plugin_artifacts]---starts",
                                          winos + "[extract_plugin_artifacts]---ends", end}
                           << QList<qint64>{0, 0, 0} << QList<qint64>{} << 0;
    const QString takeout = "[google_calendar_gtakeoutos::extract_plugin_artifacts] ";
    const QString reader = "[google_calendar_gtakeoutos::extract_ics_calendar_events] ";
    // 0 from the start, the count after the parse, the extractor's own count, the final count.
    QTest::newRow("gTakeoutOS") << "gTakeoutOS"
                                << QStringList{start,
                                               takeout + "[extract_plugin_artifacts] starts",
                                               reader + "[extract_ics_calendar_events] -START",
                                               reader + "[extract_ics_calendar_events] -END",
                                               takeout + "[extract_plugin_artifacts] ends",
                                               end}
                                << QList<qint64>{0, 2, 2, 2} << QList<qint64>{1} << 2;
    QTest::newRow("unknown scheme")
        << "macos"
        << QStringList{start, "[google_calendar::pub_extract_artifacts] " + unmatched.arg("macos"), end}
        << QList<qint64>{0, 0} << QList<qint64>{} << 0;
}

void tst_dispatch::extraction_reaches_the_scheme()
{
    QFETCH(QString, scheme);
    QFETCH(QStringList, calls);
    QFETCH(QList<qint64>, records);
    QFETCH(QList<qint64>, tabs);
    QFETCH(int, rows);
    dispatch_run run(scheme);
    run.plugin.pub_find_source_file();
    const qsizetype before = run.logged();
    QSignalSpy record_spy(&run.plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tab_spy(&run.plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    run.plugin.pub_extract_artifacts();
    QCOMPARE(run.calls_since(before), calls);
    QCOMPARE(values_of(record_spy), records);
    QCOMPARE(values_of(tab_spy), tabs);
    QCOMPARE(run.rows(), rows);
}

void tst_dispatch::cancel_before_extraction_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("gTakeoutOS") << "gTakeoutOS";
    QTest::newRow("winOS") << "winOS";
    QTest::newRow("macOS") << "macOS";
    QTest::newRow("iOS_UID") << "iOS_UID";
}

void tst_dispatch::cancel_before_extraction()
{
    QFETCH(QString, scheme);
    dispatch_run run(scheme);
    run.plugin.pub_find_source_file();
    const qsizetype before = run.logged();
    QSignalSpy records(&run.plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tabs(&run.plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    run.plugin.pub_cancel_extraction();
    run.plugin.pub_extract_artifacts();
    QCOMPARE(run.calls_since(before), QStringList{start}); // and no end line
    QCOMPARE(values_of(records), QList<qint64>{0});
    QCOMPARE(tabs.size(), 0);
    QCOMPARE(run.rows(), 0);

    // The next run's essentials clear every flag: the extraction runs again.
    run.plugin.pub_set_essentials();
    run.plugin.pub_set_engine_type(0);
    records.clear();
    run.plugin.pub_extract_artifacts();
    QCOMPARE(values_of(records),
             scheme == "gTakeoutOS" ? (QList<qint64>{0, 2, 2, 2}) : (QList<qint64>{0, 0, 0}));
    QCOMPARE(run.rows(), scheme == "gTakeoutOS" ? 2 : 0);
}

void tst_dispatch::unknown_scheme_ignores_the_cancel_flag()
{
    dispatch_run run("macos");
    const qsizetype before = run.logged();
    QSignalSpy records(&run.plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    run.plugin.pub_cancel_extraction();
    run.plugin.pub_extract_artifacts();
    QCOMPARE(run.calls_since(before),
             (QStringList{start, "[google_calendar::pub_extract_artifacts] " + unmatched.arg("macos"), end}));
    QCOMPARE(values_of(records), (QList<qint64>{0, 0}));
}

void tst_dispatch::counts_carry_over_until_essentials()
{
    dispatch_run run("gTakeoutOS");
    run.plugin.pub_find_source_file();
    run.plugin.pub_extract_artifacts();

    // Without new essentials the next extraction starts from the counts relayed last time.
    QSignalSpy records(&run.plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tabs(&run.plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    run.plugin.pub_extract_artifacts();
    QCOMPARE(values_of(records), (QList<qint64>{0, 4, 4, 4}));
    QCOMPARE(values_of(tabs), QList<qint64>{2});
    QCOMPARE(run.rows(), 4);

    run.plugin.pub_set_essentials();
    run.plugin.pub_set_engine_type(0);
    records.clear();
    tabs.clear();
    run.plugin.pub_extract_artifacts();
    QCOMPARE(values_of(records), (QList<qint64>{0, 2, 2, 2}));
    QCOMPARE(values_of(tabs), QList<qint64>{1});
}

void tst_dispatch::extended_attributes_change_nothing()
{
    dispatch_run run("macOS");
    const qsizetype before = run.logged();
    QSignalSpy records(&run.plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    run.plugin.pub_set_extended_attributes_list({"com.apple.metadata:kMDItemWhereFroms", ""});
    QCOMPARE(run.calls_since(before), QStringList{});
    QCOMPARE(records.size(), 0);
    run.plugin.pub_extract_artifacts();
    QCOMPARE(values_of(records), (QList<qint64>{0, 0, 0}));
    QCOMPARE(run.rows(), 0);
}

QTEST_MAIN(tst_dispatch)
#include "tst_dispatch.moc"
