// The plug-in object as the host compiles against it: factory, virtual table, meta-object, form,
// host records, the setting fan-outs and the relay of progress signals.

#include "extractors/google_calendar_gtakeoutos.h"
#include "extractors/google_calendar_ios_uid.h"
#include "extractors/google_calendar_macos.h"
#include "extractors/google_calendar_winos.h"
#include "plugin/google_calendar.h"
#include "tests/test_support.h"

#include <QLibrary>
#include <QMetaMethod>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <type_traits>

namespace
{
using source_info = struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_source_info;
using system_account = struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_system_account;
using desktop_info = struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_desktop_info;
using general_info = struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info;

// The host calls through these exact signatures; records and lists go by value.
static_assert(
    std::is_same_v<decltype(&google_calendar::pub_set_engine_type), void (google_calendar::*)(int)>);
static_assert(
    std::is_same_v<decltype(&google_calendar::pub_get_artifact_name), QString (google_calendar::*)()>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_set_essentials), void (google_calendar::*)()>);
static_assert(
    std::is_same_v<decltype(&google_calendar::pub_set_source_count), void (google_calendar::*)(int)>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_set_ios_uid_backup_pointer),
                             void (google_calendar::*)(ios_uid_backup_parser*)>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_set_desktop_info),
                             void (google_calendar::*)(desktop_info)>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_set_general_info),
                             void (google_calendar::*)(general_info)>);
static_assert(
    std::is_same_v<decltype(&google_calendar::pub_set_source_info), void (google_calendar::*)(source_info)>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_set_essential_for_vorix_desk_extraction),
                             void (google_calendar::*)(QStringList, QStringList)>);
static_assert(
    std::is_same_v<decltype(&google_calendar::pub_set_result_directory), void (google_calendar::*)(QString)>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_create_db_tables), void (google_calendar::*)()>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_set_clear_db), void (google_calendar::*)(bool)>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_cancel_extraction), void (google_calendar::*)()>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_find_source_file), void (google_calendar::*)()>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_set_extended_attributes_list),
                             void (google_calendar::*)(QStringList)>);
static_assert(std::is_same_v<decltype(&google_calendar::pub_extract_artifacts), void (google_calendar::*)()>);
static_assert(
    std::is_same_v<decltype(&google_calendar::pub_generate_chat_html_pages), void (google_calendar::*)()>);
static_assert(
    std::is_same_v<decltype(&google_calendar::pub_remove_temporary_asthetics), void (google_calendar::*)()>);

// Member types of the host records, member by member.
static_assert(std::is_same_v<decltype(system_account::system_user), QString>);
static_assert(std::is_same_v<decltype(system_account::domain_user), QString>);
static_assert(std::is_same_v<decltype(source_info::source_path), QString>);
static_assert(std::is_same_v<decltype(source_info::source_type_internal), QString>);
static_assert(std::is_same_v<decltype(source_info::os_scheme_display), QString>);
static_assert(std::is_same_v<decltype(source_info::os_scheme_internal), QString>);
static_assert(std::is_same_v<decltype(source_info::os_version_full), QString>);
static_assert(std::is_same_v<decltype(source_info::system_account_list), QList<system_account>>);
static_assert(std::is_same_v<decltype(source_info::source_extra_7), QString>);
static_assert(std::is_same_v<decltype(source_info::source_extra_8), QString>);
static_assert(std::is_same_v<decltype(source_info::source_extra_9), QStringList>);
static_assert(std::is_same_v<decltype(source_info::source_extra_10), QString>);
static_assert(std::is_same_v<decltype(source_info::takeout_email_id), QString>);
static_assert(std::is_same_v<decltype(source_info::source_extra_12), QString>);
static_assert(std::is_same_v<decltype(source_info::source_extra_13), QString>);
static_assert(std::is_same_v<decltype(desktop_info::desktop_text_1), QString>);
static_assert(std::is_same_v<decltype(desktop_info::desktop_text_2), QString>);
static_assert(std::is_same_v<decltype(desktop_info::desktop_flag), bool>);
static_assert(std::is_same_v<decltype(desktop_info::desktop_text_3), QString>);
static_assert(std::is_same_v<decltype(desktop_info::desktop_text_4), QString>);
static_assert(std::is_same_v<decltype(general_info::reserved_flag), bool>);
static_assert(std::is_same_v<decltype(general_info::debug_mode_status), bool>);
static_assert(std::is_same_v<decltype(general_info::debug_print_on_terminal), bool>);
static_assert(std::is_same_v<decltype(general_info::debug_print_in_file), bool>);
static_assert(std::is_same_v<decltype(general_info::debug_encryption_status), bool>);
static_assert(std::is_same_v<decltype(general_info::debug_file_path), QString>);
static_assert(sizeof(bool) == 1);

