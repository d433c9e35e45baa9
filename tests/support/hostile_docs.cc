#include "support/hostile_docs.h"

#include <cstdint>
#include <vector>

#include "support/fixture.h"
#include "support/fixture_docs.h"

namespace {

const char FONT[] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";

// A DEFLATE bit stream: fields least significant bit first, Huffman codes
// most significant bit first, as RFC 1951 packs them.
struct bit_writer {
    std::string out;
    uint32_t acc = 0;
    int n = 0;
    void bits(uint32_t v, int len)
    {
        for (int i = 0; i < len; i++) {
            acc |= ((v >> i) & 1u) << n;
            if (++n == 8) {
                out += static_cast<char>(acc);
                acc = 0;
                n = 0;
            }
        }
    }
    void code(uint32_t c, int len)
    {
        for (int i = len - 1; i >= 0; i--)
            bits((c >> i) & 1u, 1);
    }
    // Fixed-code literal 0..143: eight bits from 0x30.
    void literal(unsigned char c) { code(0x30u + c, 8); }
    void align()
    {
        if (n > 0)
            bits(0, 8 - n);
    }
    std::string finish()
    {
        if (n > 0)
            out += static_cast<char>(acc);
        return out;
    }
};

}  // namespace

std::string huge_length_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 200 200] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>");
    b.stream(5, "<< /Length 2147483647 >>", "BT /F1 9 Tf (one) Tj ET");
    b.stream(6, "<< /Length -2147483648 >>", "BT /F1 9 Tf (two) Tj ET");
    return b.finish("/Root 1 0 R");
}

std::string huge_objstm_count_pdf()
{
    std::string f = objstm_pdf();
    size_t n = f.find("/N 5 ");
    return f.replace(n, 5, "/N 1000000000 ");
}

std::string high_object_number_pdf(size_t size)
{
    std::string f = simple_pdf(1);
    f += "8388607 0 obj\n<< /Kept true >>\nendobj\n";
    f += "8388608 0 obj\n<< /Dropped true >>\nendobj\n";
    std::string line = "%" + std::string(78, '.') + "\n";
    while (f.size() + line.size() <= size)
        f += line;
    f += std::string(size - f.size(), ' ');
    return f;
}

std::string prev_cycle_pdf()
{
    std::string f = simple_pdf(1);
    size_t a = f.size();
    std::string sec_a = "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 6 /Root 1 0 R /Prev ";
    std::string sec_b = "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 6 /Root 1 0 R /Prev ";
    // Offsets of fixed width, so each section's length is known before
    // the other's offset is.
    size_t b = a + sec_a.size() + 10 + 4;
    char num[16];
    std::snprintf(num, sizeof num, "%010zu", b);
    f += sec_a + num + " >>\n";
    std::snprintf(num, sizeof num, "%010zu", a);
    f += sec_b + num + " >>\n";
    f += "startxref\n" + std::to_string(a) + "\n%%EOF\n";
    return f;
}

std::string many_kids_pdf(int count)
{
    std::string kids;
    kids.reserve(static_cast<size_t>(count) * 6);
    for (int i = 0; i < count; i++)
        kids += "3 0 R ";
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Count " + std::to_string(count) + " /Kids [" + kids + "] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>");
    b.stream(4, "<< >>", "BT /F1 24 Tf 30 30 Td (P) Tj ET");
    b.obj(5, FONT);
    return b.finish("/Root 1 0 R");
}

std::string deep_tree_pdf(int depth)
{
    // Nodes 2 .. depth+1, each the only kid of the one before; the page is
    // depth+2, its contents depth+3.
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    for (int k = 2; k <= depth + 1; k++)
        b.obj(k, "<< /Type /Pages /Count 1 /Kids [" + std::to_string(k + 1) + " 0 R] >>");
    int page = depth + 2;
    b.obj(page, "<< /Type /Page /Contents " + std::to_string(page + 1) + " 0 R >>");
    b.stream(page + 1, "<< >>", "BT /F1 24 Tf 30 30 Td (deep) Tj ET");
    return b.finish("/Root 1 0 R");
}

std::string objstm_bomb_pdf(size_t expanded)
{
    std::string objs = "<< /Type /Catalog /Pages 2 0 R >>\n";
    size_t off2 = objs.size();
    objs += "<< /Type /Pages /Kids [3 0 R] /Count 1 >>\n";
    size_t off3 = objs.size();
    objs += "<< /Type /Page /MediaBox [0 0 100 100] >>\n";
    std::string head = "1 0 2 " + std::to_string(off2) + " 3 " + std::to_string(off3) + " ";
    std::string text = head + objs + " ";
    bit_writer w;
    w.bits(1, 1);  // final block
    w.bits(1, 2);  // fixed codes
    for (unsigned char c : text)
        w.literal(c);
    // Matches of 258 bytes at distance 1 repeat the last space: length
    // symbol 285 (8 bits 11000101), distance symbol 0 (5 bits).
    for (size_t made = text.size(); made + 258 <= expanded; made += 258) {
        w.code(0xC5, 8);
        w.code(0, 5);
    }
    w.code(0, 7);  // end of block
    std::string z = "\x78\x9C" + w.finish();
    std::string f = "%PDF-1.5\n";
    f += "4 0 obj\n<< /Type /ObjStm /N 3 /First " + std::to_string(head.size()) +
         " /Filter /FlateDecode /Length " + std::to_string(z.size()) + " >>\nstream\n" + z +
         "\nendstream\nendobj\n";
    f += "trailer\n<< /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
    return f;
}

