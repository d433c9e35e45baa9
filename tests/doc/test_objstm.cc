#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "doc/doc_helpers.h"
#include "support/hostile_docs.h"

namespace {

std::string objstm_object(int num, const std::string &dict_extra, const std::string &stream)
{
    return std::to_string(num) + " 0 obj\n<< /Type /ObjStm " + dict_extra + " /Length " +
           std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream\nendobj\n";
}

// The catalog, page tree and two pages as one object stream's text; *first
// receives the offset of the first object.
std::string page_tree_stream_text(int *first)
{
    return objstm_body(
        {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
         {2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 300 300] >>"},
         {3, "<< /Type /Page /Parent 2 0 R /Rotate 90 >>"},
         {4, "<< /Type /Page /Parent 2 0 R >>"}},
        first);
}

// A whole document whose catalog, page tree and pages live in one object
// stream; only the page contents and the trailer are plain.
std::string compressed_document()
{
    int first = 0;
    std::string content = page_tree_stream_text(&first);
    std::string f = "%PDF-1.5\n";
    f += objstm_object(9, "/N 4 /First " + std::to_string(first), zlib_stored(content));
    f += "trailer\n<< /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
    return f;
}

}  // namespace

TEST(ObjectStreams, DocumentInsideAnObjectStreamLoads)
{
    pdf_doc doc;
    ASSERT_EQ(load_bytes(compressed_document(), &doc), 0) << g_err;
    ASSERT_EQ(doc.pages.count, 2);
    EXPECT_EQ(doc.pages.items[0].rotate, 90);
    EXPECT_EQ(doc.pages.items[1].media_box[2], 300);
    EXPECT_EQ(doc.objstm_count, 1);
    EXPECT_EQ(find_entry(doc, 9), nullptr);  // the container is not in the index
    doc_free(&doc);
}

TEST(ObjectStreams, PairsDelimitTheObjects)
{
    // /N 2 /First 8 over 15 bytes: object 5 is bytes 8..11, object 6 12..14.
    std::string content = "5 0 6 4 <<>>abc";
    std::string f = "%PDF-1.5\n" + objstm_object(9, "/N 2 /First 8", zlib_stored(content));
    pdf_doc doc;
    load_bytes(f, &doc);
    ASSERT_NE(find_entry(doc, 5), nullptr);
    EXPECT_EQ(entry_text(*find_entry(doc, 5)), "<<>>");
    EXPECT_EQ(entry_text(*find_entry(doc, 6)), "abc");
    doc_free(&doc);

    // Offsets that do not ascend: the first pair's range is empty.
    std::string down = "5 4 6 0 <<>>abc";
    load_bytes("%PDF-1.5\n" + objstm_object(9, "/N 2 /First 8", zlib_stored(down)), &doc);
    EXPECT_EQ(find_entry(doc, 5), nullptr);
    ASSERT_NE(find_entry(doc, 6), nullptr);
    EXPECT_EQ(entry_text(*find_entry(doc, 6)), "<<>>abc");
    doc_free(&doc);
}

TEST(ObjectStreams, UnusableStreamsAreSkipped)
{
    std::string content = "5 0 <<>>";
    struct {
        const char *name;
        std::string dict;
        std::string stream;
    } cases[] = {
        {"no /First", "/N 1", zlib_stored(content)},
        {"/N 0", "/N 0 /First 4", zlib_stored(content)},
        {"not zlib", "/N 1 /First 4 /Filter /FlateDecode", content},
        {"truncated", "/N 1 /First 4", zlib_stored(content).substr(0, 8)},
    };
    for (auto &c : cases) {
        pdf_doc doc;
        load_bytes("%PDF-1.5\n" + objstm_object(9, c.dict, c.stream), &doc);
        EXPECT_EQ(doc.objs.count, 0) << c.name;
        EXPECT_EQ(doc.objstm_count, 0) << c.name;
        doc_free(&doc);
    }
}

TEST(ObjectStreams, HugeCountsStayBounded)
{
    // /N of a billion over a few bytes of data: the reads past the one pair
    // present fail, so that pair's range ends before it starts.
    std::string content = "5 0 <</A 1>>";
    pdf_doc doc;
    load_bytes("%PDF-1.5\n" + objstm_object(9, "/N 1000000000 /First 4", zlib_stored(content)), &doc);
    EXPECT_EQ(doc.objs.count, 0);
    EXPECT_EQ(doc.objstm_count, 1);
    doc_free(&doc);
}