// Itanium C++ ABI: a pointer to a virtual member function holds 1 + the byte offset of its slot.
template <typename F> std::ptrdiff_t vtable_slot(F member)
{
    struct
    {
        std::ptrdiff_t ptr;
        std::ptrdiff_t adj;
    } raw;
    static_assert(sizeof(member) == sizeof(raw));
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.ptr & 1) ? (raw.ptr - 1) / std::ptrdiff_t(sizeof(void*)) : -1;
}

// Its first own virtual function takes the first slot after everything QFrame declares.
struct frame_probe : QFrame
{
    virtual void first_own_virtual() {}
};

struct member_place
{
    std::ptrdiff_t offset;
    std::size_t size;
    std::size_t align;
};

template <typename R, typename M> member_place place_of(const R& record, const M& member)
{
    return {reinterpret_cast<const char*>(&member) - reinterpret_cast<const char*>(&record), sizeof(M),
            alignof(M)};
}

std::size_t aligned(std::size_t at, std::size_t align)
{
    return (at + align - 1) / align * align;
}

// Empty when the members follow each other in the listed order with nothing but alignment between.
template <typename R> QString layout_fault(const R& record, const QList<member_place>& members)
{
    std::size_t end = 0;
    for (int i = 0; i < members.size(); ++i)
    {
        const std::size_t expected = aligned(end, members.at(i).align);
        if (members.at(i).offset != std::ptrdiff_t(expected))
            return QString("member %1 at %2, expected %3").arg(i + 1).arg(members.at(i).offset).arg(expected);
        end = expected + members.at(i).size;
    }
    if (sizeof(record) != aligned(end, alignof(R)))
        return QString("size %1, expected %2").arg(sizeof(record)).arg(aligned(end, alignof(R)));
    return QString();
}

QList<qint64> values_of(const QSignalSpy& spy)
{
    QList<qint64> values;
    for (const QList<QVariant>& call : spy)
        values << call.at(0).toLongLong();
    return values;
}

void set_scheme(google_calendar& plugin, const QString& scheme)
{
    source_info source;
    source.os_scheme_internal = scheme;
    plugin.pub_set_source_info(source);
}
} // namespace

class tst_plugin_object : public QObject
{
    Q_OBJECT

  private slots:
    void init();

    void factory_creates_a_parentless_object();
    void virtual_operations_follow_the_frame_in_order();
    void signals_and_slots_keep_their_indices_data();
    void signals_and_slots_keep_their_indices();
    void form_and_artifact_name();
    void extractors_are_qt_children_in_order();
    void records_keep_their_layout();

    void accounts_fan_out_to_user_lists();
    void source_and_settings_reach_the_static_state();
    void clear_variables_keep_what_they_must();

    void relays_each_extractor_unchanged_data();
    void relays_each_extractor_unchanged();
    void essentials_reset_the_run_state();
    void process_finished_slot_emits_nothing();
    void chat_pages_do_nothing();
    void remove_temporary_before_result_directory();
    void remove_temporary_keeps_the_database();
};

void tst_plugin_object::init()
{
    plugin_static_function::close_debug_file();
    plugin_static_function::set_essentials();
}

