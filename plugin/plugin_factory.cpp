#include "plugin/google_calendar.h"

// The one symbol the host looks up when it loads the library.
extern "C" void* create_object()
{
    return new google_calendar(nullptr);
}
