// rorezide: command-line host of the library, one subcommand per operation.
//
// Exit status: 0 success, 1 the library refused or failed (its message on
// stderr after the command's name), 2 a usage error (a short usage text on
// stderr). Numbers are passed to the library as typed, so its own checks and
// messages decide what is out of range.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "pagelist.h"
#include "rorezide.h"

#ifndef ROREZIDE_VERSION
#error "ROREZIDE_VERSION must be defined by the build"
#endif

namespace {

struct command;
typedef int (*command_run)(const command &cmd, char **operands);

// One subcommand: its name, its operands and their count, its help and the
// function that runs it with exactly that many operands.
struct command {
    const char *name;
    const char *operands;
    int operand_count;
    const char *summary;
    const char *help;
    command_run run;
};

const char list_help[] =
    "LIST is a comma-separated list of pages and ranges, without blanks:\n"
    "  3,1,5-7   pages 3, 1, 5, 6 and 7\n"
    "  9-7       a range that counts down: 9, 8, 7\n"
    "  z         the last page, also as a range end: 2-z, z-1\n";

int report_failure(const command &cmd)
{
    std::fprintf(stderr, "rorezide %s: %s\n", cmd.name, rorezide_last_error());
    return 1;
}

int usage_error(const command &cmd, const std::string &what)
{
    std::fprintf(stderr, "rorezide %s: %s\nusage: rorezide %s %s\n"
                 "Run 'rorezide %s --help' for details.\n",
                 cmd.name, what.c_str(), cmd.name, cmd.operands, cmd.name);
    return 2;
}

// Reads operand `what` (FIRST, LAST, N) as an int; a usage error otherwise.
bool operand_to_int(const command &cmd, const char *what, const char *text, int *value,
                    int *status)
{
    if (arg_to_int(text, value))
        return true;
    *status = usage_error(cmd, std::string(what) + " must be an integer, not '" + text + "'");
    return false;
}

// Turns LIST into page numbers. The page count is asked for only when the
// list names the last page; a file the library cannot read then fails here
// with the library's message. Returns 0 or the exit status to end with.
int operand_to_pages(const command &cmd, const char *file, const char *text,
                     std::vector<int> *pages)
{
    std::vector<page_span> spans;
    std::string error;
    if (!pagelist_parse(text, &spans, &error))
        return usage_error(cmd, "bad page list '" + std::string(text) + "': " + error);
    int last_page = 0;
    if (pagelist_uses_last_page(spans)) {
        last_page = rorezide_page_count(file);
        if (last_page < 0)
            return report_failure(cmd);
    }
    if (!pagelist_expand(spans, last_page, pages, &error))
        return usage_error(cmd, "bad page list '" + std::string(text) + "': " + error);
    return 0;
}

// "page_001.pdf" and the like: the names the library gives numbered files.
std::string numbered_name(const char *stem, int width, int n)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_%0*d.pdf", stem, width, n);
    return name;
}

void print_files_written(const char *dir, const char *stem, int width, int files)
{
    std::string first = numbered_name(stem, width, 1);
    if (files == 1) {
        std::printf("wrote 1 file to %s: %s\n", dir, first.c_str());
        return;
    }
    std::printf("wrote %d files to %s: %s to %s\n", files, dir, first.c_str(),
                numbered_name(stem, width, files).c_str());
}

void print_file_written(const char *path)
{
    int pages = rorezide_page_count(path);
    if (pages < 0)
        std::printf("wrote %s\n", path);
    else
        std::printf("wrote %s (%d page%s)\n", path, pages, pages == 1 ? "" : "s");
}

int run_count(const command &cmd, char **operands)
{
    int pages = rorezide_page_count(operands[0]);
    if (pages < 0)
        return report_failure(cmd);
    std::printf("%d\n", pages);
    return 0;
}

int run_burst(const command &cmd, char **operands)
{
    if (!rorezide_all(operands[0], operands[1]))
        return report_failure(cmd);
    int pages = rorezide_page_count(operands[0]);
    int width = pages <= 999 ? 3 : pages <= 9999 ? 4 : 5;
    if (pages > 0)
        print_files_written(operands[1], "page", width, pages);
    return 0;
}

int run_range(const command &cmd, char **operands)
{
    int first = 0, last = 0, status = 0;
    if (!operand_to_int(cmd, "FIRST", operands[1], &first, &status) ||
        !operand_to_int(cmd, "LAST", operands[2], &last, &status))
        return status;
    if (!rorezide_range(operands[0], first, last, operands[3]))
        return report_failure(cmd);
    print_file_written(operands[3]);
    return 0;
}

int run_pages(const command &cmd, char **operands)
{
    std::vector<int> pages;
    if (int status = operand_to_pages(cmd, operands[0], operands[1], &pages))
        return status;
    if (!rorezide_pages(operands[0], pages.data(), static_cast<int>(pages.size()), operands[2]))
        return report_failure(cmd);
    print_file_written(operands[2]);
    return 0;
}

