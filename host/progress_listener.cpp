#include "host/progress_listener.h"

#include <cstdio>

progress_listener::progress_listener(bool show_on_terminal, QObject* parent)
    : QObject(parent), show_on_terminal_bool(show_on_terminal)
{
}

progress_listener::~progress_listener()
{
    if (line_shown_bool)
        std::fputs("\n", stderr);
}

void progress_listener::slot_records(qint64 records)
{
    last_count_qint64 = records;
    if (!show_on_terminal_bool)
        return;
    std::fprintf(stderr, "\r%lld events read", static_cast<long long>(records));
    std::fflush(stderr);
    line_shown_bool = true;
}
