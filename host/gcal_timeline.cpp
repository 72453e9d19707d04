// gcal-timeline: turns the calendar_events of a result database into a timeline.

#include "host/timeline_exporter.h"

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
    "usage: gcal-timeline DB OUT\n"
    "  DB    a result database (Google_Calendar.sqlite), read only\n"
    "  OUT   the timeline to write: OUT.csv or OUT.jsonl, one entry per time stamp of an event, by time\n"
    "Each entry: datetime in UTC (ISO 8601, Z), timestamp in microseconds since the epoch. Equal times keep\n"
    "the event order, then start, end, created, updated, last modified, alarm, repeat end. A time that is\n"
    "empty or not a whole number of seconds (years 1 to 9999) is left out and counted as missing.\n"
    "Exit status: 0 done (and for --help), 1 the export failed (the reason is printed), 2 bad usage.\n";
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 2 && (arguments.at(1) == "--help" || arguments.at(1) == "-h"))
    {
        std::fputs(usage_text, stdout);
        return exit_done;
    }
    if (arguments.size() != 3)
    {
        std::fputs(usage_text, stderr);
        return exit_usage;
    }

    timeline_exporter exporter;
    if (!exporter.export_timeline(arguments.at(1), arguments.at(2)))
    {
        std::fprintf(stderr, "gcal-timeline: %s\n", qPrintable(exporter.error()));
        return exit_failed;
    }
    std::printf("%s\n", qPrintable(exporter.summary_line()));
    return exit_done;
}
