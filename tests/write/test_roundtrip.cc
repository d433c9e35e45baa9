// Files written from PDFs made by real producers must pass qpdf --check and
// render each page exactly as the input renders the same page.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "rorezide.h"
#include "support/fixture.h"
#include "support/fixture_docs.h"
#include "support/pdf_check.h"
#include "support/split_check.h"

namespace {

// Three pages of different sizes, colours and fonts.
const char THREE_PAGE_PS[] =
    "%!PS\n"
    "/Helvetica findfont 40 scalefont setfont\n"
    "72 700 moveto (Page one) show\n"
    "newpath 100 100 moveto 300 300 lineto 4 setlinewidth stroke\n"
    "showpage\n"
    "<< /PageSize [400 300] >> setpagedevice\n"
    "1 0 0 setrgbcolor 50 50 200 100 rectfill\n"
    "/Times-Roman findfont 30 scalefont setfont 0 0 1 setrgbcolor 20 250 moveto (Two) show\n"
    "showpage\n"
    "<< /PageSize [612 792] >> setpagedevice\n"
    "0 0.6 0 setrgbcolor 300 400 100 0 360 arc fill\n"
    "/Courier findfont 24 scalefont setfont 0 setgray 72 72 moveto (three) show\n"
    "showpage\n";

// Rotation, crop box, media box and inline resources all inherited from
// pages nodes at two levels; the second page overrides the rotation.
std::string inheriting_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 3 /MediaBox [0 0 300 200] /Rotate 90 "
             "/Resources << /Font << /F1 9 0 R >> >> >>");
    b.obj(3, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R 6 0 R] /Count 3 "
             "/CropBox [10 10 250 180] >>");
    b.obj(4, "<< /Type /Page /Parent 3 0 R /Contents 7 0 R >>");
    b.obj(5, "<< /Type /Page /Parent 3 0 R /Contents 8 0 R /Rotate 0 >>");
    b.obj(6, "<< /Type /Page /Parent 3 0 R /Contents 7 0 R /MediaBox [0 0 200 300] >>");
    b.stream(7, "<< >>", "BT /F1 36 Tf 20 40 Td (Left) Tj ET 0 0 1 rg 150 20 30 60 re f");
    b.stream(8, "<< >>", "BT /F1 48 Tf 30 90 Td (Right) Tj ET");
    b.obj(9, "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Bold >>");
    return b.finish("/Root 1 0 R");
}


}  // namespace

TEST(Roundtrip, InheritedAttributesSurviveTheNewParent)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    producers_dir d;
    std::string in = d.path("inherit.pdf");
    write_file(in, inheriting_pdf());
    check_all_splits(d, in);
}

TEST(Roundtrip, QpdfWithObjectStreams)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    producers_dir d;
    std::string plain = d.path("plain.pdf");
    write_file(plain, simple_pdf(5));
    std::string in = d.path("objstm.pdf");
    ASSERT_EQ(run_command("qpdf --object-streams=generate '" + plain + "' '" + in + "'"), 0);
    check_all_splits(d, in);
    // Object-stream containers never reach the output.
    EXPECT_EQ(read_file(d.path("all/page_002.pdf")).find("/ObjStm"), std::string::npos);
}

TEST(Roundtrip, QpdfWithUncompressedObjectStreams)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    producers_dir d;
    std::string plain = d.path("plain.pdf");
    write_file(plain, inheriting_pdf());
    const char *modes[] = {"--stream-data=uncompress --object-streams=generate",
                           "--qdf --object-streams=generate"};
    for (const char *mode : modes) {
        std::string in = d.path("uncompressed.pdf");
        ASSERT_EQ(run_command(std::string("qpdf ") + mode + " '" + plain + "' '" + in + "'"), 0);
        // The page tree lives in an object stream stored as it stands.
        std::string bytes = read_file(in);
        ASSERT_NE(bytes.find("/ObjStm"), std::string::npos) << mode;
        ASSERT_EQ(bytes.find("/Filter"), std::string::npos) << mode;
        check_all_splits(d, in);
        run_command("rm -rf '" + d.path("all") + "' '" + d.path("chunks") + "'");
    }
}

TEST(Roundtrip, QpdfLinearized)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    producers_dir d;
    std::string plain = d.path("plain.pdf");
    write_file(plain, inheriting_pdf());
    std::string in = d.path("linear.pdf");
    ASSERT_EQ(run_command("qpdf --linearize '" + plain + "' '" + in + "'"), 0);
    check_all_splits(d, in);
}

