#include "support/fixture_docs.h"

#include <cstdint>
#include <cstdio>

#include "support/fixture.h"

namespace {

std::string decimal(size_t v)
{
    return std::to_string(v);
}

// An object stream's content: the header pairs, then the objects at First.
std::string objstm_content(const std::vector<std::pair<int, std::string>> &objs, int *first)
{
    std::string header, body;
    for (auto &o : objs) {
        header += std::to_string(o.first) + " " + decimal(body.size()) + " ";
        body += o.second + "\n";
    }
    *first = static_cast<int>(header.size());
    return header + body;
}

std::string objstm_object(int num, int n, int first, const std::string &z)
{
    return std::to_string(num) + " 0 obj\n<< /Type /ObjStm /N " + std::to_string(n) +
           " /First " + std::to_string(first) + " /Filter /FlateDecode /Length " +
           decimal(z.size()) + " >>\nstream\n" + z + "\nendstream\nendobj\n";
}

std::string contents_stream(int num, int page)
{
    std::string text = "BT /F1 24 Tf 30 30 Td (Page " + std::to_string(page) + ") Tj ET";
    return std::to_string(num) + " 0 obj\n<< /Length " + decimal(text.size()) +
           " >>\nstream\n" + text + "\nendstream\nendobj\n";
}

const char FONT_BODY[] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";

}  // namespace

std::string zlib_stored_stream(const std::string &data)
{
    std::string z = "\x78\x01";
    size_t pos = 0;
    do {
        size_t n = data.size() - pos < 65535 ? data.size() - pos : 65535;
        bool last = pos + n == data.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z += data.substr(pos, n);
        pos += n;
    } while (pos < data.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    uint32_t adler = (b << 16) | a;
    for (int s = 24; s >= 0; s -= 8)
        z += static_cast<char>((adler >> s) & 0xFF);
    return z;
}

std::string objstm_pdf()
{
    int first = 0;
    std::string content = objstm_content(
        {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
         {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 300 300] "
             "/Resources << /Font << /F1 9 0 R >> >> >>"},
         {3, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R /Rotate 90 >>"},
         {4, "<< /Type /Page /Parent 2 0 R /Contents 7 0 R >>"},
         {5, "<< /Type /Page /Parent 2 0 R /Contents 8 0 R /MediaBox [0 0 200 100] >>"}},
        &first);
    std::string f = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    for (int k = 1; k <= 3; k++)
        f += contents_stream(5 + k, k);
    f += "9 0 obj\n" + std::string(FONT_BODY) + "\nendobj\n";
    f += objstm_object(10, 5, first, zlib_stored_stream(content));
    f += "trailer\n<< /Size 11 /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
    return f;
}

std::string nested_tree_pdf()
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 8 0 R] /Count 5 /MediaBox [0 0 300 400] "
             "/Rotate 90 /Resources << /Font << /F1 20 0 R >> >> >>");
    b.obj(3, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R 6 0 R] /Count 3 "
             "/CropBox [10 10 290 390] >>");
    b.obj(4, "<< /Type /Page /Parent 3 0 R /Contents 11 0 R >>");
    b.obj(5, "<< /Type /Page /Parent 3 0 R /Contents 12 0 R /Rotate 0 >>");
    b.obj(6, "<< /Type /Page /Parent 3 0 R /Contents 13 0 R /MediaBox [0 0 100 100] >>");
    b.obj(8, "<< /Type /Pages /Parent 2 0 R /Kids [9 0 R 10 0 R] /Count 2 /Resources 21 0 R "
             "/Rotate -90 >>");
    b.obj(9, "<< /Type /Page /Parent 8 0 R /Contents 14 0 R >>");
    b.obj(10, "<< /Type /Page /Parent 8 0 R /Contents 15 0 R /Rotate 450 >>");
    for (int k = 1; k <= 5; k++) {
        std::string text = "BT /F1 24 Tf 30 30 Td (Page " + std::to_string(k) + ") Tj ET";
        b.stream(10 + k, "<< >>", text);
    }
    b.obj(20, FONT_BODY);
    b.obj(21, "<< /Font << /F1 20 0 R >> /ProcSet [/PDF /Text] >>");
    return b.finish("/Root 1 0 R");
}

