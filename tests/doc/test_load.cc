// Whole loads: the file-level checks, and page counts of files made by real
// producers compared with qpdf's count of the same file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <string>
#include <vector>

#include "base/error.h"
#include "doc/doc_helpers.h"
#include "rorezide.h"

namespace {

std::string message()
{
    return g_err;
}

// A PostScript program with n pages of text, every third one rotated by
// setpagedevice, for Ghostscript to turn into PDF.
std::string postscript_pages(int n)
{
    std::string ps = "%!PS\n/Helvetica findfont 24 scalefont setfont\n";
    for (int i = 1; i <= n; i++) {
        if (i % 3 == 0)
            ps += "<< /PageSize [842 595] >> setpagedevice\n";
        else
            ps += "<< /PageSize [595 842] >> setpagedevice\n";
        ps += "72 400 moveto (Page " + std::to_string(i) + ") show showpage\n";
    }
    return ps;
}

int qpdf_pages(const std::string &path)
{
    std::string out;
    if (run_command("qpdf --show-npages '" + path + "' 2>/dev/null", &out) != 0)
        return -2;
    return std::atoi(out.c_str());
}

struct producer_case {
    std::string name;
    std::string path;
};

// Makes the same document through every producer available here.
std::vector<producer_case> producer_files(const std::string &dir, int pages)
{
    std::vector<producer_case> files;
    std::string base = dir + "/base.pdf";
    write_file(base, simple_pdf(pages));
    files.push_back({"fixture", base});
    if (have_tool("gs")) {
        write_file(dir + "/in.ps", postscript_pages(pages));
        std::string gs = dir + "/gs.pdf";
        if (run_command("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile='" + gs + "' '" +
                        dir + "/in.ps' >/dev/null 2>&1") == 0)
            files.push_back({"ghostscript", gs});
    }
    std::string src = files.back().path;
    if (have_tool("pdftocairo")) {
        std::string cairo = dir + "/cairo.pdf";
        if (run_command("pdftocairo -pdf '" + src + "' '" + cairo + "' >/dev/null 2>&1") == 0)
            files.push_back({"cairo", cairo});
    }
    if (have_tool("qpdf")) {
        const char *modes[][2] = {{"qpdf-plain", "--object-streams=disable"},
                                  {"qpdf-objstm", "--object-streams=generate"},
                                  {"qpdf-linear", "--linearize"},
                                  {"qpdf-qdf", "--qdf"},
                                  {"qpdf-objstm-linear", "--linearize --object-streams=generate"}};
        for (auto &m : modes) {
            std::string out = dir + "/" + m[0] + ".pdf";
            if (run_command(std::string("qpdf ") + m[1] + " '" + src + "' '" + out +
                            "' >/dev/null 2>&1") == 0)
                files.push_back({m[0], out});
        }
    }
    return files;
}

}  // namespace

TEST(Load, HighestNumberMustFitTheFileOrAMillion)
{
    // Numbers up to the file size, or up to 1,048,576 in a smaller file,
    // pass the check (these files then have no catalog).
    struct bound_case {
        int num;
        size_t size;
        bool refused;
    } cases[] = {
        {1048576, 100, false},
        {1048577, 100, true},
        {2000000, 2000000, false},
        {2000001, 2000000, true},
    };
    for (const bound_case &c : cases) {
        std::string f = " " + std::to_string(c.num) + " 0 obj 1 endobj";
        f += std::string(c.size - f.size(), ' ');
        pdf_doc doc;
        EXPECT_EQ(load_bytes(f, &doc), -1);
        std::string refusal = "object number " + std::to_string(c.num) + " out of range for a " +
                              std::to_string(c.size) + "-byte file";
        EXPECT_EQ(message() == refusal, c.refused) << message();
        doc_free(&doc);
    }
}

TEST(Load, EmptinessIsReportedBeforeEncryption)
{
    std::string f = "%PDF-1.4\ntrailer\n<< /Encrypt 3 0 R >>\nstartxref\n0\n%%EOF\n";
    pdf_doc doc;
    std::string path;
    EXPECT_EQ(load_bytes(f, &doc, &path), -1);
    EXPECT_EQ(message(), "No PDF objects found in '" + path + "'");
    doc_free(&doc);
    pdf_doc zero{};
    EXPECT_EQ(std::memcmp(&doc, &zero, sizeof doc), 0);
}

