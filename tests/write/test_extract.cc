#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/error.h"
#include "doc/doc.h"
#include "support/fixture.h"
#include "support/fixture_docs.h"
#include "support/pdf_check.h"
#include "write/extract.h"
#include "write/write.h"

namespace {

// Queued numbers of scan_refs over text, in queue order.
std::vector<int32_t> refs_of(const std::string &text, int32_t max_num = 100)
{
    std::vector<unsigned char> needed(static_cast<size_t>(max_num) + 3, 0);
    std::vector<int32_t> work(static_cast<size_t>(max_num) + 3, 0);
    int32_t count = 0;
    scan_refs(reinterpret_cast<const unsigned char *>(text.data()),
              static_cast<int32_t>(text.size()), max_num, needed.data(), work.data(), &count);
    return std::vector<int32_t>(work.begin(), work.begin() + count);
}

using nums = std::vector<int32_t>;

// A loaded document from the bytes of a PDF file, released on scope exit.
struct loaded {
    std::string dir = make_temp_dir();
    std::string path;
    pdf_doc doc{};
    int rc = -1;
    explicit loaded(const std::string &bytes)
    {
        path = dir + "/in.pdf";
        write_file(path, bytes);
        rc = doc_load(path.c_str(), &doc);
        EXPECT_EQ(rc, 0) << g_err;
    }
    ~loaded()
    {
        doc_free(&doc);
        remove_tree(dir);
    }
    // Writes the list to a fresh file and returns its bytes ("" on failure).
    std::string extract(const std::vector<int> &list, const std::string &name = "out.pdf")
    {
        std::string out = dir + "/" + name;
        clear_error();
        if (!doc_extract_pages(&doc, list.data(), static_cast<int>(list.size()), out.c_str()))
            return "";
        EXPECT_STREQ(g_err, "");
        return read_file(out);
    }
};

// The expected output, assembled piece by piece with its offsets.
struct expected_file {
    std::string out = std::string("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", 15);
    std::map<int, size_t> off;
    void obj(int num, const std::string &text)
    {
        off[num] = out.size();
        out += std::to_string(num) + " 0 obj\n" + text;
    }
    // The table lists 0 and the objects written, a subsection per run.
    std::string finish(int size, int root)
    {
        size_t x = out.size();
        std::vector<int> listed = {0};
        for (const auto &o : off)
            listed.push_back(o.first);
        out += "xref\n";
        for (size_t k = 0, end; k < listed.size(); k = end) {
            for (end = k + 1; end < listed.size() && listed[end] == listed[end - 1] + 1; end++) {
            }
            out += std::to_string(listed[k]) + " " + std::to_string(end - k) + "\n";
            for (size_t i = k; i < end; i++) {
                char line[32];
                if (listed[i] == 0)
                    std::snprintf(line, sizeof line, "0000000000 65535 f \n");
                else
                    std::snprintf(line, sizeof line, "%010zu 00000 n \n", off[listed[i]]);
                out += line;
            }
        }
        out += "trailer\n<< /Size " + std::to_string(size) + " /Root " + std::to_string(root) +
               " 0 R >>\nstartxref\n" + std::to_string(x) + "\n%%EOF\n";
        return out;
    }
};

// Three pages under one parent; page 1 has contents; object 7 is unused.
std::string three_pages()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 200 200] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R >>");
    b.obj(5, "<< /Type /Page /Parent 2 0 R >>");
    b.stream(6, "<< >>", "BT ET");
    b.obj(7, "<< /Unused true >>");
    return b.finish("/Root 1 0 R");
}

}  // namespace

TEST(ScanRefs, FindsReferencesWhereverDigitsStart)
{
    EXPECT_EQ(refs_of("1.5 0 R"), nums({5}));
    EXPECT_EQ(refs_of("1 2 3 R"), nums({2}));
    EXPECT_EQ(refs_of("[4 0 R 5 0 R]"), nums({4, 5}));
    EXPECT_EQ(refs_of("/A 7 0 R/B 8 12 R>>"), nums({7, 8}));
    EXPECT_EQ(refs_of("9 0 R"), nums({9}));  // R as the last byte
    EXPECT_EQ(refs_of("9\t0\r\nR\x0b"), nums({9}));
    EXPECT_EQ(refs_of("<<4 0 R>>"), nums({4}));
}

