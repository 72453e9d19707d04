// The plug-in frame as the host sees it: the calling interface, the records, the debug log,
// dispatch to extractors, Takeout discovery and the naming helpers.

#include "extractors/google_calendar_gtakeoutos.h"
#include "extractors/google_calendar_macos.h"
#include "extractors/google_calendar_winos.h"
#include "tests/extraction_fixture.h"

#include <QFrame>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <type_traits>

namespace
{
// Itanium C++ ABI: a pointer to a virtual member function holds 1 + its byte offset in the vtable.
template <typename F> std::ptrdiff_t vtable_offset(F member)
{
    struct
    {
        std::ptrdiff_t ptr;
        std::ptrdiff_t adj;
    } raw;
    static_assert(sizeof(member) == sizeof(raw));
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.ptr & 1) ? raw.ptr - 1 : -1;
}

template <typename R> std::ptrdiff_t at(const R& record, const void* member)
{
    return static_cast<const char*>(member) - reinterpret_cast<const char*>(&record);
}

QStringList log_lines_after(const QString& log, int before)
{
    return test_support::log_texts(log).mid(before);
}

QList<qint64> counts(const QSignalSpy& spy)
{
    QList<qint64> values;
    for (const QList<QVariant>& call : spy)
        values << call.at(0).toLongLong();
    return values;
}

void set_source(google_calendar& plugin, const QString& scheme, const QString& path = QString())
{
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info source;
    source.os_scheme_internal = scheme;
    source.source_path = path;
    plugin.pub_set_source_info(source);
}

google_calendar_gtakeoutos* takeout_of(google_calendar& plugin)
{
    return plugin.findChild<google_calendar_gtakeoutos*>();
}
} // namespace

class tst_plugin_frame : public QObject
{
    Q_OBJECT

  private slots:
    void virtual_operations_keep_their_slots();
    void signals_and_slots_keep_their_indices();
    void form_and_name();
    void records_keep_their_layout();
    void record_fan_out_and_clearing();
    void relays_every_count_unchanged();

    void log_line_format_data();
    void log_line_format();
    void log_switches();
    void log_entry_is_one_line();
    void log_to_terminal_is_quoted();

    void dispatch_sequences_data();
    void dispatch_sequences();
    void unknown_scheme_is_logged();
    void cancel_before_extraction();

    void discovery_data();
    void discovery();
    void second_search_after_folder_is_gone();
    void table_and_engine_gates_data();
    void table_and_engine_gates();
    void no_calendar_reads_nothing_from_the_current_folder();

    void naming_data();
    void naming();
    void user_from_source_file();
    void free_file_names();
};

void tst_plugin_frame::virtual_operations_keep_their_slots()
{
    const std::ptrdiff_t offsets[] = {
        vtable_offset(&google_calendar::pub_set_engine_type),
        vtable_offset(&google_calendar::pub_get_artifact_name),
        vtable_offset(&google_calendar::pub_set_essentials),
        vtable_offset(&google_calendar::pub_set_source_count),
        vtable_offset(&google_calendar::pub_set_ios_uid_backup_pointer),
        vtable_offset(&google_calendar::pub_set_desktop_info),
        vtable_offset(&google_calendar::pub_set_general_info),
        vtable_offset(&google_calendar::pub_set_source_info),
        vtable_offset(&google_calendar::pub_set_essential_for_vorix_desk_extraction),
        vtable_offset(&google_calendar::pub_set_result_directory),
        vtable_offset(&google_calendar::pub_create_db_tables),
        vtable_offset(&google_calendar::pub_set_clear_db),
        vtable_offset(&google_calendar::pub_cancel_extraction),
        vtable_offset(&google_calendar::pub_find_source_file),
        vtable_offset(&google_calendar::pub_set_extended_attributes_list),
        vtable_offset(&google_calendar::pub_extract_artifacts),
        vtable_offset(&google_calendar::pub_generate_chat_html_pages),
        vtable_offset(&google_calendar::pub_remove_temporary_asthetics),
    };
    // Right after QFrame's own virtual functions, one slot each, in declaration order.
    QVERIFY(offsets[0] > vtable_offset(&QWidget::sizeHint));
    for (size_t i = 1; i < std::size(offsets); ++i)
        QCOMPARE(offsets[i], offsets[i - 1] + std::ptrdiff_t(sizeof(void*)));
}

