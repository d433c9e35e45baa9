#include <gtest/gtest.h>

#include <string>

#include "doc/doc_helpers.h"

namespace {

const char *const BAD_TREE = "Could not resolve page tree or document has 0 pages in '";

// Loads a file built from the objects; trailer /Root 1 unless told otherwise.
struct loaded {
    pdf_doc doc{};
    int rc;
    std::string path;
    explicit loaded(pdf_builder b, const std::string &trailer = "/Root 1 0 R")
    {
        rc = load_bytes(b.finish(trailer), &doc, &path);
    }
    ~loaded() { doc_free(&doc); }
    const page_entry &page(int i) const { return doc.pages.items[i]; }
    std::string message() const { return g_err_text(); }
    static std::string g_err_text();
    bool failed_with(const std::string &prefix) const
    {
        return rc < 0 && message() == prefix + path + "'";
    }
};

}  // namespace

#include "base/error.h"
std::string loaded::g_err_text()
{
    return g_err;
}

namespace {

pdf_builder catalog_and_root(const std::string &root_extra, const std::string &kids)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] " + root_extra + " >>");
    return b;
}

}  // namespace

TEST(PageTree, InheritsBoxesRotationAndResources)
{
    pdf_builder b = catalog_and_root(
        "/MediaBox [0 0 500 700] /CropBox [10 10 490 690] /Rotate -90 "
        "/Resources << /Font << /F1 9 0 R >> >>",
        "3 0 R 4 0 R 5 0 R");
    b.obj(3, "<< /Type /Page /Parent 2 0 R >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /Rotate 450 /MediaBox [0 0 100 200] /Resources 8 0 R >>");
    b.obj(5, "<< /Type /Pages /Parent 2 0 R /Rotate 0 /Kids [6 0 R] >>");
    b.obj(6, "<< /Type /Page /Parent 5 0 R /Resources 0 0 R >>");
    loaded l(b);
    ASSERT_EQ(l.rc, 0) << l.message();
    ASSERT_EQ(l.doc.pages.count, 3);

    const page_entry &a = l.page(0);
    EXPECT_EQ(a.num, 3);
    EXPECT_EQ(a.rotate, 270);
    EXPECT_EQ(a.media_box[2], 500);
    EXPECT_EQ(a.has_crop_box, 1);
    EXPECT_EQ(a.crop_box[3], 690);
    EXPECT_EQ(a.has_resources, 1);
    EXPECT_EQ(a.resources_num, -1);
    ASSERT_NE(a.resources_text, nullptr);
    EXPECT_STREQ(a.resources_text, "<< /Font << /F1 9 0 R >> >>");
    EXPECT_EQ(a.resources_len, 27);

    const page_entry &p = l.page(1);
    EXPECT_EQ(p.rotate, 90);
    EXPECT_EQ(p.media_box[3], 200);
    EXPECT_EQ(p.resources_num, 8);
    EXPECT_EQ(p.resources_text, nullptr);

    const page_entry &c = l.page(2);  // own /Rotate 0 on its parent overrides -90
    EXPECT_EQ(c.num, 6);
    EXPECT_EQ(c.rotate, 0);
    EXPECT_EQ(c.has_resources, 0);  // "0 0 R" counts as none and stops inheritance
    EXPECT_EQ(c.resources_num, 0);
}

TEST(PageTree, DefaultsAndUnreadableValues)
{
    pdf_builder b = catalog_and_root("", "3 0 R 3 0 R");
    b.obj(3, "<< /Type /Page /MediaBox 9 0 R /Rotate /Bad >>");
    loaded l(b);
    ASSERT_EQ(l.rc, 0) << l.message();
    ASSERT_EQ(l.doc.pages.count, 2);  // a page listed twice gives two entries
    EXPECT_EQ(l.page(0).media_box[0], 0);
    EXPECT_EQ(l.page(0).media_box[2], 612);
    EXPECT_EQ(l.page(0).media_box[3], 792);
    EXPECT_EQ(l.page(0).has_media_box, 1);
    EXPECT_EQ(l.page(0).has_crop_box, 0);
    EXPECT_EQ(l.page(1).rotate, 0);
}

TEST(PageTree, InlineResourcesAreCopiedPerPageWithTheirBytes)
{
    std::string res = std::string("<< /P (a") + '\0' + "b) >>";
    pdf_builder b = catalog_and_root("/Resources " + res, "3 0 R 4 0 R");
    b.obj(3, "<< /Type /Page >>");
    b.obj(4, "<< /Type /Page >>");
    loaded l(b);
    ASSERT_EQ(l.rc, 0) << l.message();
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(l.page(i).resources_len, static_cast<int32_t>(res.size()));
        EXPECT_EQ(std::string(l.page(i).resources_text, res.size()), res);
    }
    EXPECT_NE(l.page(0).resources_text, l.page(1).resources_text);
}

