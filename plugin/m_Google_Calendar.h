#ifndef M_GOOGLE_CALENDAR_H
#define M_GOOGLE_CALENDAR_H

// Kept for the suite's plug-in layout; nothing in this plug-in creates or uses it.
class m_Google_Calendar
{
public:
    m_Google_Calendar() = default;
};

#endif