void tst_plugin_frame::signals_and_slots_keep_their_indices()
{
    const QMetaObject& meta = google_calendar::staticMetaObject;
    // moc records qint64 under its underlying name.
    const QStringList expected = {
        "signal_extracted_records_of_plugin_overall(qlonglong)",
        "signal_tab_processed_of_plugin_overall(int)", "slot_m_process_finished(int)",
        "slot_extracted_records_of_plugin(qlonglong)", "slot_total_tabs_processed(int)"};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(QString(meta.method(meta.methodOffset() + i).methodSignature()), expected.at(i));
    QCOMPARE(meta.method(meta.methodOffset()).methodType(), QMetaMethod::Signal);
    QCOMPARE(meta.method(meta.methodOffset() + 2).methodType(), QMetaMethod::Slot);
}

void tst_plugin_frame::form_and_name()
{
    google_calendar plugin;
    QCOMPARE(plugin.pub_get_artifact_name(), QString("Google Calendar"));
    QCOMPARE(plugin.objectName(), QString("google_calendar"));
    QCOMPARE(plugin.size(), QSize(400, 300));
    QCOMPARE(plugin.frameShape(), QFrame::StyledPanel);
    QCOMPARE(plugin.frameShadow(), QFrame::Raised);
    QCOMPARE(plugin.windowTitle(), QString("Frame"));
    QCOMPARE(plugin.findChildren<QWidget*>().size(), 4); // the four extractors, no form widgets
}

void tst_plugin_frame::records_keep_their_layout()
{
    using source_info = struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info;
    static_assert(std::is_same_v<decltype(source_info::system_account_list),
                                 QList<struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account>>);
    static_assert(std::is_same_v<decltype(source_info::source_extra_9), QStringList>);
    static_assert(std::is_same_v<decltype(source_info::takeout_email_id), QString>);
    static_assert(
        std::is_same_v<decltype(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info::desktop_flag), bool>);
    static_assert(
        std::is_same_v<decltype(struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info::debug_file_path),
                       QString>);

    source_info s;
    const void* source_order[] = {&s.source_path,        &s.source_type_internal, &s.os_scheme_display,
                                  &s.os_scheme_internal, &s.os_version_full,      &s.system_account_list,
                                  &s.source_extra_7,     &s.source_extra_8,       &s.source_extra_9,
                                  &s.source_extra_10,    &s.takeout_email_id,     &s.source_extra_12,
                                  &s.source_extra_13};
    QCOMPARE(at(s, source_order[0]), std::ptrdiff_t(0));
    for (size_t i = 1; i < std::size(source_order); ++i)
        QVERIFY(at(s, source_order[i]) > at(s, source_order[i - 1]));

    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info g;
    const void* flags[] = {&g.reserved_flag, &g.debug_mode_status, &g.debug_print_on_terminal,
                           &g.debug_print_in_file, &g.debug_encryption_status};
    for (size_t i = 0; i < std::size(flags); ++i)
        QCOMPARE(at(g, flags[i]), std::ptrdiff_t(i)); // five single bytes, one after the other
    QVERIFY(at(g, &g.debug_file_path) >= 5);

    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info d;
    QVERIFY(at(d, &d.desktop_text_2) < at(d, &d.desktop_flag));
    QVERIFY(at(d, &d.desktop_flag) < at(d, &d.desktop_text_3));
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account a;
    QVERIFY(at(a, &a.system_user) < at(a, &a.domain_user));
}

