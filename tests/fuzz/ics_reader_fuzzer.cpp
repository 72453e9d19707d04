// libFuzzer target: every input is one .ics file for the real reader.

#include "tests/fuzz/ics_fuzz_entry.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv); // the SQL driver is a plug-in Qt loads for an application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ics_fuzz::read_one_file(data, size);
    ics_fuzz::read_one_file(data, size, 7); // again with folds and lines across tiny chunk edges
    return 0;
}
