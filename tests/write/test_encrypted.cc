// Encrypted documents that open without a password: qpdf encrypts a
// document whose pages reach strings of every kind the writer moves from
// one object to another, with each method it offers; every split call's
// outputs must pass qpdf --check, render as the input's pages do and be
// encrypted as the input is. Documents needing a password, or whose
// permissions forbid assembly, are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "rorezide.h"
#include "support/fixture.h"
#include "support/pdf_check.h"
#include "support/split_check.h"

namespace {

// Three pages whose rendering depends on strings:
// - the catalog carries /AcroForm inline, with the default appearance
//   string /DA that viewers draw the fields of pages 1 and 2 with (their
//   values /V are strings too, and no appearance streams exist);
// - the root pages node has inline /Resources whose indexed colour space
//   keeps its palette in a string; pages 1 and 2 inherit it;
// - page 3 has inline /Resources of its own, with another palette string,
//   and an inline free-text annotation whose text and appearance are
//   strings of the page dictionary itself;
// - the catalog's /Lang and the document information's /Title, strings
//   that outputs carry too.
std::string strings_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R /Lang (de-CH) /AcroForm << /Fields [6 0 R 7 0 R] "
             "/NeedAppearances true /DA (/Helv 20 Tf 0 0 1 rg) "
             "/DR << /Font << /Helv 8 0 R >> >> >> >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 10 0 R 4 0 R] /Count 3 /MediaBox [0 0 300 200] "
             "/Resources << /Font << /F1 8 0 R >> "
             "/ColorSpace << /CS1 [/Indexed /DeviceRGB 1 (\\377\\000\\000\\000\\(\\377)] >> >> >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Annots [6 0 R] >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /Contents 9 0 R "
             "/Resources << /ColorSpace << /CS2 [/Indexed /DeviceRGB 1 <00C000 C000C0>] >> >> "
             "/Annots [<< /Type /Annot /Subtype /FreeText /Rect [20 120 280 180] "
             "/Contents (Inline \\(note\\)) /DA (/Helv 18 Tf 1 0 0 rg) /F 4 >>] >>");
    b.stream(5, "<< >>", "/CS1 cs 1 sc 20 20 100 60 re f 0 sc 150 20 100 60 re f");
    b.obj(6, "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Alice) /F 4 "
             "/Rect [20 100 280 150] /P 3 0 R >>");
    b.obj(7, "<< /Type /Annot /Subtype /Widget /FT /Tx /T (city) /V (Paris) /F 4 "
             "/DA (/Helv 30 Tf 0 0.5 0 rg) /Rect [20 100 280 150] /P 10 0 R >>");
    b.obj(8, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    b.stream(9, "<< >>", "/CS2 cs 0 sc 20 20 100 60 re f 1 sc 150 20 100 60 re f");
    b.obj(10, "<< /Type /Page /Parent 2 0 R /Contents 11 0 R /Annots [7 0 R] >>");
    b.stream(11, "<< >>",
             "/CS1 cs 0 sc 20 20 260 40 re f BT /F1 24 Tf 0 g 30 70 Td (Two) Tj ET");
    b.obj(12, "<< /Title (Pages \\(and strings\\)) /Producer (rorezide tests) >>");
    return b.finish("/Root 1 0 R /Info 12 0 R");
}

std::string qpdf_report(const std::string &args, const std::string &path)
{
    std::string out;
    run_command("qpdf " + args + " '" + path + "' 2>&1", &out);
    return out;
}

// How qpdf makes each encrypted input: the empty user password always.
struct method_case {
    const char *name;
    const char *args;
};

const method_case OPENING[] = {
    {"rc4-40", "--allow-weak-crypto --encrypt '' owner 40 --"},
    {"rc4-40-objstm", "--allow-weak-crypto --object-streams=generate --encrypt '' owner 40 --"},
    {"rc4-128", "--allow-weak-crypto --encrypt '' owner 128 --"},
    {"rc4-128-crypt-filters", "--allow-weak-crypto --encrypt '' owner 128 --force-V4 --"},
    {"aes-128", "--encrypt '' owner 128 --use-aes=y --"},
    {"aes-128-objstm", "--object-streams=generate --encrypt '' owner 128 --use-aes=y --"},
    {"aes-128-clear-metadata", "--encrypt '' owner 128 --use-aes=y --cleartext-metadata --"},
    {"aes-256-r5", "--allow-weak-crypto --encrypt '' owner 256 --force-R5 --"},
    {"aes-256", "--encrypt '' owner 256 --"},
    {"aes-256-objstm", "--object-streams=generate --encrypt '' owner 256 --"},
    // Restrictions that leave assembly allowed: bit 11 ("assemble") set,
    // bit 4 ("modify") set or clear.
    {"aes-256-no-print-no-extract", "--encrypt '' owner 256 --print=none --extract=n --"},
    {"rc4-128-modify-assembly", "--allow-weak-crypto --encrypt '' owner 128 --modify=assembly --"},
    {"aes-256-modify-form", "--object-streams=generate --encrypt '' owner 256 --modify=form --"},
};