TEST(ScanRefs, RejectsWhatIsNotAReference)
{
    EXPECT_EQ(refs_of("5 0 Rx 6 0R 7 0 R"), nums({7}));
    EXPECT_EQ(refs_of("5 0 R} 6 0 R)"), nums({}));
    EXPECT_EQ(refs_of("5 0 obj"), nums({}));
    EXPECT_EQ(refs_of("0 0 R 101 0 R 100 0 R", 100), nums({100}));
    EXPECT_EQ(refs_of("4294967297 0 R"), nums({1}));  // wraps like every integer read
    EXPECT_EQ(refs_of("3 0 R 3 0 R 3 1 R"), nums({3}));
    EXPECT_EQ(refs_of("5 0 R", 4), nums({}));
}

TEST(ScanRefs, StringsHexStringsAndCommentsHideReferences)
{
    EXPECT_EQ(refs_of("(4 0 R) 5 0 R"), nums({5}));
    EXPECT_EQ(refs_of("(a(4 0 R)\\) 6 0 R) 5 0 R"), nums({5}));
    EXPECT_EQ(refs_of("<34 0 R> 5 0 R"), nums({5}));
    EXPECT_EQ(refs_of("% 4 0 R\n5 0 R"), nums({5}));
    EXPECT_EQ(refs_of("% 4 0 R\r5 0 R"), nums({5}));
    EXPECT_EQ(refs_of("5 0 R % 4 0 R"), nums({5}));
    EXPECT_EQ(refs_of("5 0 R (4 0 R"), nums({5}));
    EXPECT_EQ(refs_of("5 0 R <4 0 R"), nums({5}));
    EXPECT_EQ(refs_of("5 0 R <"), nums({5}));
}

TEST(ExtractPages, WritesThePagesClosureInIndexOrderByteForByte)
{
    // The page's /Parent is not followed: the input's page tree and the
    // other pages stay out, and the table lists only what is written.
    loaded in(three_pages());
    ASSERT_EQ(in.rc, 0);
    expected_file e;
    e.obj(3, "<< /Type /Page /Contents 6 0 R /Parent 9 0 R /MediaBox [0 0 200 200] >>"
             "\nendobj\n");
    e.obj(6, "<< /Length 5 >>\nstream\nBT ET\nendstream\nendobj\n");
    e.obj(8, "<< /Type /Catalog /Pages 9 0 R >>\nendobj\n");
    e.obj(9, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>\nendobj\n");
    std::string want = e.finish(10, 8);
    std::string got = in.extract({1});
    EXPECT_EQ(got, want);
    EXPECT_EQ(check_layout(got), "");
}

TEST(ExtractPages, AnOutputHoldsWhatItsPagesReachAndNothingElse)
{
    // References into the input's page tree (a page's /Parent, a link's
    // /Dest, an annotation's /P) are not followed: pages left out and the
    // objects only they use stay out, shared objects come along.
    loaded in(shared_and_own_pdf(false));
    ASSERT_EQ(in.rc, 0);
    auto written = [](const std::string &pdf) {
        std::vector<int> order = object_order(pdf);
        return std::set<int>(order.begin(), order.end());
    };
    // Pages 1 and 2 (what "remove 3" keeps): not page 3's contents, image,
    // resources or link.
    EXPECT_EQ(written(in.extract({1, 2})), (std::set<int>{5, 6, 7, 8, 10, 15, 16, 17}));
    // Page 3: its link keeps its text, naming page 1, which is left out.
    std::string three = in.extract({3});
    EXPECT_EQ(written(three), (std::set<int>{4, 9, 10, 11, 12, 13, 16, 17}));
    EXPECT_NE(object_text(three, 13).find("/Dest [5 0 R /Fit] /P 4 0 R"), std::string::npos);
    // Inherited indirect resources are seeded, even two levels up.
    loaded indirect(shared_and_own_pdf(true));
    ASSERT_EQ(indirect.rc, 0);
    std::string one = indirect.extract({1});
    EXPECT_EQ(written(one), (std::set<int>{5, 7, 10, 14, 15, 16, 17}));
    EXPECT_NE(object_text(one, 5).find("/Resources 14 0 R"), std::string::npos);
}

TEST(ExtractPages, ABurstWritesAboutTheInputOnce)
{
    loaded in(simple_pdf(200));
    ASSERT_EQ(in.rc, 0);
    size_t total = 0;
    for (int p = 1; p <= 200; p++)
        total += in.extract({p}).size();
    EXPECT_LT(total, 3 * read_file(in.path).size());
}

TEST(ExtractPages, RepeatedAndReorderedPages)
{
    loaded in(three_pages());
    ASSERT_EQ(in.rc, 0);
    // Each repeat of a page object is a copy of its first occurrence,
    // numbered after the new pages node in list order.
    std::string thrice = in.extract({2, 1, 2, 2});
    EXPECT_EQ(check_layout(thrice), "");
    EXPECT_NE(thrice.find("/Type /Pages /Count 4 /Kids [4 0 R 3 0 R 10 0 R 11 0 R]"),
              std::string::npos);
    EXPECT_EQ(object_order(thrice), std::vector<int>({3, 4, 6, 8, 9, 10, 11}));
    std::string first = object_text(thrice, 4);
    EXPECT_EQ(object_text(thrice, 10), "10 0 obj\n" + first.substr(8));
    EXPECT_EQ(object_text(thrice, 11), "11 0 obj\n" + first.substr(8));
    EXPECT_NE(thrice.find("trailer\n<< /Size 12 /Root 8 0 R >>"), std::string::npos);

    std::string swapped = in.extract({3, 1});
    EXPECT_EQ(new_kids(swapped), std::vector<int>({5, 3}));
    EXPECT_EQ(object_order(swapped), std::vector<int>({3, 5, 6, 8, 9}));
    EXPECT_NE(object_text(swapped, 3).find("/Parent 9 0 R"), std::string::npos);
    EXPECT_NE(object_text(swapped, 5).find("/Parent 9 0 R"), std::string::npos);
}

TEST(ExtractPages, NumbersFollowTheHighestInputObject)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.stream(4, "<< >>", "");
    b.obj(10, "<< /Alone true >>");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.extract({1});
    EXPECT_EQ(check_layout(out), "");
    EXPECT_NE(out.find("11 0 obj\n<< /Type /Catalog /Pages 12 0 R >>"), std::string::npos);
    EXPECT_NE(out.find("trailer\n<< /Size 13 /Root 11 0 R >>"), std::string::npos);
    EXPECT_EQ(object_text(out, 10), "");
    EXPECT_EQ(object_text(out, 1), "");  // the input catalog is not referenced
}

