#include "extractors/ics/ics_content_line.h"

namespace
{

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// The end of the parameter text starting at `at` (a ";" or ":"): the first ":" outside quotes.
// A quote that never closes is taken as an ordinary character, so the first colon after it ends.
qsizetype parameters_end(QByteArrayView line, qsizetype at)
{
    bool quoted = false;
    qsizetype quote_at = -1;
    for (qsizetype i = at; i < line.size(); ++i)
    {
        const char c = line[i];
        if (c == '"')
        {
            quoted = !quoted;
            quote_at = i;
        }
        else if (c == ':' && !quoted)
            return i;
    }
    if (!quoted)
        return -1;
    return line.indexOf(':', quote_at);
}

// Splits at `separator` outside double quotes.
QList<QByteArrayView> split_outside_quotes(QByteArrayView text, char separator)
{
    QList<QByteArrayView> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == separator && !quoted)
        {
            parts.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.sliced(start));
    return parts;
}

// Caret escapes in parameter values: ^n a line break, ^' a double quote, ^^ a caret.
QByteArray caret_decoded(QByteArrayView text)
{
    if (!text.contains('^'))
        return text.toByteArray();
    QByteArray decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '^' && (next == 'n' || next == 'N' || next == '\'' || next == '^'))
        {
            decoded.append(next == '\'' ? '"' : next == '^' ? '^' : '\n');
            ++i;
        }
        else
            decoded.append(text[i]);
    }
    return decoded;
}
} // namespace

bool ics_content_line::parse(QByteArrayView line)
{
    line = ascii_trimmed(line);
    qsizetype name_end = 0;
    while (name_end < line.size() && line[name_end] != ';' && line[name_end] != ':')
        ++name_end;
    if (name_end == 0 || name_end == line.size())
        return false;
    const qsizetype colon = line[name_end] == ':' ? name_end : parameters_end(line, name_end);
    if (colon < 0)
        return false;
    name_view = line.first(name_end);
    parameters_view = line.sliced(name_end, colon - name_end);
    value_view = ascii_trimmed(line.sliced(colon + 1));
    return true;
}

// Only ASCII white space: a value's own Unicode spaces are evidence and stay.
QByteArrayView ics_content_line::ascii_trimmed(QByteArrayView text)
{
    const auto is_blank = [](char c)
    { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && is_blank(text[begin]))
        ++begin;
    while (end > begin && is_blank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool ics_content_line::same_name(QByteArrayView written, QByteArrayView upper_name)
{
    if (written.size() != upper_name.size())
        return false;
    for (qsizetype i = 0; i < written.size(); ++i)
    {
        if (upper(written[i]) != upper_name[i])
            return false;
    }
    return true;
}

bool ics_content_line::is(QByteArrayView upper_name) const
{
    return same_name(name_view, upper_name);
}

QByteArray ics_content_line::unquoted(QByteArrayView value)
{
    value = ascii_trimmed(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.sliced(1, value.size() - 2);
    return caret_decoded(value);
}

QList<ics_content_line::raw_parameter> ics_content_line::parameters() const
{
    QList<raw_parameter> found;
    if (parameters_view.isEmpty())
        return found;
    for (QByteArrayView text : split_outside_quotes(parameters_view.sliced(1), ';'))
    {
        const qsizetype equals = text.indexOf('=');
        if (equals < 0)
            found.append({ascii_trimmed(text), QByteArrayView()});
        else
            found.append({ascii_trimmed(text.first(equals)), text.sliced(equals + 1)});
    }
    return found;
}

// The raw values of the first parameter named `upper_name`, found without building the list.
bool ics_content_line::find_parameter(QByteArrayView upper_name, QByteArrayView* values) const
{
    const QByteArrayView text = parameters_view;
    qsizetype start = 1; // after the leading ";"
    bool quoted = false;
    for (qsizetype i = 1; i <= text.size(); ++i)
    {
        if (i < text.size() && text[i] == '"')
            quoted = !quoted;
        if (i < text.size() && (text[i] != ';' || quoted))
            continue;
        const QByteArrayView parameter = text.sliced(start, i - start);
        const qsizetype equals = parameter.indexOf('=');
        const QByteArrayView name = ascii_trimmed(equals < 0 ? parameter : parameter.first(equals));
        if (same_name(name, upper_name))
        {
            *values = equals < 0 ? QByteArrayView() : parameter.sliced(equals + 1);
            return true;
        }
        start = i + 1;
    }
    return false;
}

bool ics_content_line::has_parameter(QByteArrayView upper_name) const
{
    QByteArrayView values;
    return !parameters_view.isEmpty() && find_parameter(upper_name, &values);
}

QList<QByteArray> ics_content_line::parameter_values(QByteArrayView upper_name) const
{
    QList<QByteArray> values;
    QByteArrayView raw;
    if (parameters_view.isEmpty() || !find_parameter(upper_name, &raw))
        return values;
    for (QByteArrayView value : split_outside_quotes(raw, ','))
        values.append(unquoted(value));
    return values;
}

QByteArray ics_content_line::parameter(QByteArrayView upper_name) const
{
    QByteArrayView raw;
    if (parameters_view.isEmpty() || !find_parameter(upper_name, &raw))
        return QByteArray();
    // A list of quoted values gives its first; otherwise the whole text is the value, since
    // single-valued parameters (TZID, CN) are written with unquoted commas too.
    const QByteArrayView trimmed = ascii_trimmed(raw);
    if (trimmed.startsWith('"'))
    {
        const qsizetype closing = trimmed.indexOf('"', 1);
        if (closing > 0 && closing + 1 < trimmed.size() && trimmed[closing + 1] == ',')
            return unquoted(trimmed.first(closing + 1));
    }
    return unquoted(raw);
}
