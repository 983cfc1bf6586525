#!/usr/bin/python3
"""Writes the seed corpora of the fuzzing harnesses: tiny fonts, collections, WOFF and WOFF2
files built here from scratch, whole and damaged in the ways readers get wrong (cut short,
counts and lengths that the file cannot hold, offsets past the end or wrapping around 32
bits, tables shared or repeated). Nothing is copied from an installed font, and every file
stays far below 64 KiB.

Run with Debian's python3 (it has fontTools and brotli):  /usr/bin/python3 fuzz/tools/make_seeds.py
The output is deterministic; the seeds are kept in fuzz/corpus/<harness>/.
"""
import array
import io
import os
import shutil
import struct
import sys
import zlib

import brotli
from fontTools.fontBuilder import FontBuilder
from fontTools.misc.timeTools import timestampFromString
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables import ttProgram
from fontTools.ttLib.woff2 import WOFF2FlavorData

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(os.path.dirname(HERE), "corpus")
FIXED_TIME = timestampFromString("Mon Jan  4 00:00:00 2021")

FULL_NAME_JA = "フェンラップ 明朝"
FULL_NAME_EN = "Fenwrap Seed Regular"


# ---------------------------------------------------------------- tiny fonts, whole

def _square(pen, x0, y0, x1, y1):
    pen.moveTo((x0, y0))
    pen.lineTo((x0, y1))
    pen.lineTo((x1, y1))
    pen.lineTo((x1, y0))
    pen.closePath()


def _names(ja=True, windows=True, mac=True):
    full = {"en": FULL_NAME_EN}
    if ja:
        full["ja"] = FULL_NAME_JA
    return {"familyName": "Fenwrap Seed", "styleName": "Regular", "fullName": full,
            "psName": "FenwrapSeed-Regular", "version": "Version 1.000"}


def tiny_ttf(ja=True, composite=True, instructions=True):
    order = [".notdef", "A", "B"] + (["C"] if composite else [])
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(order)
    cmap = {0x41: "A", 0x42: "B", 0x3042: "B"}
    if composite:
        cmap[0x43] = "C"
    fb.setupCharacterMap(cmap)
    glyphs = {}
    for name, box in ((".notdef", (50, 0, 450, 700)), ("A", (100, 0, 500, 700)), ("B", (100, 0, 300, 500))):
        pen = TTGlyphPen(None)
        _square(pen, *box)
        glyphs[name] = pen.glyph()
    if composite:
        pen = TTGlyphPen(glyphs)
        pen.addComponent("A", (1, 0, 0, 1, 0, 0))
        pen.addComponent("B", (1, 0, 0, 1, 300, 100))
        glyphs["C"] = pen.glyph()
    fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics({n: (600, 50) for n in order})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable(_names(ja))
    fb.setupOS2(sTypoAscender=800, usWinAscent=800, usWinDescent=200, fsType=0)
    fb.setupPost()
    fb.setupDummyDSIG()
    font = fb.font
    if instructions:
        for tag, code in (("fpgm", "PUSHB[ ]\n0\nFDEF[ ]\nENDF[ ]"), ("prep", "PUSHB[ ]\n1\nPOP[ ]")):
            table = newTable(tag)
            table.program = ttProgram.Program()
            table.program.fromAssembly(code)
            font[tag] = table
        cvt = newTable("cvt ")
        cvt.values = array.array("h", [0, 50, 100])
        font["cvt "] = cvt
        if composite:
            prog = ttProgram.Program()
            prog.fromAssembly("PUSHB[ ]\n0\nPOP[ ]")
            font["glyf"]["C"].program = prog
    font["maxp"].maxSizeOfInstructions = 8
    gasp = newTable("gasp")
    gasp.gaspRange = {0xFFFF: 0x000F}
    font["gasp"] = gasp
    font["head"].created = font["head"].modified = FIXED_TIME
    return _save(font)