TEST(ExtractPages, ObjectsKeepTheGenerationsTheirHeadersState)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 1 R] /Count 1 /Resources 5 2 R >>");
    b.obj(3, 1, "<< /Type /Page /Parent 2 0 R /Contents 4 3 R /Note 6 70000 R >>");
    b.raw("4 3 obj\n<< /Length 2 >>\nstream\nq \nendstream\nendobj\n");
    b.obj(5, 2, "<< >>");
    b.raw("6 70000 obj\n(beyond the generation range) endobj\n");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.extract({1});
    EXPECT_EQ(check_layout(out), "");  // cross-reference generations match the headers
    EXPECT_EQ(object_text(out, 4), "4 3 obj\n<< /Length 2 >>\nstream\nq \nendstream\nendobj\n");
    std::string page = object_text(out, 3);
    EXPECT_EQ(page.compare(0, 8, "3 1 obj\n"), 0) << page;
    EXPECT_NE(page.find("/Contents 4 3 R"), std::string::npos);
    EXPECT_NE(page.find("/Resources 5 2 R"), std::string::npos);
    EXPECT_NE(out.find("/Kids [3 1 R]"), std::string::npos);
    EXPECT_EQ(object_text(out, 6).compare(0, 8, "6 0 obj\n"), 0);
}

TEST(ExtractPages, TheNewCatalogCarriesFormsAndLayers)
{
    struct carry_case {
        std::string catalog_entries;
        std::string carried;
    } cases[] = {
        {"/AcroForm << /Fields [7 0 R] /DA (/Helv 0 Tf >>) >> /OCProperties 8 0 R",
         " /AcroForm << /Fields [7 0 R] /DA (/Helv 0 Tf >>) >> /OCProperties 8 0 R"},
        {"/OCProperties\n[8 0 R (]) [9 0 R]] /AcroForm 7 0 R",
         " /AcroForm 7 0 R /OCProperties [8 0 R (]) [9 0 R]]"},
        // Keys of nested dictionaries and values of other kinds stay behind.
        {"/Names << /AcroForm 7 0 R >> /OCProperties /None", ""},
        {"", ""},
    };
    for (const carry_case &c : cases) {
        pdf_builder b;
        b.obj(1, "<< /Type /Catalog /Pages 2 0 R " + c.catalog_entries + " >>");
        b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.obj(3, "<< /Type /Page /Parent 2 0 R >>");
        b.obj(7, "<< /Fields [] >>");
        b.obj(8, "<< /OCGs [9 0 R] >>");
        b.obj(9, "<< /Type /OCG /Name (Layer) >>");
        loaded in(b.finish("/Root 1 0 R"));
        ASSERT_EQ(in.rc, 0);
        std::string out = in.extract({1});
        EXPECT_EQ(object_text(out, 10),
                  "10 0 obj\n<< /Type /Catalog /Pages 11 0 R" + c.carried + " >>\nendobj\n");
        for (int num : {7, 8, 9})
            EXPECT_EQ(object_text(out, num).empty(), c.carried.empty()) << num;
    }
}

