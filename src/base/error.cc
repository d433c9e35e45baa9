#include "base/error.h"

#include <cstdarg>
#include <cstdio>

char g_err[ERR_CAP];

void set_error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_err, sizeof g_err, format, args);
    va_end(args);
}

void clear_error()
{
    g_err[0] = '\0';
}
