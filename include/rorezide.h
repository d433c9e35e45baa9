/*
 * rorezide: split PDF files into new PDF files holding chosen pages.
 *
 * Every function takes the path of an existing PDF, does its whole job
 * inside the call (read, index, write, release) and keeps nothing between
 * calls but the last error message.
 *
 * Results:
 *   rorezide_page_count    the page count, or -1 on failure
 *   the five split calls   1 on success, 0 on failure
 * After a failure, rorezide_last_error() describes it in one line; after a
 * success it returns an empty string. The text stays valid and unchanged
 * until the next call of any other rorezide_ function.
 *
 * Page numbers are 1-based. Paths are passed to the C runtime unchanged: on
 * Windows they are in the process's ANSI code page.
 *
 * Windows: the functions live in rorezide.dll and use the C calling
 * convention (__cdecl) with undecorated names, on x86 as on x86-64; a .NET
 * host declares them with CallingConvention.Cdecl. Hosts include this header
 * as it is (it declares the functions __declspec(dllimport)); the library's
 * own build defines ROREZIDE_BUILD to export them.
 *
 * Threads: the library keeps one process-wide message buffer and one set of
 * lazily built decoder tables, with no locks. Make one call at a time.
 *
 * Limits: inputs below 2 GiB; encrypted PDFs are refused; an output file
 * carries every object reachable from its pages, including the input's whole
 * page tree, so it is not a redaction of its input.
 */
#ifndef ROREZIDE_H
#define ROREZIDE_H

#if defined(_WIN32)
#if defined(ROREZIDE_BUILD)
#define ROREZIDE_API __declspec(dllexport)
#else
#define ROREZIDE_API __declspec(dllimport)
#endif
#define ROREZIDE_CALL __cdecl
#else
#define ROREZIDE_API __attribute__((visibility("default")))
#define ROREZIDE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Empties the message. Optional; always returns 1. */
ROREZIDE_API int ROREZIDE_CALL rorezide_init(void);

/* Empties the message. Optional; there is nothing else to release. */
ROREZIDE_API void ROREZIDE_CALL rorezide_cleanup(void);

/* The message of the last failed call, or "" after a successful one.
 * Points at library storage: do not free or modify it. */
ROREZIDE_API const char *ROREZIDE_CALL rorezide_last_error(void);

/* Number of pages of the PDF at input_path, or -1. */
ROREZIDE_API int ROREZIDE_CALL rorezide_page_count(const char *input_path);

/* One file per page: OUTDIR/page_001.pdf ... (4 digits from 1000 pages,
 * 5 digits from 10000). Missing directories are created. */
ROREZIDE_API int ROREZIDE_CALL rorezide_all(const char *input_path,
                                            const char *output_dir);

/* Pages first..last (inclusive) into one file. */
ROREZIDE_API int ROREZIDE_CALL rorezide_range(const char *input_path, int first_page,
                                              int last_page, const char *output_path);

/* The listed pages, in the order given (a page listed twice appears twice),
 * into one file. */
ROREZIDE_API int ROREZIDE_CALL rorezide_pages(const char *input_path, const int *pages,
                                              int page_count, const char *output_path);

/* Chunks of n consecutive pages: OUTDIR/split_001.pdf ... (4 digits from
 * 1000 chunks). The last chunk holds what remains. */
ROREZIDE_API int ROREZIDE_CALL rorezide_every_n(const char *input_path, int n,
                                                const char *output_dir);

/* Every page except the listed ones, in document order, into one file.
 * A null list or a count of 0 writes the whole document anew. */
ROREZIDE_API int ROREZIDE_CALL rorezide_remove(const char *input_path, const int *pages,
                                               int page_count, const char *output_path);

#ifdef __cplusplus
}
#endif

#endif
