// The hand-over list reader on any file content. It reads through Qt, so the file is an
// unnamed one in memory reached by its /proc path.
#include "app/ui/hand_over.h"
#include "fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::MemoryFile file(data, size);
    const QStringList paths = qm::ReadHandOverList(QString::fromStdString(file.Path()));
    for (const QString& path : paths)
        if (path.isEmpty() || path.contains('\n')) std::abort();
    return 0;
}