TEST(Roundtrip, Ghostscript)
{
    if (!have_checkers() || !have_tool("gs"))
        GTEST_SKIP() << "gs, qpdf or pdftoppm missing";
    producers_dir d;
    std::string ps = d.path("three.ps");
    write_file(ps, THREE_PAGE_PS);
    std::string in = d.path("gs.pdf");
    ASSERT_EQ(run_command("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile='" + in +
                          "' '" + ps + "' 2>&1"),
              0);
    check_all_splits(d, in);
}

TEST(Roundtrip, Cairo)
{
    if (!have_checkers() || !have_tool("pdftocairo"))
        GTEST_SKIP() << "pdftocairo, qpdf or pdftoppm missing";
    producers_dir d;
    std::string src = d.path("src.pdf");
    write_file(src, inheriting_pdf());
    std::string in = d.path("cairo.pdf");
    ASSERT_EQ(run_command("pdftocairo -pdf '" + src + "' '" + in + "' 2>&1"), 0);
    check_all_splits(d, in);
}

namespace {

// Text fields on two pages whose appearance viewers make from the
// document's form (no appearance streams, NeedAppearances, the text style
// only in the form's /DA), and a note whose text says "endobj".
std::string form_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [6 0 R 7 0 R] "
             "/NeedAppearances true /DA (/Helv 28 Tf 0 0 1 rg) /DR << /Font << /Helv 8 0 R >> >> >> >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 300 200] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Annots [6 0 R 9 0 R] >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Annots [7 0 R] >>");
    b.stream(5, "<< >>", "0 0 1 RG 4 w 10 10 280 180 re S");
    b.obj(6, "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Alice) /F 4 "
             "/Rect [20 100 280 150] /P 3 0 R >>");
    b.obj(7, "<< /Type /Annot /Subtype /Widget /FT /Tx /T (city) /V (Paris) /F 4 "
             "/Rect [20 40 280 90] /P 4 0 R >>");
    b.obj(8, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    b.obj(9, "<< /Type /Annot /Subtype /Square /Rect [230 20 280 60] /C [1 0 0] /F 4 "
             "/Contents (Every object ends with endobj) /P 3 0 R >>");
    return b.finish("/Root 1 0 R");
}

// Content in a layer that the document's default configuration hides.
std::string layered_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R /OCProperties 7 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 300 200] "
             "/Resources << /Properties << /L1 6 0 R >> /Font << /F1 8 0 R >> >> >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /Contents 9 0 R >>");
    b.stream(5, "<< >>", "0 0 1 rg 20 20 100 100 re f /OC /L1 BDC 1 0 0 rg 150 20 100 100 re f EMC");
    b.obj(6, "<< /Type /OCG /Name (Hidden layer) >>");
    b.obj(7, "<< /OCGs [6 0 R] /D << /Order [6 0 R] /OFF [6 0 R] >> >>");
    b.obj(8, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    b.stream(9, "<< >>", "/OC /L1 BDC 0 1 0 rg 20 20 200 100 re f EMC BT /F1 40 Tf 20 140 Td (Two) Tj ET");
    return b.finish("/Root 1 0 R");
}

// A second page, its resources and its font under generations other than 0,
// as incremental updates that reuse object numbers leave them.
std::string generations_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 2 R] /Count 2 /MediaBox [0 0 300 200] "
             "/Resources 6 1 R >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
    b.obj(4, 2, "<< /Type /Page /Parent 2 0 R /Contents 9 0 R >>");
    b.stream(5, "<< >>", "BT /F1 40 Tf 20 80 Td (One) Tj ET");
    b.obj(6, 1, "<< /Font << /F1 7 3 R >> >>");
    b.obj(7, 3, "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Bold >>");
    b.stream(9, "<< >>", "BT /F1 40 Tf 20 80 Td (Two) Tj ET 1 0 0 rg 200 20 50 50 re f");
    return b.finish("/Root 1 0 R");
}

}  // namespace

TEST(Roundtrip, FormsLayersAndGenerationsLookTheSame)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    struct made {
        const char *name;
        std::string bytes;
    } inputs[] = {{"form", form_pdf()}, {"layers", layered_pdf()}, {"gens", generations_pdf()}};
    for (const made &m : inputs) {
        SCOPED_TRACE(m.name);
        producers_dir d;
        std::string in = d.path(std::string(m.name) + ".pdf");
        write_file(in, m.bytes);
        check_all_splits(d, in);
    }
}

