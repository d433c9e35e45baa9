// Shared by the fuzz targets: a scratch directory of the process's own,
// files written into it, and the checks of the library's result
// conventions. A broken convention aborts, which libFuzzer reports as a
// crash with the input that caused it.
#ifndef ROREZIDE_FUZZ_UTIL_H
#define ROREZIDE_FUZZ_UTIL_H

#include <cstddef>
#include <cstdint>
#include <string>

// The process's scratch directory, made on first use and removed with its
// files at exit.
const char *fuzz_scratch_dir();

// Writes the bytes to DIR/name and returns the path; aborts when it cannot.
std::string fuzz_write_input(const char *name, const uint8_t *data, size_t size);

// Removes DIR/name if it exists.
void fuzz_remove(const char *name);

// Aborts with a note on stderr when cond is false.
void fuzz_check(bool cond, const char *what);

// rorezide_page_count: -1 with a message, or a count of at least 1 with
// none. Returns the result.
int fuzz_checked_count(const char *path);

// A split call's result: 1 with no message, or 0 with one. Returns it.
int fuzz_checked_split(int result, const char *call);

#endif
