#!/usr/bin/env python3
"""Writes examples/sample.pdf, the document the README's first command splits.

    python3 examples/make_sample.py [OUTPUT]

Twelve Letter-size pages of Helvetica text, built to exercise what the
library reads rather than the easy case:

- the page tree nests: the root pages node holds three pages nodes, and the
  second of them holds a further pages node;
- /MediaBox and /Resources stand only on the root pages node, so every page
  inherits them;
- page 6 carries /Rotate 90;
- every pages node and page dictionary lives in one zlib-compressed object
  stream; fonts, contents, the catalog and the info dictionary are plain
  objects;
- a cross-reference stream (/W [1 4 2]) indexes both kinds of object, so
  standard readers find the compressed ones too.

Only the Python standard library is used. The output depends only on this
script and on the zlib that compresses the object stream.
"""

import os
import sys
import zlib

PAGE_COUNT = 12
ROTATED_PAGE = 6

# Object numbers. Plain objects first, then what goes into the object stream.
CATALOG = 1
INFO = 2
FONT_REGULAR = 3
FONT_BOLD = 4
FIRST_CONTENTS = 5                      # contents of page k: 5 + k - 1
OBJSTM = FIRST_CONTENTS + PAGE_COUNT    # 17
ROOT_NODE = OBJSTM + 1                  # 18
NODE_A = ROOT_NODE + 1                  # pages 1-4
NODE_B = ROOT_NODE + 2                  # pages 5-6 and NODE_C
NODE_C = ROOT_NODE + 3                  # pages 7-8, nested under NODE_B
NODE_D = ROOT_NODE + 4                  # pages 9-12
FIRST_PAGE = NODE_D + 1                 # page k: FIRST_PAGE + k - 1
XREF = FIRST_PAGE + PAGE_COUNT          # the cross-reference stream itself


def page_obj(k):
    return FIRST_PAGE + k - 1


def contents_obj(k):
    return FIRST_CONTENTS + k - 1


def ref(num):
    return "%d 0 R" % num


def pdf_string(text):
    """A literal string with the three characters that need escaping."""
    return "(" + text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ")"


def parent_of(k):
    if k <= 4:
        return NODE_A
    if k <= 6:
        return NODE_B
    if k <= 8:
        return NODE_C
    return NODE_D


def page_lines(k):
    """The two lines under the heading of page k, saying what it shows."""
    node = parent_of(k)
    lines = ["A rorezide sample page, under pages node %d." % node]
    if k == ROTATED_PAGE:
        lines.append("This page carries /Rotate 90.")
    elif node == NODE_C:
        lines.append("Its pages node sits inside another pages node.")
    else:
        lines.append("Media box and fonts come from the root pages node.")
    return lines


def contents_text(k):
    """Content stream of page k: a frame, a heading and two lines of text."""
    ops = [
        "q 0.2 0.3 0.6 RG 2 w 36 36 540 720 re S Q",
        "BT /F2 36 Tf 72 680 Td %s Tj ET" % pdf_string("Page %d of %d" % (k, PAGE_COUNT)),
    ]
    y = 630
    for line in page_lines(k):
        ops.append("BT /F1 16 Tf 72 %d Td %s Tj ET" % (y, pdf_string(line)))
        y -= 26
    # A large page number placed differently on every page, so that renderings
    # of any two pages differ at a glance.
    ops.append("BT /F2 120 Tf %d %d Td %s Tj ET" % (90 + 30 * (k % 5), 160 + 25 * (k % 7),
                                                  pdf_string(str(k))))
    return ("\n".join(ops) + "\n").encode("ascii")


def pages_node(kids, count, parent=None, extra=""):
    entries = ["/Type /Pages"]
    if parent is not None:
        entries.append("/Parent " + ref(parent))
    entries.append("/Kids [" + " ".join(ref(n) for n in kids) + "]")
    entries.append("/Count %d" % count)
    if extra:
        entries.append(extra)
    return "<< " + " ".join(entries) + " >>"


def page_dict(k):
    entries = ["/Type /Page", "/Parent " + ref(parent_of(k)), "/Contents " + ref(contents_obj(k))]
    if k == ROTATED_PAGE:
        entries.append("/Rotate 90")
    return "<< " + " ".join(entries) + " >>"


