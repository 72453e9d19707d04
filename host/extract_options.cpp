#include "host/extract_options.h"

#include <QCommandLineParser>

namespace
{
bool to_int(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}
} // namespace

QString extract_options::usage()
{
    return "usage: gcal-extract [options] SOURCE... RESULT_DIR\n"
           "  SOURCE       the Takeout folder (the one holding Calendar/ or the calendar folder of the\n"
           "               account's language), the folder of an unpacked archive holding Takeout/, the\n"
           "               calendar folder itself, or one or more Takeout archives (.zip, .tgz, .tar.gz;\n"
           "               the parts of one export, named one after another)\n"
           "  RESULT_DIR   the case's result folder (the database lands in "
           "RESULT_DIR/Artifacts_Result/Google_Calendar/)\n"
           "  --email TEXT            takeout_email_id of the source record          (default: empty)\n"
           "  --source-number N       the source number                               (default: 1)\n"
           "  --scheme-display TEXT   os_scheme_display of the source record          (default: Google "
           "Takeout)\n"
           "  --engine N              engine type 0, 1 or 2; only 0 reads calendars   (default: 0)\n"
           "  --tables LIST           comma-separated table list; calendars are read only when it\n"
           "                          names calendar_events                           (default: "
           "calendar_events)\n"
           "  --keep-rows             do not ask the plug-in to clear listed tables first\n"
           "  --log FILE              switch the debug log on, into FILE (its folder is created)\n"
           "  --log-terminal          echo debug lines to the terminal\n"
           "  --encrypt-log           encrypt the lines written to FILE\n"
           "  --cancel-after-ms N     call pub_cancel_extraction from a second thread after N ms\n"
           "  --plugin PATH           the plug-in library to load (default: the one built beside the "
           "program)\n"
           "  --timeline OUT          after a successful run, export a timeline (.csv or .jsonl) to OUT; "
           "failure exits 6\n"
           "  --timeline-from DATE    leave out timeline entries before DATE (2024-03-14, midnight UTC)\n"
           "  --timeline-until DATE   leave out timeline entries at or after DATE; ends every endless "
           "series\n"
           "  --timeline-force        replace an existing timeline OUT\n"
           "  --unpack-limit-mb N     an archive member may expand to N MiB, all members together to\n"
           "                          4 x N MiB; past that it is stopped as a decompression bomb "
           "(default: 4096)\n"
           "  -q, --quiet             no progress output\n"
           "  -h, --help              print this help and exit 0\n"
           "Exit status: 0 done; 1 no result database to read afterwards, or nothing of the run could be\n"
           "stored; 2 bad usage; 3 the plug-in could not be loaded; 4 a SOURCE is not a readable folder or\n"
           "Takeout archive; 5 cancelled; 6 the --timeline export failed; 7 no calendar export found in\n"
           "SOURCE; 8 the debug log FILE cannot be written.\n";
}

QString extract_options::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption email_opt("email", "", "TEXT");
    const QCommandLineOption number_opt("source-number", "", "N");
    const QCommandLineOption display_opt("scheme-display", "", "TEXT");
    const QCommandLineOption engine_opt("engine", "", "N");
    const QCommandLineOption tables_opt("tables", "", "LIST");
    const QCommandLineOption keep_opt("keep-rows", "");
    const QCommandLineOption log_opt("log", "", "FILE");
    const QCommandLineOption terminal_opt("log-terminal", "");
    const QCommandLineOption encrypt_opt("encrypt-log", "");
    const QCommandLineOption cancel_opt("cancel-after-ms", "", "N");
    const QCommandLineOption plugin_opt("plugin", "", "PATH");
    const QCommandLineOption timeline_opt("timeline", "", "OUT");
    const QCommandLineOption timeline_from_opt("timeline-from", "", "DATE");
    const QCommandLineOption timeline_until_opt("timeline-until", "", "DATE");
    const QCommandLineOption timeline_force_opt("timeline-force", "");
    const QCommandLineOption quiet_opt(QStringList{"q", "quiet"}, "");
    const QCommandLineOption help_opt(QStringList{"h", "help"}, "");
    const QCommandLineOption limit_opt("unpack-limit-mb", "", "N");
    parser.addOptions({email_opt, number_opt, display_opt, engine_opt, tables_opt, keep_opt, log_opt,
                       terminal_opt, encrypt_opt, cancel_opt, plugin_opt, timeline_opt, timeline_from_opt,
                       timeline_until_opt, timeline_force_opt, quiet_opt, help_opt, limit_opt});
    if (!parser.parse(arguments))
        return parser.errorText();
    help = parser.isSet(help_opt);
    if (help)
        return QString();

    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 2)
        return "expected SOURCE... and RESULT_DIR, got " + QString::number(positional.size()) + " arguments";
    sources = positional.mid(0, positional.size() - 1);
    source_path = sources.first();
    result_dir = positional.last();
    if (parser.isSet(limit_opt))
    {
        bool ok = false;
        unpack_limit_mb = parser.value(limit_opt).toLongLong(&ok);
        if (!ok || unpack_limit_mb < 1 || unpack_limit_mb > (1LL << 30))
            return "--unpack-limit-mb takes a whole number of MiB from 1";
    }

    email = parser.value(email_opt);
    if (parser.isSet(number_opt) && !to_int(parser.value(number_opt), &source_number))
        return "--source-number takes a whole number";
    if (parser.isSet(display_opt))
        scheme_display = parser.value(display_opt);
    if (parser.isSet(engine_opt) && (!to_int(parser.value(engine_opt), &engine) || engine < 0 || engine > 2))
        return "--engine takes 0, 1 or 2";
    if (parser.isSet(tables_opt))
        tables = parser.value(tables_opt).split(",", Qt::SkipEmptyParts);
    keep_rows = parser.isSet(keep_opt);
    log_file = parser.value(log_opt);
    log_terminal = parser.isSet(terminal_opt);
    encrypt_log = parser.isSet(encrypt_opt);
    if (encrypt_log && log_file.isEmpty())
        return "--encrypt-log needs --log FILE";
    if (parser.isSet(cancel_opt))
    {
        bool ok = false;
        cancel_after_ms = parser.value(cancel_opt).toLongLong(&ok);
        if (!ok || cancel_after_ms < 0)
            return "--cancel-after-ms takes a whole number of milliseconds";
    }
    plugin_path = parser.value(plugin_opt);
    timeline_path = parser.value(timeline_opt);
    const bool timeline_options_set = parser.isSet(timeline_from_opt) || parser.isSet(timeline_until_opt) ||
                                      parser.isSet(timeline_force_opt);
    if (timeline_options_set && timeline_path.isEmpty())
        return "--timeline-from, --timeline-until and --timeline-force need --timeline OUT";
    timeline.force = parser.isSet(timeline_force_opt);
    if (parser.isSet(timeline_from_opt))
    {
        const QString reason = timeline.set_from(parser.value(timeline_from_opt), "--timeline-from");
        if (!reason.isEmpty())
            return reason;
    }
    if (parser.isSet(timeline_until_opt))
    {
        const QString reason = timeline.set_until(parser.value(timeline_until_opt), "--timeline-until");
        if (!reason.isEmpty())
            return reason;
    }
    quiet = parser.isSet(quiet_opt);
    return QString();
}