TEST(PageTree, KidsArrayReading)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 7 0 R >>");
    b.obj(2, "<< /Type /Page >>");
    b.obj(3, "<< /Type /Page >>");
    b.obj(7, "<< /Type /Pages /Kids [2 0 R x 3 R 0 0 R -4 0 R] >>");
    loaded l(b);
    ASSERT_EQ(l.rc, 0) << l.message();
    ASSERT_EQ(l.doc.pages.count, 2);
    EXPECT_EQ(l.page(0).num, 2);
    EXPECT_EQ(l.page(1).num, 3);
}

TEST(PageTree, BrokenTreesFailWithTheTreeMessage)
{
    struct {
        const char *name;
        std::string root_kids;
        std::string extra;
    } cases[] = {
        {"indirect kids", "", "4 0 obj [3 0 R] endobj\n"},
        {"missing kid", "9 0 R", ""},
        {"kid is a font", "5 0 R", ""},
        {"pages node under two parents", "6 0 R 6 0 R", ""},
        {"inline kid below the root", "6 0 R", ""},
        {"cycle", "8 0 R", ""},
    };
    for (auto &c : cases) {
        pdf_builder b;
        b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
        if (c.root_kids.empty())
            b.obj(2, "<< /Type /Pages /Kids 4 0 R >>");
        else
            b.obj(2, "<< /Type /Pages /Kids [" + c.root_kids + "] >>");
        b.obj(3, "<< /Type /Page >>");
        b.obj(5, "<< /Type /Font /Subtype /Type1 >>");
        if (std::string(c.name) == "inline kid below the root")
            b.obj(6, "<< /Type /Pages /Kids [<< /Type /Page >>] >>");
        else
            b.obj(6, "<< /Type /Pages /Kids [3 0 R] >>");
        b.obj(8, "<< /Type /Pages /Kids [2 0 R] >>");
        b.raw(c.extra);
        loaded l(b);
        EXPECT_TRUE(l.failed_with(BAD_TREE)) << c.name << ": " << l.message();
    }
}

TEST(PageTree, InlineKidAtTheRootHasItsOwnMessage)
{
    pdf_builder b = catalog_and_root("", "<< /Type /Page >>");
    loaded l(b);
    EXPECT_TRUE(l.failed_with("Page tree uses inline page dictionaries in /Kids \xE2\x80\x94 "
                              "pages must be indirect objects in '"))
        << l.message();
}

TEST(PageTree, ChoosingTheCatalog)
{
    {  // the first /Pages with a number of at least 1
        pdf_builder b;
        b.obj(1, "<< /Type /Catalog /Pages 0 0 R /Pages 5 0 R >>");
        b.obj(5, "<< /Type /Pages /Kids [6 0 R] >>");
        b.obj(6, "<< /Type /Page >>");
        loaded l(b);
        ASSERT_EQ(l.rc, 0) << l.message();
        EXPECT_EQ(l.page(0).num, 6);
    }
    {  // no /Root, no /Catalog: object 1, which is itself a pages node
        pdf_builder b;
        b.obj(1, "<< /Type /Pages /Kids [2 0 R] >>");
        b.obj(2, "<< /Type /Page >>");
        loaded l(b, "");
        ASSERT_EQ(l.rc, 0) << l.message();
        EXPECT_EQ(l.doc.pages.count, 1);
    }
    {  // /Root names nothing: the first object naming /Catalog
        pdf_builder b;
        b.obj(3, "<< /Type /Page >>");
        b.obj(4, "<< /Type /Catalog /Pages 5 0 R >>");
        b.obj(5, "<< /Type /Pages /Kids [3 0 R] >>");
        loaded l(b, "/Root 40 0 R");
        ASSERT_EQ(l.rc, 0) << l.message();
    }
    {
        pdf_builder b;
        b.obj(2, "<< /Type /Catalog /Pages /None >>");
        loaded l(b, "/Root 2 0 R");
        EXPECT_TRUE(l.failed_with("Catalog has no /Pages reference in '")) << l.message();
    }
    {
        pdf_builder b;
        b.obj(2, "<< /Type /Page >>");
        loaded l(b, "");  // no root, no /Catalog, no object 1
        EXPECT_TRUE(l.failed_with("Catalog has no /Pages reference in '")) << l.message();
    }
}

