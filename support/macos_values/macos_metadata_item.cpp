#include "support/macos_values/macos_metadata_item.h"

#include "support/macos_values/macos_value.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <sys/types.h>
#include <sys/xattr.h>

// The portable build keeps a file's metadata attributes in its extended attributes "user.<name>",
// as UTF-8 text: a date in the platform's printed form (2019-03-05 10:20:30 +0000) or ISO 8601,
// and for the list-valued attributes one entry a line.
namespace
{
bool is_list_attribute(const QString& name)
{
    return name == "kMDItemUsedDates" || name == "kMDItemWhereFroms";
}

bool read_extended_attribute(const QString& path, const QString& name, QByteArray* bytes)
{
    const QByteArray native_path = QFile::encodeName(path);
    const QByteArray native_name = ("user." + name).toUtf8();
    // The attribute may grow between asking its size and reading it; ask again then.
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        const ssize_t size = getxattr(native_path.constData(), native_name.constData(), nullptr, 0);
        if (size < 0)
            return false;
        bytes->resize(size);
        const ssize_t read = getxattr(native_path.constData(), native_name.constData(), bytes->data(), size);
        if (read >= 0)
        {
            bytes->resize(read);
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

QString printed_list(const QString& text)
{
    QList<macos_value> entries;
    const QStringList lines = text.split('\n');
    for (const QString& line : lines)
    {
        if (!line.trimmed().isEmpty())
            entries << macos_value::from_string(line.trimmed());
    }
    return macos_value::from_array(entries).description();
}
} // namespace

macos_metadata_item::macos_metadata_item(const QString& file_path)
    : file_path_QString(file_path), valid_bool(!file_path.isEmpty() && QFileInfo::exists(file_path))
{
}

bool macos_metadata_item::attribute_description(const QString& name, QString* description) const
{
    QByteArray bytes;
    if (!valid_bool || !read_extended_attribute(file_path_QString, name, &bytes))
        return false;
    const QString text = QString::fromUtf8(bytes);
    *description = is_list_attribute(name) ? printed_list(text) : text.trimmed();
    return true;
}
