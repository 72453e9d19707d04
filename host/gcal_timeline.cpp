// gcal-timeline: turns the calendar_events of a result database into a timeline.
#include <cstdio>

int main()
{
    std::fputs("gcal-timeline: not available yet\n", stderr);
    return 2;
}