TEST(ObjectStreams, StreamsWithoutFilterAreReadAsTheyStand)
{
    int first = 0;
    std::string content = page_tree_stream_text(&first);
    std::string f = "%PDF-1.5\n" +
                    objstm_object(9, "/N 4 /First " + std::to_string(first), content) +
                    "trailer\n<< /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
    pdf_doc doc;
    ASSERT_EQ(load_bytes(f, &doc), 0) << g_err;
    ASSERT_EQ(doc.pages.count, 2);
    EXPECT_EQ(doc.pages.items[0].rotate, 90);
    EXPECT_EQ(doc.pages.items[1].media_box[2], 300);
    EXPECT_EQ(doc.objstm_count, 0);  // nothing decoded, nothing kept
    ASSERT_NE(find_entry(doc, 4), nullptr);
    const obj_entry &e = *find_entry(doc, 4);
    EXPECT_EQ(e.compressed, 1);
    EXPECT_EQ(entry_text(e), "<< /Type /Page /Parent 2 0 R >>\n");
    // The text is the file's own bytes, not a copy.
    EXPECT_GE(e.text, doc.data);
    EXPECT_LE(e.text + e.text_len, doc.data + doc.size);
    EXPECT_EQ(find_entry(doc, 9), nullptr);  // the container is not in the index
    doc_free(&doc);

    // A count of a billion over the same bytes reads only the pairs there.
    load_bytes("%PDF-1.5\n" + objstm_object(9, "/N 1000000000 /First 4", "5 0 <</A 1>>"), &doc);
    EXPECT_EQ(doc.objs.count, 0);
    doc_free(&doc);
}

TEST(ObjectStreams, StreamsThatDecodeOrNameAFilterAreNotReadAsTheyStand)
{
    std::string content = "5 0 <</A 1>>";
    // Zlib data without /Filter is decoded as before.
    pdf_doc doc;
    load_bytes("%PDF-1.5\n" + objstm_object(9, "/N 1 /First 4", zlib_stored(content)), &doc);
    ASSERT_NE(find_entry(doc, 5), nullptr);
    EXPECT_EQ(entry_text(*find_entry(doc, 5)), "<</A 1>>");
    EXPECT_EQ(doc.objstm_count, 1);
    EXPECT_FALSE(find_entry(doc, 5)->text >= doc.data &&
                 find_entry(doc, 5)->text < doc.data + doc.size);
    doc_free(&doc);
    // So are data with /Filter /FlateDecode; the same bytes stored as they
    // stand, or under another filter, are skipped.
    load_bytes("%PDF-1.5\n" + objstm_object(9, "/N 1 /First 4 /Filter /FlateDecode",
                                             zlib_stored(content)),
               &doc);
    ASSERT_NE(find_entry(doc, 5), nullptr);
    EXPECT_EQ(entry_text(*find_entry(doc, 5)), "<</A 1>>");
    doc_free(&doc);
    for (const char *filter : {"/Filter /FlateDecode", "/Filter [/ASCIIHexDecode]",
                               "/DecodeParms << /Filter 1 >>"}) {
        load_bytes("%PDF-1.5\n" + objstm_object(9, std::string("/N 1 /First 4 ") + filter, content),
                   &doc);
        EXPECT_EQ(doc.objs.count, 0) << filter;
        doc_free(&doc);
    }
}

TEST(ObjectStreams, OverlappingStreamsCostWorkInProportionToTheFile)
{
    // A stream whose input ends before its last block is read once: no
    // capacity would help, so no count follows.
    std::string one = overlapping_objstm_pdf(1, true);
    size_t data = one.find("endstream") - (one.find("stream\n") + 7);
    pdf_doc doc;
    ASSERT_EQ(load_bytes(one, &doc), 0) << g_err;
    EXPECT_GT(doc.objstm_work, static_cast<int64_t>(data));
    EXPECT_LT(doc.objstm_work, 2 * static_cast<int64_t>(data));
    doc_free(&doc);

    // Hundreds of streams each reading on to the end of the file would cost
    // about count * size / 2 in reads alone; with or without /Filter (the
    // streams without it, not decoding, are then taken as they stand), the
    // stage spends a small multiple of the file size.
    for (bool filter : {true, false}) {
        std::string f = overlapping_objstm_pdf(300, filter);
        int64_t size = static_cast<int64_t>(f.size());
        ASSERT_EQ(load_bytes(f, &doc), 0) << g_err;
        EXPECT_EQ(doc.pages.count, 1);
        EXPECT_EQ(doc.objs.count, 3);
        EXPECT_LT(doc.objstm_work, 10 * size + (4 << 20)) << filter;
        doc_free(&doc);
    }
}

#if ROREZIDE_HAVE_ZLIB
#include <zlib.h>

TEST(ObjectStreams, OutputLargerThanTheFirstCapacityIsDecodedWhole)
{
    // Repetitive objects compress far beyond ten to one, so the first
    // capacity is too small and the stream must be decoded again whole.
    std::vector<std::pair<int, std::string>> objs;
    for (int i = 1; i <= 5000; i++)
        objs.push_back({i, "<< /Filler (" + std::string(1000, 'x') + ") >>"});
    int first = 0;
    std::string content = objstm_body(objs, &first);
    uLongf zlen = compressBound(content.size());
    std::string z(zlen, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef *>(&z[0]), &zlen,
                        reinterpret_cast<const Bytef *>(content.data()), content.size(), 9),
              Z_OK);
    z.resize(zlen);
    ASSERT_LT(z.size() * 10 + 65536, content.size());
    pdf_doc doc;
    load_bytes("%PDF-1.5\n" + objstm_object(6000, "/N 5000 /First " + std::to_string(first), z),
               &doc);
    EXPECT_EQ(doc.objs.count, 5000);
    ASSERT_NE(find_entry(doc, 5000), nullptr);
    EXPECT_EQ(entry_text(*find_entry(doc, 5000)), "<< /Filler (" + std::string(1000, 'x') + ") >>\n");
    doc_free(&doc);
}
#endif
