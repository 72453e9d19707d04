#include "extractors/google_calendar_gtakeoutos.h"

#include "extractors/ics/ics_calendar_file.h"
#include "extractors/ics_calendar_store.h"
#include "support/plugin_static_function.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace
{
const QString reader_caller = "void google_calendar_gtakeoutos::extract_ics_calendar_events()";

void log(const QString& text)
{
    plugin_static_function::app_debug(text, reader_caller);
}

// Backup folders (.icbu) are skipped below the source only: the examiner's own folders above it
// may be named anything.
bool is_calendar_file(const QFileInfo& entry, const QString& source_root)
{
    const QString below_source = entry.filePath().startsWith(source_root)
                                     ? entry.filePath().mid(source_root.size())
                                     : entry.filePath();
    return !entry.isSymLink() && entry.isFile() && entry.fileName().endsWith(".ics") &&
           !below_source.contains(".icbu");
}

// Depth first below `dir`: regular files only, hidden entries not visited, links not followed.
void collect_calendar_files(const QString& dir, const QString& source_root, QStringList* files)
{
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries)
    {
        if (entry.isSymLink())
            continue;
        if (entry.isDir())
            collect_calendar_files(entry.filePath(), source_root, files);
        else if (is_calendar_file(entry, source_root))
            files->append(entry.filePath());
    }
}

// Takes the write lock up front: a database another process holds locked fails here once,
// after the driver's busy wait, instead of at every row.
bool begin_write_transaction(QSqlDatabase& db)
{
    QSqlQuery begin(db);
    if (begin.exec("BEGIN IMMEDIATE"))
        return true;
    log("[extract_ics_calendar_events] begin transaction --------FAILED-------- " + begin.lastError().text());
    db.close();
    return false;
}

// The commit decides whether the run's rows exist at all: its failure must be seen.
void commit_and_close(QSqlDatabase& db)
{
    if (!db.commit())
        log("[extract_ics_calendar_events] commit --------FAILED-------- " + db.lastError().text());
    db.close();
}
} // namespace

QStringList google_calendar_gtakeoutos::calendar_files() const
{
    // An empty path would be the current directory: the examiner's own files are not evidence.
    QStringList files;
    if (calendar_directory_QString.trimmed().isEmpty() || !QFileInfo(calendar_directory_QString).isDir())
        return files;
    collect_calendar_files(calendar_directory_QString, run.source_path, &files);
    std::sort(files.begin(), files.end());
    return files;
}

ics_row_provenance google_calendar_gtakeoutos::provenance_of(const QString& path) const
{
    QString relative = path.trimmed();
    if (relative.startsWith(run.source_path))
        relative.remove(0, run.source_path.size());
    if (!relative.startsWith("/") && !relative.trimmed().isEmpty())
        relative.prepend("/");

    ics_row_provenance provenance;
    provenance.takeout_email_id = takeout_email_id.toUtf8();
    provenance.relative_path = relative.toUtf8();
    provenance.source_file =
        plugin_static_function::get_final_artifact_source_file(relative, "", run.source_type_internal)
            .first.toUtf8();
    provenance.source_count_name = plugin_static_function::get_source_count_name().toUtf8();
    provenance.os_scheme_display = run.os_scheme_display.toUtf8();
    return provenance;
}

// Returns false when the failed row took the run's transaction with it.
bool google_calendar_gtakeoutos::store_row(const ics_settled_event& event, ics_calendar_store& store,
                                           const ics_row_provenance& provenance, const QString& db_name)
{
    if (store.insert(event, provenance))
    {
        ++run.records_extracted_qint64;
        if (run.elapsed_timer.elapsed() > 1000)
        {
            emit signal_extracted_records_of_plugin_gtakeoutos(run.records_extracted_qint64);
            run.elapsed_timer.start();
        }
    }
    else
    {
        log("[extract_ics_calendar_events] execute query_insert--------FAILED-------" + db_name);
        log(store.last_error_text());
        log(store.executed_query());
    }
    return !store.transaction_lost();
}

// Returns false when the run must end inside the file: cancelled, or its transaction lost.
bool google_calendar_gtakeoutos::read_ics_file(const QString& path, ics_calendar_file& calendar_file,
                                               ics_calendar_store& store, const QString& db_name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        log("[extract_ics_calendar_events] ics file not exist" + path);
        log(file.errorString());
        return true;
    }

    const ics_row_provenance provenance = provenance_of(path);
    const ics_calendar_file::result read = calendar_file.read(
        &file, [&](const ics_settled_event& event) { return store_row(event, store, provenance, db_name); },
        [&](const QString& note) { log("[extract_ics_calendar_events] " + path + ": " + note); });
    return read == ics_calendar_file::result::read;
}

void google_calendar_gtakeoutos::extract_ics_calendar_events()
{
    log("[extract_ics_calendar_events] -START");

    QSqlDatabase::removeDatabase(reader_caller);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", reader_caller);
        db.setDatabaseName(run.destination_db_file_QString);
        if (!db.open())
        {
            log("[extract_ics_calendar_events]open destination DB------ FAILED ------");
            log(db.lastError().text());
            return;
        }
        if (!begin_write_transaction(db))
            return;

        bool stopped = false;
        bool lost = false;
        QString lost_reason;
        {
            ics_calendar_store store(db);
            ics_calendar_file calendar_file(&run.bool_cancel_extraction);
            const QStringList files = calendar_files();
            for (const QString& path : files)
            {
                if (run.bool_cancel_extraction ||
                    !read_ics_file(path, calendar_file, store, db.databaseName()))
                {
                    stopped = true;
                    break;
                }
            }
            lost = store.transaction_lost();
            lost_reason = store.last_error_text();
        }
        if (lost)
        {
            // Rows written one by one outside the run's transaction would leave an arbitrary subset.
            log("[extract_ics_calendar_events] transaction rolled back --------FAILED-------- " +
                lost_reason);
            db.close();
            return;
        }
        commit_and_close(db);
        if (stopped)
            return;
    }
    log("[extract_ics_calendar_events] -END");
}
