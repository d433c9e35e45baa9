// Decoder for zlib-wrapped DEFLATE data (RFC 1950 around RFC 1951), the
// compression of PDF object streams. One call decodes a whole stream from one
// input buffer into one caller-supplied output buffer of fixed capacity; back-
// references are resolved against that output buffer, so there is no window
// of its own and no heap use.
//
// Results of inflate_decompress (*produced is set to 0 before anything else):
//   0   the final block was decoded; *produced holds the output length.
//   0   a data error inside the stream (bad block type, bad code, distance too
//       far back, ...); *produced holds the bytes decoded before the error.
//       A damaged stream therefore reads as a shorter complete one.
//   -1  the header was refused (source below 2 bytes, capacity above
//       INFLATE_MAX_CAPACITY, compression method other than 8, preset
//       dictionary), the input ended before the final block did, or the
//       output would exceed the capacity. *produced stays 0; bytes already
//       written into dst are left there.
// The Adler-32 trailer is never read and bytes after the final block are
// ignored.
//
// Threading: the fixed Huffman tables are process-wide and built, without a
// lock, by the first fixed block decoded; the first such call must not run
// on two threads at once. Everything else is per call.
#ifndef ROREZIDE_INFLATE_INFLATE_H
#define ROREZIDE_INFLATE_INFLATE_H

#include <cstddef>
#include <cstdint>

// Largest destination capacity accepted: 1 GiB.
constexpr size_t INFLATE_MAX_CAPACITY = size_t(1) << 30;

// Destination marker for count-only mode: the all-ones address. With it the
// decoder writes nothing, checks no capacity and only counts the bytes the
// stream would produce (the capacity must still be at most
// INFLATE_MAX_CAPACITY).
#define INFLATE_COUNT_ONLY (reinterpret_cast<unsigned char *>(~static_cast<uintptr_t>(0)))

int inflate_decompress(const unsigned char *src, size_t src_len, unsigned char *dst,
                       size_t dst_cap, size_t *produced);

// What one call did, whatever its result, for callers that bound the work
// of many calls: the bytes of src it read (the zlib header included; all
// of them when the input ended early), the bytes it decoded (written into
// dst, or counted in count-only mode, up to where it stopped), and whether
// it failed because the input ended before the final block did (rather than
// for a refused header or a full output).
struct inflate_work {
    size_t consumed;
    uint64_t decoded;
    int input_ended;
};

// inflate_decompress, with the same results, also filling *work.
int inflate_decompress_work(const unsigned char *src, size_t src_len, unsigned char *dst,
                            size_t dst_cap, size_t *produced, inflate_work *work);

// Reverses PNG row predictors in place, one byte per pixel. The buffer holds
// rows of one filter-type byte followed by columns data bytes; only whole
// rows are processed, and afterwards row r's bytes stand at r * columns.
// -1 when columns is 0 or less or a row's filter type is above 4 (the rows
// before it are done by then); otherwise 0.
int inflate_png_unfilter(unsigned char *data, size_t length, int columns);

#endif
