// libFuzzer entry for the table file reader (built with clang, see tests/fuzz/run).

#include "tablefile_harness.h"

#include <QtGlobal>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const QString bad = fuzzing::runTableFileInput(data, size); !bad.isEmpty())
        qFatal("invariant broken: %s", qPrintable(bad)); // aborts: libFuzzer keeps the input
    return 0;
}
