#include "host/takeout_source.h"

#include "extractors/evidence_path.h"
#include "extractors/hashing_file_device.h"
#include "extractors/takeout_calendar_discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <functional>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace takeout_source
{
namespace
{
QString slash_ended(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

QStringList shown(const QList<QByteArray>& folders)
{
    QStringList texts;
    for (const QByteArray& folder : folders)
        texts << evidence_path::display_form(folder);
    return texts;
}

bool is_real_folder(const QByteArray& path)
{
    evidence_path::entry_kind kind;
    return evidence_path::kind_of(path, &kind) && kind == evidence_path::entry_kind::folder;
}

QString error_text()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// mkdir -p below the scratch folder, component by component, refusing anything but folders.
bool make_folders(const QByteArray& scratch, const QByteArray& relative_folder)
{
    QByteArray path = scratch;
    for (const QByteArray& part : relative_folder.split('/'))
    {
        if (part.isEmpty())
            continue;
        path += '/' + part;
        if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (!is_real_folder(path))
        {
            errno = ENOTDIR;
            return false;
        }
    }
    return true;
}

QString entry_error(struct archive* reader)
{
    const char* text = archive_error_string(reader);
    return text ? QString::fromLocal8Bit(text) : QString("unknown error");
}
} // namespace

bool find_root(const QString& folder, source_root* found, QString* looked)
{
    const QString base = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString takeout = base + "/Takeout";
    QList<QByteArray> folders;
    if (is_real_folder(evidence_path::bytes_of(takeout)) &&
        !(folders = takeout_calendar_discovery::calendar_folders(evidence_path::bytes_of(takeout))).isEmpty())
    {
        *found = {slash_ended(takeout), shown(folders), "a folder holding Takeout/"};
        return true;
    }
    folders = takeout_calendar_discovery::calendar_folders(evidence_path::bytes_of(base));
    if (!folders.isEmpty())
    {
        *found = {slash_ended(base), shown(folders), "a Takeout folder"};
        return true;
    }
    const QString parent = QFileInfo(base).path();
    const QByteArray base_bytes = evidence_path::bytes_of(base);
    if (base != parent &&
        (QFileInfo(base).fileName() == "Calendar" ||
         takeout_calendar_discovery::folder_holds_google_calendar_export(base_bytes)))
    {
        folders = takeout_calendar_discovery::calendar_folders(evidence_path::bytes_of(parent));
        if (folders.contains(base_bytes))
        {
            *found = {slash_ended(parent), shown(folders), "the calendar folder itself"};
            return true;
        }
        *looked = base + " looks like a calendar folder, but discovery in its parent " + parent +
                  " takes " + (folders.isEmpty() ? QString("nothing") : shown(folders).join(", ")) +
                  " instead; give a folder that holds the calendar folder";
        return false;
    }
    *looked = "looked in " + base + ", in " + takeout + " and at " + base +
              " itself for a folder named Calendar or a folder whose .ics files name Google Calendar as "
              "their producer (PRODID)";
    return false;
}

bool is_archive_name(const QString& path)
{
    const QString name = QFileInfo(path).fileName().toLower();
    return name.endsWith(".zip") || name.endsWith(".tgz") || name.endsWith(".tar.gz") || name.endsWith(".tar");
}

int archive_report::unpacked() const
{
    int count = 0;
    for (const member_report& member : members)
        count += member.unpacked_to.isEmpty() ? 0 : 1;
    return count;
}

int archive_report::left_out() const
{
    return int(members.size()) - unpacked();
}

bool safe_member_path(const QByteArray& name, QByteArray* relative)
{
    if (name.isEmpty() || name.startsWith('/'))
        return false;
    QByteArrayList kept;
    for (const QByteArray& part : name.split('/'))
    {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..")
            return false;
        kept << part;
    }
    if (kept.isEmpty())
        return false;
    *relative = kept.join('/');
    return true;
}

archive_unpacker::archive_unpacker(const QByteArray& scratch_folder, qint64 member_limit, qint64 total_limit)
    : scratch(scratch_folder), member_limit(member_limit), total_limit(total_limit)
{
}

void archive_unpacker::unpack_member(struct archive* reader, struct archive_entry* entry,
                                     const QByteArray& name, archive_report* report)
{
    member_report member;
    member.name = name;
    const QString shown_name = evidence_path::display_form(name);
    const auto leave_out = [&](const QString& reason)
    {
        member.reason = reason;
        report->members << member;
        report->problems << shown_name + ": " + reason;
    };

    QByteArray relative;
    if (archive_entry_hardlink(entry))
        return leave_out("hard link in the archive, not followed");
    const mode_t type = archive_entry_filetype(entry);
    if (type == AE_IFLNK)
        return leave_out("link in the archive, not followed");
    if (type != AE_IFREG)
        return leave_out("not a regular file");
    if (!safe_member_path(name, &relative))
        return leave_out("its path leaves the archive's root (absolute or with ..), not unpacked");

    const qsizetype slash = relative.lastIndexOf('/');
    if (slash > 0 && !make_folders(scratch, relative.left(slash)))
        return leave_out("cannot be unpacked: " + error_text());
    const QByteArray target = scratch + '/' + relative;
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return leave_out(errno == EEXIST ? QString("the same name came earlier; the first one is kept")
                                         : "cannot be unpacked: " + error_text());

    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    qint64 written = 0;
    QString stop_reason;
    bool cut_short = false;
    int warnings = 0;
    for (;;)
    {
        const la_ssize_t got = archive_read_data(reader, buffer.data(), size_t(buffer.size()));
        if (got == 0)
            break;
        if (got < 0)
        {
            if (got == ARCHIVE_WARN && ++warnings < 100)
                continue;
            cut_short = true;
            stop_reason = "the archive ends or is damaged inside it: " + entry_error(reader);
            break;
        }
        if (written + got > member_limit || total_bytes + got > total_limit)
        {
            stop_reason = written + got > member_limit
                              ? QString("expands past the limit of %1 bytes for one member (a decompression "
                                        "bomb?), stopped and not kept")
                                    .arg(member_limit)
                              : QString("the members unpacked so far reach the limit of %1 bytes for all "
                                        "members (a decompression bomb?), stopped and not kept")
                                    .arg(total_limit);
            break;
        }
        if (::write(fd, buffer.constData(), size_t(got)) != got)
        {
            stop_reason = "cannot be unpacked: " + error_text();
            break;
        }
        written += got;
        total_bytes += got;
    }
    if (cut_short && written == 0)
    {
        ::close(fd);
        ::unlink(target.constData());
        report->damaged = true;
        return leave_out("cannot be read from the archive: " + entry_error(reader));
    }
    if (!stop_reason.isEmpty() && !cut_short)
    {
        ::close(fd);
        ::unlink(target.constData());
        total_bytes -= written;
        return leave_out(stop_reason);
    }
    // The member's own time, as an unpacking tool keeps it.
    if (archive_entry_mtime_is_set(entry))
    {
        const struct timespec times[2] = {{archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)},
                                          {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
        ::futimens(fd, times);
    }
    ::close(fd);
    member.unpacked_to = target;
    if (cut_short)
    {
        member.complete = false;
        member.reason = stop_reason + "; its first " + QString::number(written) + " bytes are read";
        report->problems << shown_name + ": " + member.reason;
        report->damaged = true;
    }
    report->members << member;
}

void archive_unpacker::read_archive(struct archive* reader, archive_report* report)
{
    int retries = 0;
    for (int index = 0;; ++index)
    {
        struct archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader, &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status == ARCHIVE_RETRY && ++retries < 100)
            continue;
        if (status < ARCHIVE_WARN)
        {
            report->damaged = true;
            report->problems << QString("cannot be read past its member %1: %2").arg(index).arg(entry_error(reader));
            break;
        }
        report->opened = true;
        const char* raw = archive_entry_pathname(entry);
        if (!raw)
            raw = archive_entry_pathname_utf8(entry);
        if (!raw)
        {
            report->problems << QString("member %1 has no readable name, skipped").arg(index);
            continue;
        }
        const QByteArray name(raw);
        if (status == ARCHIVE_WARN)
            report->problems << evidence_path::display_form(name) + ": " + entry_error(reader);
        // Only calendar files are unpacked; a folder named x.ics holds its own members.
        if (!name.endsWith(".ics") || archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        unpack_member(reader, entry, name, report);
    }
}

archive_report archive_unpacker::unpack(const std::function<int(::archive*)>& open, const QString& label)
{
    const auto attempt = [&](bool streaming)
    {
        archive_report report;
        report.path = label;
        ::archive* reader = archive_read_new();
        archive_read_support_filter_all(reader);
        if (streaming)
            archive_read_support_format_zip_streamable(reader);
        else
        {
            archive_read_support_format_zip(reader);
            archive_read_support_format_tar(reader);
        }
        if (open(reader) != ARCHIVE_OK)
            report.problems << "not readable as a zip or tar archive: " + entry_error(reader);
        else
            read_archive(reader, &report);
        archive_read_free(reader);
        return report;
    };
    archive_report report = attempt(false);
    if (!report.members.isEmpty() || (report.opened && !report.damaged))
        return report;
    // A zip is read by its central directory at its end; when that is missing (a cut download),
    // it is read again member by member from its start, so that it yields what it can.
    archive_report by_member = attempt(true);
    if (by_member.members.isEmpty() && !by_member.opened)
        return report;
    by_member.problems.prepend("read member by member, its central directory cannot be read: " +
                               report.problems.join("; "));
    by_member.damaged = true;
    return by_member;
}

archive_report archive_unpacker::unpack_file(const QString& archive_path)
{
    const QByteArray path = QFile::encodeName(archive_path);
    archive_report report =
        unpack([&path](::archive* reader) { return archive_read_open_filename(reader, path.constData(), 256 * 1024); },
               archive_path);
    report.sha256 = sha256_of_file(archive_path, &report.size_bytes);
    struct stat info;
    if (::stat(path.constData(), &info) == 0)
        report.modified_time = info.st_mtim.tv_sec;
    return report;
}

archive_report archive_unpacker::unpack_memory(const QByteArray& bytes, const QString& label)
{
    archive_report report = unpack(
        [&bytes](::archive* reader)
        { return archive_read_open_memory(reader, bytes.constData(), size_t(bytes.size())); },
        label);
    report.size_bytes = bytes.size();
    return report;
}

QByteArray sha256_of_file(const QString& path, qint64* size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    hashing_file_device device(&file);
    if (!device.open_for_reading())
        return QByteArray();
    device.read_to_end();
    if (size)
        *size = device.bytes_hashed();
    return device.sha256_hex();
}

bool remove_tree(const QByteArray& path)
{
    evidence_path::entry_kind kind;
    if (!evidence_path::kind_of(path, &kind))
        return true;
    if (kind != evidence_path::entry_kind::folder)
        return ::unlink(path.constData()) == 0;
    bool ok = true;
    for (const evidence_path::entry& entry : evidence_path::list_folder(path))
        ok = remove_tree(path + '/' + entry.name) && ok;
    return ::rmdir(path.constData()) == 0 && ok;
}
} // namespace takeout_source