TEST(ExtractPages, TheDocumentInformationAndLanguageTravel)
{
    // /Lang is carried when it is a string, a hex string or a reference;
    // /Info when the load found its object, under its generation.
    struct carry_case {
        std::string lang, info;
        std::string catalog, trailer_info;
    } cases[] = {
        {"(en-GB)", "/Info 9 2 R", " /Lang (en-GB)", " /Info 9 2 R"},
        {"<656E>", "/Info 8 0 R", " /Lang <656E>", ""},  // 8 is no object
        {"7 0 R", "", " /Lang 7 0 R", ""},
        {"/en", "", "", ""},
    };
    for (const carry_case &c : cases) {
        pdf_builder b;
        b.obj(1, "<< /Type /Catalog /Pages 2 0 R /Lang " + c.lang + " >>");
        b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.obj(3, "<< /Type /Page /Parent 2 0 R >>");
        b.obj(7, "(fr)");
        b.obj(9, 2, "<< /Title (A title) /Author (An author) >>");
        loaded in(b.finish("/Root 1 0 R " + c.info));
        ASSERT_EQ(in.rc, 0);
        std::string out = in.extract({1});
        EXPECT_EQ(check_layout(out), "") << c.lang;
        EXPECT_EQ(object_text(out, 10),
                  "10 0 obj\n<< /Type /Catalog /Pages 11 0 R" + c.catalog + " >>\nendobj\n");
        EXPECT_NE(out.find("trailer\n<< /Size 12 /Root 10 0 R" + c.trailer_info + " >>"),
                  std::string::npos)
            << c.info;
        EXPECT_EQ(object_text(out, 9).empty(), c.trailer_info.empty());
        if (!c.trailer_info.empty() && have_tool("pdfinfo")) {
            std::string shown;
            run_command("pdfinfo '" + in.dir + "/out.pdf'", &shown);
            EXPECT_NE(shown.find("Title:           A title"), std::string::npos) << shown;
            EXPECT_NE(shown.find("Author:          An author"), std::string::npos) << shown;
        }
    }
}

TEST(ExtractPages, ACarriedArrayEndsOutsideTheDictionariesItHolds)
{
    // A bracket inside a dictionary of the array does not end it; an array
    // whose dictionary never closes is not carried, since half of it would
    // leave the new catalog open.
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm [<< /A ] >> 7 0 R] "
             "/OCProperties [<< /B (])> > 8 0 R] >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R >>");
    b.obj(7, "<< /Fields [] >>");
    b.obj(8, "<< /OCGs [] >>");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.extract({1});
    EXPECT_EQ(object_text(out, 9),
              "9 0 obj\n<< /Type /Catalog /Pages 10 0 R /AcroForm [<< /A ] >> 7 0 R] >>\nendobj\n");
    EXPECT_TRUE(object_text(out, 8).empty());
}

TEST(ExtractPages, HeaderSeparatorsMayBeAnyCWhiteSpace)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Info 5 0 R /Note 6 0 R >>");
    b.raw("5\x0b" "0\x0b" "obj (five) endobj\n");
    b.raw("6 \x0c 0  obj\n42\nendobj\n");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.extract({1});
    EXPECT_EQ(object_text(out, 5), "5 0 obj\n(five) \nendobj\n");
    EXPECT_EQ(object_text(out, 6), "6 0 obj\n42\n\nendobj\n");
}

TEST(ExtractPages, StreamGapBeforeTheKeywordIsKept)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.raw("4 0 obj\n<< /Length 3 >>  \r\nstream\r\nabc\r\nendstream\nendobj\n");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.extract({1});
    EXPECT_EQ(object_text(out, 4),
              "4 0 obj\n<< /Length 3 >>  \r\nstream\nabc\nendstream\nendobj\n");
}