def compressed_objects():
    """(number, text) of every object kept in the object stream, in order."""
    inherited = ("/MediaBox [0 0 612 792] /Resources << /Font << /F1 %s /F2 %s >> "
                 "/ProcSet [/PDF /Text] >>" % (ref(FONT_REGULAR), ref(FONT_BOLD)))
    objs = [
        (ROOT_NODE, pages_node([NODE_A, NODE_B, NODE_D], PAGE_COUNT, extra=inherited)),
        (NODE_A, pages_node([page_obj(k) for k in range(1, 5)], 4, ROOT_NODE)),
        (NODE_B, pages_node([page_obj(5), page_obj(6), NODE_C], 4, ROOT_NODE)),
        (NODE_C, pages_node([page_obj(7), page_obj(8)], 2, NODE_B)),
        (NODE_D, pages_node([page_obj(k) for k in range(9, 13)], 4, ROOT_NODE)),
    ]
    objs += [(page_obj(k), page_dict(k)) for k in range(1, PAGE_COUNT + 1)]
    return objs


def object_stream_body(objs):
    """The object stream's dictionary entries and its compressed data."""
    texts = []
    pairs = []
    offset = 0
    for num, text in objs:
        pairs.append("%d %d" % (num, offset))
        body = text + "\n"
        texts.append(body)
        offset += len(body)
    header = " ".join(pairs) + "\n"
    data = (header + "".join(texts)).encode("ascii")
    packed = zlib.compress(data, 9)
    dict_text = "<< /Type /ObjStm /N %d /First %d /Filter /FlateDecode /Length %d >>" % (
        len(objs), len(header), len(packed))
    return dict_text, packed


def new_file():
    """The file being assembled and the offset of every plain object."""
    return {"out": bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n"), "offsets": {}}


def add_obj(f, num, body):
    f["offsets"][num] = len(f["out"])
    f["out"] += b"%d 0 obj\n" % num + body.encode("ascii") + b"\nendobj\n"


def add_stream(f, num, dict_text, data):
    f["offsets"][num] = len(f["out"])
    f["out"] += b"%d 0 obj\n" % num + dict_text.encode("ascii") + b"\nstream\n"
    f["out"] += data + b"\nendstream\nendobj\n"


def xref_stream_data(offsets, in_stream):
    """Cross-reference entries 0..XREF with field widths 1, 4 and 2."""
    rows = bytearray()
    for num in range(0, XREF + 1):
        if num in offsets:
            rows += bytes([1]) + offsets[num].to_bytes(4, "big") + (0).to_bytes(2, "big")
        elif num in in_stream:
            rows += bytes([2]) + OBJSTM.to_bytes(4, "big") + in_stream[num].to_bytes(2, "big")
        else:
            rows += bytes([0]) + (0).to_bytes(4, "big") + (65535).to_bytes(2, "big")
    return bytes(rows)


def build_sample():
    f = new_file()
    add_obj(f, CATALOG, "<< /Type /Catalog /Pages %s >>" % ref(ROOT_NODE))
    add_obj(f, INFO, "<< /Title (rorezide sample document) /Producer (make_sample.py) >>")
    add_obj(f, FONT_REGULAR, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                             "/Encoding /WinAnsiEncoding >>")
    add_obj(f, FONT_BOLD, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold "
                          "/Encoding /WinAnsiEncoding >>")
    for k in range(1, PAGE_COUNT + 1):
        data = contents_text(k)
        add_stream(f, contents_obj(k), "<< /Length %d >>" % len(data), data)

    objs = compressed_objects()
    dict_text, packed = object_stream_body(objs)
    add_stream(f, OBJSTM, dict_text, packed)
    in_stream = {num: i for i, (num, _) in enumerate(objs)}

    # The cross-reference stream lists itself, so its offset is known first.
    xref_offset = len(f["out"])
    f["offsets"][XREF] = xref_offset
    rows = xref_stream_data(f["offsets"], in_stream)
    add_stream(f, XREF, "<< /Type /XRef /Size %d /W [1 4 2] /Root %s /Info %s /Length %d >>" % (
        XREF + 1, ref(CATALOG), ref(INFO), len(rows)), rows)
    f["out"] += b"startxref\n%d\n%%%%EOF\n" % xref_offset
    return bytes(f["out"])


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_sample.py [OUTPUT]\n")
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    path = argv[1] if len(argv) == 2 else os.path.join(here, "sample.pdf")
    with open(path, "wb") as f:
        f.write(build_sample())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
