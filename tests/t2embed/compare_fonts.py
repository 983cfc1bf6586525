"""Compares a font decoded from an EOT file with the font it was made from.

Usage: compare_fonts.py SOURCE INDEX DECODED [--skip-instructed-composites]

Every glyph must keep its contours, points, on-curve flags, components and bounding box, and
its instructions; every other table the EOT keeps must come back byte for byte. hdmx, VDMX and
DSIG are not carried and must be absent. head may differ only in checkSumAdjustment and
indexToLocFormat, and loca only through that format. --skip-instructed-composites leaves out
composite glyphs that carry instructions (for a decoder known to damage them). Prints the
differences and exits 1 when there are any.
"""
import logging
import sys

from fontTools.ttLib import TTFont

logging.disable(logging.WARNING)

DROPPED = {"hdmx", "VDMX", "DSIG"}
REBUILT = {"glyf", "loca", "head"}


def glyph_record(glyf, name):
    g = glyf[name]
    rec = {"contours": g.numberOfContours}
    if g.numberOfContours == 0:
        return rec
    rec["bbox"] = (g.xMin, g.yMin, g.xMax, g.yMax)
    if g.isComposite():
        rec["components"] = [
            (c.glyphName, c.flags & ~0x0200, getattr(c, "x", None), getattr(c, "y", None),
             getattr(c, "firstPt", None), getattr(c, "secondPt", None),
             getattr(c, "transform", None) and [list(r) for r in c.transform])
            for c in g.components
        ]
    else:
        rec["endPts"] = list(g.endPtsOfContours)
        rec["points"] = list(g.coordinates)
        rec["onCurve"] = [f & 1 for f in g.flags]
    program = getattr(g, "program", None)
    rec["instructions"] = program.getBytecode() if program is not None else b""
    return rec


def main():
    skip_instructed = "--skip-instructed-composites" in sys.argv
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    source = TTFont(args[0], fontNumber=int(args[1]), lazy=True)
    decoded = TTFont(args[2], lazy=True)
    problems = []

    src_tags = set(source.reader.keys())
    dec_tags = set(decoded.reader.keys())
    if dec_tags != src_tags - DROPPED:
        problems.append("tables: expected %s, got %s" % (sorted(src_tags - DROPPED), sorted(dec_tags)))
    for tag in sorted((src_tags & dec_tags) - REBUILT):
        if source.reader[tag] != decoded.reader[tag]:
            problems.append("table %s differs" % tag)
    sh, dh = source.reader["head"], decoded.reader["head"]
    if len(sh) != len(dh) or sh[:8] != dh[:8] or sh[12:50] != dh[12:50] or sh[52:] != dh[52:]:
        problems.append("head differs")

    src_glyf, dec_glyf = source["glyf"], decoded["glyf"]
    order = source.getGlyphOrder()
    if decoded.getGlyphOrder() != order:
        print("glyph order differs")
        return 1
    skipped = 0
    for name in order:
        want = glyph_record(src_glyf, name)
        if skip_instructed and want.get("components") and want["instructions"]:
            skipped += 1
            continue
        got = glyph_record(dec_glyf, name)
        if want != got:
            problems.append("glyph %s differs: %s" % (name, sorted(k for k in want if want.get(k) != got.get(k))))
    for p in problems[:20]:
        print(p)
    print("%d glyphs, %d skipped, %d problems" % (len(order), skipped, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