def tiny_otf():
    order = [".notdef", "A", "B"]
    fb = FontBuilder(1000, isTTF=False)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({0x41: "A", 0x42: "B"})
    charstrings = {}
    for name, box in ((".notdef", (50, 0, 450, 700)), ("A", (100, 0, 500, 700)), ("B", (100, 0, 300, 500))):
        pen = T2CharStringPen(600, None)
        _square(pen, *box)
        charstrings[name] = pen.getCharString()
    fb.setupCFF("FenwrapSeed-Regular", {"FullName": FULL_NAME_EN}, charstrings, {})
    fb.setupHorizontalMetrics({n: (600, 50) for n in order})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable(_names(ja=True))
    fb.setupOS2(sTypoAscender=800, usWinAscent=800, usWinDescent=200)
    fb.setupPost()
    fb.font["head"].created = fb.font["head"].modified = FIXED_TIME
    return _save(fb.font)


def _save(font):
    out = io.BytesIO()
    font.save(out, reorderTables=True)
    return out.getvalue()


# ---------------------------------------------------------------- sfnt assembly of our own

def checksum(data, tag=None):
    if tag == b"head" and len(data) >= 12:
        data = data[:8] + b"\0\0\0\0" + data[12:]
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def tables_of(font_bytes):
    """The (tag, bytes) of a font, in directory order."""
    num = struct.unpack_from(">H", font_bytes, 4)[0]
    out = []
    for i in range(num):
        tag, _, off, length = struct.unpack_from(">4sIII", font_bytes, 12 + 16 * i)
        out.append((tag, font_bytes[off:off + length]))
    return out


def search_fields(n):
    e = 0
    while (2 << e) <= n:
        e += 1
    sr = 16 << e if n else 16
    return sr & 0xFFFF, e if n else 0, (16 * n - sr) & 0xFFFF


def sfnt(tables, version=b"\0\1\0\0", base=0, num_tables=None, fix_adjustment=True):
    """An sfnt font whose directory lists tables in the given order, laid out from base (the
    font's place inside a collection). Returns (header+directory, table data, directory) so
    that callers can damage any of it."""
    n = len(tables)
    claimed = n if num_tables is None else num_tables
    head = version + struct.pack(">HHHH", claimed & 0xFFFF, *search_fields(n))
    data = b""
    entries = []
    offset = base + 12 + 16 * n
    for tag, body in tables:
        if tag == b"head" and len(body) >= 12:
            body = body[:8] + b"\0\0\0\0" + body[12:]
        entries.append([tag, checksum(body), offset + len(data), len(body)])
        data += body + b"\0" * (-len(body) % 4)
    directory = b"".join(struct.pack(">4sIII", *e) for e in entries)
    font = bytearray(head + directory + data)
    if fix_adjustment:
        for tag, _, off, length in entries:
            if tag == b"head" and length >= 12:
                adj = (0xB1B0AFBA - checksum(bytes(font))) & 0xFFFFFFFF
                struct.pack_into(">I", font, off - base + 8, adj)
    return bytes(font)


def patch(data, offset, fmt, *values):
    out = bytearray(data)
    struct.pack_into(fmt, out, offset, *values)
    return bytes(out)


def dir_entry_offset(i):
    return 12 + 16 * i


def ttc(members, shared=True, num_fonts=None, ttc_version=0x00010000):
    """A collection of the given member table lists. With shared, a table whose bytes equal
    one already placed is not stored again, as real collections do."""
    count = len(members)
    header_len = 12 + 4 * count
    # Lay out member directories first, then table data.
    dir_offsets = []
    pos = header_len
    for tables in members:
        dir_offsets.append(pos)
        pos += 12 + 16 * len(tables)
    blob = bytearray()
    placed = {}
    member_dirs = []
    for tables in members:
        entries = []
        for tag, body in tables:
            key = (tag, body)
            if not (shared and key in placed):
                placed[key] = pos + len(blob)
                blob += body + b"\0" * (-len(body) % 4)
            entries.append((tag, checksum(body, tag), placed[key], len(body)))
        member_dirs.append(entries)
    out = bytearray(b"ttcf" + struct.pack(">II", ttc_version, count if num_fonts is None else num_fonts))
    out += b"".join(struct.pack(">I", o) for o in dir_offsets)
    for tables, entries in zip(members, member_dirs):
        n = len(entries)
        version = b"OTTO" if any(tag == b"CFF " for tag, _ in tables) else b"\0\1\0\0"
        out += version + struct.pack(">HHHH", n, *search_fields(n))
        out += b"".join(struct.pack(">4sIII", *e) for e in entries)
    out += blob
    return bytes(out)


