#include <cstdio>

#include "bench.h"

void bench_split()
{
    std::printf("split: not measured yet\n");
}
