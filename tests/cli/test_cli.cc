// The rorezide command, run as a program: its subcommands, page lists, exit
// statuses and the way library messages reach stderr.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "rorezide.h"
#include "support/fixture.h"
#include "support/pdf_check.h"

namespace {

const std::string sample = ROREZIDE_SOURCE_DIR "/examples/sample.pdf";

// A temp directory holding in.pdf, simple_pdf(pages) (page k is object
// k + 2), removed on scope exit.
struct workspace {
    std::string dir = make_temp_dir();
    std::string in = dir + "/in.pdf";
    explicit workspace(int pages) { write_file(in, simple_pdf(pages)); }
    ~workspace() { remove_tree(dir); }
    std::string path(const std::string &name) const { return dir + "/" + name; }
};

struct cli_result {
    int status;
    std::string out;
    std::string err;
};

// Runs the built command with these arguments; stderr goes through a file
// in the workspace. Standard input comes from the file stdin_path, standard
// output goes to the file stdout_path, when given.
cli_result run_cli(const workspace &w, const std::vector<std::string> &args,
                   const std::string &stdin_path = "", const std::string &stdout_path = "")
{
    std::string cmd = shell_quote(ROREZIDE_CLI);
    for (const std::string &a : args)
        cmd += " " + shell_quote(a);
    std::string err_path = w.path("stderr.txt");
    cmd += " 2>" + shell_quote(err_path);
    if (!stdin_path.empty())
        cmd += " <" + shell_quote(stdin_path);
    if (!stdout_path.empty())
        cmd += " >" + shell_quote(stdout_path);
    cli_result r;
    r.status = run_command(cmd, &r.out);
    // The command writes text: on Windows its lines end in CR LF.
    r.err = read_file(err_path);
    for (size_t cr; (cr = r.err.find("\r\n")) != std::string::npos;)
        r.err.erase(cr, 1);
    return r;
}

// The pages of simple_pdf an output holds, in output order, from the page
// objects its new pages node lists.
std::vector<int> simple_pages_of(const std::string &path)
{
    std::string pdf = read_file(path);
    EXPECT_EQ(check_layout(pdf), "") << path;
    std::vector<int> pages;
    for (int num : page_kids(pdf))
        pages.push_back(num - 2);
    return pages;
}

// The "Page N of 12" headings of a file made from the sample, in page
// order, read with pdftotext.
std::vector<int> sample_pages_of(const std::string &path)
{
    std::string text;
    EXPECT_EQ(run_command("pdftotext -layout " + shell_quote(path) + " -", &text), 0);
    std::vector<int> pages;
    size_t pos = 0;
    while ((pos = text.find("Page ", pos)) != std::string::npos) {
        pos += 5;
        size_t end = text.find(" of 12", pos);
        if (end != std::string::npos && end - pos <= 2)
            pages.push_back(std::stoi(text.substr(pos, end - pos)));
    }
    return pages;
}

std::vector<int> range(int first, int last)
{
    std::vector<int> v;
    for (int p = first; first <= last ? p <= last : p >= last; p += first <= last ? 1 : -1)
        v.push_back(p);
    return v;
}

// The names in a directory.
std::vector<std::string> dir_entries(const std::string &dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(std::filesystem::u8path(dir), ec))
        names.push_back(e.path().filename().u8string());
    return names;
}

// Points the command's temporary directory (TMPDIR; TMP on Windows) at a
// directory of the workspace while it lives, so that what the command
// leaves there can be seen.
struct temp_dir_env {
    std::string dir;
    explicit temp_dir_env(const workspace &w) : dir(w.path("tmp"))
    {
        make_dir(dir);
        env_set(dir.c_str());
    }
    ~temp_dir_env() { env_set(nullptr); }
    // What the command left in the directory.
    std::vector<std::string> left() const { return dir_entries(dir); }
#ifdef _WIN32
    static void env_set(const char *value) { _putenv_s("TMP", value ? value : ""); }
#else
    static void env_set(const char *value)
    {
        if (value)
            setenv("TMPDIR", value, 1);
        else
            unsetenv("TMPDIR");
    }
#endif
};

// Asserts a usage error: status 2, the subcommand's usage line on stderr,
// nothing on stdout and no output file.
void expect_usage_error(const cli_result &r, const std::string &usage,
                        const std::string &out_path)
{
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(usage), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(file_exists(out_path));
}

}  // namespace