# ---------------------------------------------------------------- WOFF 1.0 and WOFF2

def woff(tables, flavor=b"\0\1\0\0", meta=None, compress=True, meta_raw=None, meta_orig=None,
         num_tables=None, total_sfnt=None, priv=b""):
    """A WOFF 1.0 file over (tag, bytes) tables in the given order. meta is compressed with
    zlib; meta_raw is placed as it is (a damaged block), with meta_orig as its claimed size."""
    n = len(tables)
    pos = 44 + 20 * n
    entries, data = [], b""
    for tag, body in tables:
        packed = zlib.compress(body, 9) if compress else body
        if len(packed) >= len(body):
            packed = body
        entries.append((tag, pos + len(data), len(packed), len(body), checksum(body, tag)))
        data += packed + b"\0" * (-len(packed) % 4)
    meta_block = b""
    meta_off = meta_len = orig = 0
    if meta is not None or meta_raw is not None:
        meta_block = meta_raw if meta_raw is not None else zlib.compress(meta, 9)
        meta_off, meta_len = pos + len(data), len(meta_block)
        orig = meta_orig if meta_orig is not None else len(meta if meta is not None else meta_raw)
    priv_off = pos + len(data) + len(meta_block) + (-len(meta_block) % 4) if priv else 0
    total = total_sfnt if total_sfnt is not None else 12 + 16 * n + sum((len(b) + 3) & ~3 for _, b in tables)
    body = data + meta_block
    if priv:
        body += b"\0" * (-len(meta_block) % 4) + priv
    length = 44 + 20 * n + len(body)
    header = b"wOFF" + flavor + struct.pack(">IHHIHHIIIII", length, n if num_tables is None else num_tables, 0,
                                            total, 1, 0, meta_off, meta_len, orig, priv_off, len(priv))
    return header + b"".join(struct.pack(">4sIIII", *e) for e in entries) + body


def woff2_real(font_bytes, meta=None):
    font = TTFont(io.BytesIO(font_bytes))
    font.flavor = "woff2"
    if meta is not None:
        font.flavorData = WOFF2FlavorData()
        font.flavorData.metaData = meta
    out = io.BytesIO()
    font.save(out)
    return out.getvalue()


def woff2_header(meta_block, meta_orig, flavor=b"\0\1\0\0", meta_off=None, tail=b""):
    """Only what the metadata display reads: the 48-byte header, then the block."""
    off = 48 + len(tail) if meta_off is None else meta_off
    length = 48 + len(tail) + len(meta_block)
    header = b"wOF2" + flavor + struct.pack(">IHHIIHHIIIII", length, 1, 0, 1000, len(tail), 1, 0,
                                            off if meta_block or meta_off else 0, len(meta_block), meta_orig, 0, 0)
    return header + tail + meta_block


# ---------------------------------------------------------------- the corpora

META_XML = ('<?xml version="1.0" encoding="UTF-8"?>\n<metadata version="1.0">\n'
            '\t<uniqueid id="org.example.fenwrap.seed"/>\n'
            '\t<description><text lang="ja">フェンラップの種</text></description>\n</metadata>\n').encode()


def name_table(records, string_offset=None, count=None, fmt=0):
    """A 'name' table from (platform, encoding, language, nameID, bytes) records; length and
    offset of a record may be forced with a sixth and seventh element."""
    n = len(records)
    so = 6 + 12 * n if string_offset is None else string_offset
    recs, storage = b"", b""
    for r in records:
        p, e, l, nid, text = r[:5]
        length = r[5] if len(r) > 5 else len(text)
        off = r[6] if len(r) > 6 else len(storage)
        recs += struct.pack(">6H", p, e, l, nid, length & 0xFFFF, off & 0xFFFF)
        storage += text
    return struct.pack(">3H", fmt, n if count is None else count, so) + recs + storage


