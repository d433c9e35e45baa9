// Test support: a PDF fixture builder that writes files byte by byte, and
// small file and process helpers.
#ifndef ROREZIDE_TESTS_SUPPORT_FIXTURE_H
#define ROREZIDE_TESTS_SUPPORT_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

// Assembles a PDF the way a simple producer would: header, numbered objects
// in the order added, a classic xref table and a trailer. Bodies are given as
// raw text, so a test reads like the file it builds.
struct pdf_builder {
    std::string out = "%PDF-1.4\n";
    std::vector<std::pair<int, size_t>> offsets;
    std::vector<std::pair<int, int>> gens;  // objects with a generation other than 0

    // "N 0 obj\n" BODY "\nendobj\n"
    pdf_builder &obj(int num, const std::string &body);
    // "N G obj\n" BODY "\nendobj\n", listed with generation G in the xref.
    pdf_builder &obj(int num, int gen, const std::string &body);
    // "N 0 obj\n" DICT "\nstream\n" DATA "\nendstream\nendobj\n"; DICT gets no
    // /Length unless it holds one already.
    pdf_builder &stream(int num, const std::string &dict, const std::string &data);
    // Appends raw bytes (comments, broken structures, incremental updates).
    pdf_builder &raw(const std::string &bytes);
    // xref table, trailer with the given extra entries, startxref, %%EOF.
    std::string finish(const std::string &trailer_entries);
};

// A pages tree of n pages under object 2, pages 3..n+2, with contents and a
// font. Each page shows its page number in large text, so renderings differ.
std::string simple_pdf(int pages);

// Paths in the helpers below are UTF-8 (on Windows too, where they are
// turned into the system's UTF-16 names). Directories are joined with '/'.

// A fresh empty directory for one test.
std::string make_temp_dir();
void write_file(const std::string &path, const std::string &bytes);
std::string read_file(const std::string &path);
bool file_exists(const std::string &path);
// Creates one directory; false when it could not.
bool make_dir(const std::string &path);
// Removes a file or a directory with everything in it, if present.
void remove_tree(const std::string &path);
// Gives the existing file a second name (a hard link); false when the file
// system cannot.
bool make_hard_link(const std::string &existing, const std::string &name);

// Bytes to write at an offset of a file.
using file_piece = std::pair<int64_t, std::string>;

// A sparse file of `size` bytes: zeros, taking no room on disk where the
// file system allows, but for the pieces written into it. False when it
// cannot be made here.
bool make_sparse_file(const std::string &path, int64_t size,
                      const std::vector<file_piece> &pieces = {});

// Runs a command through the system's command processor (sh, or cmd.exe on
// Windows); returns its exit status and puts stdout into *out.
int run_command(const std::string &cmd, std::string *out = nullptr);
// One argument quoted for run_command.
std::string shell_quote(const std::string &arg);
// True when the program is on PATH.
bool have_tool(const char *name);

#endif
