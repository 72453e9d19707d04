#include "extractors/ics_unfolding_reader.h"

#include <cstring>

ics_unfolding_reader::ics_unfolding_reader(QIODevice* device) : device(device) {}

bool ics_unfolding_reader::fill()
{
    if (at_end)
        return false;
    buffer = device->read(chunk_size);
    position = 0;
    if (buffer.isEmpty())
    {
        at_end = true;
        return false;
    }
    return true;
}

// Appends bytes up to the next unfolded line break to `out`; true when a whole line is complete.
bool ics_unfolding_reader::take_line(QByteArray* out)
{
    for (;;)
    {
        if (position >= buffer.size() && !fill())
            return false;
        const char* start = buffer.constData() + position;
        const qsizetype left = buffer.size() - position;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', size_t(left)));
        if (!lf)
        {
            out->append(start, left);
            position = buffer.size();
            continue;
        }
        out->append(start, lf - start);
        position += (lf - start) + 1;

        // The byte after the break decides between a fold and the end of the line.
        if (position >= buffer.size() && !fill())
            return true;
        const char next = buffer.at(position);
        if (next != ' ' && next != '\t')
            return true;
        if (out->endsWith('\r'))
            out->chop(1);
        ++position;
    }
}

bool ics_unfolding_reader::next_line(QString* line)
{
    if (finished)
        return false;
    line_bytes.clear();
    if (take_line(&line_bytes))
    {
        saw_line_break = true;
        *line = QString::fromUtf8(line_bytes);
        return true;
    }
    // The text after the last line break is a line of its own, unless there never was a break.
    finished = true;
    if (!saw_line_break)
        return false;
    *line = QString::fromUtf8(line_bytes);
    return true;
}
