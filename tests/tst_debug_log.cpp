// The debug log: the line format and its failure forms, terminal and file output, the switches
// of the general-info record, and one file line per entry whatever the text holds.

#include "support/encryptor_string.h"
#include "tests/test_support.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
struct captured_message
{
    QtMsgType type;
    QString text;
    bool has_context;
};
QList<captured_message> captured;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    captured << captured_message{type, text, context.file || context.line || context.function};
}

// Catches what goes to Qt's message handler while it lives.
struct terminal_capture
{
    QtMessageHandler previous;
    terminal_capture() : previous(qInstallMessageHandler(capture)) { captured.clear(); }
    ~terminal_capture() { qInstallMessageHandler(previous); }
    QStringList debug_texts() const
    {
        QStringList texts;
        for (const captured_message& message : std::as_const(captured))
        {
            if (message.type == QtDebugMsg)
                texts << message.text;
        }
        return texts;
    }
};

// What the terminal shows for a line handed to the debug stream as one string.
QString as_streamed(const QString& line)
{
    terminal_capture capture;
    QMessageLogger().debug() << line;
    return capture.debug_texts().value(0);
}

using general_info = struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info;

general_info settings(bool mode, bool terminal, bool file, bool encrypted, const QString& path)
{
    general_info info;
    info.debug_mode_status = mode;
    info.debug_print_on_terminal = terminal;
    info.debug_print_in_file = file;
    info.debug_encryption_status = encrypted;
    info.debug_file_path = path;
    return info;
}

const QString stamp_pattern =
    "\\[(\\d{4}-(?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\\d{2}T\\d{2}-\\d{2}-\\d{2})\\]";
} // namespace

class tst_debug_log : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void line_format_data();
    void line_format();
    void time_stamp_is_local_now();
    void nothing_written_when_switched_off_data();
    void nothing_written_when_switched_off();
    void file_in_missing_folder_is_skipped_quietly();
    void essentials_switch_off_and_general_info_restores();
    void open_and_close_debug_file();
    void new_general_info_moves_to_the_new_file();
    void line_breaks_stay_inside_one_file_line_data();
    void line_breaks_stay_inside_one_file_line();
    void encrypted_file_holds_one_record_per_entry();

  private:
    QTemporaryDir* dir = nullptr;
    QString log_path() const { return dir->path() + "/debug.log"; }
};

void tst_debug_log::init()
{
    dir = new QTemporaryDir;
    plugin_static_function::close_debug_file();
    plugin_static_function::set_essentials();
    plugin_static_function::debug_encryption_status_bool = false;
}

void tst_debug_log::cleanup()
{
    plugin_static_function::close_debug_file();
    plugin_static_function::set_essentials();
    plugin_static_function::debug_encryption_status_bool = false;
    delete dir;
}

