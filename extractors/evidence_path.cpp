#include "extractors/evidence_path.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace evidence_path
{
namespace
{
// Length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none.
qsizetype utf8_sequence_length(const unsigned char* at, qsizetype left)
{
    const unsigned char lead = at[0];
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        if (lead == 0xED)
            high = 0x9F; // surrogates
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    }
    else
        return 0;
    if (left < length)
        return 0;
    if (at[1] < low || at[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
    {
        if (at[i] < 0x80 || at[i] > 0xBF)
            return 0;
    }
    return length;
}

entry_kind kind_from_mode(mode_t mode)
{
    if (S_ISLNK(mode))
        return entry_kind::link;
    if (S_ISDIR(mode))
        return entry_kind::folder;
    if (S_ISREG(mode))
        return entry_kind::regular_file;
    return entry_kind::other;
}
} // namespace

bool is_valid_utf8(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype at = 0; at < bytes.size();)
    {
        const qsizetype length = utf8_sequence_length(data + at, bytes.size() - at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

QString display_form(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    QByteArray utf8;
    utf8.reserve(bytes.size());
    static const char hex[] = "0123456789ABCDEF";
    for (qsizetype at = 0; at < bytes.size();)
    {
        const qsizetype length = utf8_sequence_length(data + at, bytes.size() - at);
        if (length == 0)
        {
            utf8 += "\\x";
            utf8 += hex[data[at] >> 4];
            utf8 += hex[data[at] & 0x0F];
            ++at;
            continue;
        }
        utf8.append(bytes.data() + at, length);
        at += length;
    }
    return QString::fromUtf8(utf8);
}

QByteArray bytes_of(const QString& path)
{
    return path.toUtf8();
}

QList<entry> list_folder(const QByteArray& folder)
{
    QList<entry> entries;
    DIR* dir = ::opendir(folder.isEmpty() ? "" : folder.constData());
    if (!dir)
        return entries;
    const int dir_fd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir))
    {
        const QByteArray name(item->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat info;
        if (::fstatat(dir_fd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone since the listing
        entries.append({name, kind_from_mode(info.st_mode)});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const entry& a, const entry& b) { return a.name < b.name; });
    return entries;
}

bool kind_of(const QByteArray& path, entry_kind* kind)
{
    struct stat info;
    if (path.isEmpty() || ::lstat(path.constData(), &info) != 0)
        return false;
    *kind = kind_from_mode(info.st_mode);
    return true;
}

bool is_hidden(QByteArrayView name)
{
    return name.startsWith('.');
}
} // namespace evidence_path