def with_table(tables, tag, body):
    return [(t, body if t == tag else b) for t, b in tables]


def filetype_seeds(ttf, otf):
    t = tables_of(ttf)
    o = tables_of(otf)
    whole = sfnt(t)
    ja = FULL_NAME_JA.encode("utf-16-be")
    long_name = ("名" * 300).encode("utf-16-be")
    seeds = {
        "ttf": whole,
        "otf": sfnt(o, version=b"OTTO"),
        "true": sfnt(t, version=b"true"),
        "ttf-unsorted": sfnt(list(reversed(t))),
        "ttf-no-tables": sfnt([]),
        "ttf-cut-in-directory": whole[:12 + 16 * 3 + 7],
        "ttf-cut-in-offset-table": whole[:9],
        "ttf-claims-more-tables": patch(whole, 4, ">H", 0xFFFF),
        "ttf-table-past-end": patch(whole, dir_entry_offset(0) + 12, ">I", 0x7FFFFFFF),
        "ttf-table-wraps": patch(patch(whole, dir_entry_offset(1) + 8, ">I", 0xFFFFFFF0), dir_entry_offset(1) + 12, ">I", 0x20),
        "ttf-duplicate-name": sfnt(t + [(b"name", dict(t)[b"name"])]),
        "ttc-two": ttc([t, t]),
        "ttc-mixed": ttc([t, o, with_table(t, b"name", name_table([(3, 1, 0x409, 4, FULL_NAME_EN.encode("utf-16-be"))]))]),
        "ttc-unshared": ttc([t, o], shared=False),
        "ttc-zero-fonts": ttc([], num_fonts=0),
        "ttc-claims-many-fonts": ttc([t], num_fonts=0xFFFFFFFF),
        "ttc-member-past-end": patch(ttc([t, t]), 16, ">I", 0xFFFFFFF0),
        "ttc-member-in-header": patch(ttc([t, t]), 16, ">I", 4),
        "ttc-cut-in-offsets": ttc([t, t])[:14],
        "ttc-v2": ttc([t, t], ttc_version=0x00020000),
    }
    names = {
        "name-japanese-first": [(3, 1, 0x411, 4, ja), (3, 1, 0x409, 4, FULL_NAME_EN.encode("utf-16-be"))],
        "name-english-first": [(3, 1, 0x409, 4, FULL_NAME_EN.encode("utf-16-be")), (3, 1, 0x411, 4, ja)],
        "name-mac-only": [(1, 0, 0, 4, FULL_NAME_EN.encode("mac_roman"))],
        "name-empty-record": [(3, 1, 0x409, 4, b"")],
        "name-odd-length": [(3, 1, 0x411, 4, ja + b"\x30")],
        "name-too-long": [(3, 1, 0x411, 4, long_name)],
        "name-outside-cp932": [(3, 1, 0x409, 4, "é😀\ud7ff".encode("utf-16-be", "surrogatepass"))],
        "name-string-past-end": [(3, 1, 0x411, 4, ja, 0xFFFF, 0xFF00)],
        "name-lone-surrogates": [(3, 1, 0x411, 4, b"\xd8\x00\x00\x41\xdc\x00")],
    }
    for label, records in names.items():
        seeds["ttc-" + label] = ttc([with_table(t, b"name", name_table(records)), t])
    seeds["ttc-name-count-claims-more"] = ttc([with_table(t, b"name", name_table([(3, 1, 0x411, 4, ja)], count=0xFFFF)), t])
    seeds["ttc-name-storage-past-end"] = ttc([with_table(t, b"name", name_table([(3, 1, 0x411, 4, ja)], string_offset=0xFFFF)), t])
    seeds["ttc-name-cut"] = ttc([with_table(t, b"name", name_table([(3, 1, 0x411, 4, ja)])[:9]), t])
    return seeds


def prefixed(prefix, seeds):
    return {k: bytes(prefix) + v for k, v in seeds.items()}


