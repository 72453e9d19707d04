#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

// Small fixtures shared by the tests: files, debug-log capture, result database reads.

#include "support/plugin_static_function.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace test_support
{
inline bool write_file(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

// A file under a name given as raw bytes (not necessarily UTF-8); `modified` (epoch seconds) sets its
// access and modification times where it is not negative.
inline bool write_raw(const QByteArray& path, const QByteArray& bytes, qint64 modified = -1)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    if (modified >= 0)
    {
        const struct timespec times[2] = {{modified, 0}, {modified, 0}};
        ok = ::futimens(fd, times) == 0 && ok;
    }
    return ::close(fd) == 0 && ok;
}

// A calendar file as Google exports it, with `events` events whose UIDs begin with `uid_prefix`.
inline QByteArray google_export(const QByteArray& uid_prefix, int events)
{
    QByteArray bytes = "BEGIN:VCALENDAR\r\nPRODID:-//Google Inc//Google Calendar 70.9054//EN\r\n"
                       "VERSION:2.0\r\nX-WR-CALNAME:Work\r\n";
    for (int i = 0; i < events; ++i)
        bytes += "BEGIN:VEVENT\r\nUID:" + uid_prefix + QByteArray::number(i) +
                 "@google.com\r\nSUMMARY:Event " + QByteArray::number(i) + "\r\nDTSTART:20240301T0900" +
                 QByteArray::number(10 + i) + "Z\r\nEND:VEVENT\r\n";
    return bytes + "END:VCALENDAR\r\n";
}

inline QByteArray read_file(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Switches the debug log into `path` (plain, file only) with engine type 0.
inline void log_into(const QString& path, int engine = 0)
{
    plugin_static_function::close_debug_file();
    plugin_static_function::set_essentials();
    plugin_static_function::set_engine_type(engine);
    struct_GLOBAL_COMMON_VORIX_AND_ARTIFACT_general_info info;
    info.debug_mode_status = true;
    info.debug_print_in_file = true;
    info.debug_file_path = path;
    plugin_static_function::set_general_info(info);
}

// The text part of each line of a plain log: what follows "]:-- ".
inline QStringList log_texts(const QString& path)
{
    QStringList texts;
    const QList<QByteArray> lines = read_file(path).split('\n');
    for (const QByteArray& line : lines)
    {
        if (line.isEmpty())
            continue;
        const QString text = QString::fromLocal8Bit(line);
        const int at = text.indexOf("]:-- ");
        texts << (at < 0 ? text : text.mid(at + 5));
    }
    return texts;
}

// Each line of a plain log as "[function] text": the short caller name and what follows "]:-- ".
inline QStringList log_calls(const QString& path)
{
    QStringList calls;
    const QString area = "[Artifacts Extraction][";
    for (const QByteArray& line : read_file(path).split('\n'))
    {
        const QString text = QString::fromLocal8Bit(line);
        const int from = text.indexOf(area);
        const int to = text.indexOf("]:-- ", from);
        if (from < 0 || to < 0)
            continue;
        const int name_at = from + int(area.size());
        calls << "[" + text.mid(name_at, to - name_at) + "] " + text.mid(to + 5);
    }
    return calls;
}

// Runs a test step from another working folder and comes back.
class scoped_current_dir
{
  public:
    explicit scoped_current_dir(const QString& dir) : previous_QString(QDir::currentPath())
    {
        QDir::setCurrent(dir);
    }
    ~scoped_current_dir() { QDir::setCurrent(previous_QString); }

  private:
    QString previous_QString;
};

// Every row of a table, as column name to value (NULL stays an invalid QVariant), in row id order.
inline QList<QVariantMap> table_rows(const QString& db_path, const QString& table,
                                     const QString& order = "rowid")
{
    QList<QVariantMap> rows;
    const QString name = "test_support rows";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(db_path);
        if (db.open())
        {
            QSqlQuery query("SELECT * FROM " + table + " ORDER BY " + order, db);
            while (query.next())
            {
                QVariantMap row;
                const QSqlRecord record = query.record();
                for (int i = 0; i < record.count(); ++i)
                    row.insert(record.fieldName(i), query.value(i));
                rows << row;
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

// Every entry below `dir`, hidden ones too, as sorted paths relative to it.
inline QStringList entries_below(const QString& dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(dir).relativeFilePath(it.next());
    names.sort();
    return names;
}

inline QString host_program()
{
    return QStringLiteral(GCAL_BINARY_DIR "/gcal-extract");
}
inline QString plugin_library()
{
    return QStringLiteral(GCAL_BINARY_DIR "/libgoogle_calendar.so");
}
inline QString test_data(const QString& relative)
{
    return QStringLiteral(GCAL_SOURCE_DIR "/tests/data/") + relative;
}
} // namespace test_support

#endif
