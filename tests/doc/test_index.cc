#include <gtest/gtest.h>

#include <string>

#include "doc/doc_helpers.h"
#include "doc/stages.h"

namespace {

// Runs the index stages alone over the bytes (no trailers, no page tree).
struct indexed {
    pdf_doc doc{};
    explicit indexed(const std::string &bytes, bool resolve = true)
    {
        doc.data = static_cast<unsigned char *>(std::malloc(bytes.size() + 1));
        std::memcpy(doc.data, bytes.data(), bytes.size());
        doc.size = static_cast<int32_t>(bytes.size());
        index_scan_objects(&doc);
        index_stream_extents(&doc);
        index_object_ends(&doc);
        objstm_expand_all(&doc);
        if (resolve)
            index_resolve_duplicates(&doc);
    }
    ~indexed() { doc_free(&doc); }
    std::vector<int> nums() const
    {
        std::vector<int> v;
        for (int32_t i = 0; i < doc.objs.count; i++)
            v.push_back(doc.objs.items[i].num);
        return v;
    }
    const obj_entry &at(int i) const { return doc.objs.items[i]; }
};

using nv = std::vector<int>;

}  // namespace

TEST(ObjectScan, HeaderShapes)
{
    EXPECT_EQ(indexed("7 0 obj\n<<>>\nendobj\n").nums(), nv{7});
    EXPECT_EQ(indexed("obj 1 obj obj").nums(), nv{});  // "obj" at 0 or 1 is never a header
    EXPECT_EQ(indexed(" x12 0 obj 1 endobj").nums(), nv{});
    EXPECT_EQ(indexed(" -12 0 obj 1 endobj").nums(), nv{12});
    EXPECT_EQ(indexed(" 12 0obj 1 endobj").nums(), nv{});
    EXPECT_EQ(indexed(" 12 0 objx 1 endobj").nums(), nv{});
    EXPECT_EQ(indexed(" 0 0 obj 1 endobj").nums(), nv{});
    EXPECT_EQ(indexed(" 5 123456789012345678901234567890 obj 1 endobj").nums(), nv{5});
    EXPECT_EQ(indexed(" 5\v0\fobj 1 endobj").nums(), nv{5});  // C white space separates
    EXPECT_EQ(indexed("0 obj 1 endobj").nums(), nv{});          // no room for a number
    EXPECT_EQ(indexed(" 4294967297 0 obj 1 endobj").nums(), nv{1});  // 32-bit wrap
    EXPECT_EQ(indexed(" 3000000000 0 obj 1 endobj").nums(), nv{});   // wraps negative
    // An update appended right after the end-of-file marker.
    EXPECT_EQ(indexed("%%EOF4 0 obj 1 endobj").nums(), nv{4});
    EXPECT_EQ(indexed(" %EOF4 0 obj 1 endobj").nums(), nv{});
    EXPECT_EQ(indexed(" x%%EOFx4 0 obj 1 endobj").nums(), nv{});

    indexed d(" 12 0 obj<</A 1>>endobj");
    ASSERT_EQ(d.nums(), nv{12});
    EXPECT_EQ(d.at(0).obj_off, 1);
    EXPECT_EQ(d.at(0).dict_off, 9);
    EXPECT_EQ(d.at(0).dict_end, -1);
    EXPECT_EQ(d.at(0).endobj_off, 17);
}

TEST(ObjectScan, HeadersInsideStreamDataAreIndexedToo)
{
    std::string f = "1 0 obj\n<< /Length 16 >>\nstream\n 2 0 obj (fake) \nendstream\nendobj\n";
    EXPECT_EQ(indexed(f).nums(), (nv{1, 2}));
}