void tst_plugin_frame::record_fan_out_and_clearing()
{
    google_calendar plugin;
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info source;
    source.os_scheme_internal = "gTakeoutOS";
    source.system_account_list = {{"alice", ""}, {"alice", "CORP"}};
    plugin.pub_set_source_info(source);
    QCOMPARE(plugin.findChild<google_calendar_macos*>()->users(), QStringList{"alice"});
    QCOMPARE(plugin.findChild<google_calendar_winos*>()->users(), (QStringList{"alice", "CORP"}));
    QCOMPARE(plugin_static_function::system_account_QList.size(), 2);

    source.system_account_list = {{"bob", "HOME"}};
    plugin.pub_set_source_info(source);
    QCOMPARE(plugin.findChild<google_calendar_winos*>()->users(),
             (QStringList{"alice", "CORP", "bob", "HOME"}));

    source.source_extra_12 = "twelve";
    source.source_extra_13 = "thirteen";
    source.takeout_email_id = "x@example.com";
    plugin_static_function::clear_variables_vorix_and_artifact_common_source_info(source);
    QVERIFY(source.takeout_email_id.isNull());
    QVERIFY(source.system_account_list.isEmpty());
    QCOMPARE(source.source_extra_12, QString("twelve"));
    QCOMPARE(source.source_extra_13, QString("thirteen"));

    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info general;
    general.debug_mode_status = general.debug_print_in_file = general.debug_encryption_status = true;
    general.debug_file_path = "/x";
    plugin_static_function::clear_variables_vorix_and_artifact_common_general_info(general);
    QVERIFY(!general.debug_mode_status && !general.debug_print_in_file && general.debug_file_path.isNull());
    QVERIFY(general.debug_encryption_status);

    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info desktop{"a", "b", true, "c", "d"};
    plugin_static_function::clear_variables_vorix_and_artifact_common_desktop_info(desktop);
    QVERIFY(!desktop.desktop_flag && desktop.desktop_text_1.isNull() && desktop.desktop_text_4.isNull());
}