void tst_debug_log::line_format_data()
{
    QTest::addColumn<int>("engine");
    QTest::addColumn<QString>("caller");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("after_stamp");
    const QString create = "void google_calendar::create_db_tables()";
    QTest::newRow("desk") << 0 << create << "[create_db_tables] Starts"
                          << "[VORIX_DESK][Artifacts Extraction][google_calendar::create_db_tables]:-- "
                             "[create_db_tables] Starts";
    QTest::newRow("field, static member")
        << 1 << "static bool plugin_static_function::execute_db_command_by_dbpath(QString, QString, QString)"
        << "x"
        << "[VORIX_FIELD][Artifacts Extraction][plugin_static_function::execute_db_command_by_dbpath]:-- x";
    QTest::newRow("relay, virtual")
        << 2 << "virtual void google_calendar::pub_find_source_file()"
        << "y"
        << "[VORIX_RELAY][Artifacts Extraction][google_calendar::pub_find_source_file]:-- y";
    QTest::newRow("engine unset") << -1 << create << "z"
                                  << "[ -----FAILED----- to find Engine Type ][-1][Artifacts "
                                     "Extraction][google_calendar::create_db_tables]:-- z";
    QTest::newRow("engine unknown") << 7 << create << "z"
                                    << "[ -----FAILED----- to find Engine Type ][7][Artifacts "
                                       "Extraction][google_calendar::create_db_tables]:-- z";
    QTest::newRow("empty caller") << 0 << ""
                                  << "t"
                                  << "[VORIX_DESK][Artifacts Extraction][FUNCTION INFO IS EMPTY ---FAILED--- "
                                     "debug!!!]:-- t";
    QTest::newRow("blank caller") << 0 << " \t "
                                  << "t"
                                  << "[VORIX_DESK][Artifacts Extraction][FUNCTION INFO IS EMPTY ---FAILED--- "
                                     "debug!!!]:-- t";
    QTest::newRow("no parenthesis, no blank") << 0 << "  extract_step "
                                              << "t"
                                              << "[VORIX_DESK][Artifacts Extraction][extract_step]:-- t";
    QTest::newRow("no return type") << 0 << "main()"
                                    << "t"
                                    << "[VORIX_DESK][Artifacts Extraction][main]:-- t";
    QTest::newRow("blank before parenthesis") << 0 << "void f (int)"
                                              << "t"
                                              << "[VORIX_DESK][Artifacts Extraction][f]:-- t";
    QTest::newRow("leading blanks kept") << 0 << create << "   spaced "
                                         << "[VORIX_DESK][Artifacts Extraction][google_calendar::create_db_"
                                            "tables]:--    spaced ";
    QTest::newRow("empty text")
        << 0 << create << ""
        << "[VORIX_DESK][Artifacts Extraction][google_calendar::create_db_tables]:-- ";
}

void tst_debug_log::line_format()
{
    QFETCH(int, engine);
    QFETCH(QString, caller);
    QFETCH(QString, text);
    QFETCH(QString, after_stamp);
    plugin_static_function::set_engine_type(engine);
    plugin_static_function::set_general_info(settings(true, true, true, false, log_path()));
    QStringList terminal;
    {
        terminal_capture capture;
        plugin_static_function::app_debug(text, caller);
        terminal = capture.debug_texts();
        QVERIFY(!captured.value(0).has_context); // no file, line or function context
    }
    plugin_static_function::close_debug_file();

    const QString file = QString::fromLocal8Bit(test_support::read_file(log_path()));
    const QRegularExpressionMatch match = QRegularExpression("^" + stamp_pattern).match(file);
    QVERIFY2(match.hasMatch(), qPrintable(file));
    QCOMPARE(file.mid(match.capturedLength()), after_stamp + "\n");
    QCOMPARE(terminal, QStringList{as_streamed(file.chopped(1))}); // the same line, quoted by the stream
    QVERIFY(terminal.first().startsWith("\"[") && terminal.first().endsWith("\""));
}

void tst_debug_log::time_stamp_is_local_now()
{
    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_general_info(settings(true, false, true, false, log_path()));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    plugin_static_function::app_debug("now", "void f()");
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    const QString file = QString::fromLocal8Bit(test_support::read_file(log_path()));
    const QRegularExpressionMatch match = QRegularExpression("^" + stamp_pattern).match(file);
    QVERIFY(match.hasMatch());
    const QDateTime stamp = QLocale::c().toDateTime(match.captured(1), "yyyy-MMM-ddThh-mm-ss");
    QVERIFY2(stamp.isValid(), qPrintable(match.captured(1)));
    QVERIFY(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after);
}

void tst_debug_log::nothing_written_when_switched_off_data()
{
    QTest::addColumn<bool>("mode");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("file");
    QTest::newRow("debug mode off, both outputs on") << false << true << true;
    QTest::newRow("debug mode on, both outputs off") << true << false << false;
}

