// rorezide command line: standard input and output in place of files.
//
// The library reads and writes paths, so a PDF read from standard input is
// first copied to a temporary file, and a PDF for standard output is written
// to one and then copied out. Temporary files live in the system's
// temporary directory ($TMPDIR or /tmp; on Windows the directory
// GetTempPath names) and are removed when the command ends, on failure too;
// on POSIX systems also when it is ended by SIGINT, SIGTERM or SIGHUP.
#ifndef ROREZIDE_CLI_PIPES_H
#define ROREZIDE_CLI_PIPES_H

#include <string>

// Creates a new empty temporary file and records it for removal. Returns
// its path, or "" with *error set.
std::string temp_file_create(std::string *error);

// Removes every temporary file created so far.
void temp_files_remove();

// Copies all of standard input to the file at path. Returns false with
// *error set on failure.
bool stdin_to_file(const std::string &path, std::string *error);

// Copies the file at path to standard output and flushes it. Returns false
// with *error set on failure.
bool file_to_stdout(const std::string &path, std::string *error);

#endif
