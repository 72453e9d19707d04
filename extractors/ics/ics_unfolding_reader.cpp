#include "extractors/ics/ics_unfolding_reader.h"

#include <cstring>

namespace
{
bool is_fold_blank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

ics_unfolding_reader::ics_unfolding_reader(QIODevice* device, qint64 chunk_bytes, qsizetype max_line_bytes)
    : device(device), chunk_bytes(chunk_bytes > 0 ? chunk_bytes : chunk_size),
      max_line_bytes(max_line_bytes > 0 ? max_line_bytes : max_line_size)
{
}

qint64 ics_unfolding_reader::device_offset() const
{
    return device->pos() - (buffer.size() - position);
}

void ics_unfolding_reader::keep(const char* bytes, qsizetype size)
{
    if (line_too_long)
        return;
    if (size > max_line_bytes - line_bytes.size())
    {
        line_too_long = true;
        line_bytes = QByteArray(); // the memory goes back now, not at the end of the line
        return;
    }
    line_bytes.append(bytes, size);
}

bool ics_unfolding_reader::fill()
{
    if (at_end)
        return false;
    buffer.resize(chunk_bytes);
    const qint64 offset_before = device->pos();
    const qint64 got = device->read(buffer.data(), chunk_bytes);
    buffer.resize(got > 0 ? got : 0);
    position = 0;
    if (got <= 0)
    {
        if (got < 0)
            failed_read_offset = offset_before;
        at_end = true;
        return false;
    }
    return true;
}

// The common case: the whole line and the byte after its break lie in the buffer, no fold.
bool ics_unfolding_reader::line_within_buffer(QByteArrayView* line)
{
    const char* start = buffer.constData() + position;
    const qsizetype left = buffer.size() - position;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', size_t(left)));
    if (!lf || lf + 1 >= start + left || is_fold_blank(lf[1]) || lf - start > max_line_bytes)
        return false;
    *line = QByteArrayView(start, lf - start);
    position += (lf - start) + 1;
    ++breaks_consumed;
    return true;
}

// Gathers the next line into line_bytes across chunks and folds; true when a whole line is there.
bool ics_unfolding_reader::take_line()
{
    line_bytes.resize(0);
    line_too_long = false;
    for (;;)
    {
        if (position >= buffer.size() && !fill())
            return false;
        const char* start = buffer.constData() + position;
        const qsizetype left = buffer.size() - position;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', size_t(left)));
        if (!lf)
        {
            keep(start, left);
            position = buffer.size();
            continue;
        }
        keep(start, lf - start);
        position += (lf - start) + 1;
        ++breaks_consumed;

        // The byte after the break decides between a fold and the end of the line.
        if (position >= buffer.size() && !fill())
            return true;
        if (!is_fold_blank(buffer.at(position)))
            return true;
        if (line_bytes.endsWith('\r'))
            line_bytes.chop(1);
        ++position;
    }
}

bool ics_unfolding_reader::next_line(QByteArrayView* line)
{
    while (!finished)
    {
        current_line_number = breaks_consumed + 1;
        if (line_within_buffer(line))
        {
            saw_line_break = true;
            return true;
        }
        const qint64 line_start = device_offset();
        if (take_line())
            saw_line_break = true;
        else
            finished = true; // the text after the last break is a line of its own
        if (!saw_line_break)
            return false; // there never was a break
        if (line_too_long)
        {
            left_out_offsets.append(line_start);
            continue;
        }
        *line = line_bytes;
        return true;
    }
    return false;
}