TEST(Roundtrip, PagesLeftOutAreNotNeededToShowThePagesKept)
{
    // Links and annotations naming pages left out, shared and own objects,
    // resources inherited inline and indirect from two levels up: every
    // output reads without a warning and shows its pages as the input does,
    // to poppler and to ghostscript.
    if (!have_checkers() || !have_tool("gs"))
        GTEST_SKIP() << "gs, qpdf or pdftoppm missing";
    for (bool indirect : {false, true}) {
        SCOPED_TRACE(indirect ? "indirect resources" : "inline resources");
        producers_dir d;
        std::string in = d.path("shared.pdf");
        write_file(in, shared_and_own_pdf(indirect));
        check_all_splits(d, in);
        for (int page = 1; page <= 3; page++) {
            char name[32];
            std::snprintf(name, sizeof name, "all/page_%03d.pdf", page);
            std::string want = render_page_gs(in, page);
            ASSERT_FALSE(want.empty());
            EXPECT_TRUE(render_page_gs(d.path(name), 1) == want) << name;
            std::string said;
            if (have_tool("mutool")) {
                run_command("mutool info '" + d.path(name) + "' 2>&1 >/dev/null", &said);
                EXPECT_EQ(said, "") << name;
            }
        }
    }
}

namespace {

// Page dictionaries whose arrays hold brackets inside strings and a
// comment: none of those brackets may end the array the page is copied
// with.
std::string bracketed_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 200 200] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Names [(a]b) (c[d)] "
             "/Annots [5 0 R % was ]\n 6 0 R] /Contents 7 0 R >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /Annots [(x]) 6 0 R] /Contents 7 0 R >>");
    b.obj(5, "<< /Type /Annot /Subtype /Square /Rect [10 10 50 50] /C [1 0 0] /F 4 >>");
    b.obj(6, "<< /Type /Annot /Subtype /Square /Rect [120 120 180 180] /C [0 0 1] /F 4 >>");
    b.stream(7, "<< >>", "0 1 0 rg 60 60 40 40 re f");
    return b.finish("/Root 1 0 R");
}

}  // namespace

TEST(Roundtrip, BracketsInStringsAndCommentsDoNotEndAnArray)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    producers_dir d;
    std::string in = d.path("bracketed.pdf");
    write_file(in, bracketed_pdf());
    check_all_splits(d, in);
}

namespace {

// One page numbered `page` in a file of about a kilobyte, its
// cross-reference table in subsections, as producers that number objects
// sparsely write them.
std::string sparse_pdf(int page)
{
    std::string f = "%PDF-1.4\n";
    std::vector<std::pair<int, size_t>> offs;
    auto obj = [&](int num, const std::string &body) {
        offs.push_back({num, f.size()});
        f += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
    };
    std::string text = "BT /F1 60 Tf 30 80 Td (Far) Tj ET";
    obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    obj(2, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 "
           "/MediaBox [0 0 200 200] >>");
    obj(3, "<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text + "\nendstream");
    obj(4, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    obj(page, "<< /Type /Page /Parent 2 0 R /Contents 3 0 R /Resources << /Font << /F1 4 0 R "
              ">> >> >>");
    size_t xref = f.size();
    f += "xref\n0 5\n0000000000 65535 f \n";
    char line[32];
    for (auto &o : offs) {
        if (o.first == page)
            f += std::to_string(page) + " 1\n";
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o.second);
        f += line;
    }
    return f + "trailer\n<< /Size " + std::to_string(page + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

}  // namespace

TEST(Roundtrip, ObjectNumbersFarBeyondTheFileSize)
{
    producers_dir d;
    std::string in = d.path("sparse.pdf");
    write_file(in, sparse_pdf(1000000));
    ASSERT_EQ(rorezide_page_count(in.c_str()), 1) << rorezide_last_error();
    std::string out = d.path("one.pdf");
    ASSERT_EQ(rorezide_range(in.c_str(), 1, 1, out.c_str()), 1) << rorezide_last_error();
    // The cross-reference table lists what the page writes, not a million
    // numbers.
    EXPECT_LT(read_file(out).size(), 4096u);
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    std::string report;
    ASSERT_TRUE(qpdf_clean(in, &report)) << "the input itself: " << report;
    expect_same_pages(in, out, {1});
}
