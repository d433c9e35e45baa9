// Test support: documents built to make a reader spend: numbers claiming
// far more than the file holds, loops, huge arrays, deep nesting and
// structures that never close. Each is a valid test input that must load
// or fail within memory and time in proportion to its size.
#ifndef ROREZIDE_TESTS_SUPPORT_HOSTILE_DOCS_H
#define ROREZIDE_TESTS_SUPPORT_HOSTILE_DOCS_H

#include <cstddef>
#include <string>

// Two pages whose contents streams claim /Length 2147483647 and
// /Length -2147483648.
std::string huge_length_pdf();

// objstm_pdf's document with /N 1000000000 in its object stream.
std::string huge_objstm_count_pdf();

// One page, an object numbered 8,388,607 (the highest the index keeps) and
// one numbered 8,388,608, padded with a comment to `size` bytes.
std::string high_object_number_pdf(size_t size);

// simple_pdf(1) with two more cross-reference sections whose /Prev entries
// point at each other, and a startxref naming one of them.
std::string prev_cycle_pdf();

// A pages node whose /Kids lists page 3 `count` times; the page has inline
// resources, which every listing copies.
std::string many_kids_pdf(int count);

// A page tree `depth` pages nodes deep, one kid each, with the page at the
// bottom.
std::string deep_tree_pdf(int depth);

// An object stream whose zlib data is a fixed-Huffman run that expands to
// `expanded` bytes (after the catalog, pages node and page it holds) from
// about expanded / 160 bytes.
std::string objstm_bomb_pdf(size_t expanded);

// `count` object headers, each opening a dictionary that never closes and
// holding no "endobj", after one good page.
std::string unclosed_objects_pdf(int count);

// `count` classic trailers with no startxref after any of them.
std::string many_trailers_pdf(int count);

// One plain page, then `count` object streams of about 1 kB each, with
// /Filter /FlateDecode when `filter` is set, whose data all run to one
// shared "endstream": each is a zlib stream that goes on through every
// later one (a fixed-code block of literals, then a stored block holding the
// next stream's header) and never ends, so the decoder reads it to the
// "endstream" and fails for want of input.
std::string overlapping_objstm_pdf(int count, bool filter);

// `count` objects that an object stream gives the same text: its pairs
// alternate between offset 0 and the end of the text, so every other pair's
// object (numbered 10, 12, 14, ...) is the whole text. They are the kids of
// the plain pages node 2; a plain page, object 5, is there for the text to
// list.
std::string shared_text_pdf(int count, const std::string &text);

// `count` page objects nested inside each other's dictionaries, each
// closing after the ones it holds, with a single "endobj" after them all:
// every page's text reaches over all the pages nested in it.
std::string nested_objects_pdf(int count);

// One page whose catalog and contents stream hold `count` keys each
// followed by a comment that runs on over all the others to the end of a
// long line, and `count` object headers on one line, each followed by such
// a comment: every reader that steps over comments after a key or a header
// could cross the same line `count` times.
std::string commented_line_pdf(int count);

// One page whose /Annots lists `count` objects that have no "endobj" of
// their own: each body runs to the single "endobj" at the end of the file,
// so copying them all would take about count * size / 2 bytes.
std::string overlapping_bodies_pdf(int count);

#endif
