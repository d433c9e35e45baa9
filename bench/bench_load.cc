#include <cstdio>

#include "bench.h"

void bench_load()
{
    std::printf("load: not measured yet\n");
}
