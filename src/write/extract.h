// The writer's own parts: the extraction's working record, page dictionary
// rewriting, the catalog's carried entries, the reference scan and the safe
// save. Only src/write/ (and the tests that reach inside it) use this; the
// rest of the library writes through write.h: doc_extract_pages for one
// file, a page_series for many.
#ifndef ROREZIDE_WRITE_EXTRACT_H
#define ROREZIDE_WRITE_EXTRACT_H

#include <cstdint>

#include "crypt/objcrypt.h"
#include "write/buf.h"
#include "write/write.h"

struct page_entry;

// ---- Strings that change object (reencrypt.cc) ------------------------------

// Where a text's strings come from: a plain object of the input, whose
// strings an encrypted document encrypts with the key of its number and
// generation, or an object stream (compressed), whose strings are not
// encrypted on their own.
struct string_source {
    int32_t num;
    int32_t gen;
    int32_t compressed;
};

// How the strings of a text change on the way out. While active is 0 the
// text is copied unchanged: the document's strings are not encrypted, or
// the text stays in the object it came from.
struct string_keys {
    int32_t active;
    int32_t from_plain;  // the source strings are not encrypted
    objcrypt_key from;
    objcrypt_key to;
    int32_t to_num;  // the object the text now stands in
    int32_t to_gen;
};

// The keys for text from `from` written into object to_num, generation
// to_gen.
string_keys string_keys_for(const pdf_doc *doc, const string_source &from, int32_t to_num,
                            int32_t to_gen);

// Appends text[0, len), each literal or hex string in it decrypted with the
// source's key and encrypted with the target's, written as a hex string;
// the bytes around the strings are copied unchanged, and so is the whole
// text when keys is null or inactive. Sets out->lost when memory runs out.
void recrypt_append(out_buf *out, const unsigned char *text, int32_t len,
                    const string_keys *keys);

// ---- Page dictionaries (pagedict.cc) ----------------------------------------

// Writes the page dictionary text[start, end) (from its "<<" through its
// ">>") anew: every top-level entry but /Parent copied unchanged, then
// /Parent naming parent_num, then the inherited media box, crop box,
// rotation and resources the dictionary does not state itself (inherited
// indirect resources named with resources_gen). The page's own entries
// pass through recrypt_append with own_keys, inherited inline resources
// with resources_keys (either may be null). Returns the result of the last
// append.
unsigned char *rebuild_page_dict(out_buf *buf, const unsigned char *text, int32_t start,
                                 int32_t end, int32_t parent_num, const page_entry &page,
                                 int32_t resources_gen = 0, const string_keys *own_keys = nullptr,
                                 const string_keys *resources_keys = nullptr);

// What an output's new catalog carries over from the input's catalog, byte
// for byte: the values of /AcroForm and /OCProperties when they are a
// reference, a dictionary or an array, and of /Lang when it is a string, a
// hex string or a reference. A null value is absent.
enum { CARRY_ACROFORM, CARRY_OCPROPERTIES, CARRY_LANG, CARRY_COUNT };
struct catalog_carry {
    const unsigned char *value[CARRY_COUNT];
    int32_t len[CARRY_COUNT];
};

// The key each carried value stands under: "/AcroForm", "/OCProperties",
// "/Lang".
extern const char *const CARRY_KEYS[CARRY_COUNT];

// Finds the carried values in the catalog the load chose (none when the
// page tree hangs directly from the trailer's root node).
void catalog_carry_find(const pdf_doc *doc, catalog_carry *carry);

// What the needed map holds for an object number. A pages node of the
// input, or a page of its page list, starts out blocked: references found
// in copied text never lead into the input's page tree, so an output holds
// its own pages and what they use, not the whole document. A blocked
// number that written text names becomes NEED_NAMED: it is never written,
// but the cross-reference table lists it as free, so that readers take the
// reference (a link's /Dest, an annotation's /P) for null without
// searching for it. The chosen pages are queued as seeds whatever their
// state.
enum need_state : unsigned char {
    NEED_NONE = 0,
    NEED_QUEUED = 1,
    NEED_BLOCKED = 2,
    NEED_NAMED = 3,
};

// Notes every object number N in 1..max_num referenced as "N G R" in
// text[0, length): one in state NEED_NONE becomes NEED_QUEUED and one in
// NEED_BLOCKED becomes NEED_NAMED, and either is appended to
// worklist[*count]. Strings, hex strings and comments hide what they hold.
void scan_refs(const unsigned char *text, int32_t length, int32_t max_num,
               unsigned char *needed, int32_t *worklist, int32_t *count);

// Writes the len bytes of an assembled file to path so that a failure
// leaves whatever stood at path unchanged (see save.cc for the targets
// written in place). 1 on success; 0 with one message set.
int save_output(const unsigned char *data, uint64_t len, const char *path);

// Positions in the output are 32-bit: a file whose objects or
// cross-reference table would start at 2 GiB or beyond is refused.
constexpr uint64_t OUTPUT_POS_LIMIT = UINT64_C(0x80000000);

// Lists of the object numbers each index entry references, recorded the
// first time the closure scans the entry, so that later files written
// from the same document replay them instead of scanning again.
struct ref_cache {
    int32_t *first;  // per index entry: start in nums, -1 while not scanned
    int32_t *count;  // per index entry: numbers recorded
    int32_t *nums;
    int32_t used;
    int32_t cap;
    int32_t off;  // 1 once memory ran out: entries are then scanned directly
};

// What the files written from one loaded document share: the working
// tables indexed by object number, the reference lists (a series keeps
// them; a single file scans the objects it copies directly) and the output
// buffer's storage. Every file written through it is the file
// doc_extract_pages writes for the same arguments.
struct extract_ctx {
    const pdf_doc *doc;
    int32_t table_size;     // max_num + 3
    unsigned char *needed;  // a need_state per object number
    int32_t *worklist;
    int32_t wcount;
    int32_t *offsets;  // output position of each written object, or -1
    uint16_t *gens;    // generation each written object's header states
    int32_t *chosen;   // per chosen page object: index in doc->pages of the entry
                       // it is written with (the first listed), else -1
    // The entries to write, in index order; then the numbers the
    // cross-reference table lists, ascending.
    int32_t *order;
    int32_t order_count;
    // Per entry of the page list: the object number /Kids names it by, its
    // own for the first occurrence of a page object, a new one for a copy.
    int32_t *kids;
    int32_t kids_cap;
    int32_t copies;         // page copies in the current file
    int32_t *copy_offsets;  // output position of each copy
    int32_t copy_cap;
    int32_t use_cache;
    ref_cache refs;
    out_buf out;
    uint64_t pos_limit;  // OUTPUT_POS_LIMIT
    catalog_carry carry;
    int32_t info_num;  // the input's document information, carried; else -1
};

void extract_ctx_init(extract_ctx *ctx, const pdf_doc *doc, int use_cache);
// doc_extract_pages through a shared context.
int extract_pages_with(extract_ctx *ctx, const int *pages, int count, const char *path);
void extract_ctx_free(extract_ctx *ctx);

#endif
