#include "extractors/takeout_calendar_discovery.h"

#include "extractors/evidence_path.h"

#include <fcntl.h>
#include <unistd.h>

namespace takeout_calendar_discovery
{
namespace
{
QByteArray with_separator(QByteArray folder)
{
    if (!folder.isEmpty() && !folder.endsWith('/'))
        folder += '/';
    return folder;
}

// The logical lines of `bytes` with folds undone; a last line without its break is dropped,
// since the header read may have cut it.
QList<QByteArray> unfolded_lines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    QByteArray current;
    bool have_line = false;
    qsizetype at = 0;
    while (at < bytes.size())
    {
        const qsizetype lf = bytes.indexOf('\n', at);
        if (lf < 0)
            break;
        QByteArray piece = bytes.mid(at, lf - at);
        if (piece.endsWith('\r'))
            piece.chop(1);
        const bool fold = !piece.isEmpty() && (piece.at(0) == ' ' || piece.at(0) == '\t');
        if (fold && have_line)
            current += piece.mid(1);
        else
        {
            if (have_line)
                lines.append(current);
            current = piece;
            have_line = true;
        }
        at = lf + 1;
    }
    // The line before the last break is complete only if the next one is not a fold of it;
    // for a header test a possibly shortened PRODID still names its producer.
    if (have_line)
        lines.append(current);
    return lines;
}
} // namespace

bool header_names_google_calendar(const QByteArray& start)
{
    QByteArray bytes = start;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<QByteArray> lines = unfolded_lines(bytes);
    if (lines.isEmpty() || lines.first().trimmed().toUpper() != "BEGIN:VCALENDAR")
        return false;
    for (qsizetype i = 1; i < lines.size(); ++i)
    {
        const QByteArray& line = lines.at(i);
        const QByteArray upper = line.toUpper();
        if (upper.startsWith("BEGIN:") || upper.startsWith("END:"))
            return false; // the header ends at the first component
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        QByteArray name = upper.left(colon);
        const qsizetype semicolon = name.indexOf(';');
        if (semicolon >= 0)
            name.truncate(semicolon);
        if (name.trimmed() == "PRODID" && upper.mid(colon + 1).contains("GOOGLE CALENDAR"))
            return true;
    }
    return false;
}

bool file_is_google_calendar_export(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray start(header_limit, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < start.size())
    {
        const ssize_t n = ::read(fd, start.data() + got, size_t(start.size() - got));
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    start.truncate(got);
    return header_names_google_calendar(start);
}

bool folder_holds_google_calendar_export(const QByteArray& folder)
{
    const QByteArray prefix = with_separator(folder);
    for (const evidence_path::entry& item : evidence_path::list_folder(folder))
    {
        if (item.kind != evidence_path::entry_kind::regular_file || evidence_path::is_hidden(item.name) ||
            !item.name.endsWith(".ics"))
            continue;
        if (file_is_google_calendar_export(prefix + item.name))
            return true;
    }
    return false;
}

QList<QByteArray> calendar_folders(const QByteArray& source_root, bool* by_content)
{
    if (by_content)
        *by_content = false;
    QList<QByteArray> found;
    if (source_root.isEmpty())
        return found; // never the current folder
    const QByteArray prefix = with_separator(source_root);
    evidence_path::entry_kind kind;
    if (evidence_path::kind_of(prefix + "Calendar", &kind))
    {
        found.append(prefix + "Calendar");
        return found;
    }
    for (const evidence_path::entry& item : evidence_path::list_folder(source_root))
    {
        if (item.kind != evidence_path::entry_kind::folder || evidence_path::is_hidden(item.name))
            continue;
        if (folder_holds_google_calendar_export(prefix + item.name))
            found.append(prefix + item.name);
    }
    if (by_content)
        *by_content = !found.isEmpty();
    return found;
}
} // namespace takeout_calendar_discovery
