#include <cstdio>

#include "bench.h"

void bench_inflate()
{
    std::printf("inflate: not measured yet\n");
}
