// The Windows shortcut parser on any bytes.
#include "app/util/shell_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qm::ParseShellLink({reinterpret_cast<const std::byte*>(data), size});
    return 0;
}
