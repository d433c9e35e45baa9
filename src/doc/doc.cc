#include "doc/doc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "base/grow.h"
#include "doc/stages.h"

namespace {

// Positions are signed 32-bit offsets into the file image, so a file of
// 2 GiB or more cannot be addressed and is refused before any allocation.
constexpr int64_t MAX_INPUT_SIZE = INT64_C(0x7FFFFFFF);

// Opens path for reading when it names a regular file (through any
// symbolic links), else returns null. A directory, a device or a FIFO is
// no PDF file: seeking in them gives sizes that mean nothing, and opening a
// FIFO without a writer would block forever, so the open itself must not
// wait and the kind is taken from the opened file.
FILE *open_regular_file(const char *path)
{
#ifdef _WIN32
    struct _stat64 st;
    if (_stat64(path, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return nullptr;
    return std::fopen(path, "rb");
#else
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE *f = fdopen(fd, "rb");
    if (!f)
        close(fd);
    return f;
#endif
}

// The whole file image in one allocation and one read.
int doc_read_file(const char *path, pdf_doc *doc)
{
    if (!path) {
        set_error("NULL input path");
        return -1;
    }
    FILE *f = open_regular_file(path);
    if (!f) {
        set_error("Cannot open input file '%s'", path);
        return -1;
    }
    int64_t size = -1;
    if (fseeko(f, 0, SEEK_END) == 0)
        size = static_cast<int64_t>(ftello(f));
    if (size > MAX_INPUT_SIZE) {
        std::fclose(f);
        set_error("File too large (2 GiB or more): '%s'", path);
        return -1;
    }
    if (fseeko(f, 0, SEEK_SET) != 0)
        size = -1;
    doc->size = static_cast<int32_t>(size);
    if (size < 10) {
        std::fclose(f);
        set_error("File too short to be a valid PDF: '%s'", path);
        return -1;
    }
    doc->data = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(size)));
    if (!doc->data ||
        std::fread(doc->data, 1, static_cast<size_t>(size), f) != static_cast<size_t>(size)) {
        std::fclose(f);
        std::free(doc->data);
        doc->data = nullptr;
        set_error("Failed to read input file '%s'", path);
        return -1;
    }
    std::fclose(f);
    doc->root_num = -1;
    doc->info_num = -1;
    doc->encrypted = 0;
    doc->catalog_idx = -1;
    doc_crypt *c = &doc->crypt;
    c->dict_num = c->dict_gen = c->dict_off = c->dict_end = c->id_off = c->id_end = -1;
    return 0;
}

// What the index-building stages could not find is reported here.
int doc_check_index(const pdf_doc *doc, const char *path)
{
    if (doc->max_num > obj_num_limit(doc->size)) {
        set_error("object number %ld out of range for a %ld-byte file",
                  static_cast<long>(doc->max_num), static_cast<long>(doc->size));
        return -1;
    }
    if (doc->objs.count == 0) {
        set_error("No PDF objects found in '%s'", path);
        return -1;
    }
    // A document that names /Encrypt opens only when the security stage
    // opened it with the empty user password.
    if (doc->encrypted && !doc->crypt.opened) {
        set_error("Encrypted PDFs are not supported: '%s'", path);
        return -1;
    }
    return 0;
}

}  // namespace

int doc_load(const char *path, pdf_doc *doc)
{
    std::memset(doc, 0, sizeof *doc);
    if (doc_read_file(path, doc) < 0)
        return -1;
    trailer_read_chain(doc);
    index_scan_objects(doc);
    index_stream_extents(doc);
    index_object_ends(doc);
    security_open(doc);
    objstm_expand_all(doc);
    if (doc->objs.lost) {
        set_error("Out of memory");
        return -1;
    }
    index_resolve_duplicates(doc);
    if (doc_check_index(doc, path) < 0)
        return -1;
    return pages_load_tree(doc, path);
}

void doc_free(pdf_doc *doc)
{
    std::free(doc->data);
    for (int32_t i = 0; i < doc->objstm_count; i++)
        std::free(doc->objstm_bufs[i]);
    std::free(doc->objstm_bufs);
    std::free(doc->objs.items);
    for (int32_t i = 0; i < doc->pages.count; i++)
        std::free(doc->pages.items[i].resources_text);
    std::free(doc->pages.items);
    std::free(doc->by_num);
    std::free(doc->tree_nodes);
    std::memset(doc, 0, sizeof *doc);
}

void objvec_push(objvec *vec, const obj_entry &entry)
{
    if (!array_grow(&vec->items, vec->count, &vec->cap, 128)) {
        vec->lost = 1;
        return;
    }
    vec->items[vec->count++] = entry;
}

int32_t doc_find(const pdf_doc *doc, int32_t num)
{
    if (doc->by_num)
        return num >= 0 && num <= doc->max_num ? doc->by_num[num] : -1;
    for (int32_t i = 0; i < doc->objs.count; i++)
        if (doc->objs.items[i].num == num)
            return i;
    return -1;
}

int32_t obj_written_gen(const obj_entry &e)
{
    return !e.compressed && e.gen >= 1 && e.gen <= 65535 ? e.gen : 0;
}

int32_t doc_written_gen(const pdf_doc *doc, int32_t num)
{
    int32_t i = doc_find(doc, num);
    return i < 0 ? 0 : obj_written_gen(doc->objs.items[i]);
}
