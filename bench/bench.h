// Shared pieces of the benchmark program.
#ifndef ROREZIDE_BENCH_BENCH_H
#define ROREZIDE_BENCH_BENCH_H

#include <string>

// Seconds since an arbitrary point, monotonic.
double bench_now();
// Wall time of a shell command in seconds, or -1 when it failed.
double bench_time_command(const std::string &cmd);
bool bench_have_tool(const char *name);
// A scratch directory for generated inputs and outputs.
const std::string &bench_dir();
// Best time of up to `runs` page counts of the file, in seconds, with the
// count in *pages; one count only when it takes more than a second.
double bench_count_time(const std::string &path, int runs, int *pages);

// A fresh directory for split outputs, in memory-backed storage when there
// is some.
std::string split_dir();

// Sections, each printing its own figures.
void bench_crypt();
void bench_inflate();
void bench_load();
void bench_objstm();
void bench_split();
void bench_burst();
void bench_burst_encrypted();

#endif
