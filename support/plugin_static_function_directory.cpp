#include "support/plugin_static_function.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace
{
const QString copy_caller = "static void plugin_static_function::copy_directory(QString, QString)";
const qint64 chunk_size_qint64 = 102400;

struct copy_walk
{
    QString destination_root_canonical;
    QSet<QString> entered_canonical;
};

void log_copy(const QString& text)
{
    plugin_static_function::app_debug(text, copy_caller);
}

void log_file_failure(const QString& what, const QFile& file)
{
    log_copy("[copy_directory] " + what + " ----FAILED---- :" + file.fileName());
    log_copy("[copy_directory] Error:" + file.errorString());
}

// Streams one open file into another; stops at the end, at a cancellation or at a failed read or write.
// False when a read or write failed (and was logged).
bool copy_chunks(QFile& source, QFile& destination)
{
    while (!plugin_static_function::bool_cancel_extraction)
    {
        const QByteArray chunk = source.read(chunk_size_qint64);
        if (chunk.isEmpty())
        {
            if (source.error() == QFileDevice::NoError)
                return true;
            log_file_failure("source file read", source);
            return false;
        }
        if (destination.write(chunk) != chunk.size())
        {
            log_file_failure("destination file write", destination);
            return false;
        }
    }
    return true;
}

void copy_one_file(const QString& source_path, const QString& destination_path)
{
    if (!QFileInfo::exists(source_path))
        return;
    const QFileInfo existing(destination_path);
    if (existing.exists() && existing.canonicalFilePath() == QFileInfo(source_path).canonicalFilePath())
    {
        log_copy("[copy_directory] destination is the source file itself, skipped :" + source_path);
        return;
    }

    QFile source(source_path);
    if (!source.open(QIODevice::ReadOnly))
    {
        log_file_failure("source file open", source);
        return;
    }
    QFile destination(destination_path);
    if (!destination.open(QIODevice::WriteOnly | QIODevice::Truncate))
    {
        source.close();
        log_file_failure("destination file open", destination);
        return;
    }

    const bool copied = copy_chunks(source, destination);
    source.close();
    if (!destination.flush() && copied)
        log_file_failure("destination file write", destination);
    destination.close();
}

// A folder is entered once, and the copy's own destination never: links back to an ancestor
// and destinations inside the source would otherwise recurse without end.
bool may_enter(const QString& source_dir, copy_walk& walk)
{
    const QString canonical = QFileInfo(source_dir).canonicalFilePath();
    if (canonical == walk.destination_root_canonical)
    {
        log_copy("[copy_directory] destination directory not copied into itself, skipped :" + source_dir);
        return false;
    }
    if (walk.entered_canonical.contains(canonical))
    {
        log_copy("[copy_directory] directory already copied, skipped :" + source_dir);
        return false;
    }
    walk.entered_canonical.insert(canonical);
    return true;
}

void copy_tree(const QString& source_dir, const QString& destination_dir, copy_walk& walk)
{
    if (!QFileInfo(source_dir).isDir())
    {
        log_copy("[copy_directory] source diectory does not exist ----FAILED---- :" + source_dir);
        return;
    }
    if (!may_enter(source_dir, walk))
        return;
    if (!QDir(destination_dir).exists())
        QDir().mkpath(destination_dir);

    const QDir source(source_dir);
    const QStringList files = source.entryList(QDir::Files, QDir::Unsorted);
    for (const QString& name : files)
    {
        if (plugin_static_function::bool_cancel_extraction)
            return;
        copy_one_file(source_dir + "/" + name, destination_dir + "/" + name);
    }

    const QStringList folders = source.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : folders)
    {
        if (plugin_static_function::bool_cancel_extraction)
            return;
        copy_tree(source_dir + "/" + name, destination_dir + "/" + name, walk);
    }
}
} // namespace

void plugin_static_function::copy_directory(QString source_dir, QString destination_dir)
{
    if (!QFileInfo(source_dir).isDir())
    {
        log_copy("[copy_directory] source diectory does not exist ----FAILED---- :" + source_dir);
        return;
    }
    if (!QDir(destination_dir).exists())
        QDir().mkpath(destination_dir);

    copy_walk walk;
    walk.destination_root_canonical = QFileInfo(destination_dir).canonicalFilePath();
    copy_tree(source_dir, destination_dir, walk);
}

void plugin_static_function::remove_directory(QString dir_path)
{
    // An empty path would stand for the current directory.
    if (dir_path.trimmed().isEmpty())
        return;
    // "link/" would resolve through the link; the link itself is what is to go.
    while (dir_path.size() > 1 && dir_path.endsWith("/"))
        dir_path.chop(1);

    const QFileInfo info(dir_path);
    if (info.isSymLink())
    {
        QFile::remove(dir_path);
        return;
    }
    if (!info.exists())
        return;

    const QFileInfoList entries = QDir(dir_path).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::DirsFirst);
    for (const QFileInfo& entry : entries)
    {
        if (entry.isDir() && !entry.isSymLink())
            remove_directory(entry.absoluteFilePath());
        else
            QFile::remove(entry.absoluteFilePath());
    }
    QDir().rmdir(dir_path);
}