TEST(PageTree, NameTreeInTheCatalogIsNotThePageTree)
{
    // Catalogs with named destinations nest /Kids in their name tree.
    pdf_builder b;
    b.obj(1, "<< /Names << /Dests << /Kids [ 5 0 R ] >> >> /Pages 3 0 R /Type /Catalog >>");
    b.obj(3, "<< /Type /Pages /Kids [ 4 0 R ] /Count 1 >>");
    b.obj(4, "<< /Type /Page /Parent 3 0 R >>");
    b.obj(5, "<< /Names [ (a) 6 0 R ] >>");
    b.obj(6, "[ 4 0 R /Fit ]");
    loaded l(b);
    ASSERT_EQ(l.rc, 0) << l.message();
    EXPECT_EQ(l.doc.pages.count, 1);
}

TEST(PageTree, DeepNestingDoesNotExhaustTheStack)
{
    const int depth = 1000000;
    std::string f = "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    f.reserve(static_cast<size_t>(depth) * 40);
    for (int i = 2; i < depth + 2; i++)
        f += std::to_string(i) + " 0 obj << /Kids [" + std::to_string(i + 1) + " 0 R] >> endobj\n";
    f += std::to_string(depth + 2) + " 0 obj << /Type /Page >> endobj\n";
    f += "trailer << /Root 1 0 R >>\n";
    pdf_doc doc;
    int rc = load_bytes(f, &doc);
    EXPECT_EQ(rc, 0) << g_err;
    EXPECT_EQ(doc.pages.count, 1);
    doc_free(&doc);
}

TEST(PageTree, APageListedOftenIsReadOnce)
{
    // One large page object listed 100,000 times; reading it anew for every
    // listing would scan 10 GB.
    std::string filler = "/Filler (" + std::string(100000, 'x') + ")";
    std::string kids;
    for (int i = 0; i < 100000; i++)
        kids += "3 0 R ";
    pdf_builder b = catalog_and_root("/Resources 9 0 R", kids);
    b.obj(3, "<< /Type /Page " + filler + " >>");
    loaded l(b);
    ASSERT_EQ(l.rc, 0) << l.message();
    EXPECT_EQ(l.doc.pages.count, 100000);
    EXPECT_EQ(l.page(99999).resources_num, 9);
}

TEST(PageTree, CopiesOfHugeInlineResourcesAreBounded)
{
    // Every page entry owns its resources text: 100,000 copies of 100 KB
    // would take 10 GB, so the load gives up with a clear message.
    std::string res = "<< /Filler (" + std::string(100000, 'x') + ") >>";
    std::string kids;
    for (int i = 0; i < 100000; i++)
        kids += "3 0 R ";
    pdf_builder b = catalog_and_root("", kids);
    b.obj(3, "<< /Type /Page /Resources " + res + " >>");
    loaded l(b);
    EXPECT_EQ(l.rc, -1);
    EXPECT_EQ(l.message(), "Out of memory");
}

TEST(PageTree, ObjectsWithoutEndobjAreChargedForWhatIsRead)
{
    // No object ends with "endobj", so every page's text runs to the end
    // of this 2 MB file; reading the tree still touches a few hundred bytes
    // per page, and every page is counted.
    const int pages = 100;
    std::string f = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\n";
    std::string kids;
    for (int p = 0; p < pages; p++)
        kids += std::to_string(3 + p) + " 0 R ";
    f += "2 0 obj\n<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
         " /MediaBox [0 0 612 792] >>\n";
    for (int p = 0; p < pages; p++)
        f += std::to_string(3 + p) + " 0 obj\n<< /Type /Page /Parent 2 0 R /Contents " +
             std::to_string(3 + pages + p) + " 0 R >>\n";
    std::string data;
    while (data.size() < 20000)
        data += "BT /F1 12 Tf 72 700 Td (The quick brown fox) Tj ET\n";
    for (int p = 0; p < pages; p++)
        f += std::to_string(3 + pages + p) + " 0 obj\n<< /Length " + std::to_string(data.size()) +
             " >>\nstream\n" + data + "\nendstream\n";
    f += "trailer\n<< /Root 1 0 R >>\n";
    pdf_doc doc;
    ASSERT_EQ(load_bytes(f, &doc), 0) << g_err;
    EXPECT_EQ(doc.pages.count, pages);
    EXPECT_EQ(doc.pages.items[pages - 1].num, 2 + pages);
    EXPECT_EQ(doc.pages.items[pages - 1].media_box[2], 612);
    doc_free(&doc);
}
