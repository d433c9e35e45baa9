// Test support: reading back the PDF files the writer produces.
#ifndef ROREZIDE_TESTS_SUPPORT_PDF_CHECK_H
#define ROREZIDE_TESTS_SUPPORT_PDF_CHECK_H

#include <string>
#include <vector>

// Checks the layout of a written file: the 15-byte header, a
// cross-reference table of ascending subsections whose first lists the
// free head "0000000000 65535 f " as number 0 and whose other entries are
// the same free entry or point at the first digit of "N G obj" lines with
// their generation G, startxref
// at the "x" of "xref", and the exact trailer, whose /Size is one more than
// the highest number listed and whose /Root and the number after it (the
// new pages node) are listed, followed by an /Info reference to an object
// written when there is one, and for an encrypted input by its /Encrypt
// and what follows. Returns "" when all holds, else what is
// wrong.
std::string check_layout(const std::string &pdf);

// The object numbers of the "N G obj" lines in the order they stand.
std::vector<int> object_order(const std::string &pdf);

// The text of object num from its header line through "endobj\n", or "".
std::string object_text(const std::string &pdf, int num);

// The /Kids references of the new pages node (the object numbered one
// more than the trailer's /Root), as object numbers.
std::vector<int> new_kids(const std::string &pdf);

// new_kids with each copy of a repeated page (a kid numbered after the new
// pages node) named as the earlier kid whose object body it repeats, so
// that the result lists the input's page objects in /Kids order.
std::vector<int> page_kids(const std::string &pdf);

// Renders page `page` of a PDF at 36 dpi with pdftoppm and returns the
// image bytes, or "" when rendering failed.
std::string render_page(const std::string &pdf_path, int page);

// The same with ghostscript (pnggray at 36 dpi), or "" when gs failed or
// said anything on its error output.
std::string render_page_gs(const std::string &pdf_path, int page);

#endif
