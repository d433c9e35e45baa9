// rorezide command line: the system's reason behind the library's "Cannot
// open input file '...'" and "Cannot open output file '...' for writing".
// The library reports that it failed, not why; the command asks the system
// about the path the message names, after the fact, without creating or
// changing anything.
#ifndef ROREZIDE_CLI_REASON_H
#define ROREZIDE_CLI_REASON_H

#include <string>

// The system's text for why the file the library's message names could not
// be opened ("No such file or directory", "Is a directory"), or "" when
// the message is of another kind or no reason shows.
std::string open_failure_reason(const std::string &message);

#endif
