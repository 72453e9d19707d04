// The same events read by libical, the reference parser: every file of FOLDER/Calendar parsed whole,
// and of every VEVENT its start and end as instants, its guests with their answers, its rules and its
// alarms, as the extraction reads them. No database: this measures parsing alone.
//   libical_parse FOLDER
#include <libical/ical.h>

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fputs("usage: libical_parse FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/Calendar";
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 1;
    long events = 0;
    long touched = 0;
    while (dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".ics") != 0)
            continue;
        std::ifstream file(folder + "/" + name, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        icalcomponent* calendar = icalparser_parse_string(text.c_str());
        if (!calendar)
            continue;
        for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
             event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        {
            ++events;
            touched += icaltime_as_timet_with_zone(icalcomponent_get_dtstart(event), nullptr) != 0;
            touched += icaltime_as_timet_with_zone(icalcomponent_get_dtend(event), nullptr) != 0;
            for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_ANY_PROPERTY); p;
                 p = icalcomponent_get_next_property(event, ICAL_ANY_PROPERTY))
                touched += std::strlen(icalproperty_get_value_as_string(p)) > 0;
            for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
                 alarm; alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT))
                touched += icalcomponent_count_properties(alarm, ICAL_ANY_PROPERTY);
        }
        icalcomponent_free(calendar);
    }
    closedir(dir);
    std::printf("%ld events parsed (%ld values touched)\n", events, touched);
    return 0;
}