void tst_plugin_object::factory_creates_a_parentless_object()
{
    QLibrary library(test_support::plugin_library());
    QVERIFY2(library.load(), qPrintable(library.errorString()));
    using factory = void* (*)();
    const auto create = reinterpret_cast<factory>(library.resolve("create_object")); // C linkage: plain name
    QVERIFY2(create, qPrintable(library.errorString()));
    auto* plugin = static_cast<google_calendar*>(create());
    QVERIFY(plugin);
    QCOMPARE(plugin->metaObject()->className(), "google_calendar");
    QCOMPARE(plugin->parent(), nullptr);
    QCOMPARE(plugin->pub_get_artifact_name(), QString("Google Calendar"));
    QPointer<QObject> extractor = plugin->findChild<google_calendar_gtakeoutos*>();
    QVERIFY(extractor);
    delete plugin;
    QVERIFY(extractor.isNull()); // the extractors go with their parent
}

void tst_plugin_object::virtual_operations_follow_the_frame_in_order()
{
    const std::ptrdiff_t order[] = {
        vtable_slot(&google_calendar::pub_set_engine_type),
        vtable_slot(&google_calendar::pub_get_artifact_name),
        vtable_slot(&google_calendar::pub_set_essentials),
        vtable_slot(&google_calendar::pub_set_source_count),
        vtable_slot(&google_calendar::pub_set_ios_uid_backup_pointer),
        vtable_slot(&google_calendar::pub_set_desktop_info),
        vtable_slot(&google_calendar::pub_set_general_info),
        vtable_slot(&google_calendar::pub_set_source_info),
        vtable_slot(&google_calendar::pub_set_essential_for_vorix_desk_extraction),
        vtable_slot(&google_calendar::pub_set_result_directory),
        vtable_slot(&google_calendar::pub_create_db_tables),
        vtable_slot(&google_calendar::pub_set_clear_db),
        vtable_slot(&google_calendar::pub_cancel_extraction),
        vtable_slot(&google_calendar::pub_find_source_file),
        vtable_slot(&google_calendar::pub_set_extended_attributes_list),
        vtable_slot(&google_calendar::pub_extract_artifacts),
        vtable_slot(&google_calendar::pub_generate_chat_html_pages),
        vtable_slot(&google_calendar::pub_remove_temporary_asthetics),
    };
    QCOMPARE(order[0], vtable_slot(&frame_probe::first_own_virtual));
    for (std::size_t i = 1; i < std::size(order); ++i)
        QCOMPARE(order[i], order[0] + std::ptrdiff_t(i));
}

void tst_plugin_object::signals_and_slots_keep_their_indices_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<int>("type");
    // moc records qint64 under its underlying name.
    QTest::newRow("0") << 0 << QByteArray("signal_extracted_records_of_plugin_overall(qlonglong)")
                       << int(QMetaMethod::Signal);
    QTest::newRow("1") << 1 << QByteArray("signal_tab_processed_of_plugin_overall(int)")
                       << int(QMetaMethod::Signal);
    QTest::newRow("2") << 2 << QByteArray("slot_m_process_finished(int)") << int(QMetaMethod::Slot);
    QTest::newRow("3") << 3 << QByteArray("slot_extracted_records_of_plugin(qlonglong)")
                       << int(QMetaMethod::Slot);
    QTest::newRow("4") << 4 << QByteArray("slot_total_tabs_processed(int)") << int(QMetaMethod::Slot);
}

void tst_plugin_object::signals_and_slots_keep_their_indices()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(int, type);
    const QMetaObject& meta = google_calendar::staticMetaObject;
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 5);
    const QMetaMethod method = meta.method(meta.methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(int(method.methodType()), type);
    QCOMPARE(method.access(), QMetaMethod::Public);
}

void tst_plugin_object::form_and_artifact_name()
{
    google_calendar plugin;
    QCOMPARE(plugin.pub_get_artifact_name(), QString("Google Calendar"));
    QCOMPARE(plugin.objectName(), QString("google_calendar"));
    QCOMPARE(plugin.size(), QSize(400, 300));
    QCOMPARE(plugin.frameShape(), QFrame::StyledPanel);
    QCOMPARE(plugin.frameShadow(), QFrame::Raised);
    QCOMPARE(plugin.windowTitle(), QString("Frame"));
    QCOMPARE(plugin.parentWidget(), nullptr);
}

