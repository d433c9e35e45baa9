// The five operations that write new PDF files from chosen pages. Each
// empties the message, checks what needs no document, loads the input
// once, checks that the document's permissions allow taking pages out of
// it, checks what depends on the page count, builds its page lists and
// hands each to the extraction writer.
#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "doc/doc.h"
#include "doc/security.h"
#include "rorezide.h"
#include "write/write.h"

namespace {

// Room a file name adds to its directory: "/page_" or "/split_", up to ten
// digits, ".pdf" and the terminating NUL.
constexpr size_t NAME_ROOM = 32;

bool is_separator(char c)
{
    return c == '/' || c == '\\';
}

void make_one_dir(const char *path)
{
    // An existing directory, a drive prefix or a refusal are all fine here:
    // a directory still missing shows when the output file cannot be opened.
#ifdef _WIN32
    (void)_mkdir(path);
#else
    (void)mkdir(path, 0777);
#endif
}

// Creates the directory path and every missing parent, ignoring every
// failure. Backslashes count as separators too; each becomes a slash. The
// path is used whole, however long: cutting it would create, and later
// write into, some other directory.
void make_dir_recursive(const char *path)
{
    size_t n = std::strlen(path);
    char *buf = static_cast<char *>(std::malloc(n + 1));
    if (!buf)
        return;
    std::memcpy(buf, path, n + 1);
    if (n > 0 && is_separator(buf[n - 1]))
        buf[--n] = '\0';
    // The first byte is never a separator here, so a leading slash does not
    // make an empty prefix.
    for (size_t i = 1; i < n; i++) {
        if (!is_separator(buf[i]))
            continue;
        buf[i] = '\0';
        make_one_dir(buf);
        buf[i] = '/';
    }
    if (n > 0)
        make_one_dir(buf);
    std::free(buf);
}

// The buffer output file names are formatted into: the caller's directory
// without one trailing separator, with room for a file name after it.
struct name_buf {
    char *text;
    size_t cap;
    const char *dir;  // the directory as it stands in the names
};

// Creates the caller's directory and prepares the name buffer; false (with
// "Out of memory") when the buffer cannot be had.
bool prepare_output_dir(const char *out_dir, name_buf *names)
{
    make_dir_recursive(out_dir);
    size_t n = std::strlen(out_dir);
    names->cap = n + NAME_ROOM;
    names->text = static_cast<char *>(std::malloc(names->cap + n + 1));
    if (!names->text) {
        set_error("Out of memory");
        return false;
    }
    char *dir = names->text + names->cap;
    std::memcpy(dir, out_dir, n + 1);
    if (n > 0 && is_separator(dir[n - 1]))
        dir[n - 1] = '\0';
    names->dir = dir;
    return true;
}

// The name of output file k from the pattern, in the buffer.
const char *name_format(name_buf *names, const char *pattern, int k)
{
    std::snprintf(names->text, names->cap, pattern, names->dir, k);
    return names->text;
}

// The list first, first + 1, ..., last on the heap, or null.
int *page_run(int first, int last)
{
    size_t n = static_cast<size_t>(static_cast<int64_t>(last) - first + 1);
    int *list = static_cast<int *>(std::malloc(n * sizeof(int)));
    if (!list)
        return nullptr;
    for (size_t i = 0; i < n; i++)
        list[i] = first + static_cast<int>(i);
    return list;
}

// Writes pages first..last to path as the next file of the series; 1 or 0
// with the message set.
int write_run(page_series *series, int first, int last, const char *path)
{
    int *list = page_run(first, last);
    if (!list) {
        set_error("Out of memory");
        return 0;
    }
    int result = series_write(series, list, last - first + 1, path);
    std::free(list);
    return result;
}

const char *page_name_pattern(int page_count)
{
    if (page_count <= 999)
        return "%s/page_%03d.pdf";
    if (page_count <= 9999)
        return "%s/page_%04d.pdf";
    return "%s/page_%05d.pdf";
}

// Every page from the one loaded document; the files of earlier pages stay
// when a later one fails.
int write_every_page(const pdf_doc *doc, name_buf *names)
{
    const char *pattern = page_name_pattern(doc->pages.count);
    page_series *series = series_begin(doc);
    if (!series)
        return 0;
    int result = 1;
    for (int i = 1; i <= doc->pages.count && result; i++) {
        int one[1] = {i};
        result = series_write(series, one, 1, name_format(names, pattern, i));
    }
    series_end(series);
    return result;
}

int write_chunks(const pdf_doc *doc, int n, name_buf *names)
{
    int pages = doc->pages.count;
    int chunks = pages / n + (pages % n != 0 ? 1 : 0);
    const char *pattern = chunks <= 999 ? "%s/split_%03d.pdf" : "%s/split_%04d.pdf";
    page_series *series = series_begin(doc);
    if (!series)
        return 0;
    int result = 1;
    for (int k = 1; k <= chunks && result; k++) {
        int first = 1 + (k - 1) * n;
        int64_t end = static_cast<int64_t>(first) + n - 1;
        int last = end < pages ? static_cast<int>(end) : pages;
        result = write_run(series, first, last, name_format(names, pattern, k));
    }
    series_end(series);
    return result;
}

// Every page whose flag is clear, in document order; 1 or 0 with the
// message set.
int write_kept_pages(const pdf_doc *doc, const int *removed, int count, const char *path)
{
    int pages = doc->pages.count;
    size_t slots = static_cast<size_t>(pages) + 1;
    unsigned char *flags = static_cast<unsigned char *>(std::calloc(slots, 1));
    if (!flags) {
        set_error("Out of memory");
        return 0;
    }
    for (int i = 0; i < count; i++) {
        int p = removed[i];
        if (p < 1 || p > pages) {
            set_error("Page index %d out of range (1..%d)", p, pages);
            std::free(flags);
            return 0;
        }
        flags[p] = 1;
    }
    int kept = 0;
    for (int p = 1; p <= pages; p++)
        kept += flags[p] ? 0 : 1;
    if (kept == 0) {
        set_error("Cannot remove all pages from PDF (0 pages remaining)");
        std::free(flags);
        return 0;
    }
    int *list = static_cast<int *>(std::malloc(static_cast<size_t>(kept) * sizeof(int)));
    if (!list) {
        set_error("Out of memory");
        std::free(flags);
        return 0;
    }
    int k = 0;
    for (int p = 1; p <= pages; p++)
        if (!flags[p])
            list[k++] = p;
    std::free(flags);
    int result = doc_extract_pages(doc, list, kept, path);
    std::free(list);
    return result;
}

// Loads the input of a split: doc_load, then the permission to assemble
// its pages into new documents, which an encrypted document may withhold
// (counting its pages needs none). 0, or -1 with one message set; doc is
// releasable with doc_free either way.
int load_for_split(const char *input_path, pdf_doc *doc)
{
    if (doc_load(input_path, doc) < 0)
        return -1;
    if (!doc_may_assemble(doc)) {
        set_error("Document permissions do not allow extracting pages from '%s'", input_path);
        return -1;
    }
    return 0;
}

}  // namespace

