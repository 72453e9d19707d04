#include "extractors/google_calendar_gtakeoutos.h"

#include "extractors/evidence_path.h"
#include "extractors/hashing_file_device.h"
#include "extractors/ics/ics_calendar_file.h"
#include "extractors/ics_calendar_store.h"
#include "plugin/result_schema.h"
#include "support/plugin_static_function.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef GCAL_PLUGIN_VERSION
#define GCAL_PLUGIN_VERSION "unknown"
#endif

// One .ics entry the walk met: read unless it carries the reason it is left out.
struct calendar_walk_entry
{
    QByteArray path;
    QString left_out_reason;
};

// The chain-of-custody row of one .ics entry (calendar_source_files).
struct source_file_record
{
    QVariant size_bytes;
    QVariant modified_time;
    QVariant sha256;
    qint64 events_stored = 0;
    QString outcome;
    QStringList reasons;
};

namespace
{
const QString reader_caller = "void google_calendar_gtakeoutos::extract_ics_calendar_events()";

void log(const QString& text)
{
    plugin_static_function::app_debug(text, reader_caller);
}

bool is_ics_name(const QByteArray& name)
{
    return name.endsWith(".ics");
}

// Depth first below `dir`: hidden entries not visited, links not followed. Every .ics entry met is
// kept, the ones not to be read with their reason. Backup folders (.icbu) count below the source
// only: the examiner's own folders above it may be named anything.
void collect_calendar_files(const QByteArray& dir, const QByteArray& source_root, QList<calendar_walk_entry>* files)
{
    const QByteArray prefix = dir.endsWith('/') ? dir : dir + '/';
    for (const evidence_path::entry& entry : evidence_path::list_folder(dir))
    {
        const QByteArray path = prefix + entry.name;
        if (entry.kind == evidence_path::entry_kind::folder)
        {
            if (!evidence_path::is_hidden(entry.name))
                collect_calendar_files(path, source_root, files);
            continue;
        }
        if (!is_ics_name(entry.name))
            continue;
        QString reason;
        if (evidence_path::is_hidden(entry.name))
            reason = "hidden file";
        else if (entry.kind == evidence_path::entry_kind::link)
            reason = "link, not followed";
        else if (entry.kind == evidence_path::entry_kind::other)
            reason = "not a regular file";
        else if ((path.startsWith(source_root) ? path.mid(source_root.size()) : path).contains(".icbu"))
            reason = "inside an .icbu backup";
        files->append({path, reason});
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
QString utc_now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

// The machine's zone: dates and floating times of the rows depend on it.
QString machine_time_zone()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    return QString::fromUtf8(QTimeZone::systemTimeZoneId()) + " (UTC" + (offset < 0 ? "-" : "+") +
           QTime(0, 0).addSecs(qAbs(offset)).toString("hh:mm") + " at the start of the run)";
}

// The run's rows of calendar_extraction_runs and calendar_source_files, written inside the run's
// transaction with statements prepared once.
class custody_ledger
{
  public:
    explicit custody_ledger(QSqlDatabase& db) : db(db), file_insert(db)
    {
        prepared = file_insert.prepare(result_schema::calendar_source_files().insert_statement());
        if (!prepared)
            log("[extract_ics_calendar_events] prepare calendar_source_files --------FAILED-------- " +
                file_insert.lastError().text());
    }

    // `values` in the column order of calendar_extraction_runs, but for process_id.
    void start_run(const QVariantList& values)
    {
        QSqlQuery insert(db);
        insert.prepare(result_schema::calendar_extraction_runs().insert_statement());
        for (const QVariant& value : values)
            insert.addBindValue(value);
        insert.addBindValue(QCoreApplication::applicationPid());
        if (insert.exec())
            run_int = insert.lastInsertId();
        else
            log("[extract_ics_calendar_events] insert calendar_extraction_runs --------FAILED-------- " +
                insert.lastError().text());
    }

    void write_file(const QString& ics_file_path, const QByteArray& relative_bytes,
                    const source_file_record& record)
    {
        (record.outcome == "read" || record.outcome == "read in part" ? files_read : files_left_out)++;
        if (!prepared)
            return;
        const bool text_exact = evidence_path::is_valid_utf8(relative_bytes);
        file_insert.addBindValue(run_int);
        file_insert.addBindValue(ics_file_path);
        file_insert.addBindValue(text_exact ? QString() : QString::fromLatin1(relative_bytes.toHex()));
        file_insert.addBindValue(QString()); // archive_path: filled by a host that unpacked an archive
        file_insert.addBindValue(QString()); // archive_member
        file_insert.addBindValue(record.size_bytes);
        file_insert.addBindValue(record.modified_time);
        file_insert.addBindValue(record.sha256);
        file_insert.addBindValue(record.events_stored);
        file_insert.addBindValue(record.outcome);
        file_insert.addBindValue(record.reasons.join("; "));
        if (!file_insert.exec())
            log("[extract_ics_calendar_events] insert calendar_source_files --------FAILED-------- " +
                file_insert.lastError().text());
    }

    void finish_run(qint64 events_stored, const QString& outcome)
    {
        if (!run_int.isValid())
            return;
        QSqlQuery update(db);
        update.prepare("update calendar_extraction_runs set ended_utc=?,events_stored=?,files_read=?,"
                       "files_left_out=?,outcome=? where INT=?");
        for (const QVariant& value : {QVariant(utc_now()), QVariant(events_stored), QVariant(files_read),
                                      QVariant(files_left_out), QVariant(outcome), run_int})
            update.addBindValue(value);
        if (!update.exec())
            log("[extract_ics_calendar_events] update calendar_extraction_runs --------FAILED-------- " +
                update.lastError().text());
    }

  private:
    QSqlDatabase& db;
    QSqlQuery file_insert;
    bool prepared = false;
    QVariant run_int;
    qint64 files_read = 0;
    qint64 files_left_out = 0;
};
} // namespace

QList<calendar_walk_entry> google_calendar_gtakeoutos::calendar_files() const
{
    // No folder found means no files: an empty path would be the current directory, and the
    // examiner's own files are not evidence.
    QList<calendar_walk_entry> files;
    const QByteArray source_root = evidence_path::bytes_of(run.source_path);
    for (const QByteArray& folder : calendar_directories_bytes)
        collect_calendar_files(folder, source_root, &files);
    std::sort(files.begin(), files.end(),
              [](const calendar_walk_entry& a, const calendar_walk_entry& b) { return a.path < b.path; });
    return files;
}

QString google_calendar_gtakeoutos::relative_path_of(const QByteArray& path) const
{
    QString relative = evidence_path::display_form(path).trimmed();
    if (relative.startsWith(run.source_path))
        relative.remove(0, run.source_path.size());
    if (!relative.startsWith("/") && !relative.trimmed().isEmpty())
        relative.prepend("/");
    return relative;
}

ics_row_provenance google_calendar_gtakeoutos::provenance_of(const QByteArray& path) const
{
    const QString relative = relative_path_of(path);
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
bool google_calendar_gtakeoutos::read_ics_file(const QByteArray& raw_path, ics_calendar_file& calendar_file,
                                               ics_calendar_store& store, const QString& db_name,
                                               source_file_record* record)
{
    // Opened by the file system's own bytes, read-only, never through a link put there since
    // the walk.
    const QString path = evidence_path::display_form(raw_path);
    const int fd = ::open(raw_path.constData(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
    {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        log("[extract_ics_calendar_events] ics file not exist" + path);
        log(error);
        record->outcome = "left out";
        record->reasons << "cannot be opened: " + error;
        return true;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        log("[extract_ics_calendar_events] not a regular file, left out: " + path);
        record->outcome = "left out";
        record->reasons << "not a regular file";
        return true;
    }
    record->modified_time = qint64(info.st_mtim.tv_sec);
    record->size_bytes = qint64(info.st_size);
    QFile file;
    hashing_file_device device(&file);
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle) ||
        !device.open_for_reading())
    {
        if (!file.isOpen())
            ::close(fd);
        log("[extract_ics_calendar_events] ics file not exist" + path);
        log(file.errorString());
        record->outcome = "left out";
        record->reasons << "cannot be opened: " + file.errorString();
        return true;
    }
    record->outcome = "read in part"; // until the reader reaches the end

    const ics_row_provenance provenance = provenance_of(raw_path);
    const auto take_note = [&](const QString& note) {
        log("[extract_ics_calendar_events] " + path + ": " + note);
        // What was not read of the file belongs to its custody row too.
        if (note.startsWith("line longer than") || note.startsWith("read error"))
            record->reasons << note;
    };
    const ics_calendar_file::result read = calendar_file.read(
        &device, [&](const ics_settled_event& event) { return store_row(event, store, provenance, db_name); },
        take_note);
    if (read == ics_calendar_file::result::cancelled)
        record->reasons << "run cancelled inside this file";
    if (read != ics_calendar_file::result::read)
        return false;
    // The hash must cover the whole file, whatever the reader left unread at its end.
    device.read_to_end();
    record->outcome = record->reasons.isEmpty() ? "read" : "read in part";
    record->size_bytes = device.bytes_hashed();
    const QByteArray sha256 = device.sha256_hex();
    if (!sha256.isEmpty())
        record->sha256 = QString::fromLatin1(sha256);
    return true;
}

void google_calendar_gtakeoutos::extract_ics_calendar_events()
{
    log("[extract_ics_calendar_events] -START");
    const QString started = utc_now();
    const qint64 records_at_start = run.records_extracted_qint64;

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
            custody_ledger ledger(db);
            QStringList folders;
            for (const QByteArray& folder : std::as_const(calendar_directories_bytes))
                folders << relative_path_of(folder);
            const QStringList settings{"engine type " + QString::number(run.type_engine_int),
                                       "tables " + run.tables_QStringList.join(","),
                                       "source " + plugin_static_function::get_source_count_name(),
                                       "source type " + run.source_type_internal,
                                       "scheme display " + run.os_scheme_display,
                                       "takeout e-mail " + takeout_email_id,
                                       "calendar folders " + folders.join(",")};
            ledger.start_run({QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                              QString(GCAL_PLUGIN_VERSION), started, QString(), run.source_path,
                              machine_time_zone(), settings.join("; "), 0, 0, 0, QString("started")});

            ics_calendar_store store(db);
            ics_calendar_file calendar_file(&run.bool_cancel_extraction);
            const QList<calendar_walk_entry> files = calendar_files();
            const QByteArray source_bytes = evidence_path::bytes_of(run.source_path);
            for (const calendar_walk_entry& entry : files)
            {
                source_file_record record;
                if (!entry.left_out_reason.isEmpty())
                {
                    struct stat info;
                    if (::lstat(entry.path.constData(), &info) == 0)
                    {
                        record.size_bytes = qint64(info.st_size);
                        record.modified_time = qint64(info.st_mtim.tv_sec);
                    }
                    record.outcome = "left out";
                    record.reasons << entry.left_out_reason;
                }
                else if (stopped || run.bool_cancel_extraction)
                {
                    stopped = true;
                    record.outcome = "not read";
                    record.reasons << "run cancelled before this file";
                }
                else
                {
                    const qint64 before = run.records_extracted_qint64;
                    stopped = !read_ics_file(entry.path, calendar_file, store, db.databaseName(), &record);
                    record.events_stored = run.records_extracted_qint64 - before;
                    if (store.transaction_lost())
                        break;
                }
                QByteArray relative_bytes =
                    entry.path.startsWith(source_bytes) ? entry.path.mid(source_bytes.size()) : entry.path;
                if (!relative_bytes.startsWith('/'))
                    relative_bytes.prepend('/'); // as in ics_file_path

                ledger.write_file(relative_path_of(entry.path), relative_bytes, record);
            }
            lost = store.transaction_lost();
            lost_reason = store.last_error_text();
            if (!lost)
                ledger.finish_run(run.records_extracted_qint64 - records_at_start,
                                  stopped ? "cancelled" : "completed");
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
