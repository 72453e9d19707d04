#include "support/plugin_static_function.h"

#include <QDir>
#include <QFileInfo>

// Placeholder copy; the removal refuses an empty path, which Qt would read as the current directory.
void plugin_static_function::copy_directory(QString, QString) {}

void plugin_static_function::remove_directory(QString dir_path)
{
    if (dir_path.trimmed().isEmpty())
        return;
    QFileInfo info(dir_path);
    if (info.isSymLink())
    {
        QFile::remove(dir_path);
        return;
    }
    if (info.isDir())
        QDir(dir_path).removeRecursively();
}