void tst_plugin_object::extractors_are_qt_children_in_order()
{
    google_calendar plugin;
    QStringList classes;
    for (const QObject* child : plugin.children())
        classes << child->metaObject()->className();
    // The form adds no widget of its own.
    QCOMPARE(classes, (QStringList{"google_calendar_macos", "google_calendar_ios_uid",
                                   "google_calendar_winos", "google_calendar_gtakeoutos"}));
}

void tst_plugin_object::records_keep_their_layout()
{
    const system_account a;
    QString fault = layout_fault(a, {place_of(a, a.system_user), place_of(a, a.domain_user)});
    QVERIFY2(fault.isEmpty(), qPrintable("system account: " + fault));

    const source_info s;
    fault = layout_fault(
        s, {place_of(s, s.source_path), place_of(s, s.source_type_internal), place_of(s, s.os_scheme_display),
            place_of(s, s.os_scheme_internal), place_of(s, s.os_version_full),
            place_of(s, s.system_account_list), place_of(s, s.source_extra_7), place_of(s, s.source_extra_8),
            place_of(s, s.source_extra_9), place_of(s, s.source_extra_10), place_of(s, s.takeout_email_id),
            place_of(s, s.source_extra_12), place_of(s, s.source_extra_13)});
    QVERIFY2(fault.isEmpty(), qPrintable("source info: " + fault));

    const desktop_info d;
    fault = layout_fault(d, {place_of(d, d.desktop_text_1), place_of(d, d.desktop_text_2),
                             place_of(d, d.desktop_flag), place_of(d, d.desktop_text_3),
                             place_of(d, d.desktop_text_4)});
    QVERIFY2(fault.isEmpty(), qPrintable("desktop info: " + fault));

    const general_info g;
    fault = layout_fault(g, {place_of(g, g.reserved_flag), place_of(g, g.debug_mode_status),
                             place_of(g, g.debug_print_on_terminal), place_of(g, g.debug_print_in_file),
                             place_of(g, g.debug_encryption_status), place_of(g, g.debug_file_path)});
    QVERIFY2(fault.isEmpty(), qPrintable("general info: " + fault));
    QCOMPARE(place_of(g, g.debug_encryption_status).offset, std::ptrdiff_t(4)); // five bytes, back to back
}

void tst_plugin_object::accounts_fan_out_to_user_lists()
{
    google_calendar plugin;
    source_info source;
    source.system_account_list = {{"alice", ""}, {"alice", "CORP"}};
    plugin.pub_set_source_info(source);
    auto* macos = plugin.findChild<google_calendar_macos*>();
    auto* winos = plugin.findChild<google_calendar_winos*>();
    QCOMPARE(macos->users(), QStringList{"alice"});
    QCOMPARE(winos->users(), (QStringList{"alice", "CORP"}));

    // A second source record adds after the old names; repeats and empty names are dropped.
    source.system_account_list = {{"bob", "CORP"}, {"", ""}, {"alice", "HOME"}};
    plugin.pub_set_source_info(source);
    QCOMPARE(macos->users(), (QStringList{"alice", "bob"}));
    QCOMPARE(winos->users(), (QStringList{"alice", "CORP", "bob", "HOME"}));
}

void tst_plugin_object::source_and_settings_reach_the_static_state()
{
    google_calendar plugin;
    source_info source;
    source.os_version_full = "14.2.1";
    source.system_account_list = {{"bob", "CORP"}, {"eve", ""}};
    plugin.pub_set_source_info(source);
    QCOMPARE(plugin_static_function::source_os_version_full, QString("14.2.1"));
    QCOMPARE(plugin_static_function::system_account_QList.size(), 2);
    QCOMPARE(plugin_static_function::system_account_QList.at(1).system_user, QString("eve"));

    plugin.pub_set_engine_type(2);
    QCOMPARE(plugin_static_function::type_engine_int, 2);
    plugin.pub_set_source_count(3);
    QCOMPARE(plugin_static_function::source_count_int, 3);
    QCOMPARE(plugin_static_function::get_source_count_name(), QString("Source3"));

    plugin.pub_cancel_extraction();
    QVERIFY(plugin_static_function::bool_cancel_extraction);
    plugin.pub_set_essentials();
    QVERIFY(!plugin_static_function::bool_cancel_extraction);
    QCOMPARE(plugin_static_function::type_engine_int, -1);
    QCOMPARE(plugin_static_function::get_source_count_name(), QString("Source-1"));
    QVERIFY(plugin_static_function::system_account_QList.isEmpty());
    QCOMPARE(plugin_static_function::source_os_version_full, QString("14.2.1")); // kept across runs
}

