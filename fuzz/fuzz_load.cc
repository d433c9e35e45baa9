// The loader on arbitrary file contents through the page count: every input
// gives a count with an empty message or -1 with a message.
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string path = fuzz_write_input("in.pdf", data, size);
    fuzz_checked_count(path.c_str());
    return 0;
}