TEST(Load, FreedRecordIsZero)
{
    pdf_doc doc;
    EXPECT_EQ(doc_load(nullptr, &doc), -1);
    EXPECT_EQ(message(), "NULL input path");
    doc_free(&doc);
    ASSERT_EQ(load_bytes(simple_pdf(3), &doc), 0);
    EXPECT_EQ(doc.pages.count, 3);
    doc_free(&doc);
    pdf_doc zero{};
    EXPECT_EQ(std::memcmp(&doc, &zero, sizeof doc), 0);
    EXPECT_EQ(doc.root_num, 0);
}

TEST(Load, OnlyRegularFilesAreRead)
{
    std::string dir = make_temp_dir();
    write_file(dir + "/in.pdf", simple_pdf(2));
#ifdef _WIN32
    // Windows has no FIFOs: a directory and the null device.
    std::vector<std::string> refused = {dir, "NUL"};
#else
    std::string fifo = dir + "/fifo.pdf";
    std::string link = dir + "/link.pdf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("in.pdf", link.c_str()), 0);
    // A FIFO without a writer must not block the call.
    std::vector<std::string> refused = {dir, fifo, "/dev/null"};
    pdf_doc linked;
    EXPECT_EQ(doc_load(link.c_str(), &linked), 0);
    EXPECT_EQ(linked.pages.count, 2);
    doc_free(&linked);
#endif
    for (const std::string &path : refused) {
        pdf_doc doc;
        EXPECT_EQ(doc_load(path.c_str(), &doc), -1);
        EXPECT_EQ(message(), "Cannot open input file '" + path + "'");
        doc_free(&doc);
    }
    remove_tree(dir);
}

TEST(Load, AnIndexThatCannotGrowFailsTheLoad)
{
    objvec full{};
    full.count = full.cap = INT32_MAX / 2 + 1;
    objvec_push(&full, obj_entry{});
    EXPECT_EQ(full.count, INT32_MAX / 2 + 1);
    EXPECT_EQ(full.lost, 1);
#ifndef _WIN32
    // Four million headers need a 200 MB index; the command, run with an
    // address space of the file image plus 50 MB, finds no room for it.
    std::string f = "%PDF-1.4\n";
    for (int i = 0; i < 4000000; i++)
        f += "1 0 obj\n";
    std::string dir = make_temp_dir();
    write_file(dir + "/many.pdf", f);
    std::string out;
    run_command("ulimit -v " + std::to_string(f.size() / 1024 + 51200) + "; '" ROREZIDE_CLI
                "' count '" + dir + "/many.pdf' 2>&1", &out);
    EXPECT_EQ(out, "rorezide count: Out of memory\n");
    remove_tree(dir);
#endif
}

TEST(Load, ProducersAgreeWithQpdfOnPageCounts)
{
    if (!have_tool("qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    std::string dir = make_temp_dir();
    for (const producer_case &p : producer_files(dir, 7)) {
        int expected = qpdf_pages(p.path);
        EXPECT_EQ(rorezide_page_count(p.path.c_str()), expected)
            << p.name << ": " << rorezide_last_error();
    }
}

TEST(Load, DamagedFilesFailCleanly)
{
    std::string good = simple_pdf(4);
    std::string dir = make_temp_dir();
    std::string path = dir + "/cut.pdf";
    // Truncations: each loads (pages survive in the part kept) or fails with
    // one non-empty message.
    for (size_t len = 10; len < good.size(); len += 37) {
        write_file(path, good.substr(0, len));
        int n = rorezide_page_count(path.c_str());
        if (n < 0)
            EXPECT_STRNE(rorezide_last_error(), "") << len;
        else
            EXPECT_STREQ(rorezide_last_error(), "") << len;
    }
    std::string garbage;
    for (int i = 0; i < 100000; i++)
        garbage += static_cast<char>((i * 7919) % 251);
    write_file(path, garbage);
    EXPECT_EQ(rorezide_page_count(path.c_str()), -1);
    EXPECT_STRNE(rorezide_last_error(), "");
}