void tst_plugin_frame::relays_every_count_unchanged()
{
    google_calendar plugin;
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tabs(&plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    emit plugin.findChild<google_calendar_winos*>()->signal_extracted_records_of_plugin_winos(42);
    emit plugin.findChild<google_calendar_gtakeoutos*>()->signal_total_tabs_processed_gtakeoutos(7);
    QCOMPARE(counts(records), QList<qint64>{42});
    QCOMPARE(counts(tabs), QList<qint64>{7});
    plugin.pub_set_source_count(3);
    QCOMPARE(plugin_static_function::get_source_count_name(), QString("Source3"));
}

void tst_plugin_frame::log_line_format_data()
{
    QTest::addColumn<int>("engine");
    QTest::addColumn<QString>("caller");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("desk") << 0 << "void google_calendar::create_db_tables()"
                          << "[create_db_tables] Starts"
                          << "[VORIX_DESK][Artifacts Extraction][google_calendar::create_db_tables]:-- "
                             "[create_db_tables] Starts";
    QTest::newRow("field, static")
        << 1
        << "static bool plugin_static_function::execute_db_command_by_dbpath(QString, "
           "QString, QString)"
        << "x"
        << "[VORIX_FIELD][Artifacts Extraction][plugin_static_function::execute_db_"
           "command_by_dbpath]:-- x";
    QTest::newRow("relay") << 2 << "void f()"
                           << "y"
                           << "[VORIX_RELAY][Artifacts Extraction][f]:-- y";
    QTest::newRow("unset engine")
        << -1 << "void f()"
        << "z"
        << "[ -----FAILED----- to find Engine Type ][-1][Artifacts Extraction][f]:-- z";
    QTest::newRow("blank caller") << 0 << "   "
                                  << "t"
                                  << "[VORIX_DESK][Artifacts Extraction][FUNCTION INFO IS EMPTY ---FAILED--- "
                                     "debug!!!]:-- t";
    QTest::newRow("bare caller") << 0 << " extract_step "
                                 << "t"
                                 << "[VORIX_DESK][Artifacts Extraction][extract_step]:-- t";
    QTest::newRow("leading blanks kept") << 0 << "void f()"
                                         << "   spaced"
                                         << "[VORIX_DESK][Artifacts Extraction][f]:--    spaced";
}

void tst_plugin_frame::log_line_format()
{
    QFETCH(int, engine);
    QFETCH(QString, caller);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString log = dir.path() + "/debug.log";
    test_support::log_into(log, engine);
    plugin_static_function::app_debug(text, caller);
    plugin_static_function::close_debug_file();
    const QString line = QString::fromLocal8Bit(test_support::read_file(log));
    const QRegularExpression stamp(
        "^\\[\\d{4}-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\\d{2}T\\d{2}-\\d{2}-\\d{2}\\]");
    const QRegularExpressionMatch match = stamp.match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    QCOMPARE(line.mid(match.capturedLength()), expected + "\n");
}

void tst_plugin_frame::log_switches()
{
    QTemporaryDir dir;
    const QString log = dir.path() + "/debug.log";
    test_support::log_into(log);
    plugin_static_function::debug_mode_status_bool = false;
    plugin_static_function::app_debug("off", "void f()");
    QCOMPARE(test_support::read_file(log), QByteArray());

    // set_essentials turns logging off, keeps the file open and the encryption flag.
    test_support::log_into(log);
    plugin_static_function::debug_encryption_status_bool = true;
    plugin_static_function::set_essentials();
    QVERIFY(plugin_static_function::debug_file_regular_QFile.isOpen());
    QVERIFY(plugin_static_function::debug_encryption_status_bool);
    QVERIFY(!plugin_static_function::debug_mode_status_bool);
    plugin_static_function::debug_encryption_status_bool = false;
    plugin_static_function::close_debug_file();
    plugin_static_function::close_debug_file();
    QVERIFY(!plugin_static_function::debug_file_regular_QFile.isOpen());

    // A file in a folder that does not exist: nothing appears, nothing fails.
    test_support::log_into(dir.path() + "/missing/debug.log");
    plugin_static_function::app_debug("lost", "void f()");
    QVERIFY(!QFileInfo::exists(dir.path() + "/missing"));
    plugin_static_function::close_debug_file();
}

void tst_plugin_frame::log_entry_is_one_line()
{
    QTemporaryDir dir;
    const QString log = dir.path() + "/debug.log";
    test_support::log_into(log);
    plugin_static_function::app_debug("file a\nforged\rline", "void f()");
    plugin_static_function::close_debug_file();
    const QByteArray bytes = test_support::read_file(log);
    QCOMPARE(bytes.count('\n'), 1);
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(bytes.endsWith("]:-- file a\\nforged\\rline\n"));
}

namespace
{
QStringList terminal_messages;
void capture_message(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg)
        terminal_messages << message;
}
} // namespace

void tst_plugin_frame::log_to_terminal_is_quoted()
{
    plugin_static_function::close_debug_file();
    plugin_static_function::set_essentials();
    plugin_static_function::set_engine_type(0);
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info;
    info.debug_mode_status = true;
    info.debug_print_on_terminal = true;
    plugin_static_function::set_general_info(info);
    terminal_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(capture_message);
    plugin_static_function::app_debug("hello", "void f()");
    qInstallMessageHandler(previous);
    plugin_static_function::set_essentials();
    QCOMPARE(terminal_messages.size(), 1);
    QVERIFY(terminal_messages.first().startsWith("\"["));
    QVERIFY(terminal_messages.first().endsWith("[VORIX_DESK][Artifacts Extraction][f]:-- hello\""));
}