TEST(CliCount, PrintsThePageCount)
{
    workspace w(3);
    cli_result r = run_cli(w, {"count", w.in});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "3\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(run_cli(w, {"count", sample}).out, "12\n");
}

TEST(CliCount, LibraryMessageReachesStderrWithTheCommandName)
{
    workspace w(1);
    std::string missing = w.path("missing.pdf");
    cli_result r = run_cli(w, {"count", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "rorezide count: Cannot open input file '" + missing +
                         "' (No such file or directory)\n");

    write_file(w.path("junk.pdf"), "%PDF-1.4\nnothing here\n");
    EXPECT_EQ(rorezide_page_count(w.path("junk.pdf").c_str()), -1);
    std::string expected = std::string("rorezide count: ") + rorezide_last_error() + "\n";
    r = run_cli(w, {"count", w.path("junk.pdf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, expected);
}

TEST(CliBurst, WritesOneFilePerPageAndSaysWhere)
{
    workspace w(12);
    std::string out = w.path("out/nested");
    cli_result r = run_cli(w, {"burst", w.in, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 12 files to " + out + ": page_001.pdf to page_012.pdf\n");
    for (int k = 1; k <= 12; k++) {
        char name[32];
        std::snprintf(name, sizeof name, "/page_%03d.pdf", k);
        EXPECT_EQ(simple_pages_of(out + name), std::vector<int>{k}) << name;
    }
    EXPECT_FALSE(file_exists(out + "/page_013.pdf"));

    workspace one(1);
    r = run_cli(one, {"burst", one.in, one.path("o")});
    EXPECT_EQ(r.out, "wrote 1 file to " + one.path("o") + ": page_001.pdf\n");
}

TEST(CliBurst, WriterFailureIsStatusOne)
{
    workspace w(2);
    write_file(w.path("file"), "x");
    std::string dir = w.path("file/sub");
    cli_result r = run_cli(w, {"burst", w.in, dir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // The reason differs between systems ("Not a directory" on Linux).
    std::string message = "rorezide burst: Cannot open output file '" + dir +
                          "/page_001.pdf' for writing (";
    EXPECT_EQ(r.err.rfind(message, 0), 0u) << r.err;
}

TEST(CliBurst, NonAsciiInputNameAndOutputDirectory)
{
    // On Windows the command's manifest makes UTF-8 its ANSI code page:
    // without it, these names would not survive the trip from its command
    // line to the C runtime.
    workspace w(1);
    std::string in = w.path("\u00dcbersicht-\u6587\u66f8.pdf");
    write_file(in, simple_pdf(3));
    std::string out = w.path("Ausgabe-\u00df-\u51fa\u529b");
    cli_result r = run_cli(w, {"burst", in, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 3 files to " + out + ": page_001.pdf to page_003.pdf\n");
    EXPECT_EQ(simple_pages_of(out + "/page_003.pdf"), std::vector<int>{3});
    EXPECT_EQ(run_cli(w, {"count", in}).out, "3\n");
}

TEST(CliRange, WritesTheRange)
{
    workspace w(6);
    cli_result r = run_cli(w, {"range", w.in, "2", "4", w.path("r.pdf")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + w.path("r.pdf") + " (3 pages)\n");
    EXPECT_EQ(simple_pages_of(w.path("r.pdf")), range(2, 4));

    ASSERT_EQ(run_cli(w, {"range", w.in, "+5", "5", w.path("one.pdf")}).status, 0);
    EXPECT_EQ(simple_pages_of(w.path("one.pdf")), std::vector<int>{5});
}

TEST(CliRange, OutOfRangeIntegersGoToTheLibrary)
{
    workspace w(3);
    std::string out = w.path("r.pdf");
    cli_result r = run_cli(w, {"range", w.in, "0", "5", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "rorezide range: Invalid page range 0 to 5 (document has 3 pages)\n");
    r = run_cli(w, {"range", w.in, "-2147483648", "2147483647", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "rorezide range: Invalid page range -2147483648 to 2147483647 "
                     "(document has 3 pages)\n");
    r = run_cli(w, {"range", w.in, "3", "2", out});
    EXPECT_EQ(r.err, "rorezide range: Invalid page range 3 to 2 (document has 3 pages)\n");
    EXPECT_FALSE(file_exists(out));
}

TEST(CliRange, NonIntegersAreUsageErrors)
{
    workspace w(3);
    std::string out = w.path("r.pdf");
    const char *usage = "usage: rorezide range FILE FIRST LAST OUTFILE";
    for (const char *bad : {"x", "1.5", "", "2a", "0x2", "2147483648", "-2147483649", "-"}) {
        expect_usage_error(run_cli(w, {"range", w.in, bad, "3", out}), usage, out);
        expect_usage_error(run_cli(w, {"range", w.in, "1", bad, out}), usage, out);
    }
    for (const char *bad : {"r", "rz", "r-1", "Z", "zz"})
        expect_usage_error(run_cli(w, {"range", w.in, bad, "3", out}), usage, out);
    cli_result r = run_cli(w, {"range", w.in, "x", "3", out});
    EXPECT_NE(r.err.find("FIRST must be an integer, z or rN, not 'x'"), std::string::npos)
        << r.err;
}

TEST(CliRange, FirstAndLastCountFromTheEnd)
{
    workspace w(6);
    struct {
        const char *first, *last;
        std::vector<int> pages;
    } cases[] = {
        {"5", "z", range(5, 6)},
        {"r3", "z", range(4, 6)},
        {"z", "z", {6}},
        {"r6", "r2", range(1, 5)},
    };
    for (auto &c : cases) {
        std::string out = w.path("r.pdf");
        cli_result r = run_cli(w, {"range", w.in, c.first, c.last, out});
        ASSERT_EQ(r.status, 0) << c.first << "-" << c.last << ": " << r.err;
        EXPECT_EQ(simple_pages_of(out), c.pages) << c.first << "-" << c.last;
    }
    cli_result r = run_cli(w, {"range", w.in, "r7", "z", w.path("x.pdf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "rorezide range: page r7 is outside the document (it has 6 pages)\n");
    r = run_cli(w, {"range", w.in, "z", "2", w.path("x.pdf")});
    EXPECT_EQ(r.err, "rorezide range: Invalid page range 6 to 2 (document has 6 pages)\n");
    EXPECT_FALSE(file_exists(w.path("x.pdf")));
}

TEST(CliPages, ListSyntax)
{
    workspace w(10);
    struct {
        const char *list;
        std::vector<int> pages;
    } cases[] = {
        {"3,1,5-7", {3, 1, 5, 6, 7}},
        {"9-7", {9, 8, 7}},
        {"z", {10}},
        {"2-z", range(2, 10)},
        {"z-1", range(10, 1)},
        {"z-z", {10}},
        {"4-4", {4}},
        {"2,2,z,2", {2, 2, 10, 2}},
        {"1-3,3-1", {1, 2, 3, 3, 2, 1}},
        {"007", {7}},
        {"r1", {10}},
        {"r3-z", range(8, 10)},
        {"z-r3", range(10, 8)},
        {"1,r10", {1, 1}},
        {"1-z:odd", {1, 3, 5, 7, 9}},
        {"1-z:even", {2, 4, 6, 8, 10}},
        {"9-4:odd", {9, 7, 5}},
        {"r2-2:even,1", {8, 6, 4, 2, 1}},
    };
    for (auto &c : cases) {
        std::string out = w.path("p.pdf");
        cli_result r = run_cli(w, {"pages", w.in, c.list, out});
        ASSERT_EQ(r.status, 0) << c.list << ": " << r.err;
        EXPECT_EQ(simple_pages_of(out), c.pages) << c.list;
        EXPECT_EQ(rorezide_page_count(out.c_str()), static_cast<int>(c.pages.size())) << c.list;
    }
}

TEST(CliPages, NumbersOutsideTheDocumentGoToTheLibrary)
{
    workspace w(3);
    std::string out = w.path("p.pdf");
    cli_result r = run_cli(w, {"pages", w.in, "1,0", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "rorezide pages: Page index 0 out of range (document has 3 pages)\n");
    r = run_cli(w, {"pages", w.in, "2,99,0", out});
    EXPECT_EQ(r.err, "rorezide pages: Page index 99 out of range (document has 3 pages)\n");
    // With the page count known (for z and rN, or a list too long to pass
    // on) the command names the page itself, as typed.
    struct {
        const char *list;
        const char *page;
    } cases[] = {
        {"z-4", "4"},
        {"r4", "r4"},
        {"1,r2-r9:odd", "r9"},
        {"1-20000000", "20000000"},
        {"0-16777216", "0"},
    };
    for (auto &c : cases) {
        r = run_cli(w, {"pages", w.in, c.list, out});
        EXPECT_EQ(r.status, 1) << c.list;
        EXPECT_EQ(r.err, std::string("rorezide pages: page ") + c.page +
                             " is outside the document (it has 3 pages)\n")
            << c.list;
    }
    r = run_cli(w, {"remove", w.in, "1-99999999", out});
    EXPECT_EQ(r.err, "rorezide remove: page 99999999 is outside the document (it has 3 pages)\n");
    EXPECT_FALSE(file_exists(out));
}

TEST(CliPages, LastPageNeedsAReadableFile)
{
    workspace w(1);
    std::string missing = w.path("missing.pdf");
    cli_result r = run_cli(w, {"pages", missing, "1-z", w.path("p.pdf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "rorezide pages: Cannot open input file '" + missing +
                         "' (No such file or directory)\n");
}

TEST(CliPages, MalformedListsAreUsageErrors)
{
    workspace w(3);
    std::string out = w.path("p.pdf");
    for (const char *bad : {"", ",", "1,", ",1", "1,,2", "a", "Z", "1-", "-3", "1-2-3", "1, 2",
                            " 1", "3x", "z1", "1..3", "1;2", "99999999999", "r", "r-2", "rr1",
                            "1-3:", "1-3:odd:odd", "2:even", "1-3;odd", "2-2:even"}) {
        cli_result r = run_cli(w, {"pages", w.in, bad, out});
        expect_usage_error(r, "usage: rorezide pages FILE LIST OUTFILE", out);
        EXPECT_NE(r.err.find("rorezide pages: bad page list '" + std::string(bad) + "'"),
                  std::string::npos)
            << r.err;
    }
}

TEST(CliChunks, WritesCeilingOfPagesOverNFiles)
{
    workspace w(12);
    std::string out = w.path("chunks");
    cli_result r = run_cli(w, {"chunks", w.in, "5", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 3 files to " + out + ": split_001.pdf to split_003.pdf\n");
    EXPECT_EQ(simple_pages_of(out + "/split_001.pdf"), range(1, 5));
    EXPECT_EQ(simple_pages_of(out + "/split_002.pdf"), range(6, 10));
    EXPECT_EQ(simple_pages_of(out + "/split_003.pdf"), range(11, 12));
    EXPECT_FALSE(file_exists(out + "/split_004.pdf"));

    r = run_cli(w, {"chunks", w.in, "2147483647", w.path("big")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 1 file to " + w.path("big") + ": split_001.pdf\n");
    EXPECT_EQ(rorezide_page_count(w.path("big/split_001.pdf").c_str()), 12);
}

TEST(CliChunks, ChunkSizeChecks)
{
    workspace w(3);
    std::string out = w.path("c");
    cli_result r = run_cli(w, {"chunks", w.in, "0", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "rorezide chunks: Invalid chunk size n = 0 (must be >= 1)\n");
    r = run_cli(w, {"chunks", w.in, "-4", out});
    EXPECT_EQ(r.err, "rorezide chunks: Invalid chunk size n = -4 (must be >= 1)\n");
    expect_usage_error(run_cli(w, {"chunks", w.in, "two", out}),
                       "usage: rorezide chunks FILE N OUTDIR", out);
}

TEST(CliRemove, KeepsTheOtherPagesInDocumentOrder)
{
    workspace w(5);
    std::string out = w.path("rest.pdf");
    cli_result r = run_cli(w, {"remove", w.in, "4,2,2", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + out + " (3 pages)\n");
    EXPECT_EQ(simple_pages_of(out), (std::vector<int>{1, 3, 5}));

    ASSERT_EQ(run_cli(w, {"remove", w.in, "z", out}).status, 0);
    EXPECT_EQ(simple_pages_of(out), range(1, 4));
    ASSERT_EQ(run_cli(w, {"remove", w.in, "z-2", out}).status, 0);
    EXPECT_EQ(simple_pages_of(out), std::vector<int>{1});
}

TEST(CliRemove, LibraryRefusals)
{
    workspace w(3);
    std::string out = w.path("rest.pdf");
    cli_result r = run_cli(w, {"remove", w.in, "1-z", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "rorezide remove: Cannot remove all pages from PDF (0 pages remaining)\n");
    r = run_cli(w, {"remove", w.in, "0", out});
    EXPECT_EQ(r.err, "rorezide remove: Page index 0 out of range (1..3)\n");
    EXPECT_FALSE(file_exists(out));
    expect_usage_error(run_cli(w, {"remove", w.in, "1,x", out}),
                       "usage: rorezide remove FILE LIST OUTFILE", out);
}

TEST(CliUsage, CommandAndArgumentCountErrors)
{
    workspace w(1);
    cli_result r = run_cli(w, {});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: rorezide [-q] COMMAND"), std::string::npos) << r.err;
    r = run_cli(w, {"split", w.in});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown command 'split'"), std::string::npos) << r.err;
    r = run_cli(w, {"count"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: rorezide count FILE"), std::string::npos) << r.err;
    r = run_cli(w, {"range", w.in, "1", "1", w.path("a.pdf"), w.path("b.pdf")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("too many arguments"), std::string::npos) << r.err;
    EXPECT_FALSE(file_exists(w.path("a.pdf")));
}

TEST(CliUsage, HelpAndVersionGoToStdout)
{
    workspace w(1);
    for (const char *flag : {"--help", "-h"}) {
        cli_result r = run_cli(w, {flag});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        for (const char *name : {"count", "burst", "range", "pages", "chunks", "remove"})
            EXPECT_NE(r.out.find(std::string("  ") + name + " FILE"), std::string::npos) << name;
    }
    cli_result r = run_cli(w, {"pages", "-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: rorezide [-q] pages FILE LIST OUTFILE\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("2-z"), std::string::npos);
    r = run_cli(w, {"range", w.in, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: rorezide [-q] range FILE FIRST LAST OUTFILE\n", 0), 0u) << r.out;

    r = run_cli(w, {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "rorezide " ROREZIDE_VERSION "\n");
}

TEST(CliSample, ListsPickTheRightPagesOfTheSample)
{
    if (!have_tool("pdftotext"))
        GTEST_SKIP() << "pdftotext not installed";
    workspace w(1);
    std::string out = w.path("p.pdf");
    ASSERT_EQ(run_cli(w, {"pages", sample, "z,3,9-7", out}).status, 0);
    EXPECT_EQ(sample_pages_of(out), (std::vector<int>{12, 3, 9, 8, 7}));
    ASSERT_EQ(run_cli(w, {"remove", sample, "2-z", out}).status, 0);
    EXPECT_EQ(sample_pages_of(out), std::vector<int>{1});
    ASSERT_EQ(run_cli(w, {"burst", sample, w.path("b")}).status, 0);
    EXPECT_EQ(sample_pages_of(w.path("b/page_006.pdf")), std::vector<int>{6});
    EXPECT_EQ(sample_pages_of(w.path("b/page_012.pdf")), std::vector<int>{12});
}

TEST(CliMessages, SystemReasonFollowsTheLibrarysText)
{
    workspace w(2);
    std::string missing = w.path("missing.pdf");
    std::string out = w.path("o.pdf");
    make_dir(w.path("dir"));
    struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"count", missing},
         "rorezide count: Cannot open input file '" + missing + "' (No such file or directory)"},
        {{"count", w.path("dir")},
         "rorezide count: Cannot open input file '" + w.path("dir") + "' (Is a directory)"},
        {{"pages", missing, "1", out},
         "rorezide pages: Cannot open input file '" + missing + "' (No such file or directory)"},
        {{"range", w.in, "1", "2", w.path("no/such/o.pdf")},
         "rorezide range: Cannot open output file '" + w.path("no/such/o.pdf") +
             "' for writing (No such file or directory)"},
        {{"remove", w.in, "1", w.path("dir")},
         "rorezide remove: Cannot open output file '" + w.path("dir") +
             "' for writing (Is a directory)"},
    };
    for (auto &c : cases) {
        cli_result r = run_cli(w, c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.err, c.message + "\n");
    }
    EXPECT_FALSE(file_exists(out));
}

// A PDF through standard input and standard output: the same bytes as from
// file to file, nothing else on stdout, the status line on stderr, and no
// temporary file left behind.
TEST(CliPipes, StdinAndStdoutMatchFileToFile)
{
    workspace w(7);
    temp_dir_env tmp(w);
    std::vector<std::vector<std::string>> runs = {
        {"range", "2", "z"}, {"pages", "r1,1-z:even"}, {"remove", "3-5"}};
    for (const std::vector<std::string> &run : runs) {
        std::vector<std::string> file_args = run, pipe_args = run;
        file_args.insert(file_args.begin() + 1, w.in);
        file_args.push_back(w.path("file.pdf"));
        pipe_args.insert(pipe_args.begin() + 1, "-");
        pipe_args.push_back("-");
        ASSERT_EQ(run_cli(w, file_args).status, 0) << run[0];
        std::string expected = read_file(w.path("file.pdf"));
        int pages = rorezide_page_count(w.path("file.pdf").c_str());

        cli_result r = run_cli(w, pipe_args, w.in, w.path("pipe.pdf"));
        EXPECT_EQ(r.status, 0) << run[0] << ": " << r.err;
        EXPECT_EQ(read_file(w.path("pipe.pdf")), expected) << run[0];
        EXPECT_EQ(r.err, "wrote " + std::to_string(pages) + " pages to standard output\n");
        EXPECT_EQ(tmp.left(), std::vector<std::string>{}) << run[0];

        // One end a pipe, the other a file.
        std::vector<std::string> to_file = pipe_args;
        to_file.back() = w.path("half.pdf");
        r = run_cli(w, to_file, w.in);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "wrote " + w.path("half.pdf") + " (" + std::to_string(pages) +
                             " pages)\n");
        EXPECT_EQ(read_file(w.path("half.pdf")), expected) << run[0];
        EXPECT_EQ(tmp.left(), std::vector<std::string>{}) << run[0];
    }
    cli_result r = run_cli(w, {"count", "-"}, w.in);
    EXPECT_EQ(r.out, "7\n");
    r = run_cli(w, {"burst", "-", w.path("b")}, w.in);
    EXPECT_EQ(r.out, "wrote 7 files to " + w.path("b") + ": page_001.pdf to page_007.pdf\n");
    ASSERT_EQ(run_cli(w, {"range", w.in, "7", "7", w.path("p7.pdf")}).status, 0);
    EXPECT_EQ(read_file(w.path("b/page_007.pdf")), read_file(w.path("p7.pdf")));
    EXPECT_EQ(tmp.left(), std::vector<std::string>{});
}

TEST(CliPipes, FailuresLeaveNoTemporaryFile)
{
    workspace w(3);
    temp_dir_env tmp(w);
    write_file(w.path("junk"), "this is not a PDF, and long enough to be read as one");
    EXPECT_EQ(rorezide_page_count(w.path("junk").c_str()), -1);
    std::string junk_message = rorezide_last_error();
    struct {
        std::vector<std::string> args;
        std::string input;
        int status;
    } cases[] = {
        {{"pages", "-", "1", "-"}, w.path("junk"), 1},
        {{"pages", "-", "z", "-"}, w.path("junk"), 1},
        {{"range", "-", "1", "9", "-"}, w.in, 1},
        {{"pages", "-", "r9", "-"}, w.in, 1},
        {{"remove", "-", "1,x", "-"}, w.in, 2},
        {{"burst", w.in, "-"}, w.in, 2},
    };
    for (auto &c : cases) {
        cli_result r = run_cli(w, c.args, c.input, w.path("out.pdf"));
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[2] << ": " << r.err;
        EXPECT_EQ(read_file(w.path("out.pdf")), "") << c.args[0] << " " << c.args[2];
        EXPECT_EQ(tmp.left(), std::vector<std::string>{}) << c.args[0] << " " << c.args[2];
    }
    // The library's message names standard input as the '-' it was given.
    cli_result r = run_cli(w, {"count", "-"}, w.path("junk"));
    std::string named = junk_message.substr(0, junk_message.find('\'')) + "'-'";
    EXPECT_EQ(r.err, "rorezide count: " + named + "\n");
}

TEST(CliQuiet, SilencesStatusLinesOnly)
{
    workspace w(4);
    for (const char *flag : {"-q", "--quiet"}) {
        cli_result r = run_cli(w, {flag, "burst", w.in, w.path("b")});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out + r.err, "");
        r = run_cli(w, {"chunks", w.in, "3", w.path("c"), flag});
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_TRUE(file_exists(w.path("c/split_002.pdf")));
        r = run_cli(w, {"range", flag, "-", "1", "2", "-"}, w.in, w.path("r.pdf"));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(rorezide_page_count(w.path("r.pdf").c_str()), 2);
        EXPECT_EQ(run_cli(w, {flag, "count", w.in}).out, "4\n");
    }
    cli_result r = run_cli(w, {"-q", "count", w.path("missing.pdf")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err, "");
    // After "--", "-q" is an argument like any other.
    r = run_cli(w, {"count", "--", "-q"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("rorezide count: Cannot open input file '-q'", 0), 0u) << r.err;
}