void tst_plugin_object::clear_variables_keep_what_they_must()
{
    source_info source{"/src/", "type",   "display", "gTakeoutOS",    "14.2",   {{"bob", "CORP"}}, "seven",
                       "eight", {"nine"}, "ten",     "x@example.com", "twelve", "thirteen"};
    plugin_static_function::clear_variables_vorix_and_artifact_common_source_info(source);
    for (const QString* cleared :
         {&source.source_path, &source.source_type_internal, &source.os_scheme_display,
          &source.os_scheme_internal, &source.os_version_full, &source.source_extra_7, &source.source_extra_8,
          &source.source_extra_10, &source.takeout_email_id})
        QVERIFY(cleared->isNull());
    QVERIFY(source.source_extra_9.isEmpty());
    QVERIFY(source.system_account_list.isEmpty());
    QCOMPARE(source.source_extra_12, QString("twelve"));
    QCOMPARE(source.source_extra_13, QString("thirteen"));

    desktop_info desktop{"a", "b", true, "c", "d"};
    plugin_static_function::clear_variables_vorix_and_artifact_common_desktop_info(desktop);
    QVERIFY(!desktop.desktop_flag);
    for (const QString* cleared :
         {&desktop.desktop_text_1, &desktop.desktop_text_2, &desktop.desktop_text_3, &desktop.desktop_text_4})
        QVERIFY(cleared->isNull());

    general_info general{true, true, true, true, true, "/x/debug.log"};
    plugin_static_function::clear_variables_vorix_and_artifact_common_general_info(general);
    QVERIFY(!general.reserved_flag && !general.debug_mode_status && !general.debug_print_on_terminal &&
            !general.debug_print_in_file);
    QVERIFY(general.debug_file_path.isNull());
    QVERIFY(general.debug_encryption_status);
}

void tst_plugin_object::relays_each_extractor_unchanged_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QByteArray>("records_signal");
    QTest::addColumn<QByteArray>("tabs_signal");
    QTest::newRow("macOS") << "macOS" << QByteArray("signal_extracted_records_of_plugin_macos")
                           << QByteArray("signal_total_tabs_processed_macos");
    QTest::newRow("iOS_UID") << "iOS_UID" << QByteArray("signal_extracted_records_of_plugin_ios_uid")
                             << QByteArray("signal_total_tabs_processed_ios_uid");
    QTest::newRow("winOS") << "winOS" << QByteArray("signal_extracted_records_of_plugin_winos")
                           << QByteArray("signal_total_tabs_processed_winos");
    QTest::newRow("gTakeoutOS") << "gTakeoutOS" << QByteArray("signal_extracted_records_of_plugin_gtakeoutos")
                                << QByteArray("signal_total_tabs_processed_gtakeoutos");
}