void tst_plugin_frame::dispatch_sequences_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QStringList>("log_part");
    QTest::addColumn<int>("tab_signals");
    QTest::newRow("winOS") << "winOS" << QStringList{"[find_source_file]---starts",
                                                     "[find_source_file]---ends",
                                                     "[pub_extract_artifacts] - START",
                                                     "[extract_plugin_artifacts]---starts",
                                                     "[extract_plugin_artifacts]---ends",
                                                     "[pub_extract_artifacts] - END"}
                           << 0;
    QTest::newRow("iOS_UID") << "iOS_UID"
                             << QStringList{"[find_source_file] Starts", "[find_source_file] Ends",
                                            "[pub_extract_artifacts] - START",
                                            "[pub_extract_artifacts] - END"}
                             << 0;
    QTest::newRow("macOS") << "macOS"
                           << QStringList{"[pub_extract_artifacts] - START", "[pub_extract_artifacts] - END"}
                           << 0;
}

void tst_plugin_frame::dispatch_sequences()
{
    QFETCH(QString, scheme);
    QFETCH(QStringList, log_part);
    QFETCH(int, tab_signals);
    QTemporaryDir dir;
    const QString log = dir.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    set_source(plugin, scheme, test_support::test_data("sample_takeout/"));
    plugin.pub_set_essential_for_vorix_desk_extraction({"calendar_events"}, {});
    plugin.pub_set_result_directory(dir.path());
    plugin.pub_create_db_tables();
    const int before = int(test_support::log_texts(log).size());
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tabs(&plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    plugin.pub_find_source_file();
    plugin.pub_extract_artifacts();
    QCOMPARE(log_lines_after(log, before), log_part);
    QCOMPARE(counts(records), (QList<qint64>{0, 0, 0}));
    QCOMPARE(int(tabs.size()), tab_signals);
    QCOMPARE(test_support::table_rows(extraction_fixture::database_of(dir.path()), "calendar_events").size(),
             0);
}

void tst_plugin_frame::unknown_scheme_is_logged()
{
    QTemporaryDir dir;
    const QString log = dir.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    set_source(plugin, "macos");
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    plugin.pub_find_source_file();
    plugin.pub_cancel_extraction(); // not consulted for an unknown scheme
    plugin.pub_extract_artifacts();
    const QString failure =
        "------FAILED------- supported os scheme internal not matched, received os scheme "
        "internal =  macos, plugin name is Google Calendar";
    QCOMPARE(test_support::log_texts(log), (QStringList{failure, "[pub_extract_artifacts] - START", failure,
                                                        "[pub_extract_artifacts] - END"}));
    QCOMPARE(counts(records), (QList<qint64>{0, 0}));
}

void tst_plugin_frame::cancel_before_extraction()
{
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    extraction_fixture::settings s;
    s.log_file = log;
    extraction_fixture::prepare(plugin, test_support::test_data("sample_takeout"), result.path(), s);
    const int before = int(test_support::log_texts(log).size());
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    plugin.pub_cancel_extraction();
    plugin.pub_extract_artifacts();
    QCOMPARE(counts(records), QList<qint64>{0});
    QCOMPARE(log_lines_after(log, before), QStringList{"[pub_extract_artifacts] - START"});

    // The next run's essentials clear the flag: everything is extracted again.
    plugin.pub_set_essentials();
    plugin.pub_set_engine_type(0);
    plugin.pub_extract_artifacts();
    const qint64 rows =
        test_support::table_rows(extraction_fixture::database_of(result.path()), "calendar_events").size();
    QVERIFY(rows > 0);
    QCOMPARE(counts(records).mid(1), (QList<qint64>{0, rows, rows, rows}));
}

void tst_plugin_frame::discovery_data()
{
    QTest::addColumn<bool>("final_slash");
    QTest::newRow("with final slash") << true;
    QTest::newRow("without final slash") << false;
}

void tst_plugin_frame::discovery()
{
    QFETCH(bool, final_slash);
    QTemporaryDir source;
    QTemporaryDir result;
    QVERIFY(QDir(source.path()).mkpath("Calendar"));
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    set_source(plugin, "gTakeoutOS", source.path() + (final_slash ? "/" : ""));
    plugin.pub_find_source_file();
    const QString found = source.path() + "/Calendar";
    QCOMPARE(takeout_of(plugin)->calendar_directory(), found);
    QCOMPARE(
        test_support::log_texts(log),
        (QStringList{"[find_source_file] starts", "[find_source_file] Source file found at path-->>" + found,
                     "[find_source_file] end"}));
}

void tst_plugin_frame::second_search_after_folder_is_gone()
{
    QTemporaryDir source;
    QVERIFY(QDir(source.path()).mkpath("Calendar"));
    google_calendar plugin;
    set_source(plugin, "gTakeoutOS", source.path() + "/");
    plugin.pub_find_source_file();
    QVERIFY(!takeout_of(plugin)->calendar_directory().isEmpty());
    QVERIFY(QDir(source.path() + "/Calendar").removeRecursively());
    plugin.pub_find_source_file();
    QCOMPARE(takeout_of(plugin)->calendar_directory(), QString());
}

void tst_plugin_frame::table_and_engine_gates_data()
{
    QTest::addColumn<int>("engine");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<bool>("parsed");
    QTest::newRow("desk, calendar_events") << 0 << QStringList{"calendar_events"} << true;
    QTest::newRow("desk, Calendar_Events") << 0 << QStringList{"Calendar_Events"} << false;
    QTest::newRow("desk, empty list") << 0 << QStringList{} << false;
    QTest::newRow("relay, calendar_events") << 2 << QStringList{"calendar_events"} << false;
}

void tst_plugin_frame::table_and_engine_gates()
{
    QFETCH(int, engine);
    QFETCH(QStringList, tables);
    QFETCH(bool, parsed);
    QTemporaryDir result;
    const QString log = result.path() + "/debug.log";
    google_calendar plugin;
    plugin.pub_set_essentials();
    test_support::log_into(log);
    plugin.pub_set_engine_type(engine);
    set_source(plugin, "gTakeoutOS", test_support::test_data("sample_takeout/"));
    plugin.pub_set_essential_for_vorix_desk_extraction(tables, {});
    plugin.pub_set_result_directory(result.path());
    plugin.pub_create_db_tables();
    plugin.pub_find_source_file();
    QSignalSpy tabs(&plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    plugin.pub_extract_artifacts();
    QCOMPARE(test_support::log_texts(log).contains("[extract_ics_calendar_events] -START"), parsed);
    QCOMPARE(int(tabs.size()), parsed ? 1 : 0);
    if (parsed)
        QCOMPARE(tabs.first().at(0).toInt(), 1);
    const int rows = int(
        test_support::table_rows(extraction_fixture::database_of(result.path()), "calendar_events").size());
    QCOMPARE(rows > 0, parsed);
}

void tst_plugin_frame::no_calendar_reads_nothing_from_the_current_folder()
{
    // An empty calendar path would be the current folder: the examiner's own files are not evidence.
    QTemporaryDir cwd;
    QTemporaryDir source;
    QTemporaryDir result;
    const QByteArray event = "BEGIN:VEVENT\r\nSUMMARY:not evidence\r\nEND:VEVENT\r\n";
    QVERIFY(test_support::write_file(cwd.path() + "/mine.ics", event));
    QVERIFY(test_support::write_file(cwd.path() + "/Calendar/mine.ics", event));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd.path()));
    const QString db = extraction_fixture::run(source.path(), result.path());
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(test_support::table_rows(db, "calendar_events").size(), 0);
}