extern "C" {

int rorezide_all(const char *input_path, const char *output_dir)
{
    clear_error();
    if (!output_dir || !output_dir[0]) {
        set_error("NULL or empty output directory");
        return 0;
    }
    pdf_doc doc;
    if (load_for_split(input_path, &doc) < 0) {
        doc_free(&doc);
        return 0;
    }
    name_buf names;
    int result = 0;
    if (prepare_output_dir(output_dir, &names)) {
        result = write_every_page(&doc, &names);
        std::free(names.text);
    }
    doc_free(&doc);
    return result;
}

int rorezide_range(const char *input_path, int first_page, int last_page,
                   const char *output_path)
{
    clear_error();
    pdf_doc doc;
    if (load_for_split(input_path, &doc) < 0) {
        doc_free(&doc);
        return 0;
    }
    int pages = doc.pages.count;
    if (first_page <= 0 || first_page > last_page || last_page > pages) {
        set_error("Invalid page range %d to %d (document has %d pages)", first_page, last_page,
                  pages);
        doc_free(&doc);
        return 0;
    }
    int *list = page_run(first_page, last_page);
    if (!list) {
        set_error("Out of memory");
        doc_free(&doc);
        return 0;
    }
    int result = doc_extract_pages(&doc, list, last_page - first_page + 1, output_path);
    std::free(list);
    doc_free(&doc);
    return result;
}

int rorezide_pages(const char *input_path, const int *pages, int page_count,
                   const char *output_path)
{
    clear_error();
    if (!pages || page_count <= 0) {
        set_error("Invalid page array or page count <= 0");
        return 0;
    }
    pdf_doc doc;
    if (load_for_split(input_path, &doc) < 0) {
        doc_free(&doc);
        return 0;
    }
    for (int i = 0; i < page_count; i++) {
        if (pages[i] <= 0 || pages[i] > doc.pages.count) {
            set_error("Page index %d out of range (document has %d pages)", pages[i],
                      doc.pages.count);
            doc_free(&doc);
            return 0;
        }
    }
    int result = doc_extract_pages(&doc, pages, page_count, output_path);
    doc_free(&doc);
    return result;
}

int rorezide_every_n(const char *input_path, int n, const char *output_dir)
{
    clear_error();
    if (n <= 0) {
        set_error("Invalid chunk size n = %d (must be >= 1)", n);
        return 0;
    }
    if (!output_dir || !output_dir[0]) {
        set_error("NULL or empty output directory");
        return 0;
    }
    pdf_doc doc;
    if (load_for_split(input_path, &doc) < 0) {
        doc_free(&doc);
        return 0;
    }
    name_buf names;
    int result = 0;
    if (prepare_output_dir(output_dir, &names)) {
        result = write_chunks(&doc, n, &names);
        std::free(names.text);
    }
    doc_free(&doc);
    return result;
}

int rorezide_remove(const char *input_path, const int *pages, int page_count,
                    const char *output_path)
{
    clear_error();
    pdf_doc doc;
    if (load_for_split(input_path, &doc) < 0) {
        doc_free(&doc);
        return 0;
    }
    int result;
    if (!pages || page_count <= 0) {
        int *list = page_run(1, doc.pages.count);
        if (!list) {
            set_error("Out of memory");
            doc_free(&doc);
            return 0;
        }
        result = doc_extract_pages(&doc, list, doc.pages.count, output_path);
        std::free(list);
    } else {
        result = write_kept_pages(&doc, pages, page_count, output_path);
    }
    doc_free(&doc);
    return result;
}

}  // extern "C"