// Every split's outputs of each encrypted input are checked, and say of
// their encryption what qpdf says of the input's.
TEST(Encrypted, EveryMethodSplitsAndKeepsItsProtection)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    producers_dir d;
    std::string plain = d.path("plain.pdf");
    write_file(plain, strings_pdf());
    for (const method_case &m : OPENING) {
        SCOPED_TRACE(m.name);
        producers_dir out;
        std::string in = out.path("in.pdf");
        ASSERT_EQ(run_command(std::string("qpdf ") + m.args + " '" + plain + "' '" + in + "'"), 0);
        EXPECT_EQ(std::to_string(rorezide_page_count(in.c_str())) + "\n",
                  qpdf_report("--show-npages", in));
        std::string want = qpdf_report("--show-encryption", in);
        ASSERT_NE(want.find("P = "), std::string::npos) << want;
        check_all_splits(out, in, [&want](const std::string &output) {
            EXPECT_EQ(qpdf_report("--show-encryption", output), want) << output;
            std::string plain_text;
            run_command("qpdf --decrypt --qdf '" + output + "' - 2>&1", &plain_text);
            EXPECT_NE(plain_text.find("/Lang (de-CH)"), std::string::npos) << output;
            EXPECT_NE(plain_text.find("/Title (Pages \\(and strings\\))"), std::string::npos)
                << output;
        });
    }
}

// The encryption dictionary held in the trailer itself, not in an object:
// the output's trailer holds it byte for byte.
TEST(Encrypted, InlineEncryptionDictionaryTravelsInTheTrailer)
{
    if (!have_checkers())
        GTEST_SKIP() << "qpdf or pdftoppm missing";
    producers_dir d;
    std::string plain = d.path("plain.pdf");
    write_file(plain, strings_pdf());
    std::string made = d.path("made.pdf");
    ASSERT_EQ(run_command("qpdf --encrypt '' owner 128 --use-aes=y -- '" + plain + "' '" + made +
                          "'"),
              0);
    std::string bytes = read_file(made);
    // The object /Encrypt names, moved into the trailer.
    size_t ref = bytes.rfind("/Encrypt ");
    ASSERT_NE(ref, std::string::npos);
    int num = std::atoi(bytes.c_str() + ref + 9);
    std::string head = "\n" + std::to_string(num) + " 0 obj\n";
    size_t obj = bytes.find(head);
    ASSERT_NE(obj, std::string::npos);
    size_t open = bytes.find("<<", obj), close = bytes.find("\nendobj", obj);
    std::string dict = bytes.substr(open, close - open);
    size_t ref_end = bytes.find(" R", ref) + 2;
    bytes.replace(ref, ref_end - ref, "/Encrypt " + dict);
    std::string in = d.path("inline.pdf");
    write_file(in, bytes);
    std::string want = qpdf_report("--show-encryption", in);
    ASSERT_NE(want.find("AESv2"), std::string::npos) << want;
    std::string out = d.path("out.pdf");
    int list[3] = {3, 1, 3};
    ASSERT_EQ(rorezide_pages(in.c_str(), list, 3, out.c_str()), 1) << rorezide_last_error();
    expect_same_pages(in, out, {3, 1, 3});
    EXPECT_EQ(qpdf_report("--show-encryption", out), want);
    EXPECT_NE(read_file(out).find("/Encrypt " + dict + " /ID ["), std::string::npos);
}

// A password to type, or permissions that forbid assembly: refused, with
// nothing written. Counting pages needs no permission.
TEST(Encrypted, PasswordsAndForbiddenAssemblyAreRefused)
{
    if (!have_tool("qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    producers_dir d;
    std::string plain = d.path("plain.pdf");
    write_file(plain, strings_pdf());
    struct {
        const char *args;
        bool counts;
        const char *message;
    } cases[] = {
        {"--allow-weak-crypto --encrypt user owner 40 --", false, "Encrypted PDFs are not supported:"},
        {"--allow-weak-crypto --encrypt user owner 128 --", false, "Encrypted PDFs are not supported:"},
        {"--encrypt user owner 128 --use-aes=y --", false, "Encrypted PDFs are not supported:"},
        {"--encrypt user owner 256 --", false, "Encrypted PDFs are not supported:"},
        {"--allow-weak-crypto --encrypt '' owner 40 --modify=n --", true,
         "Document permissions do not allow extracting pages from"},
        {"--encrypt '' owner 128 --use-aes=y --modify=none --", true,
         "Document permissions do not allow extracting pages from"},
        {"--object-streams=generate --encrypt '' owner 256 --modify=none --", true,
         "Document permissions do not allow extracting pages from"},
        // From revision 3 bit 11 forbids assembly though bit 4 is set.
        {"--encrypt '' owner 256 --assemble=n --", true,
         "Document permissions do not allow extracting pages from"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        std::string in = d.path("in.pdf");
        ASSERT_EQ(run_command(std::string("qpdf ") + c.args + " '" + plain + "' '" + in + "'"), 0);
        EXPECT_EQ(rorezide_page_count(in.c_str()), c.counts ? 3 : -1);
        std::string msg = std::string(c.message) + " '" + in + "'";
        std::string out = d.path("out.pdf"), dir = d.path("dir");
        int one[1] = {1};
        const std::function<int()> calls[] = {
            // Refused before the page range is looked at.
            [&] { return rorezide_range(in.c_str(), 1, 9, out.c_str()); },
            [&] { return rorezide_pages(in.c_str(), one, 1, out.c_str()); },
            [&] { return rorezide_remove(in.c_str(), one, 1, out.c_str()); },
            [&] { return rorezide_all(in.c_str(), dir.c_str()); },
            [&] { return rorezide_every_n(in.c_str(), 2, dir.c_str()); },
        };
        for (const auto &call : calls) {
            EXPECT_EQ(call(), 0);
            EXPECT_EQ(rorezide_last_error(), msg);
        }
        EXPECT_FALSE(file_exists(out));
        EXPECT_FALSE(file_exists(dir));
    }
}

}  // namespace