void tst_plugin_frame::naming_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expected");
    const QString home = "macOS_Home_Directory";
    QTest::newRow("complete: home") << "complete"
                                    << "/Users/bob/Library/x.ics"
                                    << "alice" << home << "/Users/alice/Library/x.ics";
    QTest::newRow("complete: other type") << "complete"
                                          << "/Users/bob/Library/x.ics"
                                          << "alice"
                                          << ""
                                          << "/Users/bob/Library/x.ics";
    QTest::newRow("complete: bare home") << "complete"
                                         << "/Users/bob"
                                         << "alice" << home << "/Users/alice";
    QTest::newRow("complete: relative") << "complete"
                                        << "Library/a.ics"
                                        << "alice"
                                        << ""
                                        << "/Library/a.ics";
    QTest::newRow("complete: empty") << "complete"
                                     << ""
                                     << "alice"
                                     << ""
                                     << "";
    QTest::newRow("relative: home") << "relative"
                                    << "/mnt/src/Users/bob/a.ics"
                                    << "/mnt/src" << home << "/Users/bob/a.ics";
    QTest::newRow("relative: other type") << "relative"
                                          << "/mnt/src/Users/bob/a.ics"
                                          << "/mnt/src"
                                          << ""
                                          << "/mnt/src/Users/bob/a.ics";
    QTest::newRow("relative: blank stays") << "relative"
                                           << "  "
                                           << "/mnt"
                                           << ""
                                           << "  ";
    QTest::newRow("final: home") << "final"
                                 << "/mnt/src/a.ics"
                                 << "/mnt/src" << home << "/a.ics|/mnt/src/a.ics";
    QTest::newRow("final: other type") << "final"
                                       << "/mnt/src/a.ics"
                                       << "/mnt/src"
                                       << ""
                                       << "/mnt/src/a.ics|";
}

