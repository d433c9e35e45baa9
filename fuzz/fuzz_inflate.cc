// The DEFLATE decoder on arbitrary bytes, with a small and a large output
// buffer and in count-only mode. The count-only run decides what the others
// must do: a stream that counts n bytes decodes to exactly n bytes into any
// buffer of n bytes or more and fails (-1, nothing produced) into a smaller
// one; a stream that fails to count fails everywhere.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "inflate/inflate.h"

namespace {

constexpr size_t SMALL_CAP = 4096;
constexpr size_t LARGE_CAP = size_t(1) << 20;

void require(bool cond, const char *what)
{
    if (!cond) {
        std::fprintf(stderr, "inflate convention broken: %s\n", what);
        std::abort();
    }
}

// Buffers of exactly their capacity, so that a write past it is caught.
unsigned char *buffer(size_t cap)
{
    unsigned char *b = static_cast<unsigned char *>(std::malloc(cap));
    require(b != nullptr, "no memory for the output buffer");
    return b;
}

struct outcome {
    int result;
    size_t produced;
};

outcome run(const uint8_t *data, size_t size, unsigned char *dst, size_t cap)
{
    outcome o;
    o.produced = 12345;  // must be overwritten
    o.result = inflate_decompress(data, size, dst, cap, &o.produced);
    require(o.result == 0 || o.result == -1, "result neither 0 nor -1");
    if (o.result == -1)
        require(o.produced == 0, "produced not 0 after -1");
    return o;
}

// What the real-buffer run must give when counting gave `counted`.
void check_against_count(const outcome &counted, const outcome &real, size_t cap)
{
    if (real.result == 0)
        require(real.produced <= cap, "produced above capacity");
    if (counted.result == -1) {
        require(real.result == -1, "counting failed but decoding succeeded");
    } else if (counted.produced <= cap) {
        require(real.result == 0, "decoding failed although the output fits");
        require(real.produced == counted.produced, "count differs from the decoded length");
    } else {
        require(real.result == -1, "decoding succeeded although the output does not fit");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static unsigned char *small = buffer(SMALL_CAP);
    static unsigned char *large = buffer(LARGE_CAP);

    outcome counted = run(data, size, INFLATE_COUNT_ONLY, INFLATE_MAX_CAPACITY);
    outcome s = run(data, size, small, SMALL_CAP);
    outcome l = run(data, size, large, LARGE_CAP);
    check_against_count(counted, s, SMALL_CAP);
    check_against_count(counted, l, LARGE_CAP);
    if (s.result == 0 && l.result == 0)
        require(std::memcmp(small, large, s.produced) == 0, "outputs of the two buffers differ");

    // The row-predictor reversal over what was decoded, with a column count
    // taken from the input's last byte.
    if (l.result == 0 && size > 0) {
        int columns = 1 + data[size - 1] % 64;
        int r = inflate_png_unfilter(large, l.produced, columns);
        require(r == 0 || r == -1, "unfilter result neither 0 nor -1");
    }
    return 0;
}
