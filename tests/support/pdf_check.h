// Test support: reading back the PDF files the writer produces.
#ifndef ROREZIDE_TESTS_SUPPORT_PDF_CHECK_H
#define ROREZIDE_TESTS_SUPPORT_PDF_CHECK_H

#include <string>
#include <vector>

// Checks the layout of a written file: the 15-byte header, a
// cross-reference table whose in-use entries point at the first digit of
// "N G obj" lines with their generation G and whose free entries are "0000000000 65535 f ",
// startxref at the "x" of "xref", and the exact trailer. Returns "" when
// all holds, else what is wrong.
std::string check_layout(const std::string &pdf);

// The object numbers of the "N G obj" lines in the order they stand.
std::vector<int> object_order(const std::string &pdf);

// The text of object num from its header line through "endobj\n", or "".
std::string object_text(const std::string &pdf, int num);

// The /Kids references of the new pages node (the last object before the
// cross-reference table), as object numbers.
std::vector<int> new_kids(const std::string &pdf);

// Renders page `page` of a PDF at 36 dpi with pdftoppm and returns the
// image bytes, or "" when rendering failed.
std::string render_page(const std::string &pdf_path, int page);

#endif