namespace {

std::string overlapping_container_header(int num, bool filter)
{
    return std::to_string(num) + " 0 obj\n<< /Type /ObjStm /N 1 /First 4" +
           (filter ? " /Filter /FlateDecode" : "") + " >>\nstream\n";
}

// A not-final fixed-code block: five 9-bit literals bring the codes to a
// byte boundary, then 900 bytes of '.', each the 8-bit code of a literal.
// With next > 0 the block ends and a stored block of `next` bytes begins.
std::string overlapping_container_data(size_t next)
{
    bit_writer w;
    w.bits(0, 1);
    w.bits(1, 2);
    for (int i = 0; i < 5; i++)
        w.code(0x190, 9);
    std::string data = "\x78\x9C" + w.finish() + std::string(900, '.');
    if (next == 0)
        return data;
    bit_writer t;
    t.code(0, 7);  // end of block
    t.bits(0, 3);  // a stored block, not the last
    t.align();
    t.bits(static_cast<uint32_t>(next), 16);
    t.bits(static_cast<uint32_t>(~next & 0xFFFF), 16);
    return data + t.finish();
}

}  // namespace

std::string overlapping_objstm_pdf(int count, bool filter)
{
    std::string f = "%PDF-1.5\n";
    f += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    f += "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n";
    f += "3 0 obj\n<< /Type /Page /MediaBox [0 0 200 200] >>\nendobj\n";
    for (int i = 0; i < count; i++) {
        // The stored block holds the next header and that stream's zlib
        // header, so the decoding goes on with the next stream's own block.
        size_t next = i + 1 < count ? overlapping_container_header(11 + i, filter).size() + 2 : 0;
        f += overlapping_container_header(10 + i, filter) + overlapping_container_data(next);
    }
    f += "\nendstream\nendobj\ntrailer\n<< /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
    return f;
}

std::string unclosed_objects_pdf(int count)
{
    std::string f = simple_pdf(1);
    size_t tail = f.rfind("xref");
    std::string body = f.substr(0, tail);
    for (int i = 0; i < count; i++)
        body += std::to_string(100 + i) + " 0 obj\n<< /Type /Page /Kids [";
    return body + f.substr(tail);
}

std::string many_trailers_pdf(int count)
{
    std::string f = simple_pdf(1);
    size_t tail = f.rfind("startxref");
    std::string body = f.substr(0, tail);
    for (int i = 0; i < count; i++)
        body += "trailer\n<< /Size 6 /Root 1 0 R /Info << /Title (t) >>\n";
    return body + f.substr(tail);
}

std::string shared_text_pdf(int count, const std::string &text)
{
    std::string header, kids;
    for (int i = 0; i < count; i++) {
        header += std::to_string(10 + 2 * i) + " 0 " + std::to_string(11 + 2 * i) + " " +
                  std::to_string(text.size()) + " ";
        kids += std::to_string(10 + 2 * i) + " 0 R ";
    }
    std::string z = zlib_stored_stream(header + text);
    std::string f = "%PDF-1.5\n";
    f += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    f += "2 0 obj\n<< /Type /Pages /Kids [" + kids + "] >>\nendobj\n";
    f += "5 0 obj\n<< /Type /Page /MediaBox [0 0 10 10] >>\nendobj\n";
    f += "3 0 obj\n<< /Type /ObjStm /N " + std::to_string(2 * count) + " /First " +
         std::to_string(header.size()) + " /Length " + std::to_string(z.size()) +
         " >>\nstream\n" + z + "\nendstream\nendobj\n";
    f += "trailer\n<< /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
    return f;
}

std::string nested_objects_pdf(int count)
{
    std::string kids, opens, closes;
    for (int i = 0; i < count; i++) {
        kids += std::to_string(10 + i) + " 0 R ";
        opens += std::to_string(10 + i) + " 0 obj\n<< /A ";
        closes += "/Type /Page >> ";
    }
    std::string f = "%PDF-1.4\n";
    f += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    f += "2 0 obj\n<< /Type /Pages /Kids [" + kids + "] >>\nendobj\n";
    f += opens + closes + "\nendobj\n";
    f += "trailer\n<< /Root 1 0 R >>\n";
    return f;
}

std::string overlapping_bodies_pdf(int count)
{
    std::string annots, bodies;
    for (int i = 0; i < count; i++) {
        annots += std::to_string(100 + i) + " 0 R ";
        bodies += std::to_string(100 + i) + " 0 obj\n[ ";
    }
    std::string f = "%PDF-1.4\n";
    f += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    f += "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n";
    f += "3 0 obj\n<< /Type /Page /Parent 2 0 R /Annots [" + annots + "] >>\nendobj\n";
    f += bodies + "\nendobj\ntrailer\n<< /Root 1 0 R >>\n";
    return f;
}

std::string commented_line_pdf(int count)
{
    std::string pages, lengths, headers;
    for (int i = 0; i < count; i++) {
        pages += "/Pages %";
        lengths += "/Length %";
        headers += std::to_string(1000 + i) + " 0 obj %";
    }
    pdf_builder b;
    // After each line, what every key's value reads: nothing until the
    // last key.
    b.obj(1, "<< /Type /Catalog " + pages + "\n/Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 200 200] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.stream(4, "<< " + lengths + "\n/Length 5 >>", "0 g 0");
    b.raw(headers + "\n");
    return b.finish("/Root 1 0 R");
}