void tst_debug_log::nothing_written_when_switched_off()
{
    QFETCH(bool, mode);
    QFETCH(bool, terminal);
    QFETCH(bool, file);
    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_general_info(settings(true, false, true, false, log_path()));
    QVERIFY(plugin_static_function::debug_file_regular_QFile.isOpen());
    plugin_static_function::debug_mode_status_bool = mode;
    plugin_static_function::debug_print_on_terminal_bool = terminal;
    plugin_static_function::debug_print_in_file_bool = file;
    terminal_capture capture;
    plugin_static_function::app_debug("silent", "void f()");
    QCOMPARE(captured.size(), 0);
    QCOMPARE(test_support::read_file(log_path()), QByteArray());
}

void tst_debug_log::file_in_missing_folder_is_skipped_quietly()
{
    const QString path = dir->path() + "/missing/debug.log";
    plugin_static_function::set_engine_type(0);
    terminal_capture capture;
    plugin_static_function::set_general_info(settings(true, true, true, false, path));
    plugin_static_function::app_debug("still shown", "void f()");
    QVERIFY(!QFileInfo::exists(dir->path() + "/missing"));
    QCOMPARE(captured.size(), 1); // the terminal line only: the failed open says nothing
    QVERIFY(captured.first().text.endsWith("[f]:-- still shown\""));
}

void tst_debug_log::essentials_switch_off_and_general_info_restores()
{
    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_source_count(4);
    plugin_static_function::set_cancel_extraction(true);
    plugin_static_function::source_os_version_full = "10.15";
    plugin_static_function::system_account_QList = {{"bob", "CORP"}};
    const general_info info = settings(true, true, true, true, log_path());
    plugin_static_function::set_general_info(info);

    plugin_static_function::set_essentials();
    QCOMPARE(plugin_static_function::type_engine_int, -1);
    QCOMPARE(plugin_static_function::source_count_int, -1);
    QVERIFY(!plugin_static_function::bool_cancel_extraction);
    QVERIFY(!plugin_static_function::debug_mode_status_bool);
    QVERIFY(!plugin_static_function::debug_print_on_terminal_bool);
    QVERIFY(!plugin_static_function::debug_print_in_file_bool);
    QVERIFY(plugin_static_function::debug_encryption_status_bool); // kept
    QVERIFY(plugin_static_function::debug_file_path_QString.isEmpty());
    QVERIFY(plugin_static_function::debug_file_regular_QFile.isOpen()); // an open file stays open
    QCOMPARE(plugin_static_function::source_os_version_full, QString("10.15"));
    QVERIFY(plugin_static_function::system_account_QList.isEmpty());
    {
        terminal_capture capture;
        plugin_static_function::app_debug("off", "void f()");
        QCOMPARE(captured.size(), 0);
    }
    QCOMPARE(test_support::read_file(log_path()), QByteArray());

    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_general_info(settings(true, false, true, false, log_path()));
    plugin_static_function::app_debug("back", "void f()");
    QCOMPARE(test_support::log_texts(log_path()), QStringList{"back"});
}

void tst_debug_log::open_and_close_debug_file()
{
    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_general_info(settings(true, false, true, false, log_path()));
    plugin_static_function::app_debug("first", "void f()");
    plugin_static_function::close_debug_file();
    plugin_static_function::close_debug_file(); // a second close is harmless
    QVERIFY(!plugin_static_function::debug_file_regular_QFile.isOpen());
    plugin_static_function::app_debug("closed", "void f()"); // the settings stay, the file is shut
    QCOMPARE(test_support::log_texts(log_path()), QStringList{"first"});

    plugin_static_function::open_debug_file(); // appends to what is there
    plugin_static_function::app_debug("second", "void f()");
    QCOMPARE(test_support::log_texts(log_path()), (QStringList{"first", "second"}));

    plugin_static_function::close_debug_file();
    plugin_static_function::debug_print_in_file_bool = false;
    plugin_static_function::open_debug_file(); // file output off: nothing is opened
    QVERIFY(!plugin_static_function::debug_file_regular_QFile.isOpen());
    plugin_static_function::debug_print_in_file_bool = true;
    plugin_static_function::debug_mode_status_bool = false;
    plugin_static_function::open_debug_file();
    QVERIFY(!plugin_static_function::debug_file_regular_QFile.isOpen());
}