TEST(ExtractPages, ChosenStreamPageKeepsItsData)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.stream(3, "<< /Type /Page /Parent 2 0 R >>", "odd");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.extract({1});
    EXPECT_EQ(object_text(out, 3),
              "3 0 obj\n<< /Length 3 /Type /Page /Parent 5 0 R /MediaBox [0 0 612 792] >>"
              "\nstream\nodd\nendstream\nendobj\n");
}

TEST(ExtractPages, InheritedInlineResourcesBringTheirObjects)
{
    // The page has no /Parent, so only its inherited resources text leads
    // to the font.
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /Resources << /Font << /F1 5 0 R >> >> "
             ">>");
    b.obj(3, "<< /Type /Page /Contents 4 0 R >>");
    b.stream(4, "<< >>", "BT /F1 20 Tf 10 10 Td (x) Tj ET");
    b.obj(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.extract({1});
    EXPECT_EQ(check_layout(out), "");
    EXPECT_NE(object_text(out, 3).find("/Resources << /Font << /F1 5 0 R >> >> >>"),
              std::string::npos);
    EXPECT_NE(object_text(out, 5).find("/BaseFont /Helvetica"), std::string::npos);
    EXPECT_EQ(object_text(out, 2), "");
}

TEST(ExtractPages, APageObjectListedTwiceUsesTheFirstListEntry)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.obj(3, "<< /Type /Pages /Kids [5 0 R] /Count 1 /Rotate 90 >>");
    b.obj(4, "<< /Type /Pages /Kids [5 0 R] /Count 1 >>");
    b.obj(5, "<< /Type /Page /Parent 3 0 R >>");
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    ASSERT_EQ(in.doc.pages.count, 2);
    std::string plain = in.extract({2, 1});
    EXPECT_EQ(object_text(plain, 5),
              "5 0 obj\n<< /Type /Page /Parent 7 0 R /MediaBox [0 0 612 792] >>\nendobj\n");
    EXPECT_EQ(new_kids(plain), std::vector<int>({5, 8}));
    std::string turned = in.extract({1, 2});
    EXPECT_EQ(object_text(turned, 5), "5 0 obj\n<< /Type /Page /Parent 7 0 R /MediaBox [0 0 612 "
                                      "792] /Rotate 90 >>\nendobj\n");
}

TEST(ExtractPages, ArgumentChecksInOrderAndNoFileOnFailure)
{
    loaded in(three_pages());
    ASSERT_EQ(in.rc, 0);
    std::string out = in.dir + "/out.pdf";
    int none[1] = {1};
    EXPECT_EQ(doc_extract_pages(&in.doc, none, 0, ""), 0);
    EXPECT_STREQ(g_err, "NULL or empty output path");
    EXPECT_EQ(doc_extract_pages(&in.doc, none, 1, nullptr), 0);
    EXPECT_STREQ(g_err, "NULL or empty output path");
    EXPECT_EQ(doc_extract_pages(&in.doc, none, 0, out.c_str()), 0);
    EXPECT_STREQ(g_err, "Page count must be > 0");
    EXPECT_EQ(doc_extract_pages(&in.doc, none, -3, out.c_str()), 0);
    EXPECT_STREQ(g_err, "Page count must be > 0");
    int zero[2] = {1, 0};
    EXPECT_EQ(doc_extract_pages(&in.doc, zero, 2, out.c_str()), 0);
    EXPECT_STREQ(g_err, "Page index 0 out of range (1..3)");
    int past[3] = {4, 0, 1};
    EXPECT_EQ(doc_extract_pages(&in.doc, past, 3, out.c_str()), 0);
    EXPECT_STREQ(g_err, "Page index 4 out of range (1..3)");
    EXPECT_FALSE(file_exists(out));

    write_file(out, "keep");
    EXPECT_EQ(doc_extract_pages(&in.doc, past, 1, out.c_str()), 0);
    EXPECT_EQ(read_file(out), "keep");

    std::string missing = in.dir + "/no/such/dir/out.pdf";
    EXPECT_EQ(doc_extract_pages(&in.doc, none, 1, missing.c_str()), 0);
    EXPECT_EQ(std::string(g_err), "Cannot open output file '" + missing + "' for writing");
}

