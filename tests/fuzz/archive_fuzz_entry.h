#ifndef ARCHIVE_FUZZ_ENTRY_H
#define ARCHIVE_FUZZ_ENTRY_H

// Feeds bytes as one Takeout archive (zip or tar, any filter) through gcal-extract's archive
// handling: libarchive is fuzzed upstream, our handling of its entries is not. Shared by the
// libFuzzer target and the test that replays its seeds.
//
// Besides crashes it looks for wrong results: nothing may land outside the scratch folder, no
// link may be made, no member may pass the size limits, and every member is either unpacked to
// a regular file below the scratch folder or left out with its reason.

#include "extractors/evidence_path.h"
#include "host/takeout_source.h"

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace archive_fuzz
{
constexpr qint64 member_limit = 1 << 20;
constexpr qint64 total_limit = 4 << 20;

struct outcome
{
    QString fault;
    int unpacked = 0;
    int left_out = 0;
};

// Every entry below `folder`: no links, only folders and regular files; adds up the file sizes.
inline QString check_tree(const QByteArray& folder, qint64* total)
{
    for (const evidence_path::entry& entry : evidence_path::list_folder(folder))
    {
        const QByteArray path = folder + '/' + entry.name;
        if (entry.kind == evidence_path::entry_kind::link || entry.kind == evidence_path::entry_kind::other)
            return "not a folder or regular file in the scratch folder: " + evidence_path::display_form(path);
        if (entry.kind == evidence_path::entry_kind::folder)
        {
            const QString fault = check_tree(path, total);
            if (!fault.isEmpty())
                return fault;
            continue;
        }
        struct stat info;
        if (::stat(path.constData(), &info) != 0)
            return "cannot stat " + evidence_path::display_form(path);
        if (info.st_size > member_limit)
            return "a member past the limit: " + evidence_path::display_form(path);
        *total += info.st_size;
    }
    return QString();
}

// `workspace` is a private folder; the archive is unpacked into workspace/scratch, which must be
// the only thing in the workspace afterwards. The scratch folder is removed again.
inline outcome unpack_one_archive(const uint8_t* data, size_t size, const QByteArray& workspace)
{
    outcome result;
    const QByteArray scratch = workspace + "/scratch";
    takeout_source::remove_tree(scratch);
    ::mkdir(scratch.constData(), 0700);
    {
        takeout_source::archive_unpacker unpacker(scratch, member_limit, total_limit);
        const takeout_source::archive_report report =
            unpacker.unpack_memory(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), "fuzz");
        result.unpacked = report.unpacked();
        result.left_out = report.left_out();
        for (const takeout_source::member_report& member : report.members)
        {
            if (member.unpacked_to.isEmpty())
            {
                if (member.reason.isEmpty())
                    result.fault = "a member left out without a reason";
                continue;
            }
            if (!member.unpacked_to.startsWith(scratch + '/') || member.unpacked_to.contains("/../"))
                result.fault = "unpacked outside the scratch folder: " + evidence_path::display_form(member.unpacked_to);
            evidence_path::entry_kind kind;
            if (!evidence_path::kind_of(member.unpacked_to, &kind) || kind != evidence_path::entry_kind::regular_file)
                result.fault = "an unpacked member is not a regular file: " +
                               evidence_path::display_form(member.unpacked_to);
            if (!member.unpacked_to.endsWith(".ics"))
                result.fault = "a member that is not an .ics file was unpacked";
        }
        if (unpacker.total_unpacked() > total_limit)
            result.fault = "the members together passed the total limit";
    }
    qint64 total = 0;
    const QString tree_fault = check_tree(scratch, &total);
    if (result.fault.isEmpty())
        result.fault = tree_fault;
    if (result.fault.isEmpty() && total > total_limit)
        result.fault = "the scratch folder holds more than the total limit";
    const QList<evidence_path::entry> beside = evidence_path::list_folder(workspace);
    if (result.fault.isEmpty() && (beside.size() != 1 || beside.first().name != "scratch"))
        result.fault = "something landed beside the scratch folder";
    takeout_source::remove_tree(scratch);
    for (const evidence_path::entry& entry : evidence_path::list_folder(workspace))
        takeout_source::remove_tree(workspace + '/' + entry.name);
    return result;
}
} // namespace archive_fuzz

#endif
