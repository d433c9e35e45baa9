// The growable byte buffer an output file is assembled in, and the appends
// every piece of output text passes through.
#ifndef ROREZIDE_WRITE_BUF_H
#define ROREZIDE_WRITE_BUF_H

#include <cstdint>

// Size of the first storage block; growth doubles it.
constexpr uint64_t OUT_BUF_FIRST_CAP = 1048576;

// While data is non-null, len + 1 <= cap and data[len] is NUL. A buffer
// with null data is empty and the next append starts again at 0.
struct out_buf {
    unsigned char *data;
    uint64_t len;
    uint64_t cap;
    // Set by any append that could not get memory and stays set: the
    // content no longer holds everything that was appended, so whoever
    // assembles a file must not write it.
    int32_t lost;
};

// Appends n bytes (any values, n may be 0). Returns data after the append,
// or null when no storage was obtained; a failed resize empties the buffer.
unsigned char *buf_bytes(out_buf *buf, const void *src, uint64_t n);

// Appends v in decimal, with a '-' when negative.
void buf_int(out_buf *buf, int32_t v);

// Appends a page-rectangle number: the integer when x lies within 0.000001
// of one, else x with at most four decimals and no trailing zeros.
unsigned char *buf_real(out_buf *buf, double x);

// Releases the storage block and empties the buffer.
void buf_release(out_buf *buf);

#endif
