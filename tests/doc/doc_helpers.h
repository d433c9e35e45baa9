// Helpers for loader tests: load PDF bytes into a document record.
#ifndef ROREZIDE_TESTS_DOC_HELPERS_H
#define ROREZIDE_TESTS_DOC_HELPERS_H

#include <cstring>
#include <string>

#include "doc/doc.h"
#include "support/fixture.h"
#include "support/fixture_docs.h"

// Writes the bytes to a fresh file and loads it. The caller frees the record.
inline int load_bytes(const std::string &bytes, pdf_doc *doc, std::string *path_out = nullptr)
{
    std::string path = make_temp_dir() + "/in.pdf";
    write_file(path, bytes);
    if (path_out)
        *path_out = path;
    return doc_load(path.c_str(), doc);
}

// The entry of the final index with this number, or null.
inline const obj_entry *find_entry(const pdf_doc &doc, int32_t num)
{
    int32_t i = doc_find(&doc, num);
    return i < 0 ? nullptr : &doc.objs.items[i];
}

// The text of a compressed entry, or the file bytes [from, to) of a plain one.
inline std::string entry_text(const obj_entry &e)
{
    return std::string(reinterpret_cast<const char *>(e.text), static_cast<size_t>(e.text_len));
}

inline std::string slice(const pdf_doc &doc, int32_t from, int32_t to)
{
    return std::string(reinterpret_cast<const char *>(doc.data) + from, static_cast<size_t>(to - from));
}

// A zlib stream holding the data in stored blocks, with a correct Adler-32.
inline std::string zlib_stored(const std::string &data)
{
    return zlib_stored_stream(data);
}

// An object stream's content: the header pairs, then the objects at First.
inline std::string objstm_body(const std::vector<std::pair<int, std::string>> &objs, int *first)
{
    std::string header, body;
    for (auto &o : objs) {
        header += std::to_string(o.first) + " " + std::to_string(body.size()) + " ";
        body += o.second + "\n";
    }
    *first = static_cast<int>(header.size());
    return header + body;
}

#endif
