// libFuzzer entry for the receive path (built with clang, see tests/fuzz/run).

#include "receive_harness.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_receive";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString bad = fuzzing::runReceiveInput(data, size);
    if (!bad.isEmpty()) {
        std::fprintf(stderr, "invariant broken: %s\n", qPrintable(bad));
        std::abort();
    }
    return 0;
}