def decode_seeds(ttf, otf):
    t = [x for x in tables_of(ttf)]
    o = tables_of(otf)
    whole = woff(t)
    seeds = {
        "ttf": whole,
        "otf": woff(o, flavor=b"OTTO"),
        "true": woff(t, flavor=b"true"),
        "stored": woff(t, compress=False),
        "unsorted": woff(list(reversed(t))),
        "duplicate-tag": woff(t + [(b"cmap", b"\0\0\0\0")]),
        "no-head": woff([x for x in t if x[0] != b"head"]),
        "no-tables": woff([]),
        "head-short": woff(with_table(t, b"head", b"\0\1\0\0\0\0")),
        "with-metadata": woff(t, meta=META_XML),
        "metadata-utf16": woff(t, meta="\ufeff<m>日本</m>".encode("utf-16-le")),
        "metadata-not-zlib": woff(t, meta_raw=b"not a zlib stream", meta_orig=64),
        "metadata-shorter-than-claimed": woff(t, meta=META_XML, meta_orig=len(META_XML) + 100),
        "metadata-huge-claim": woff(t, meta=META_XML, meta_orig=0xFFFFFFFF),
        "with-private": woff(t, priv=b"private data"),
        "cut-in-header": whole[:30],
        "cut-in-directory": whole[:44 + 20 * 2 + 9],
        "cut-in-table": whole[:len(whole) // 2],
        "claims-more-tables": patch(whole, 12, ">H", 0xFFFF),
        "comp-longer-than-orig": patch(woff(t, compress=False), 44 + 8, ">I", 0x100),
        "orig-huge": patch(whole, 44 + 12, ">I", 0xFFFFFFFF),
        "offset-past-end": patch(whole, 44 + 4, ">I", 0xFFFFFFF0),
        "bad-zlib": patch(whole, 44 + 20 * len(t) + 2, ">I", 0xDEADBEEF),
        "meta-offset-past-end": patch(woff(t, meta=META_XML), 24, ">I", 0xFFFFFF00),
    }
    bomb = zlib.compress(b"\0" * 60000, 9)
    seeds["zlib-bomb-table"] = woff([(b"head", dict(t)[b"head"])]) + b""
    seeds["zlib-bomb-table"] = woff([(b"head", dict(t)[b"head"]), (b"zzzz", b"\0" * 60000)])
    seeds["zlib-bomb-claims-more"] = patch(seeds["zlib-bomb-table"], 44 + 20 + 12, ">I", 0x7FFFFFFF)
    del bomb
    return seeds


def woff2meta_seeds(ttf, otf):
    comp = brotli.compress(META_XML)
    return {
        "real-with-metadata": woff2_real(ttf, META_XML),
        "real-without-metadata": woff2_real(ttf),
        "real-otf-with-metadata": woff2_real(otf, "<m>\u65e5\u672c</m>".encode()),
        "header-with-metadata": woff2_header(comp, len(META_XML)),
        "metadata-shorter-than-claimed": woff2_header(comp, len(META_XML) + 50),
        "metadata-longer-than-claimed": woff2_header(comp, 10),
        "metadata-huge-claim": woff2_header(comp, 0xFFFFFFFF),
        "metadata-not-brotli": woff2_header(b"\xff\xff\xff\xff not brotli", 40),
        "metadata-offset-past-end": woff2_header(comp, len(META_XML), meta_off=0xFFFFFF00),
        "metadata-cut": woff2_header(comp, len(META_XML))[:-5],
        "cut-in-header": woff2_header(comp, len(META_XML))[:33],
        "ttc-flavor": woff2_header(comp, len(META_XML), flavor=b"ttcf"),
    }


def metaview_seeds():
    text = "<?xml version=\"1.0\"?>\n<metadata>\n\t<text lang=\"ja\">日本語\tテキスト</text>\n</metadata>\n"
    return {
        "utf8": text.encode(),
        "utf8-bom": b"\xef\xbb\xbf" + text.encode(),
        "utf16le-bom": b"\xff\xfe" + text.encode("utf-16-le"),
        "utf16be-bom": b"\xfe\xff" + text.encode("utf-16-be"),
        "utf16le": text.encode("utf-16-le"),
        "utf16be": text.encode("utf-16-be"),
        "utf16-odd": text.encode("utf-16-le")[:-1],
        "bom-only": b"\xff\xfe",
        "one-byte": b"<",
        "invalid-utf8": b"<m>\xc3\x28\xa0\xa1\xe2\x28\xa1\xf0\x28\x8c\xbc\xf8\xa1\xa1\xa1\xa1</m>",
        "embedded-nul": b"<m>a\0b</m>",
    }


def t2embed_seeds(ttf, otf):
    t = tables_of(ttf)
    whole = sfnt(t)
    # [TTC index, high byte][TTC index, low byte][flags] + font
    seeds = {
        "ttf": bytes([0, 0, 0]) + whole,
        "ttf-no-composite": bytes([0, 0, 0]) + sfnt(tables_of(tiny_ttf(composite=False, instructions=False))),
        "ttf-subset-flag": bytes([0, 0, 1]) + whole,
        "otf": bytes([0, 0, 0]) + sfnt(tables_of(otf), version=b"OTTO"),
        "ttc-second": bytes([0, 1, 0]) + ttc([t, t]),
        "ttc-index-past-end": bytes([0, 7, 0]) + ttc([t, t]),
        "ttf-no-glyf": bytes([0, 0, 0]) + sfnt([x for x in t if x[0] not in (b"glyf", b"loca")]),
        "ttf-loca-short": bytes([0, 0, 0]) + sfnt(with_table(t, b"loca", b"\0\0")),
        "ttf-cut": bytes([0, 0, 0]) + whole[: len(whole) * 2 // 3],
        "ttf-maxp-many-glyphs": bytes([0, 0, 0]) + sfnt(with_table(t, b"maxp", patch(dict(t)[b"maxp"], 4, ">H", 0xFFFF))),
        "ttf-hhea-many-metrics": bytes([0, 0, 0]) + sfnt(with_table(t, b"hhea", patch(dict(t)[b"hhea"], 34, ">H", 0xFFFF))),
    }
    return seeds


def woff2decode_seeds(ttf, otf):
    real = woff2_real(ttf, META_XML)
    comp = brotli.compress(META_XML)
    return {
        "ttf": woff2_real(ttf),
        "ttf-with-metadata": real,
        "otf": woff2_real(otf),
        "cut": real[: len(real) * 2 // 3],
        "total-size-short": patch(real, 16, ">I", 64),
        "total-size-long": patch(real, 16, ">I", len(ttf) * 3),
        "total-size-past-ratio": patch(real, 16, ">I", 0x7FFFFFF0),
        "compressed-size-past-end": patch(real, 20, ">I", 0xFFFFFF00),
        "metadata-not-brotli": woff2_header(b"\xff\xff\xff\xff not brotli", 40),
        "metadata-only": woff2_header(comp, len(META_XML)),
        "metadata-huge-claim": patch(real, 36, ">I", 0xFFFFFFFF),
    }


def woff2encode_seeds(ttf, otf):
    none = b"\xff\xff"
    def meta(block):
        return struct.pack(">H", len(block)) + block
    t = tables_of(ttf)
    return {
        "ttf": none + ttf,
        "ttf-metadata": meta(META_XML) + ttf,
        "ttf-metadata-empty": meta(b"") + ttf,
        "ttf-metadata-utf16": meta(META_XML.decode().encode("utf-16")) + ttf,
        "otf-metadata": meta(META_XML) + otf,
        "ttc": none + ttc([t, t]),
        "ttf-cut": meta(META_XML) + ttf[: len(ttf) * 2 // 3],
        "ttf-loca-short": none + sfnt(with_table(t, b"loca", b"\0\0")),
        "ttf-no-head": none + sfnt([x for x in t if x[0] != b"head"]),
        "not-a-font": meta(META_XML) + META_XML,
    }


def metafile_seeds():
    return {
        "xml": b"\0" + META_XML,
        "xml-utf16": b"\0" + META_XML.decode().encode("utf-16"),
        "empty": b"\0",
        "binary": b"\0" + bytes(range(256)),
        "missing": b"\1",
        "folder": b"\2",
        "past-cap": b"\3" + META_XML,
        "pipe": b"\4",
    }


def samplepage_seeds():
    sep = "\uffff"
    def page(flags, *fields):
        return bytes([flags]) + sep.join(fields).encode("utf-16-be", "surrogatepass")
    names = ("Sample.woff", "Sample.woff2", "Sample.eot", "Sample.ttf")
    return {
        "all-truetype": page(0x07, *names, "サンプル"),
        "all-opentype": page(0x0F, *names[:3], "Sample.otf", "サンプル"),
        "woff-only": page(0x00, "Sample.woff", "", "", "", ""),
        "eot-and-source": page(0x06, *names, "ABC あいう"),
        "markup-in-sample": page(0x07, *names, "<b>&amp;\"'</b>"),
        "japanese-names": page(0x07, "フォント.woff", "フォント.woff2", "フォント.eot", "フォント.ttf", "日本語"),
        "lone-surrogates": page(0x07, *names, "\ud800a\udc00\U0001F600\ud83d"),
        "nul-in-name": page(0x07, "Sam\0ple.woff", *names[1:], "x\0y"),
        "given-but-empty": page(0x07, "Sample.woff", "", "", "", "z"),
        "format-in-sample": page(0x00, "Sample.woff", "", "", "", "format('eot')"),
        "spaces-at-the-ends": page(0x07, " lead.woff", "trail .woff2 ", "  ", " a b.ttf ", " s "),
    }


def codepage_seeds():
    ja = "日本語のテキスト、ｶﾀｶﾅ and ASCII ～∥－￠"
    return {
        "sjis-to-utf16": bytes([0x80 | 0 << 1, 0]) + ja.encode("cp932"),
        "utf8-to-utf16": bytes([0x80 | 1 << 1, 0]) + ja.encode(),
        "utf16-to-sjis": bytes([0x81 | 0 << 1, 0]) + ja.encode("utf-16-be"),
        "utf16-to-sjis-no-best-fit": bytes([0x91 | 0 << 1, 0]) + "é😀日".encode("utf-16-be"),
        "utf16-to-utf8-surrogates": bytes([0x81 | 1 << 1, 0]) + b"\xd8\x3d\xde\x00\xdc\x00\xd8\x00",
        "sjis-broken-lead": bytes([0x80, 3]) + b"\x82\xa0\x82",
        "utf8-strict-invalid": bytes([0xB2, 0]) + b"a\xff\xfeb",
        "small-room": bytes([0x81, 2]) + ja.encode("utf-16-be"),
    }


def write(harness, seeds):
    folder = os.path.join(CORPUS, harness)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in seeds.items():
        assert len(data) < 64 * 1024, (harness, name, len(data))
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    ttf = tiny_ttf()
    otf = tiny_otf()
    filetype = filetype_seeds(ttf, otf)
    write("codepage", codepage_seeds())
    write("filetype", filetype)
    # [flags: metadata when bit 0 is set, its length (flags >> 1) * 8 bytes][member] + font
    encode = prefixed([0, 0], filetype)
    encode.update({"meta-" + k: v for k, v in prefixed([0x0F, 0], filetype).items() if not k.startswith("ttc-name")})
    encode.update(prefixed([0x01, 1], {"ttc-second-member-meta": filetype["ttc-two"]}))
    write("encode", encode)
    extract = prefixed([0], {k: v for k, v in filetype.items() if k.startswith("ttc")})
    extract.update(prefixed([1], {"second-" + k: v for k, v in filetype.items() if k.startswith("ttc-")}))
    extract.update(prefixed([2], {"third-ttc-mixed": filetype["ttc-mixed"]}))
    extract.update(prefixed([0], {"single-ttf": filetype["ttf"]}))
    write("extract", extract)
    write("decode", decode_seeds(ttf, otf))
    write("woff2meta", woff2meta_seeds(ttf, otf))
    write("metaview", metaview_seeds())
    write("t2embed", t2embed_seeds(ttf, otf))
    write("woff2decode", woff2decode_seeds(ttf, otf))
    write("woff2encode", woff2encode_seeds(ttf, otf))
    write("metafile", metafile_seeds())
    write("samplepage", samplepage_seeds())


if __name__ == "__main__":
    sys.exit(main())