TEST(ExtractPages, AFullDiskIsAWriteError)
{
    if (!file_exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // Small: the bytes sit in the stdio buffer and the failure shows on close.
    loaded small(three_pages());
    ASSERT_EQ(small.rc, 0);
    int one[1] = {1};
    EXPECT_EQ(doc_extract_pages(&small.doc, one, 1, "/dev/full"), 0);
    EXPECT_STREQ(g_err, "Write error while saving to '/dev/full'");

    // Large: the write call itself comes back short.
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.stream(4, "<< >>", std::string(300000, ' '));
    loaded large(b.finish("/Root 1 0 R"));
    ASSERT_EQ(large.rc, 0);
    EXPECT_EQ(doc_extract_pages(&large.doc, one, 1, "/dev/full"), 0);
    EXPECT_STREQ(g_err, "Write error while saving to '/dev/full'");
}

TEST(ExtractPages, OutputsReachingTheOffsetLimitAreRefused)
{
    loaded in(three_pages());
    ASSERT_EQ(in.rc, 0);
    std::string full = in.extract({1});
    size_t xref = full.rfind("xref\n0 ");
    std::string out = in.dir + "/limited.pdf";
    int one[1] = {1};
    extract_ctx ctx;
    extract_ctx_init(&ctx, &in.doc, 0);
    EXPECT_EQ(ctx.pos_limit, UINT64_C(2147483648));
    // The cross-reference table would start exactly at the limit.
    ctx.pos_limit = xref;
    EXPECT_EQ(extract_pages_with(&ctx, one, 1, out.c_str()), 0);
    EXPECT_EQ(std::string(g_err),
              "Output too large for a PDF 1.4 file (2 GiB or more): '" + out + "'");
    EXPECT_FALSE(file_exists(out));
    ctx.pos_limit = 100;
    EXPECT_EQ(extract_pages_with(&ctx, one, 1, out.c_str()), 0);
    EXPECT_FALSE(file_exists(out));
    ctx.pos_limit = xref + 1;
    EXPECT_EQ(extract_pages_with(&ctx, one, 1, out.c_str()), 1);
    EXPECT_EQ(read_file(out), full);
    extract_ctx_free(&ctx);
}

namespace {

// One page, object 3, with the dictionary given, under object 2, whose
// /Kids and /Resources follow comments; headers carry comments on their
// line as some producers write them. The page is plain, or the only object
// of the object stream 5, which never reaches the index: the new catalog
// and pages node are 5 and 6 either way.
std::string commented_pdf(const std::string &page, bool packed)
{
    pdf_builder b;
    b.raw("1 0 obj % entry point\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    b.raw("2 0 obj\n<< /Type /Pages /Kids % its one page\n[3 0 R % the page\n] /Count 1 "
          "/MediaBox [0 0 200 200] /Resources % shared\n<< /ProcSet [/PDF] >> >>\nendobj\n");
    b.stream(4, "<< >>", "0 0 1 rg 20 20 50 50 re f");
    if (packed) {
        std::string content = "3 0 " + page + "\n";
        b.stream(5, "<< /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode >>",
                 zlib_stored_stream(content));
    } else {
        b.raw("3 0 obj % Page object\n" + page + "\nendobj\n");
    }
    return b.finish("/Root 1 0 R");
}

}  // namespace

TEST(ExtractPages, CommentsAreWhiteSpace)
{
    const std::string tail = " /Parent 6 0 R /MediaBox [0 0 200 200] /Resources << /ProcSet [/PDF] >> >>";
    struct comment_case {
        const char *page;  // object 3's dictionary
        int rotate;        // the page's rotation as loaded
        std::string written;
    } cases[] = {
        {"<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>", 0,
         "<< /Type /Page /Contents 4 0 R" + tail},
        // Between a key and its value the comment is copied with the entry.
        {"<< /Type /Page /Parent 2 0 R /Contents % the square\n 4 0 R >>", 0,
         "<< /Type /Page /Contents % the square\n 4 0 R" + tail},
        // Between entries it is dropped, with the key it holds.
        {"<< /Type /Page /Parent 2 0 R % was /Rotate 90\n/Contents 4 0 R >>", 0,
         "<< /Type /Page /Contents 4 0 R" + tail},
        {"<< /Type /Page /Contents 4 0 R% was /Rotate 90\n/Parent 2 0 R >>", 0,
         "<< /Type /Page /Contents 4 0 R" + tail},
        // The page's own entries are read past comments.
        {"<< /Type % kind\n/Page /Rotate % quarter\n90 /MediaBox % box\n[0 0 % origin\n300 100] "
         "/Parent 2 0 R /Contents 4 0 R /Resources % own\n<< >> >>",
         90,
         "<< /Type % kind\n/Page /Rotate % quarter\n90 /MediaBox % box\n[0 0 % origin\n300 100] "
         "/Contents 4 0 R /Resources % own\n<< >> /Parent 6 0 R >>"},
    };
    for (const comment_case &c : cases) {
        for (bool packed : {false, true}) {
            SCOPED_TRACE(std::string(c.page) + (packed ? " in an object stream" : ""));
            loaded in(commented_pdf(c.page, packed));
            ASSERT_EQ(in.rc, 0);
            ASSERT_EQ(in.doc.pages.count, 1);
            EXPECT_EQ(in.doc.pages.items[0].num, 3);
            EXPECT_EQ(in.doc.pages.items[0].rotate, c.rotate);
            std::string out = in.extract({1});
            EXPECT_EQ(check_layout(out), "");
            EXPECT_EQ(object_text(out, 3), "3 0 obj\n" + c.written + "\nendobj\n");
            EXPECT_FALSE(object_text(out, 4).empty());
        }
    }
}

TEST(ExtractPages, AnUpdateGluedToTheEndMarkerWinsLikeAnyUpdate)
{
    // The update rewrites page 2 with /Rotate 180 and starts "%%EOF4 0 obj".
    std::string plain = incremental_pdf();
    std::string glued = plain;
    size_t eof = glued.find("%%EOF\n");
    ASSERT_EQ(glued.compare(eof + 6, 8, "4 0 obj\n"), 0);
    glued.erase(eof + 5, 1);
    loaded a(plain), b(glued);
    ASSERT_EQ(b.rc, 0);
    ASSERT_EQ(b.doc.pages.count, 3);
    EXPECT_EQ(b.doc.pages.items[1].rotate, 180);
    std::string out = b.extract({2});
    EXPECT_NE(object_text(out, 4).find("/Rotate 180"), std::string::npos);
    EXPECT_EQ(out, a.extract({2}));
}

TEST(ExtractPages, SharedContextWritesWhatSingleCallsWrite)
{
    loaded in(simple_pdf(7));
    ASSERT_EQ(in.rc, 0);
    page_series *series = series_begin(&in.doc);
    ASSERT_NE(series, nullptr);
    std::vector<std::vector<int>> lists = {{1}, {7}, {3, 4, 5}, {2, 2, 6}, {7, 1}, {4}};
    for (size_t k = 0; k < lists.size(); k++) {
        std::string name = "shared" + std::to_string(k) + ".pdf";
        std::string path = in.dir + "/" + name;
        ASSERT_EQ(series_write(series, lists[k].data(), static_cast<int>(lists[k].size()),
                               path.c_str()),
                  1);
        EXPECT_EQ(read_file(path), in.extract(lists[k], "single.pdf")) << k;
    }
    series_end(series);
}

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif

// The sanitizer reserves its shadow memory up front, so the address space
// cannot be capped under it.
#if !defined(UNDER_ASAN)
TEST(ExtractPages, RunningOutOfMemoryWhileAssemblingWritesNoFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs fork and setrlimit";
#else
    // A content stream of 40 MB makes the output buffer grow to 64 MiB;
    // with the address space capped a little above what is in use (the
    // heap's slack from earlier tests included), the first block is
    // obtained and a later growth fails.
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.stream(4, "<< >>", std::string(40000000, '%'));
    loaded in(b.finish("/Root 1 0 R"));
    ASSERT_EQ(in.rc, 0);
    std::string out = in.dir + "/oom.pdf";
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        FILE *statm = std::fopen("/proc/self/statm", "r");
        if (!statm || std::fscanf(statm, "%ld", &pages) != 1)
            _exit(3);
        std::fclose(statm);
        rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                     (8u << 20);
        struct rlimit lim = {cap, cap};
        if (setrlimit(RLIMIT_AS, &lim) != 0)
            _exit(3);
        int one[1] = {1};
        int r = doc_extract_pages(&in.doc, one, 1, out.c_str());
        _exit(r == 0 && std::strcmp(g_err, "Out of memory") == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "cannot cap the address space here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(file_exists(out));
#endif
}
#endif
