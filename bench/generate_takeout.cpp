// Writes a seeded, Google-shaped Takeout folder: CRLF lines, folded long text, time-zone
// definitions, alarms, repeat rules, TZID and all-day events, non-ASCII text.
//   generate_takeout OUT_DIR EVENTS FILES [SEED]

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>

namespace
{
const char* const titles[] = {
    "Weekly sync", "Café mit Jürgen",  "Dentist", "Project review – Q3",       "Lunch", "Flight LH 404",
    "会议",        "Birthday party 🎉", "1:1",     "Planning, budget \\; costs"};
const char* const zones[] = {"Europe/Berlin", "America/New_York", "Asia/Tokyo", "UTC", "Australia/Sydney"};

std::string fold(const std::string& line)
{
    // Lines longer than 75 octets continue on the next line after CRLF and one blank.
    std::string out;
    size_t at = 0;
    while (line.size() - at > 75)
    {
        size_t cut = at + 75;
        while (cut > at && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut; // never split a character here; the reader copes, but producers don't do it
        out += line.substr(at, cut - at) + "\r\n ";
        at = cut;
    }
    return out + line.substr(at) + "\r\n";
}

std::string stamp(std::mt19937_64& rng, bool utc)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%s", int(2015 + rng() % 11),
                  int(1 + rng() % 12), int(1 + rng() % 28), int(rng() % 24), int(rng() % 60), int(rng() % 60),
                  utc ? "Z" : "");
    return text;
}

std::string event(std::mt19937_64& rng, long index)
{
    std::string e = "BEGIN:VEVENT\r\n";
    const int kind = int(rng() % 10);
    if (kind < 2)
    {
        const std::string day = stamp(rng, false).substr(0, 8);
        e += "DTSTART;VALUE=DATE:" + day + "\r\nDTEND;VALUE=DATE:" + day + "\r\n";
    }
    else if (kind < 6)
    {
        const std::string zone = zones[rng() % 5];
        e += "DTSTART;TZID=" + zone + ":" + stamp(rng, false) + "\r\nDTEND;TZID=" + zone + ":" +
             stamp(rng, false) + "\r\n";
    }
    else
        e += "DTSTART:" + stamp(rng, true) + "\r\nDTEND:" + stamp(rng, true) + "\r\n";
    if (rng() % 4 == 0)
        e += "RRULE:FREQ=WEEKLY;WKST=MO;UNTIL=" + stamp(rng, true) + ";BYDAY=MO,WE,FR\r\n";
    e += "DTSTAMP:" + stamp(rng, true) + "\r\n";
    e += "UID:" + std::to_string(index) + "-" + std::to_string(rng() % 1000000007) + "@google.com\r\n";
    if (rng() % 3 == 0)
        e += "X-GOOGLE-CONFERENCE:https://meet.google.com/abc-defg-" + std::to_string(rng() % 1000) + "\r\n";
    e += "CREATED:" + stamp(rng, true) + "\r\n";
    std::string description = "DESCRIPTION:";
    const int words = int(rng() % 40);
    for (int w = 0; w < words; ++w)
        description += (w % 7 == 3) ? "Überprüfung\\, " : "agenda item ";
    e += fold(description);
    e += "LAST-MODIFIED:" + stamp(rng, true) + "\r\n";
    e += "LOCATION:Room " + std::to_string(rng() % 500) + "\\, Building 2\\nFloor 3\r\n";
    e += "SEQUENCE:0\r\nSTATUS:CONFIRMED\r\n";
    e += fold(std::string("SUMMARY:") + titles[rng() % 10]);
    e += "TRANSP:OPAQUE\r\n";
    if (rng() % 2 == 0)
        e += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:This is an event reminder\r\nTRIGGER:-P0DT0H" +
             std::to_string(rng() % 60) + "M0S\r\nEND:VALARM\r\n";
    if (rng() % 5 == 0)
        e += "BEGIN:VALARM\r\nACTION:EMAIL\r\nDESCRIPTION:This is an event reminder\r\nSUMMARY:Alarm "
             "notification\r\nATTENDEE:mailto:someone@example.com\r\nTRIGGER:-P1D\r\nEND:VALARM\r\n";
    return e + "END:VEVENT\r\n";
}

const char* const header = "BEGIN:VCALENDAR\r\nPRODID:-//Google Inc//Google Calendar 70.9054//EN\r\n"
                           "VERSION:2.0\r\nCALSCALE:GREGORIAN\r\nMETHOD:PUBLISH\r\n";
const char* const time_zone =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nX-LIC-LOCATION:Europe/Berlin\r\nBEGIN:DAYLIGHT\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\nDTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\nBEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\n"
    "TZOFFSETTO:+0100\r\nTZNAME:CET\r\nDTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
    "END:STANDARD\r\nEND:VTIMEZONE\r\n";
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
    {
        std::fputs("usage: generate_takeout OUT_DIR EVENTS FILES [SEED]\n", stderr);
        return 2;
    }
    const std::string out = argv[1];
    const long events = std::atol(argv[2]);
    const long files = std::max(1L, std::atol(argv[3]));
    std::mt19937_64 rng(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 42);

    mkdir(out.c_str(), 0755);
    const std::string calendar = out + "/Calendar";
    mkdir(calendar.c_str(), 0755);
    long written = 0;
    for (long f = 0; f < files; ++f)
    {
        const std::string path =
            calendar + "/calendar-" + std::to_string(f) + "@group.calendar.google.com.ics";
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            return 1;
        std::string head = std::string(header) + "X-WR-CALNAME:Calendar " + std::to_string(f) +
                           "\r\nX-WR-TIMEZONE:Europe/Berlin\r\n" + time_zone;
        std::fputs(head.c_str(), file);
        const long in_file = events / files + (f < events % files ? 1 : 0);
        for (long i = 0; i < in_file; ++i, ++written)
            std::fputs(event(rng, written).c_str(), file);
        std::fputs("END:VCALENDAR\r\n", file);
        std::fclose(file);
    }
    std::printf("%ld events in %ld files under %s\n", written, files, calendar.c_str());
    return 0;
}
