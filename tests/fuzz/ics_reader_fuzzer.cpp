// libFuzzer target: every input is one .ics file for the real reader. A wrong result aborts
// like a crash, so libFuzzer keeps the input.

#include "tests/fuzz/ics_fuzz_entry.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace
{
void check(const ics_fuzz::outcome& result)
{
    if (result.fault.isEmpty())
        return;
    std::fprintf(stderr, "ics_reader_fuzzer: %s\n", qPrintable(result.fault));
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv); // the SQL driver is a plug-in Qt loads for an application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ics_fuzz::outcome whole = ics_fuzz::read_one_file(data, size);
    check(whole);
    // Again with folds and lines across many chunk edges: the same rows. Tiny chunks only for
    // small inputs, where a read per byte costs little.
    const qint64 chunk = size < 4096 ? 1 + qint64(size % 13) : 64 + qint64(size % 449);
    const ics_fuzz::outcome chunked = ics_fuzz::read_one_file(data, size, chunk);
    check(chunked);
    if (chunked.stored != whole.stored)
    {
        std::fprintf(stderr, "ics_reader_fuzzer: rows differ with chunk size %d\n", int(chunk));
        std::abort();
    }
    return 0;
}