int run_chunks(const command &cmd, char **operands)
{
    int n = 0, status = 0;
    if (!operand_to_int(cmd, "N", operands[1], &n, &status))
        return status;
    if (!rorezide_every_n(operands[0], n, operands[2]))
        return report_failure(cmd);
    int pages = rorezide_page_count(operands[0]);
    // P / n rounded up, without overflowing when n is near INT_MAX.
    int chunks = pages / n + (pages % n != 0 ? 1 : 0);
    if (pages > 0)
        print_files_written(operands[2], "split", chunks <= 999 ? 3 : 4, chunks);
    return 0;
}

int run_remove(const command &cmd, char **operands)
{
    std::vector<int> pages;
    if (int status = operand_to_pages(cmd, operands[0], operands[1], &pages))
        return status;
    if (!rorezide_remove(operands[0], pages.data(), static_cast<int>(pages.size()), operands[2]))
        return report_failure(cmd);
    print_file_written(operands[2]);
    return 0;
}

const command commands[] = {
    {"count", "FILE", 1, "print the number of pages",
     "Prints the number of pages of FILE.\n", run_count},
    {"burst", "FILE OUTDIR", 2, "one file per page: OUTDIR/page_001.pdf ...",
     "Writes every page of FILE to a file of its own in OUTDIR, creating missing\n"
     "directories: page_001.pdf, page_002.pdf, ... (four digits from 1000 pages,\n"
     "five from 10000).\n",
     run_burst},
    {"range", "FILE FIRST LAST OUTFILE", 4, "pages FIRST to LAST into one file",
     "Writes pages FIRST to LAST of FILE, both included, to OUTFILE.\n", run_range},
    {"pages", "FILE LIST OUTFILE", 3, "the listed pages, in the order given",
     "Writes the pages in LIST to OUTFILE in the order listed; a page listed twice\n"
     "appears twice.\n\n",
     run_pages},
    {"chunks", "FILE N OUTDIR", 3, "files of N pages each: OUTDIR/split_001.pdf ...",
     "Writes FILE to files of N consecutive pages each in OUTDIR, creating missing\n"
     "directories: split_001.pdf, split_002.pdf, ... (four digits from 1000\n"
     "files). The last file holds what remains.\n",
     run_chunks},
    {"remove", "FILE LIST OUTFILE", 3, "every page except the listed ones",
     "Writes every page of FILE except those in LIST to OUTFILE, in document order.\n\n",
     run_remove},
};

const command *command_find(const char *name)
{
    for (const command &c : commands)
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

bool is_help_flag(const char *arg)
{
    return std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0;
}

void print_command_help(const command &cmd)
{
    std::printf("usage: rorezide %s %s\n\n%s", cmd.name, cmd.operands, cmd.help);
    if (std::strstr(cmd.operands, "LIST"))
        std::printf("%s", list_help);
}

void print_overview()
{
    std::printf("usage: rorezide COMMAND ARGUMENTS...\n"
                "       rorezide COMMAND --help\n"
                "       rorezide --version\n\n"
                "Writes new PDF files holding chosen pages of a PDF file.\n\n"
                "Commands:\n");
    for (const command &c : commands) {
        std::string head = std::string(c.name) + " " + c.operands;
        std::printf("  %-30s %s\n", head.c_str(), c.summary);
    }
    std::printf("\n%s\n"
                "Exit status: 0 on success, 1 when the PDF cannot be read or written (the\n"
                "reason follows the command's name on stderr), 2 for a usage error.\n",
                list_help);
}

int overall_usage_error(const std::string &what)
{
    std::fprintf(stderr, "rorezide: %s\nusage: rorezide COMMAND ARGUMENTS...\n"
                 "commands: count, burst, range, pages, chunks, remove\n"
                 "Run 'rorezide --help' for details.\n",
                 what.c_str());
    return 2;
}

int run(int argc, char **argv)
{
    if (argc < 2)
        return overall_usage_error("no command given");
    if (is_help_flag(argv[1])) {
        print_overview();
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("rorezide %s\n", ROREZIDE_VERSION);
        return 0;
    }
    const command *cmd = command_find(argv[1]);
    if (!cmd)
        return overall_usage_error(std::string("unknown command '") + argv[1] + "'");
    for (int i = 2; i < argc; i++) {
        if (is_help_flag(argv[i])) {
            print_command_help(*cmd);
            return 0;
        }
    }
    int given = argc - 2;
    if (given != cmd->operand_count)
        return usage_error(*cmd, std::string(given < cmd->operand_count ? "too few" : "too many") +
                                     " arguments");
    return cmd->run(*cmd, argv + 2);
}

}  // namespace

int main(int argc, char **argv)
{
    // The library itself never throws; what can is this host's own use of
    // the standard library (a page list too large for memory).
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "rorezide: %s\n", e.what());
        return 1;
    }
}