TEST(StreamExtents, DataStartsAfterTheLineEnd)
{
    struct {
        const char *after;
        int32_t skip;
    } cases[] = {{"\r\n", 2}, {"\r", 1}, {"\n", 1}, {" ", 0}, {"%", 0}};
    for (auto &c : cases) {
        std::string f = " 1 0 obj <<>> stream" + std::string(c.after) + "DATA\nendstream endobj";
        indexed d(f);
        ASSERT_EQ(d.nums(), nv{1}) << c.after;
        int32_t kw = static_cast<int32_t>(f.find("stream"));
        EXPECT_EQ(d.at(0).has_stream, 1);
        EXPECT_EQ(d.at(0).dict_end, kw);
        EXPECT_EQ(d.at(0).data_off, kw + 6 + c.skip) << c.after;
    }
}

TEST(StreamExtents, LengthDecidesWhenEndstreamFollows)
{
    std::string f = " 1 0 obj << /Length 4 >> stream\r\nDATA\r\nendstream endobj";
    indexed d(f);
    EXPECT_EQ(d.at(0).data_end - d.at(0).data_off, 4);

    // A NUL between data and "endstream", or a length running past the
    // file, falls back to the keyword itself.
    std::string nul = std::string(" 1 0 obj << /Length 4 >> stream\nDATA") + '\0' + "endstream endobj";
    indexed n(nul);
    EXPECT_EQ(n.at(0).data_end, static_cast<int32_t>(nul.find("endstream")));
    std::string past = " 1 0 obj << /Length 400 >> stream\nDATA\nendstream endobj";
    indexed p(past);
    EXPECT_EQ(p.at(0).data_end, static_cast<int32_t>(past.find("endstream")));
    std::string none = " 1 0 obj << /Length 4 >> stream\nDATA";
    indexed q(none);
    EXPECT_EQ(q.at(0).data_end, static_cast<int32_t>(none.size()));
    EXPECT_EQ(q.at(0).endobj_off, static_cast<int32_t>(none.size()));
}

TEST(StreamExtents, UnreadableLengthsArePassedOver)
{
    std::string f = " 1 0 obj << /Length -3 /Length +2 /Length 4 >> stream\nDATA\nendstream endobj";
    indexed d(f);
    EXPECT_EQ(d.at(0).data_end - d.at(0).data_off, 4)
        << "only the last /Length is a plain non-negative integer";
    std::string g = " 1 0 obj << /Length (x) /Length 4 >> stream\nDATAendstream endobj";
    indexed e(g);
    EXPECT_EQ(e.at(0).data_end - e.at(0).data_off, 4);
}

TEST(StreamExtents, IndirectLengthUsesTheFirstDefinitionInTheFile)
{
    std::string body = "1 0 obj << /Length 10 0 R >> stream\nDATA-DATA\nendstream endobj\n";
    indexed one(" " + body + "10 0 obj 9 endobj\n");
    EXPECT_EQ(one.at(0).data_end - one.at(0).data_off, 9);

    // Two definitions: the first in the file gives the length, although
    // duplicate resolution keeps the second.
    indexed two(" " + body + "10 0 obj 9 endobj\n10 0 obj 2 endobj\n");
    EXPECT_EQ(two.at(0).data_end - two.at(0).data_off, 9);
    EXPECT_EQ(slice(two.doc, two.at(1).obj_off, two.at(1).obj_off + 12), "10 0 obj 2 e");

    // A length object with a dictionary does not count: "endstream" decides.
    std::string dict = " " + body + "10 0 obj << >> endobj\n";
    indexed d(dict);
    EXPECT_EQ(d.at(0).data_end, static_cast<int32_t>(dict.find("endstream")));
    // "10 0 Rx" is no reference: the direct value 10 runs past the data.
    std::string rx = " 1 0 obj << /Length 10 0 Rx >> stream\nDATA-DATA\nendstream endobj\n";
    indexed r(rx);
    EXPECT_EQ(r.at(0).data_end, static_cast<int32_t>(rx.find("endstream")));
}

TEST(ObjectEnds, SearchStartsPastStreamData)
{
    std::string f = " 1 0 obj << /Length 6 >> stream\nendobj\nendstream endobj 2 0 obj 5 endobj";
    indexed d(f);
    ASSERT_EQ(d.nums(), (nv{1, 2}));
    EXPECT_EQ(d.at(0).endobj_off, static_cast<int32_t>(f.find("endobj", f.find("endstream"))));
    EXPECT_EQ(d.at(1).endobj_off, static_cast<int32_t>(f.rfind("endobj")));
}

