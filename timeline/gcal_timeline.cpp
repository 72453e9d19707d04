// gcal-timeline: turns the events of a result database into a timeline, every series expanded.

#include "timeline/timeline_exporter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace
{
enum exit_status
{
    exit_done = 0,
    exit_failed = 1,
    exit_usage = 2
};

const char usage_text[] =
    "usage: gcal-timeline [--from DATE] [--until DATE] [--force] DB OUT\n"
    "  DB             a result database (Google_Calendar.sqlite), read only\n"
    "  OUT            the timeline to write: OUT.csv or OUT.jsonl, sorted by time\n"
    "  --from DATE    leave out entries before DATE (2024-03-14, midnight UTC)\n"
    "  --until DATE   leave out entries at or after DATE; also ends every series without an end\n"
    "  --force        replace OUT if it exists\n"
    "  -h, --help     print this text\n"
    "One entry per time stamp of an event (start, end, created, DTSTAMP, last modified, alarm, repeat\n"
    "end) and, for a series, one per occurrence: RRULE and RDATE, less EXDATE, with RECURRENCE-ID rows\n"
    "in place of the occurrence they name, each EXDATE and cancelled occurrence an entry of its own. A\n"
    "series without an end stops at --until or else at the latest DTSTAMP or LAST-MODIFIED of its file,\n"
    "the moment of export; at most 10000 occurrences a series. A DTSTAMP that all events of a file share\n"
    "is one export entry for the file. Datetime in UTC (ISO 8601, Z), timestamp in microseconds since the\n"
    "epoch. A time that is empty or not a whole number of seconds (years 1 to 9999) is counted as missing.\n"
    "Exit status: 0 done, 1 the export failed (the reason is printed), 2 bad usage.\n";

int usage_error(const QString& reason)
{
    if (!reason.isEmpty())
        std::fprintf(stderr, "gcal-timeline: %s\n", qPrintable(reason));
    std::fputs(usage_text, stderr);
    return exit_usage;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption from_opt("from", "", "DATE");
    const QCommandLineOption until_opt("until", "", "DATE");
    const QCommandLineOption force_opt("force", "");
    const QCommandLineOption help_opt(QStringList{"h", "help"}, "");
    parser.addOptions({from_opt, until_opt, force_opt, help_opt});
    if (!parser.parse(app.arguments()))
        return usage_error(parser.errorText());
    if (parser.isSet(help_opt))
    {
        std::fputs(usage_text, stdout);
        return exit_done;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        return usage_error(QString());

    timeline_settings settings;
    settings.force = parser.isSet(force_opt);
    QString reason;
    if (parser.isSet(from_opt))
        reason = settings.set_from(parser.value(from_opt), "--from");
    if (reason.isEmpty() && parser.isSet(until_opt))
        reason = settings.set_until(parser.value(until_opt), "--until");
    if (!reason.isEmpty())
        return usage_error(reason);

    timeline_exporter exporter(settings);
    if (!exporter.export_timeline(positional.at(0), positional.at(1)))
    {
        std::fprintf(stderr, "gcal-timeline: %s\n", qPrintable(exporter.error()));
        return exit_failed;
    }
    for (const QString& problem : exporter.problems())
        std::fprintf(stderr, "gcal-timeline: not expanded in full: %s\n", qPrintable(problem));
    for (const QString& zone : exporter.unknown_zones())
        std::fprintf(stderr, "gcal-timeline: note: %s\n", qPrintable(zone));
    std::printf("%s\n", qPrintable(exporter.summary_line()));
    return exit_done;
}
