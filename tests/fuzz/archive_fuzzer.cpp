// libFuzzer target: every input is one Takeout archive for gcal-extract's archive handling. A
// wrong result aborts like a crash, so libFuzzer keeps the input.

#include "tests/fuzz/archive_fuzz_entry.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace
{
QByteArray workspace;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/gcal-archive-fuzz.XXXXXX";
    if (!::mkdtemp(pattern))
        std::abort();
    workspace = pattern;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const archive_fuzz::outcome result = archive_fuzz::unpack_one_archive(data, size, workspace);
    if (!result.fault.isEmpty())
    {
        std::fprintf(stderr, "archive_fuzzer: %s\n", qPrintable(result.fault));
        std::abort();
    }
    return 0;
}