std::string incremental_pdf()
{
    std::string f = simple_pdf(3);
    size_t old_xref = f.rfind("\nxref\n") + 1;
    size_t page = f.size();
    f += "4 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 7 0 R /Rotate 180 "
         "/Resources << /Font << /F1 9 0 R >> >> /Annots [10 0 R] >>\nendobj\n";
    size_t annot = f.size();
    f += "10 0 obj\n<< /Type /Annot /Subtype /Text /Rect [0 0 20 20] /Contents (note) >>\nendobj\n";
    size_t xref = f.size();
    char line[32];
    f += "xref\n0 1\n0000000000 65535 f \n4 1\n";
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", page);
    f += line;
    f += "10 1\n";
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", annot);
    f += line;
    f += "trailer\n<< /Size 11 /Root 1 0 R /Prev " + decimal(old_xref) + " >>\nstartxref\n" +
         decimal(xref) + "\n%%EOF\n";
    return f;
}

std::string xref_stream_pdf()
{
    int first = 0;
    std::string content = objstm_content(
        {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 250 250] >>"},
         {3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Resources << /Font << /F1 7 0 R >> >> >>"},
         {4, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R /Resources << /Font << /F1 7 0 R >> >> >>"}},
        &first);
    std::string f = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> off(10, 0);
    off[1] = f.size();
    f += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    off[5] = f.size();
    f += contents_stream(5, 1);
    off[6] = f.size();
    f += contents_stream(6, 2);
    off[7] = f.size();
    f += "7 0 obj\n" + std::string(FONT_BODY) + "\nendobj\n";
    off[8] = f.size();
    f += objstm_object(8, 3, first, zlib_stored_stream(content));
    off[9] = f.size();
    // Entries of /W [1 2 1]: type, offset or object-stream number, index.
    std::string rows;
    auto row = [&rows](int type, size_t field, int index) {
        rows += static_cast<char>(type);
        rows += static_cast<char>((field >> 8) & 0xFF);
        rows += static_cast<char>(field & 0xFF);
        rows += static_cast<char>(index);
    };
    row(0, 0, 255);
    row(1, off[1], 0);
    for (int i = 0; i < 3; i++)
        row(2, 8, i);
    for (int n = 5; n <= 9; n++)
        row(1, off[static_cast<size_t>(n)], 0);
    f += "9 0 obj\n<< /Type /XRef /Size 10 /W [1 2 1] /Root 1 0 R /Length " +
         decimal(rows.size()) + " >>\nstream\n" + rows + "\nendstream\nendobj\n";
    f += "startxref\n" + decimal(off[9]) + "\n%%EOF\n";
    return f;
}

std::string shared_and_own_pdf(bool indirect_resources)
{
    std::string fonts = "<< /Font << /F1 10 0 R >> >>";
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 3 /MediaBox [0 0 300 300] /Resources " +
                 (indirect_resources ? std::string("14 0 R") : fonts) + " >>");
    b.obj(3, "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 2 "
             "/MediaBox [0 0 200 250] >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /Contents 9 0 R /Resources 12 0 R /Annots [13 0 R] >>");
    b.obj(5, "<< /Type /Page /Parent 3 0 R /Contents 7 0 R /Annots [15 0 R] >>");
    b.obj(6, "<< /Type /Page /Parent 3 0 R /Contents 8 0 R >>");
    b.stream(7, "<< >>", "BT /F1 40 Tf 20 150 Td (One) Tj ET 0 0 1 rg 20 20 60 60 re f");
    b.stream(8, "<< >>", "BT /F1 40 Tf 20 150 Td (Two) Tj ET 0 1 0 rg 100 20 60 60 re f");
    b.stream(9, "<< >>", "BT /F1 40 Tf 20 200 Td (Three) Tj ET q 120 0 0 120 40 40 cm /Im1 Do Q");
    b.obj(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    b.stream(11, "<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB "
                 "/BitsPerComponent 8 >>",
             std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\x00", 12));
    b.obj(12, "<< /Font << /F1 10 0 R >> /XObject << /Im1 11 0 R >> >>");
    b.obj(13, "<< /Type /Annot /Subtype /Link /Rect [20 190 200 240] /Border [0 0 0] "
              "/Dest [5 0 R /Fit] /P 4 0 R >>");
    b.obj(14, fonts);
    b.obj(15, "<< /Type /Annot /Subtype /Square /Rect [120 120 180 180] /C [1 0 0] /F 4 "
              "/P 6 0 R >>");
    return b.finish("/Root 1 0 R");
}

std::vector<std::pair<std::string, std::string>> fixture_documents()
{
    return {
        {"simple1", simple_pdf(1)},         {"simple3", simple_pdf(3)},
        {"simple12", simple_pdf(12)},       {"objstm", objstm_pdf()},
        {"nested", nested_tree_pdf()},      {"incremental", incremental_pdf()},
        {"xrefstream", xref_stream_pdf()},
    };
}