void tst_plugin_object::relays_each_extractor_unchanged()
{
    QFETCH(QString, scheme);
    QFETCH(QByteArray, records_signal);
    QFETCH(QByteArray, tabs_signal);
    google_calendar plugin;
    QObject* extractor = nullptr;
    for (QObject* child : plugin.children())
    {
        if (child->metaObject()->indexOfSignal(
                QMetaObject::normalizedSignature(records_signal + "(qint64)")) >= 0)
            extractor = child;
    }
    QVERIFY(extractor);
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tabs(&plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    QVERIFY(QMetaObject::invokeMethod(extractor, records_signal.constData(), Q_ARG(qint64, 5000000000)));
    QVERIFY(QMetaObject::invokeMethod(extractor, tabs_signal.constData(), Q_ARG(int, 7)));
    QCOMPARE(values_of(records), QList<qint64>{5000000000});
    QCOMPARE(values_of(tabs), QList<qint64>{7});

    // The relayed count is kept and handed to the extractor of the next run.
    set_scheme(plugin, scheme);
    records.clear();
    plugin.pub_extract_artifacts();
    QCOMPARE(values_of(records), (QList<qint64>{0, 5000000000, 5000000000}));
}

void tst_plugin_object::essentials_reset_the_run_state()
{
    google_calendar plugin;
    set_scheme(plugin, "winOS");
    emit plugin.findChild<google_calendar_winos*>()->signal_extracted_records_of_plugin_winos(12);
    plugin.pub_cancel_extraction();
    plugin.pub_set_essentials();
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    plugin.pub_extract_artifacts(); // not cancelled any more, and every count starts from 0
    QCOMPARE(values_of(records), (QList<qint64>{0, 0, 0}));
}

void tst_plugin_object::process_finished_slot_emits_nothing()
{
    google_calendar plugin;
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tabs(&plugin, &google_calendar::signal_tab_processed_of_plugin_overall);
    QVERIFY(QMetaObject::invokeMethod(&plugin, "slot_m_process_finished", Q_ARG(int, 1)));
    QCOMPARE(records.size() + tabs.size(), 0);
}

void tst_plugin_object::chat_pages_do_nothing()
{
    QTemporaryDir dir;
    const QString log = dir.path() + "/debug.log";
    google_calendar plugin;
    test_support::log_into(log);
    plugin.pub_set_engine_type(0);
    plugin.pub_set_source_count(2);
    plugin.pub_set_result_directory(dir.path());
    plugin.pub_create_db_tables();
    const QByteArray log_before = test_support::read_file(log);
    const QStringList files_before = test_support::entries_below(dir.path());
    QSignalSpy records(&plugin, &google_calendar::signal_extracted_records_of_plugin_overall);
    QSignalSpy tabs(&plugin, &google_calendar::signal_tab_processed_of_plugin_overall);

    plugin.pub_generate_chat_html_pages();

    QCOMPARE(records.size() + tabs.size(), 0);
    QCOMPARE(test_support::entries_below(dir.path()), files_before);
    QCOMPARE(test_support::read_file(log), log_before);
    QCOMPARE(plugin_static_function::get_source_count_name(), QString("Source2"));
    QCOMPARE(plugin_static_function::type_engine_int, 0);
    QVERIFY(!plugin_static_function::bool_cancel_extraction);
}

void tst_plugin_object::remove_temporary_before_result_directory()
{
    // The scratch path is still empty: nothing may be removed from the current folder.
    QTemporaryDir cwd;
    QTemporaryDir logs;
    QVERIFY(test_support::write_file(cwd.path() + "/tmp/keep.ics", "mine"));
    QVERIFY(test_support::write_file(cwd.path() + "/keep.txt", "mine"));
    test_support::log_into(logs.path() + "/debug.log");
    google_calendar plugin;
    {
        test_support::scoped_current_dir here(cwd.path());
        plugin.pub_remove_temporary_asthetics();
    }
    QCOMPARE(test_support::entries_below(cwd.path()), (QStringList{"keep.txt", "tmp", "tmp/keep.ics"}));
    QVERIFY(!plugin_static_function::debug_file_regular_QFile.isOpen()); // the log is closed all the same
}

void tst_plugin_object::remove_temporary_keeps_the_database()
{
    QTemporaryDir dir;
    google_calendar plugin;
    plugin.pub_set_result_directory(dir.path());
    plugin.pub_create_db_tables();
    const QString result = dir.path() + "/Artifacts_Result/Google_Calendar";
    QVERIFY(test_support::write_file(result + "/tmp/copied.ics", "scratch"));
    QVERIFY(test_support::write_file(result + "/host_note.txt", "host"));
    plugin.pub_remove_temporary_asthetics();
    QCOMPARE(test_support::entries_below(result), (QStringList{"Google_Calendar.sqlite", "host_note.txt"}));
}

QTEST_MAIN(tst_plugin_object)
#include "tst_plugin_object.moc"
