#include <gtest/gtest.h>

#include <string>

#include "doc/doc_helpers.h"
#include "doc/stages.h"

namespace {

// Runs the trailer stage alone over the bytes.
struct trailers {
    pdf_doc doc{};
    explicit trailers(const std::string &bytes)
    {
        doc.data = static_cast<unsigned char *>(std::malloc(bytes.size()));
        std::memcpy(doc.data, bytes.data(), bytes.size());
        doc.size = static_cast<int32_t>(bytes.size());
        doc.root_num = -1;
        trailer_read_chain(&doc);
    }
    ~trailers() { doc_free(&doc); }
};

std::string classic(const std::string &dict, long prev = -1)
{
    std::string p = prev >= 0 ? " /Prev " + std::to_string(prev) : "";
    return "xref\n0 1\n0000000000 65535 f \ntrailer\n<< " + dict + p + " >>\n";
}

}  // namespace

TEST(TrailerChain, StartxrefMayEndTheFile)
{
    std::string f = "%PDF-1.4\n" + classic("/Root 3 0 R");
    f += "startxref\n9\n%%EOF\nstartxref";  // the last one, ending the file, has no offset
    trailers t(f);
    EXPECT_EQ(t.doc.root_num, 3) << "the fallback pass still reads the trailer";
}

TEST(TrailerChain, StartxrefOutsideTheTailIsNotSeen)
{
    std::string f = "%PDF-1.4\n" + classic("/Root 3 0 R /Encrypt 9 0 R") + "startxref\n9\n%%EOF\n";
    f += std::string(2100, ' ');
    trailers t(f);
    EXPECT_EQ(t.doc.root_num, -1);
    EXPECT_EQ(t.doc.encrypted, 0);
}

TEST(TrailerChain, LaterTrailerInTheFileDecides)
{
    // The newest section (reached first) names 5, the older one, later in
    // the file, names 4: the fallback pass in file order ends on 4.
    std::string head = "%PDF-1.4\n";
    std::string newer = classic("/Root 5 0 R", 0);  // its /Prev is patched below
    size_t newer_at = head.size();
    std::string f = head + newer;
    size_t older_at = f.size();
    f += classic("/Root 4 0 R");
    f += "startxref\n" + std::to_string(newer_at) + "\n%%EOF\n";
    size_t p = f.find("/Prev 0");
    f.replace(p, 7, "/Prev " + std::to_string(older_at));
    trailers t(f);
    EXPECT_EQ(t.doc.root_num, 4);
}

TEST(TrailerChain, RootValuesAcceptedDifferently)
{
    std::string c = "%PDF-1.4\n" + classic("/Root 0 0 R") + "startxref\n9\n%%EOF\n";
    EXPECT_EQ(trailers(c).doc.root_num, 0);

    std::string x = "%PDF-1.4\n7 0 obj << /Type /XRef /Root 0 0 R /Size 8 >> stream\nendstream "
                    "endobj\nstartxref\n9\n%%EOF\n";
    EXPECT_EQ(trailers(x).doc.root_num, -1);
    std::string y = "%PDF-1.4\n7 0 obj << /Type /XRef /Root 6 0 R /Size 8 >> stream\nendstream "
                    "endobj\nstartxref\n9\n%%EOF\n";
    EXPECT_EQ(trailers(y).doc.root_num, 6);

    std::string n = "%PDF-1.4\n" + classic("/Root /Bad /Root 8 0 R") + "startxref\n9\n%%EOF\n";
    EXPECT_EQ(trailers(n).doc.root_num, 8);
}

TEST(TrailerChain, OffsetsThatLeadNowhere)
{
    // Offset equal to the file size: the walk ends, the fallback decides.
    std::string f = "%PDF-1.4\n" + classic("/Root 2 0 R") + "startxref\n";
    std::string tail = "\n%%EOF\n";
    size_t size = f.size() + tail.size();
    size_t digits = std::to_string(size).size();
    f += std::to_string(size + digits) + tail;
    EXPECT_EQ(trailers(f).doc.root_num, 2);

    // An offset at white space before "xref" with no /XRef nearby.
    std::string g = "%PDF-1.4\n " + classic("/Root 2 0 R") + "startxref\n9\n%%EOF\n";
    EXPECT_EQ(trailers(g).doc.root_num, 2);
}