TEST(ObjectEnds, AClosedDictionaryIsSkippedWithItsStrings)
{
    // The dictionary closes before the next header: its string's "endobj"
    // is no end.
    std::string f = " 1 0 obj << /Contents (Every object ends with endobj) >> endobj"
                    " 2 0 obj << /Contents (endobj) 3 0 obj 7 endobj";
    indexed d(f, false);
    ASSERT_EQ(d.nums(), (nv{1, 2, 3}));
    EXPECT_EQ(d.at(0).endobj_off, static_cast<int32_t>(f.find(">> endobj") + 3));
    // Object 2's dictionary does not close before object 3: found as before.
    EXPECT_EQ(d.at(1).endobj_off, static_cast<int32_t>(f.find("endobj) 3")));
    EXPECT_EQ(d.at(0).gen, 0);
}

TEST(ObjectScan, GenerationsAreRecorded)
{
    indexed d(" 4 1 obj 1 endobj 5 65535 obj 2 endobj 6 4294967297 obj 3 endobj");
    ASSERT_EQ(d.nums(), (nv{4, 5, 6}));
    EXPECT_EQ(d.at(0).gen, 1);
    EXPECT_EQ(d.at(1).gen, 65535);
    EXPECT_EQ(d.at(2).gen, 1);  // wraps like every integer read
}

TEST(DuplicateResolution, LastPlainWinsAndPlainBeatsCompressed)
{
    indexed d(" 3 0 obj (a) endobj 3 0 obj (b) endobj 2 0 obj (c) endobj");
    ASSERT_EQ(d.nums(), (nv{3, 2}));
    EXPECT_EQ(slice(d.doc, d.at(0).obj_off, d.at(0).obj_off + 12), "3 0 obj (b) ");
    EXPECT_EQ(d.doc.max_num, 3);

    int first = 0;
    std::string content = objstm_body({{4, "(compressed)"}, {5, "(only here)"}}, &first);
    std::string z = zlib_stored(content);
    std::string f = " 4 0 obj (plain) endobj\n9 0 obj << /Type /ObjStm /N 2 /First " +
                    std::to_string(first) + " /Length " + std::to_string(z.size()) +
                    " >> stream\n" + z + "\nendstream endobj\n";
    indexed s(f);
    ASSERT_EQ(s.nums(), (nv{4, 5}));  // the container itself is dropped
    EXPECT_EQ(s.at(0).compressed, 0);
    EXPECT_EQ(entry_text(s.at(1)), "(only here)\n");
    EXPECT_EQ(s.doc.max_num, 5);
}

TEST(DuplicateResolution, NumbersBeyondTheCeilingAreDropped)
{
    indexed d(" 8388608 0 obj 1 endobj 9999999 0 obj 1 endobj");
    EXPECT_EQ(d.nums(), nv{});
    EXPECT_EQ(d.doc.max_num, 0);
    indexed e(" 8388607 0 obj 1 endobj");
    EXPECT_EQ(e.doc.max_num, 8388607);
}

TEST(ObjectScan, UnclosedDictionariesStayLinear)
{
    // Each header opens a dictionary that never closes, so each search for
    // its close would run to the end of the file: n headers, n passes.
    std::string f;
    for (int i = 1; i <= 5000; i++)
        f += std::to_string(i) + " 0 obj << /A (x\n";
    indexed d(f);
    EXPECT_EQ(d.doc.objs.count, 5000);
    // The searches' budget of 16 times the file, the one search that spends
    // it (at most the file), and the searches after it, each ending at the
    // next "obj" (the file again, and a few bytes per header).
    int64_t size = d.doc.size;
    EXPECT_LE(d.doc.index_work, 20 * size);
    EXPECT_GE(d.doc.index_work, size);
}
