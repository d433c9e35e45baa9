// The document record: one input PDF in memory for the length of one call.
// It owns the file image, the object index, the decompressed object-stream
// buffers that compressed entries point into, and the flattened page list.
#ifndef ROREZIDE_DOC_DOC_H
#define ROREZIDE_DOC_DOC_H

#include <cstdint>

#include "crypt/objcrypt.h"
#include "crypt/pdfkey.h"

// Highest object number the index keeps; it bounds every table indexed by
// object number.
constexpr int32_t MAX_OBJ_NUM = 8388607;

// Object numbers up to this are accepted in a file of any size.
constexpr int32_t OBJ_NUM_FLOOR = 1048576;

// The highest object number a file of size bytes may use: its size, or
// OBJ_NUM_FLOOR when that is more, and never above MAX_OBJ_NUM + 1. Files
// whose producers number objects sparsely are valid with numbers far beyond
// their size; the floor admits them while a small hostile file still costs
// the tables indexed by object number no more than a few megabytes.
inline int32_t obj_num_limit(int32_t size)
{
    int32_t bound = size > OBJ_NUM_FLOOR ? size : OBJ_NUM_FLOOR;
    return bound < MAX_OBJ_NUM + 1 ? bound : MAX_OBJ_NUM + 1;
}

// One indexed object. A plain entry locates the object in the file image; a
// compressed entry (compressed = 1) holds its text inside an object-stream
// buffer, and all its position fields are 0.
struct obj_entry {
    int32_t num;
    int32_t obj_off;     // first digit of "N G obj"
    int32_t dict_off;    // the "<<" that opens the body, or -1
    int32_t dict_end;    // stream objects: the "stream" keyword; else -1
    int32_t data_off;    // stream objects: first byte of stream data
    int32_t data_end;    // stream objects: end of stream data
    int32_t endobj_off;  // the closing "endobj", or the file size
    int32_t has_stream;
    int32_t compressed;
    const unsigned char *text;  // compressed entries: borrowed from objstm_bufs
    int32_t text_len;
    int32_t gen;  // plain entries: the generation their header states; else 0
};

struct objvec {
    obj_entry *items;
    int32_t count;
    int32_t cap;
    // Set, and kept, once an append found no room: the index then lacks
    // an object of the file, and the load must not go on as if it were whole.
    int32_t lost;
};

// One leaf page with the attributes it inherits from its ancestors made
// effective.
struct page_entry {
    int32_t num;
    int32_t parent_num;  // the pages node whose /Kids listed the page, or -1
    int32_t rotate;  // 0..359
    int32_t has_media_box;
    double media_box[4];
    int32_t has_crop_box;
    double crop_box[4];
    int32_t has_resources;
    int32_t resources_num;  // > 0 indirect, -1 inline, 0 none
    char *resources_text;   // owned copy of an inline dictionary, NUL-terminated
    int32_t resources_len;  // bytes of resources_text (it may hold NULs of its own)
    // The pages node whose own inline /Resources resources_text copies: in
    // an encrypted document its strings are encrypted with that node's key,
    // or not at all when the node was taken from an object stream.
    int32_t resources_from_num;
    int32_t resources_from_gen;  // the generation its header states
    int32_t resources_from_compressed;
};

struct pagevec {
    page_entry *items;
    int32_t count;
    int32_t cap;
};

// The encryption of a document, from the trailer that gave /Root and the
// encryption dictionary it names. Positions are in the file image; -1
// where there is nothing.
struct doc_crypt {
    // Found by the trailer stage.
    int32_t dict_num;   // /Encrypt N G R: N and G, else -1
    int32_t dict_gen;
    int32_t dict_off;   // /Encrypt << ... >> held in the trailer itself:
    int32_t dict_end;   // from its "<<" to just past its ">>"
    int32_t id_off;     // the trailer's /ID array, from its '[' to just
    int32_t id_end;     // past its ']'
    // Set by the security stage when the empty user password opens the
    // document.
    int32_t opened;
    int32_t R;  // the standard security handler's revision, 2 to 6
    uint32_t P;  // the permission flags
    objcrypt_method strings;  // what the strings and the streams are
    objcrypt_method streams;  // encrypted with
    pdfkey_file_key file_key;
};

struct pdf_doc {
    unsigned char *data;
    int32_t size;
    int32_t root_num;
    // The /Info number of the trailer dictionary that gave root_num, or -1.
    int32_t info_num;
    int32_t encrypted;  // some trailer or cross-reference stream names /Encrypt
    doc_crypt crypt;
    objvec objs;
    unsigned char **objstm_bufs;
    int32_t objstm_count;
    int32_t objstm_cap;
    pagevec pages;
    int32_t max_num;
    // Index of the first entry with each object number 0..max_num in the
    // final index, or -1; built once per load so lookups by number cost O(1).
    // Null when it could not be allocated (lookups then scan the index).
    int32_t *by_num;
    // Bytes held by the objstm_bufs in all: with the file size, the measure
    // the page-tree walk's spending is bounded by.
    int64_t objstm_bytes;
    // What each object number 0..max_num is to the page tree the load
    // walked: NODE_PAGES for a pages node it visited, NODE_PAGE for a page of
    // the page list, else NODE_OTHER. An object that says /Type /Page but
    // that no /Kids lists is no page of the document. Null until the walk.
    unsigned char *tree_nodes;
    // Index of the catalog entry chosen by the load when the page tree
    // hangs below it (not when the catalog is itself a page-tree node); -1
    // otherwise. Its /AcroForm and /OCProperties travel to every output.
    int32_t catalog_idx;
    // What the object-stream stage spent: source bytes the decoder read and
    // bytes it wrote, in every call, and header bytes read from streams
    // stored without compression.
    int64_t objstm_work;
    // What the object scan spent: bytes its searches for a dictionary's
    // close ran over, and comments it stepped over.
    int64_t index_work;
    // What the trailer stage spent: bytes its repeated searches (for
    // "startxref", /Root and /Encrypt) examined.
    int64_t trailer_work;
};

// The bytes an indexed object's text occupies: its own text for an object
// taken from an object stream, else a window of the file image.
struct text_range {
    const unsigned char *buf;
    int32_t start;
    int32_t end;
};

text_range obj_text_range(const unsigned char *data, int32_t size, const obj_entry &e);

// What an object is to the page tree.
enum node_kind { NODE_OTHER = 0, NODE_PAGE = 1, NODE_PAGES = 2 };

// The kind of an indexed object: a page or a pages node by its /Type, else
// a pages node by a /Kids of its own dictionary. When examined is given,
// the bytes the searches looked at are added to it.
node_kind obj_type(const unsigned char *data, int32_t size, const obj_entry &e,
                   int64_t *examined = nullptr);

// Fills doc from the PDF at path. 0 on success; -1 with one message set.
// The record is releasable with doc_free on every return.
int doc_load(const char *path, pdf_doc *doc);

// Releases everything doc owns and zeroes it. Harmless on a zeroed record.
void doc_free(pdf_doc *doc);

// Appends a copy of entry; when the array cannot grow the entry is not
// added and vec->lost is set.
void objvec_push(objvec *vec, const obj_entry &entry);

// Index of the first entry of the final index with object number num, or -1.
int32_t doc_find(const pdf_doc *doc, int32_t num);

// The generation an output file gives the object of entry e: that of its
// header in the input when it is a plain entry stating 1..65535, else 0.
int32_t obj_written_gen(const obj_entry &e);

// obj_written_gen for the entry of object num, 0 when there is none.
int32_t doc_written_gen(const pdf_doc *doc, int32_t num);

#endif