TEST(TrailerChain, CyclicPrevChainsEnd)
{
    // Two cross-reference streams pointing at each other.
    std::string a = "1 0 obj << /Type /XRef /Prev ";
    std::string f = "%PDF-1.5\n";
    size_t first = f.size();
    f += a + "00000 /Root 3 0 R >> stream\nendstream endobj\n";
    size_t second = f.size();
    f += a + "00000 >> stream\nendstream endobj\n";
    f.replace(f.find("00000"), 5, std::to_string(second).insert(0, 5 - std::to_string(second).size(), '0'));
    f.replace(f.find("00000"), 5, std::to_string(first).insert(0, 5 - std::to_string(first).size(), '0'));
    f += "startxref\n" + std::to_string(second) + "\n%%EOF\n";
    trailers t(f);
    EXPECT_EQ(t.doc.root_num, 3);
}

TEST(TrailerChain, EncryptAnywhereIsNoticed)
{
    std::string x = "%PDF-1.5\n7 0 obj << /Type /XRef /Encrypt 5 0 R >> stream\nendstream "
                    "endobj\nstartxref\n9\n%%EOF\n";
    EXPECT_EQ(trailers(x).doc.encrypted, 1);
    std::string c = "%PDF-1.4\n" + classic("/Root 1 0 R") + "startxref\n9\n%%EOF\n" +
                    classic("/Encrypt 4 0 R") + "startxref\n9\n%%EOF\n";
    EXPECT_EQ(trailers(c).doc.encrypted, 1);
}

TEST(TrailerChain, ManyTrailersStayLinear)
{
    // Every trailer's window runs to the one startxref at the end, so each
    // search for startxref, /Root or /Encrypt would cross the rest of the file.
    std::string f = "%PDF-1.4\n";
    for (int i = 0; i < 4000; i++)
        f += "trailer\n<< /Size 1 >>\n";
    f += "startxref\n0\n%%EOF\n";
    trailers t(f);
    EXPECT_EQ(t.doc.root_num, -1);
    // Each of the three searches: direct scans up to its allowance of twice
    // the file plus 1 MiB, the one scan that spends it, the listing pass,
    // and a few bytes per query where a window cuts a name.
    int64_t size = t.doc.size;
    EXPECT_LE(t.doc.trailer_work, 3 * (5 * size + (1 << 20)));
    EXPECT_GE(t.doc.trailer_work, size);
}

TEST(TrailerChain, EncryptionValuesComeFromTheTrailerThatGaveRoot)
{
    std::string stream_dict = "<< /Type /XRef /Root 1 0 R /Encrypt 5 0 R /ID [<aa> <bb>] /Size 8 >>";
    struct {
        std::string file;
        int num, gen;
        std::string dict, id;  // the inline dictionary and the /ID array found
    } cases[] = {
        {classic("/Root 1 0 R /Encrypt 9 2 R /ID [<01><02>]"), 9, 2, "", "[<01><02>]"},
        {classic("/Root 1 0 R /ID [(a]b) ()] /Encrypt << /Filter /Standard /V 1 >>"), -1, -1,
         "<< /Filter /Standard /V 1 >>", "[(a]b) ()]"},
        // Only the dictionary's own /Encrypt counts.
        {classic("/Root 1 0 R /X << /Encrypt 3 0 R >>"), -1, -1, "", ""},
        {"7 0 obj " + stream_dict + " stream\n/ID [<ff>]\nendstream endobj\n", 5, 0, "", "[<aa> <bb>]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        trailers t("%PDF-1.4\n" + c.file + "startxref\n9\n%%EOF\n");
        const doc_crypt &k = t.doc.crypt;
        EXPECT_EQ(t.doc.root_num, 1);
        EXPECT_EQ(t.doc.encrypted, 1);
        EXPECT_EQ(k.dict_num, c.num);
        EXPECT_EQ(k.dict_gen, c.gen);
        EXPECT_EQ(k.dict_off < 0 ? "" : slice(t.doc, k.dict_off, k.dict_end), c.dict);
        EXPECT_EQ(k.id_off < 0 ? "" : slice(t.doc, k.id_off, k.id_end), c.id);
    }
}
