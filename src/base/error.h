// The library's single error channel: one process-wide message buffer that
// the code detecting a failure fills once, and that every exported call
// empties on entry. It sits below every subsystem: any of them may include
// it, and it includes nothing of the library.
#ifndef ROREZIDE_BASE_ERROR_H
#define ROREZIDE_BASE_ERROR_H

#include <cstddef>

constexpr int ERR_CAP = 1024;

extern char g_err[ERR_CAP];

// Replaces the message with a printf-style text, cut to 1023 characters.
void set_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Empties the message.
void clear_error();

#endif
