// The bundled sample document, examples/sample.pdf, and its generator.
#include <gtest/gtest.h>

#include <string>

#include "rorezide.h"
#include "support/fixture.h"
#include "support/pdf_check.h"

namespace {

const std::string source_dir = ROREZIDE_SOURCE_DIR;
const std::string sample = source_dir + "/examples/sample.pdf";

// The text pdftotext finds on every page, pages separated by form feeds.
std::string text_of(const std::string &path)
{
    std::string text;
    EXPECT_EQ(run_command("pdftotext -layout '" + path + "' -", &text), 0) << path;
    return text;
}

}  // namespace

TEST(Sample, LoadsWithTwelvePages)
{
    EXPECT_EQ(rorezide_page_count(sample.c_str()), 12) << rorezide_last_error();
    // The properties the README promises: pages nodes in an object stream,
    // a nested tree with inherited attributes, a rotated page.
    std::string pdf = read_file(sample);
    EXPECT_NE(pdf.find("/Type /ObjStm"), std::string::npos);
    EXPECT_NE(pdf.find("/Type /XRef"), std::string::npos);
    EXPECT_EQ(pdf.find("/Type /Pages"), std::string::npos) << "page tree outside the stream";
}

TEST(Sample, PassesQpdfCheck)
{
    if (!have_tool("qpdf"))
        GTEST_SKIP() << "qpdf not installed";
    std::string out;
    EXPECT_EQ(run_command("qpdf --check '" + sample + "' 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("No syntax or stream encoding errors"), std::string::npos) << out;
}

TEST(Sample, EveryPageRendersDifferently)
{
    if (!have_tool("pdftoppm"))
        GTEST_SKIP() << "pdftoppm not installed";
    std::string previous;
    for (int page = 1; page <= 12; page++) {
        std::string image = render_page(sample, page);
        ASSERT_FALSE(image.empty()) << "page " << page;
        EXPECT_NE(image, previous) << "page " << page;
        previous = image;
    }
}

TEST(Sample, PagesShowTheirNumbersAndPageSixIsRotated)
{
    if (!have_tool("pdftotext") || !have_tool("pdfinfo"))
        GTEST_SKIP() << "poppler-utils not installed";
    std::string text = text_of(sample);
    size_t pos = 0;
    for (int page = 1; page <= 12; page++) {
        std::string heading = "Page " + std::to_string(page) + " of 12";
        size_t at = text.find(heading, pos);
        ASSERT_NE(at, std::string::npos) << heading;
        pos = at + heading.size();
    }
    std::string info;
    ASSERT_EQ(run_command("pdfinfo -f 1 -l 12 '" + sample + "'", &info), 0);
    EXPECT_NE(info.find("Page    6 rot:   90"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    5 rot:   0"), std::string::npos) << info;
}

// The committed sample is what the generator writes now (compared by text,
// since another zlib may compress the object stream to other bytes).
TEST(Sample, GeneratorReproducesTheCommittedFile)
{
    if (!have_tool("python3") || !have_tool("pdftotext"))
        GTEST_SKIP() << "python3 or pdftotext not installed";
    std::string dir = make_temp_dir();
    std::string fresh = dir + "/sample.pdf";
    ASSERT_EQ(run_command("python3 '" + source_dir + "/examples/make_sample.py' '" + fresh + "'"),
              0);
    EXPECT_EQ(rorezide_page_count(fresh.c_str()), 12);
    EXPECT_EQ(text_of(fresh), text_of(sample));
    remove_tree(dir);
}