void tst_plugin_frame::naming()
{
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(QString, other);
    QFETCH(QString, type);
    QFETCH(QString, expected);
    QString got;
    if (operation == "complete")
        got = plugin_static_function::get_complete_file_path(path, other, type);
    else if (operation == "relative")
        got = plugin_static_function::get_relative_file_path(path, other, type);
    else
    {
        const QPair<QString, QString> pair =
            plugin_static_function::get_final_artifact_source_file(path, other, type);
        got = pair.first + "|" + pair.second;
    }
    QCOMPARE(got, expected);
}

void tst_plugin_frame::user_from_source_file()
{
    plugin_static_function::set_essentials();
    QCOMPARE(plugin_static_function::get_source_count_name(), QString("Source-1"));
    QVERIFY(plugin_static_function::extract_user_name_from_sourcefile("/mnt/src/Users/bob/a.ics", "/mnt/src/")
                .system_user.isEmpty()); // no accounts known
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info source;
    source.system_account_list = {{"bob", "CORP"}};
    plugin_static_function::set_source_info(source);
    auto found =
        plugin_static_function::extract_user_name_from_sourcefile("/mnt/src/Users/bob/a.ics", "/mnt/src/");
    QCOMPARE(found.system_user + "|" + found.domain_user, QString("bob|CORP"));
    found = plugin_static_function::extract_user_name_from_sourcefile("/mnt/src/Users/bob/a.ics", "/mnt/src");
    QCOMPARE(found.system_user + "|" + found.domain_user, QString("Users|"));
    plugin_static_function::set_essentials();
}

void tst_plugin_frame::free_file_names()
{
    QTemporaryDir dir;
    const QString target = dir.path() + "/scratch";
    QCOMPARE(plugin_static_function::get_available_file("/e/a.ics", target, "t"), QString("a.ics"));
    QVERIFY(QFileInfo(target).isDir());
    QVERIFY(test_support::write_file(target + "/a.ics", "x"));
    QVERIFY(test_support::write_file(target + "/1_a.ics", "x"));
    QCOMPARE(plugin_static_function::get_available_file("/e/a.ics", target, "t"), QString("2_a.ics"));
    QVERIFY(test_support::write_file(target + "/.hidden", "x"));
    QVERIFY(plugin_static_function::is_file_exist_in_dir(target, ".hidden", "t"));
    QVERIFY(test_support::write_file(target + "/b.ics ", "x"));
    QVERIFY(plugin_static_function::is_file_exist_in_dir(target, "b.ics", "t"));
    plugin_static_function::set_cancel_extraction(true);
    QCOMPARE(plugin_static_function::get_available_file("/e/a.ics", target, "t"), QString());
    QVERIFY(!plugin_static_function::is_file_exist_in_dir(target, "a.ics", "t"));
    plugin_static_function::set_cancel_extraction(false);
}

QTEST_MAIN(tst_plugin_frame)
#include "tst_plugin_frame.moc"
