// rorezide: command-line host of the library, one subcommand per operation.
//
// Exit status: 0 success; 1 the library refused or failed (its message on
// stderr after the command's name, with the system's reason added when a
// file could not be opened), a page outside the document, or standard input
// or output failing; 2 a usage error (a short usage text on stderr).
// Numbers are passed to the library as typed, so its own checks and
// messages decide what is out of range; only where the command needs the
// page count anyway (`z` and `rN`, or a list too long to pass on) does it
// name a page outside the document itself.
//
// `-` as FILE reads the PDF from standard input and `-` as OUTFILE writes it
// to standard output, through temporary files (pipes.h). Status lines
// ("wrote ...") go to stdout, to stderr when stdout carries a PDF, and
// nowhere with -q.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "pagelist.h"
#include "pipes.h"
#include "reason.h"
#include "rorezide.h"

#ifndef ROREZIDE_VERSION
#error "ROREZIDE_VERSION must be defined by the build"
#endif

namespace {

// One run of a subcommand: its operands as the library gets them, with
// `-` replaced by the temporary files standing in for standard input and
// output, and where its status lines go.
struct invocation {
    std::vector<std::string> operands;
    std::string stdin_file;   // holds standard input, or ""
    std::string stdout_file;  // holds the PDF for standard output, or ""
    FILE *status;             // stdout, stderr, or null with -q
};

struct command;
typedef int (*command_run)(const command &cmd, invocation *inv);

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
    "  z         the last page, also as a range end: 2-z, z-1\n"
    "  r2        the second page from the end (r1 is the last), also as a\n"
    "            range end: r3-z\n"
    "  1-z:odd   the pages at odd positions of a range: 1, 3, 5, ...;\n"
    "            1-z:even: 2, 4, ...; positions count from the range's\n"
    "            start, so 9-5:odd is 9, 7, 5\n";

const char pipes_help[] =
    "FILE may be '-' to read the PDF from standard input, and OUTFILE '-' to\n"
    "write it to standard output; the status line then goes to standard\n"
    "error. For instance:\n"
    "  rorezide pages - 1-z:even - < in.pdf > even.pdf\n";

// The text with every occurrence of from replaced by to.
std::string text_replace(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos;
         at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The library's message as the user should read it: the temporary files
// named as the `-` they stand for, and the system's reason added when a
// file could not be opened.
int report_failure(const command &cmd, const invocation &inv)
{
    std::string message = rorezide_last_error();
    std::string reason = open_failure_reason(message);
    for (const std::string *temp : {&inv.stdin_file, &inv.stdout_file})
        message = text_replace(message, *temp, "-");
    if (!reason.empty())
        message += " (" + reason + ")";
    std::fprintf(stderr, "rorezide %s: %s\n", cmd.name, message.c_str());
    return 1;
}

// A failure of the command's own (standard input or output).
int report_error(const command &cmd, const std::string &what)
{
    std::fprintf(stderr, "rorezide %s: %s\n", cmd.name, what.c_str());
    return 1;
}

int usage_error(const command &cmd, const std::string &what)
{
    std::fprintf(stderr, "rorezide %s: %s\nusage: rorezide %s %s\n"
                 "Run 'rorezide %s --help' for details.\n",
                 cmd.name, what.c_str(), cmd.name, cmd.operands, cmd.name);
    return 2;
}

void status_print(const invocation &inv, const char *format, ...)
{
    if (!inv.status)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(inv.status, format, args);
    va_end(args);
}

const char *plural(int n)
{
    return n == 1 ? "" : "s";
}

// The page count of FILE into *pages. Returns 0 or the exit status to end
// with.
int document_page_count(const command &cmd, const invocation &inv, int *pages)
{
    *pages = rorezide_page_count(inv.operands[0].c_str());
    return *pages < 0 ? report_failure(cmd, inv) : 0;
}

// Names the first range end outside the document, if any. Returns 0 or the
// exit status to end with.
int check_inside(const command &cmd, const std::vector<page_span> &spans, int pages)
{
    std::string page;
    if (!pagelist_find_outside(spans, pages, &page))
        return 0;
    return report_error(cmd, "page " + page + " is outside the document (it has " +
                                 std::to_string(pages) + " page" + plural(pages) + ")");
}

// Reads operand `what` (N) as an int; a usage error otherwise.
bool operand_to_int(const command &cmd, const char *what, const std::string &text, int *value,
                    int *status)
{
    if (arg_to_int(text, value))
        return true;
    *status = usage_error(cmd, std::string(what) + " must be an integer, not '" + text + "'");
    return false;
}

// Reads operand `what` (FIRST, LAST) as an int, `z` or `rN`; a usage error
// otherwise.
bool operand_to_bound(const command &cmd, const char *what, const std::string &text,
                      page_bound *bound, int *status)
{
    int value = 0;
    std::string error;
    if (arg_to_int(text, &value)) {
        *bound = {value, false};
        return true;
    }
    if (page_bound_parse(text, bound, &error) && bound->from_end)
        return true;
    *status = usage_error(cmd, std::string(what) + " must be an integer, z or rN, not '" +
                                   text + "'");
    return false;
}

// Turns LIST into page numbers. The page count is asked for when the list
// counts from the end, and then every page is checked against it. A list
// too long to pass on is more likely a mistaken page than a wish for
// millions of pages, so the count is asked for then too, and a page outside
// the document named first. A file the library cannot read fails here with
// its message. Returns 0 or the exit status to end with.
int operand_to_pages(const command &cmd, const invocation &inv, const std::string &text,
                     std::vector<int> *pages)
{
    std::vector<page_span> spans;
    std::string error;
    if (!pagelist_parse(text, &spans, &error))
        return usage_error(cmd, "bad page list '" + text + "': " + error);
    int page_count = -1;
    int status = 0;
    if (pagelist_counts_from_end(spans) &&
        ((status = document_page_count(cmd, inv, &page_count)) ||
         (status = check_inside(cmd, spans, page_count))))
        return status;
    if (!pagelist_expand(spans, page_count, pages, &error)) {
        if (page_count < 0 && ((status = document_page_count(cmd, inv, &page_count)) ||
                               (status = check_inside(cmd, spans, page_count))))
            return status;
        return usage_error(cmd, "bad page list '" + text + "': " + error);
    }
    if (pages->empty())
        return usage_error(cmd, "bad page list '" + text + "': it selects no pages");
    return 0;
}

// "page_001.pdf" and the like: the names the library gives numbered files.
std::string numbered_name(const char *stem, int width, int n)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_%0*d.pdf", stem, width, n);
    return name;
}

void print_files_written(const invocation &inv, const char *stem, int width, int files)
{
    const char *dir = inv.operands.back().c_str();
    std::string first = numbered_name(stem, width, 1);
    if (files == 1)
        status_print(inv, "wrote 1 file to %s: %s\n", dir, first.c_str());
    else
        status_print(inv, "wrote %d files to %s: %s to %s\n", files, dir, first.c_str(),
                     numbered_name(stem, width, files).c_str());
}

// After range, pages and remove: the PDF goes to standard output when it
// was asked for there, then the status line follows.
int finish_file(const command &cmd, const invocation &inv)
{
    std::string error;
    if (!inv.stdout_file.empty() && !file_to_stdout(inv.stdout_file, &error))
        return report_error(cmd, error);
    if (!inv.status)
        return 0;
    const std::string &path = inv.operands.back();
    int pages = rorezide_page_count(path.c_str());
    if (!inv.stdout_file.empty() && pages >= 0)
        status_print(inv, "wrote %d page%s to standard output\n", pages, plural(pages));
    else if (!inv.stdout_file.empty())
        status_print(inv, "wrote standard output\n");
    else if (pages >= 0)
        status_print(inv, "wrote %s (%d page%s)\n", path.c_str(), pages, plural(pages));
    else
        status_print(inv, "wrote %s\n", path.c_str());
    return 0;
}

int run_count(const command &cmd, invocation *inv)
{
    int pages = 0;
    if (int status = document_page_count(cmd, *inv, &pages))
        return status;
    std::printf("%d\n", pages);
    return 0;
}

int run_burst(const command &cmd, invocation *inv)
{
    const char *in = inv->operands[0].c_str();
    if (!rorezide_all(in, inv->operands[1].c_str()))
        return report_failure(cmd, *inv);
    int pages = inv->status ? rorezide_page_count(in) : 0;
    int width = pages <= 999 ? 3 : pages <= 9999 ? 4 : 5;
    if (pages > 0)
        print_files_written(*inv, "page", width, pages);
    return 0;
}

int run_range(const command &cmd, invocation *inv)
{
    page_span span = {{0, false}, {0, false}, parity_all};
    int status = 0;
    if (!operand_to_bound(cmd, "FIRST", inv->operands[1], &span.from, &status) ||
        !operand_to_bound(cmd, "LAST", inv->operands[2], &span.to, &status))
        return status;
    int page_count = 0;
    if (span.from.from_end || span.to.from_end) {
        if ((status = document_page_count(cmd, *inv, &page_count)) ||
            (status = check_inside(cmd, {span}, page_count)))
            return status;
    }
    int first = static_cast<int>(page_bound_value(span.from, page_count));
    int last = static_cast<int>(page_bound_value(span.to, page_count));
    if (!rorezide_range(inv->operands[0].c_str(), first, last, inv->operands[3].c_str()))
        return report_failure(cmd, *inv);
    return finish_file(cmd, *inv);
}

int run_pages(const command &cmd, invocation *inv)
{
    std::vector<int> pages;
    if (int status = operand_to_pages(cmd, *inv, inv->operands[1], &pages))
        return status;
    if (!rorezide_pages(inv->operands[0].c_str(), pages.data(), static_cast<int>(pages.size()),
                        inv->operands[2].c_str()))
        return report_failure(cmd, *inv);
    return finish_file(cmd, *inv);
}

int run_chunks(const command &cmd, invocation *inv)
{
    int n = 0, status = 0;
    if (!operand_to_int(cmd, "N", inv->operands[1], &n, &status))
        return status;
    const char *in = inv->operands[0].c_str();
    if (!rorezide_every_n(in, n, inv->operands[2].c_str()))
        return report_failure(cmd, *inv);
    int pages = inv->status ? rorezide_page_count(in) : 0;
    // P / n rounded up, without overflowing when n is near INT_MAX.
    int chunks = pages / n + (pages % n != 0 ? 1 : 0);
    if (pages > 0)
        print_files_written(*inv, "split", chunks <= 999 ? 3 : 4, chunks);
    return 0;
}

int run_remove(const command &cmd, invocation *inv)
{
    std::vector<int> pages;
    if (int status = operand_to_pages(cmd, *inv, inv->operands[1], &pages))
        return status;
    if (!rorezide_remove(inv->operands[0].c_str(), pages.data(), static_cast<int>(pages.size()),
                         inv->operands[2].c_str()))
        return report_failure(cmd, *inv);
    return finish_file(cmd, *inv);
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
     "Writes pages FIRST to LAST of FILE, both included, to OUTFILE. FIRST and\n"
     "LAST are page numbers, z (the last page) or rN (the N-th page from the\n"
     "end; r1 is the last).\n",
     run_range},
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

const command *command_find(const std::string &name)
{
    for (const command &c : commands)
        if (name == c.name)
            return &c;
    return nullptr;
}

bool command_has(const command &cmd, const char *operand)
{
    return std::strstr(cmd.operands, operand) != nullptr;
}

bool is_help_flag(const std::string &arg)
{
    return arg == "-h" || arg == "--help";
}

void print_command_help(const command &cmd)
{
    std::printf("usage: rorezide [-q] %s %s\n\n%s", cmd.name, cmd.operands, cmd.help);
    if (command_has(cmd, "LIST"))
        std::printf("%s", list_help);
    std::printf("\n%s", command_has(cmd, "OUTFILE")
                            ? pipes_help
                            : "FILE may be '-' to read the PDF from standard input.\n");
    if (std::strcmp(cmd.name, "count") != 0)
        std::printf("\n-q, --quiet: print no status line.\n");
}

void print_overview()
{
    std::printf("usage: rorezide [-q] COMMAND ARGUMENTS...\n"
                "       rorezide COMMAND --help\n"
                "       rorezide --version\n\n"
                "Writes new PDF files holding chosen pages of a PDF file.\n\n"
                "Commands:\n");
    for (const command &c : commands) {
        std::string head = std::string(c.name) + " " + c.operands;
        std::printf("  %-30s %s\n", head.c_str(), c.summary);
    }
    std::printf("\nOptions, before or after the command:\n"
                "  -q, --quiet   print no status lines (\"wrote ...\")\n"
                "  -h, --help    print this help, or the command's\n"
                "  --version     print the version\n"
                "  --            end of options: what follows are arguments\n\n"
                "%s\n%s\n"
                "Exit status: 0 on success, 1 when the PDF cannot be read or written or a\n"
                "page is outside it (the reason follows the command's name on stderr), 2\n"
                "for a usage error.\n",
                pipes_help, list_help);
}

int overall_usage_error(const std::string &what)
{
    std::fprintf(stderr, "rorezide: %s\nusage: rorezide [-q] COMMAND ARGUMENTS...\n"
                 "commands: count, burst, range, pages, chunks, remove\n"
                 "Run 'rorezide --help' for details.\n",
                 what.c_str());
    return 2;
}

// Replaces `-` as FILE and as OUTFILE by temporary files and sends status
// lines to stderr when stdout carries the PDF. Returns 0 or the exit status
// to end with.
int pipes_open(const command &cmd, invocation *inv)
{
    std::string error;
    std::string &out = inv->operands.back();
    if (out == "-" && command_has(cmd, "OUTDIR"))
        return usage_error(cmd, "OUTDIR cannot be '-': the command writes several files");
    if (out == "-" && command_has(cmd, "OUTFILE")) {
        if ((inv->stdout_file = temp_file_create(&error)).empty())
            return report_error(cmd, error);
        out = inv->stdout_file;
        if (inv->status)
            inv->status = stderr;
    }
    if (inv->operands[0] == "-") {
        if ((inv->stdin_file = temp_file_create(&error)).empty() ||
            !stdin_to_file(inv->stdin_file, &error))
            return report_error(cmd, error);
        inv->operands[0] = inv->stdin_file;
    }
    return 0;
}

int run(int argc, char **argv)
{
    std::vector<std::string> words;
    bool quiet = false, help = false, options_done = false;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (options_done) {
            words.push_back(arg);
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (is_help_flag(arg)) {
            help = true;
        } else if (arg == "--version") {
            std::printf("rorezide %s\n", ROREZIDE_VERSION);
            return 0;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty() && help) {
        print_overview();
        return 0;
    }
    if (words.empty())
        return overall_usage_error("no command given");
    const command *cmd = command_find(words[0]);
    if (!cmd)
        return overall_usage_error("unknown command '" + words[0] + "'");
    if (help) {
        print_command_help(*cmd);
        return 0;
    }
    invocation inv;
    inv.operands.assign(words.begin() + 1, words.end());
    inv.status = quiet ? nullptr : stdout;
    int given = static_cast<int>(inv.operands.size());
    if (given != cmd->operand_count)
        return usage_error(*cmd, std::string(given < cmd->operand_count ? "too few" : "too many") +
                                     " arguments");
    if (int status = pipes_open(*cmd, &inv))
        return status;
    return cmd->run(*cmd, &inv);
}

}  // namespace

int main(int argc, char **argv)
{
    // The library itself never throws; what can is this host's own use of
    // the standard library (a page list too large for memory).
    int status;
    try {
        status = run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "rorezide: %s\n", e.what());
        status = 1;
    }
    temp_files_remove();
    return status;
}
