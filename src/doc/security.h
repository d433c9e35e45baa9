// What an encrypted document allows, and the keys its objects' strings and
// streams are encrypted with. The load opens a document encrypted by the
// standard security handler when its user password is empty (security.cc);
// any other encrypted document is refused.
#ifndef ROREZIDE_DOC_SECURITY_H
#define ROREZIDE_DOC_SECURITY_H

#include <cstdint>

#include "crypt/objcrypt.h"

struct pdf_doc;

// Whether the permission flags let pages of the document be assembled into
// new documents: always when it is not encrypted; else, for revision 2,
// when /P sets bit 4 ("modify"), and from revision 3 when it sets bit 11
// ("assemble").
bool doc_may_assemble(const pdf_doc *doc);

// Whether the document's strings are encrypted: it was opened encrypted,
// and its string crypt filter is not /Identity.
bool doc_strings_encrypted(const pdf_doc *doc);

// The key the strings of object num, generation gen, are encrypted with. -1
// when the document's strings are not encrypted or no key can be made for
// these numbers; otherwise 0.
int doc_string_key(const pdf_doc *doc, int32_t num, int32_t gen, objcrypt_key *key);

// The same for streams.
int doc_stream_key(const pdf_doc *doc, int32_t num, int32_t gen, objcrypt_key *key);

#endif
