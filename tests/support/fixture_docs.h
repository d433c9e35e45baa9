// Test support: whole documents of the shapes real producers write, for
// tests and tools that need more than simple_pdf: an object stream, a
// nested page tree with inherited attributes, an incremental update and a
// cross-reference stream. Each is small and loads.
#ifndef ROREZIDE_TESTS_SUPPORT_FIXTURE_DOCS_H
#define ROREZIDE_TESTS_SUPPORT_FIXTURE_DOCS_H

#include <string>
#include <utility>
#include <vector>

// Three pages whose catalog, page tree and pages live in an object stream
// (stored zlib blocks); contents, font and trailer are plain.
std::string objstm_pdf();

// Five pages in a tree three levels deep: /MediaBox, /Rotate and inline
// /Resources on the root, /CropBox on an inner node, an indirect /Resources
// on another, pages overriding /Rotate and /MediaBox.
std::string nested_tree_pdf();

// simple_pdf(3) with an incremental update appended: page 4 (object 4)
// rewritten with /Rotate 180, a new object, and a second classic section
// whose trailer reaches the first through /Prev.
std::string incremental_pdf();

// Two pages in an object stream indexed by a cross-reference stream
// (/Type /XRef, no classic trailer), the layout of newer producers.
std::string xref_stream_pdf();

// Three pages under a two-level tree, whose objects are partly shared and
// partly their own: pages 1 and 2 (objects 5 and 6, under pages node 3)
// inherit /MediaBox from node 3 and /Resources from the root node 2, inline
// or, with indirect_resources, as object 14; they share the font 10 with
// page 3 (object 4, under the root), whose own resources 12 bring an image
// 11 used by no other page. Page 3 has a link (13) to page 1 whose /P names
// page 3, and page 1 a note (15) whose /P names page 2.
std::string shared_and_own_pdf(bool indirect_resources);

// Every fixture above plus simple_pdf of 1, 3 and 12 pages, with a short
// name for messages and file names.
std::vector<std::pair<std::string, std::string>> fixture_documents();

// A zlib stream holding data in stored blocks, with a correct Adler-32.
std::string zlib_stored_stream(const std::string &data);

#endif