void tst_debug_log::new_general_info_moves_to_the_new_file()
{
    const QString other = dir->path() + "/other.log";
    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_general_info(settings(true, false, true, false, log_path()));
    plugin_static_function::app_debug("in first", "void f()");
    plugin_static_function::set_general_info(settings(true, false, true, false, other));
    plugin_static_function::app_debug("in second", "void f()");
    QCOMPARE(test_support::log_texts(log_path()), QStringList{"in first"});
    QCOMPARE(test_support::log_texts(other), QStringList{"in second"});

    // Without file output the record neither opens nor closes a file.
    plugin_static_function::set_general_info(settings(true, false, false, false, log_path()));
    QVERIFY(plugin_static_function::debug_file_regular_QFile.isOpen());
    QCOMPARE(plugin_static_function::debug_file_regular_QFile.fileName(), other);
}

void tst_debug_log::line_breaks_stay_inside_one_file_line_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("in_file");
    QTest::newRow("line feed") << "a.ics\n[2026-Jan-01T00-00-00][VORIX_DESK] forged"
                               << "a.ics\\n[2026-Jan-01T00-00-00][VORIX_DESK] forged";
    QTest::newRow("carriage return") << "a\rb"
                                     << "a\\rb";
    QTest::newRow("both, twice") << "\r\nx\r\n"
                                 << "\\r\\nx\\r\\n";
    QTest::newRow("plain text unchanged") << "no break \\n here"
                                          << "no break \\n here";
}

void tst_debug_log::line_breaks_stay_inside_one_file_line()
{
    QFETCH(QString, text);
    QFETCH(QString, in_file);
    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_general_info(settings(true, true, true, false, log_path()));
    QStringList terminal;
    {
        terminal_capture capture;
        plugin_static_function::app_debug(text, "void f()");
        terminal = capture.debug_texts();
    }
    plugin_static_function::close_debug_file();
    const QByteArray bytes = test_support::read_file(log_path());
    QCOMPARE(bytes.count('\n'), 1);
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(bytes.endsWith("]:-- " + in_file.toLocal8Bit() + "\n"));

    // The terminal still gets the entry as it was written.
    const QString file_line = QString::fromLocal8Bit(bytes).chopped(1);
    const QString original_line = file_line.left(file_line.indexOf("]:-- ") + 5) + text;
    QCOMPARE(terminal, QStringList{as_streamed(original_line)});
}

void tst_debug_log::encrypted_file_holds_one_record_per_entry()
{
    plugin_static_function::set_engine_type(0);
    plugin_static_function::set_general_info(settings(true, false, true, true, log_path()));
    const QStringList texts{"one", "two\nlines", "three"};
    for (const QString& text : texts)
        plugin_static_function::app_debug(text, "void f()");
    plugin_static_function::close_debug_file();

    const QByteArray bytes = test_support::read_file(log_path());
    QVERIFY(!bytes.contains('\n'));
    QCOMPARE(bytes.count("<[{()}]>"), texts.size());
    QVERIFY(bytes.endsWith("<[{()}]>"));
    QStringList decrypted;
    const QByteArray separator = "<[{()}]>";
    for (qsizetype from = 0, at = 0; (at = bytes.indexOf(separator, from)) >= 0; from = at + separator.size())
    {
        encryptor_string cipher;
        decrypted << cipher.decryptToString(QString::fromLatin1(bytes.mid(from, at - from)));
    }
    QCOMPARE(decrypted.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i)
        QVERIFY2(decrypted.at(i).endsWith("[f]:-- " + texts.at(i)), qPrintable(decrypted.at(i)));
}

QTEST_MAIN(tst_debug_log)
#include "tst_debug_log.moc"
