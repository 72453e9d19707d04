#ifndef TAKEOUT_SOURCE_H
#define TAKEOUT_SOURCE_H

// The sources an examiner has: a Takeout folder, the folder of an unpacked archive holding
// Takeout/, the calendar folder itself, or the downloaded Takeout archives (.zip, .tgz,
// .tar.gz, any number of parts of one export). Archives are read with libarchive; only their
// .ics members are unpacked, into a scratch folder of the case, laid out as in the archive, so
// that the plug-in's rows equal those of the same export unpacked.

#include <QByteArray>
#include <functional>
#include <QList>
#include <QString>
#include <QStringList>

struct archive;
struct archive_entry;

namespace takeout_source
{
// Where the plug-in is pointed, and the calendar folders its discovery will take there.
struct source_root
{
    QString root;              // ends in "/"
    QStringList calendar_folders; // as shown (undecodable bytes as \xHH)
    QString layout;            // how SOURCE was understood
};

// Looks for the export in `folder`, in `folder`/Takeout, and treats `folder` itself as the
// calendar folder when its own .ics files are Google Calendar exports. False when none holds one;
// `looked` then says where it looked and for what.
bool find_root(const QString& folder, source_root* found, QString* looked);

bool is_archive_name(const QString& path);

// One .ics member of an archive: unpacked, or left out with its reason.
struct member_report
{
    QByteArray name;        // the member's name bytes as stored
    QByteArray unpacked_to; // path below the scratch folder; empty when left out
    bool complete = true;   // false when the archive ended inside it (kept as far as it goes)
    QString reason;         // why it was left out or is incomplete
};

struct archive_report
{
    QString path;
    qint64 size_bytes = -1;
    qint64 modified_time = -1;
    QByteArray sha256;       // lower-case hex of the whole archive file
    bool opened = false;     // libarchive recognised a zip or tar archive in it
    bool damaged = false;    // it could not be read to its end
    QList<member_report> members;
    QStringList problems;    // one text per problem, member name first where there is one

    int unpacked() const;
    int left_out() const;
};

class archive_unpacker
{
  public:
    // Limits against decompression bombs: one member may expand to at most `member_limit`
    // bytes, all members of the run together to at most `total_limit` bytes.
    archive_unpacker(const QByteArray& scratch_folder, qint64 member_limit, qint64 total_limit);

    archive_report unpack_file(const QString& archive_path);
    archive_report unpack_memory(const QByteArray& bytes, const QString& label);

    qint64 total_unpacked() const { return total_bytes; }

  private:
    archive_report unpack(const std::function<int(::archive*)>& open, const QString& label);
    void read_archive(::archive* reader, archive_report* report);
    void unpack_member(::archive* reader, ::archive_entry* entry, const QByteArray& name,
                       archive_report* report);

    QByteArray scratch;
    qint64 member_limit;
    qint64 total_limit;
    qint64 total_bytes = 0;
};

// The member's path below the archive root with "." and empty components dropped; false when it
// is absolute or climbs out with "..".
bool safe_member_path(const QByteArray& name, QByteArray* relative);

// SHA-256 (lower-case hex) of a whole file, read once.
QByteArray sha256_of_file(const QString& path, qint64* size);

// Removes a folder tree this program made, by bytes, never following a link.
bool remove_tree(const QByteArray& path);
} // namespace takeout_source

#endif
