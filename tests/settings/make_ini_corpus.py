#!/usr/bin/env python3
"""Writes the profile-file corpus of the differential test (wine_profile_diff) into ini_corpus/.

Each case is a file as a user, an editor or the older program may have left it, the reads to
compare and the writes to apply. The manifest lists them, one directive a line:

    file NAME CODEPAGE [absent]     CODEPAGE: any, 932 or 1252 (the ANSI code page the case needs)
    read SECTION KEY [# differs: REASON]
    write SECTION KEY VALUE [# layout: REASON]

Fields are bytes as the ANSI functions get them: every byte outside [A-Za-z0-9._:/] is written \\xHH,
and "-" stands for an empty field. A read expects both readers to give the same bytes; "differs"
marks a known difference. A write expects the same file bytes from both writers; "layout" marks a
file whose bytes differ only in what Wine rewrites (the two files are equal once Wine has rewritten
both). Every key of every section is read as well, in the case given and in upper case.

Run it after changing a case: python3 tests/settings/make_ini_corpus.py
"""

import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "ini_corpus")

# The settings file's names in code page 932.
SECTION = b"Section"
TYPE = "BGM区分".encode("cp932")
REPEAT = "BGMﾘﾋﾟｰﾄ".encode("cp932")
FILE = "BGMﾌｧｲﾙ".encode("cp932")

NUMBER_FORM = "Wine drops the blank of the number form (writes 2 for ' 2'); Windows keeps it"
REFORMAT = "Wine rewrites the whole file from its parse: blanks around names and values, blank lines and line endings change"
LF_FILE = "Wine rewrites every line ending as CR LF; the lines not written keep LF here"
CR_FILE = "Wine rewrites every line ending as CR LF; the lines not written keep CR here"

# The writes SaveSettings makes, then plain values (no leading blank) that Wine stores as given.
SAVE = [
    (SECTION, TYPE, b" 2", NUMBER_FORM),
    (SECTION, REPEAT, b" 0", NUMBER_FORM),
    (SECTION, FILE, b"C:\\Music\\a.mp3", NUMBER_FORM),
]
PLAIN = [
    (SECTION, TYPE, b"1", None),
    (SECTION, REPEAT, b"12", None),
    (SECTION, FILE, b"D:\\x.wav", None),
]
ASCII_PLAIN = [
    (b"S", b"k", b"new", None),
    (b"S", b"added", b"v", None),
    (b"Other", b"x", b"1", None),
]


def with_reason(writes, reason):
    return [(s, k, v, reason) for s, k, v, _ in writes]


CASES = []


def case(name, content, codepage="any", reads=(), writes=(), absent=False, read_differs=None):
    CASES.append(dict(name=name, content=content, codepage=codepage, reads=list(reads), writes=list(writes),
                      absent=absent, read_differs=read_differs or {}))


settings_reads = [(SECTION, TYPE), (SECTION, REPEAT), (SECTION, FILE)]

# Files the program itself or the old program writes.
case("missing.ini", b"", "932", settings_reads, PLAIN + SAVE, absent=True)
case("empty.ini", b"", "932", settings_reads, PLAIN + SAVE)
case("canonical_crlf.ini", b"[Section]\r\n" + TYPE + b"=1\r\n" + REPEAT + b"=0\r\n" + FILE + b"=C:\\a.mp3\r\n",
     "932", settings_reads, PLAIN + SAVE)
case("saved_by_old_program.ini",
     b"[Section]\r\n" + TYPE + b"= 2\r\n" + REPEAT + b"= 0\r\n" + FILE + b"=C:\\Music\\a.mp3\r\n",
     "932", settings_reads, with_reason(PLAIN[:1], NUMBER_FORM) + PLAIN[1:] + SAVE)
case("canonical_lf.ini", b"[Section]\n" + TYPE + b"=1\n" + REPEAT + b"=0\n" + FILE + b"=C:\\a.mp3\n",
     "932", settings_reads, PLAIN[:1] + with_reason(PLAIN[1:] + SAVE, LF_FILE))
case("other_sections_kept.ini",
     b"[Before]\r\na=1\r\n[Section]\r\n" + TYPE + b"=1\r\n[After]\r\nb=2\r\n",
     "932", settings_reads + [(b"Before", b"a"), (b"After", b"b")], PLAIN + SAVE)
case("settings_case.ini", b"[SECTION]\r\nbgm\x8b\xe6\x95\xaa=1\r\nBgM\xd8\xcb\xdf\xb0\xc4=2\r\n", "932",
     settings_reads, PLAIN)
case("settings_blanks.ini",
     b"  [ Section ]  \r\n  " + TYPE + b"  =   7  \r\n\t" + REPEAT + b"\t=\t3\t\r\n" + FILE + b" =  C:\\a b.mp3  \r\n",
     "932", settings_reads, with_reason(PLAIN, REFORMAT))
case("settings_quoted_path.ini", b"[Section]\r\n" + FILE + b"=\"C:\\My Music\\a.mp3\"\r\n", "932", settings_reads,
     PLAIN)

# Blanks, quotes, case.
case("blanks.ini", b"  [ S ]  \r\n  k  =   7  \r\n\tj\t=\t3\t\r\nv =\x0b\x1a w \r\n", "any",
     [(b"S", b"k"), (b"S", b"j"), (b"S", b"v"), (b" S ", b" k ")], with_reason(ASCII_PLAIN, REFORMAT))
case("quotes.ini",
     b"[S]\r\nd=\"a b\"\r\ns='x'\r\nu=\"x\r\nm=\"y'\r\ne=\"\"\r\nq=\"\r\np=  \" padded \"  \r\ntwo=\"\"x\"\"\r\n",
     "any", [], with_reason([(b"S", b"d", b"\"quoted value\"", None), (b"S", b"new", b"'single'", None)], REFORMAT))
case("case.ini", b"[MiXeD]\r\nKeY=v\r\nother=w\r\n", "any",
     [(b"mixed", b"key"), (b"MIXED", b"OTHER"), (b"MiXeD", b"kEy")],
     [(b"mixed", b"KEY", b"changed", None), (b"MIXED", b"newkey", b"1", None)])
case("duplicate_keys.ini", b"[S]\r\nk=1\r\nk=2\r\nj=3\r\n", "any", [], [(b"S", b"k", b"9", None)])
case("duplicate_sections.ini", b"[S]\r\nk=1\r\n[T]\r\nx=1\r\n[s]\r\nk=2\r\nj=3\r\n", "any",
     [(b"S", b"j"), (b"s", b"k")], [(b"S", b"j", b"4", None), (b"s", b"k", b"5", None), (b"T", b"y", b"6", None)])

# Line endings.
case("no_final_line_ending.ini", b"[S]\r\nk=1", "any", [], [(b"S", b"j", b"2", None)])
case("no_final_line_ending_new_section.ini", b"[S]\r\nk=1", "any", [], [(b"T", b"x", b"1", None)])
case("header_only.ini", b"[S]", "any", [], [(b"S", b"k", b"v", None)])
case("lf.ini", b"[S]\nk=1\nj=2\n", "any", [], with_reason(ASCII_PLAIN, LF_FILE))
case("cr_only.ini", b"[S]\rk=1\rj=2\r", "any", [], with_reason(ASCII_PLAIN, CR_FILE))
case("mixed_line_endings.ini", b"[S]\r\nk=1\nj=2\rl=3\r\n", "any", [], with_reason(ASCII_PLAIN, LF_FILE))
case("cr_cr_lf.ini", b"[S]\r\r\nk=1\r\n", "any", [], with_reason(ASCII_PLAIN, REFORMAT))

# Values.
case("empty_values.ini", b"[S]\r\nk=\r\nj=   \r\nnoequals\r\n=orphan\r\n", "any", [(b"S", b"noequals")],
     with_reason([(b"S", b"k", b"filled", None), (b"S", b"noequals", b"now", None), (b"S", b"e", b"-", None)],
                 REFORMAT))
case("equals_in_value.ini", b"[S]\r\nk=a=b=c\r\nurl=http://x/?a=1\r\n", "any", [], [(b"S", b"k", b"x=y", None)])
case("trailing_blanks_written.ini", b"[S]\r\nk=1\r\n", "any", [],
     [(b"S", b"k", b"x  ", None), (b"S", b"j", b"tab\tinside", REFORMAT)])
case("long_value_300.ini", b"[S]\r\nk=" + b"x" * 300 + b"\r\n", "any", [], [(b"S", b"k", b"y" * 300, None)])
case("long_value_255.ini", b"[S]\r\nk=" + b"x" * 255 + b"\r\nj=" + b"y" * 256 + b"\r\n", "any", [], [])
case("long_quoted_254.ini", b"[S]\r\nk=\"" + b"x" * 254 + b"\"\r\n", "any", [], [])
case("long_quoted_255.ini", b"[S]\r\nk=\"" + b"x" * 255 + b"\"\r\n", "any", [], [],
     read_differs={(b"S", b"k"): "Wine removes the closing quote of a value that only just fills the buffer and "
                                 "drops the last character (254 bytes); here the quotes go and 255 bytes come back"})
case("long_quoted_300.ini", b"[S]\r\nk=\"" + b"x" * 300 + b"\"\r\n", "any", [], [])
case("nul_bytes.ini", b"before\x00first\r\n[S]\r\nk= ab \x00 cd \r\nj=1\r\n", "any", [],
     [(b"S", b"j", b"2", REFORMAT)])
case("keys_before_section.ini", b"k=0\r\nloose=1\r\n[S]\r\nj=1\r\n", "any", [(b"S", b"k"), (b"S", b"loose")],
     [(b"S", b"k", b"2", None)])
case("headers.ini", b"[S] ; note\r\nk=1\r\n[S]]\r\nk=2\r\n[T\r\nk=3\r\n[U]x\r\nk=4\r\n", "any",
     [(b"S]", b"k"), (b"T", b"k"), (b"[T", b"k"), (b"U", b"k"), (b"U]x", b"k")],
     with_reason([(b"S]", b"k", b"5", None), (b"T", b"k", b"6", None)], REFORMAT))

# Comments and blank lines, which Windows keeps where they are.
case("comments.ini", b";top\r\n[S]\r\n;about k\r\nk=1\r\n#hash\r\n[T]\r\nx=1\r\n", "any", [(b"S", b";about k")],
     [(b"S", b"k", b"2", None), (b"S", b"j", b"3", None)])
case("comments_with_equals.ini", b"; a = b\r\n[S]\r\n  ; key = value\r\nk=1\r\n", "any", [],
     [(b"S", b"k", b"2", REFORMAT)])
case("blank_lines.ini", b"\r\n[S]\r\nk=1\r\n\r\n\r\n[T]\r\n\r\nx=1\r\n\r\n", "any", [],
     with_reason(ASCII_PLAIN, REFORMAT))
case("control_blanks.ini", b"[S]\r\n\x1a\r\n\x0b\x0ck\x0c=\x0b1\x1a\r\n", "any", [],
     [(b"S", b"k", b"2", REFORMAT)])
case("many_keys.ini", b"[S]\r\n" + b"".join(b"key%d=value%d\r\n" % (i, i) for i in range(500)), "any",
     [(b"S", b"key0"), (b"S", b"key499")], [(b"S", b"key250", b"changed", None), (b"S", b"key500", b"v", None)])

# Code page 932: the trail byte of a two-byte character may be ']' or a letter.
case("keys_cp932.ini",
     "[設定]\r\n曲名=ソナタ\r\n表示=表示する\r\n[Section]\r\nBGM区分=1\r\n".encode("cp932"), "932",
     [("設定".encode("cp932"), "曲名".encode("cp932"))],
     [("設定".encode("cp932"), "表示".encode("cp932"), "しない".encode("cp932"), None),
      ("新規".encode("cp932"), "キー".encode("cp932"), "値".encode("cp932"), None)])
case("trail_bracket.ini", b"[\x83\x5d]\r\nk=1\r\n[\x83\x5d\r\nj=2\r\n[\x83\x5c]\r\nz=3\r\n", "932",
     [(b"\x83\x5d", b"k"), (b"\x83\x5d", b"j"), (b"\x83", b"j"), (b"\x83\x5c", b"z")],
     [(b"\x83\x5d", b"n", b"1", None)])
case("trail_letter.ini", b"[S]\r\n\x83\x41=1\r\n\x83\x61=2\r\n\x82\x60=3\r\n", "932",
     [(b"S", b"\x83\x61"), (b"S", b"\x83\x41"), (b"S", b"\x82\x81")], [(b"S", b"\x83\x41", b"9", None)])
case("halfwidth_kana.ini", b"[S]\r\n\xa1k=1\r\n\xb1\xb2=2\r\n", "932", [(b"S", b"\xa1K")],
     [(b"S", b"\xa1K", b"3", None)])
case("long_dbcs.ini", b"[S]\r\nk=" + "亜".encode("cp932") * 200 + b"\r\nj=a" + "亜".encode("cp932") * 200 + b"\r\n",
     "932", [], [])
case("fullwidth_space.ini", b"[S]\r\nk=\x81\x40v\x81\x40\r\n", "932", [], [])
case("dangling_lead_byte.ini", b"[S]\r\nk=v\x81\r\nj=\x80\x81\r\n", "932", [], [])

# Code page 1252.
case("cp1252.ini", b"[Caf\xe9]\r\nna\xefve=r\xe9sum\xe9\r\n", "1252", [(b"CAF\xe9", b"NA\xefVE")],
     [(b"Caf\xe9", b"na\xefve", b"\xe0 la carte", None)])

# Unicode files.
case("utf8_bom.ini", b"\xef\xbb\xbf[S]\r\nk=caf\xc3\xa9\r\nj=1\r\n", "any", [],
     [(b"S", b"j", b"2", None), (b"S", b"n", b"3", None)])
case("utf16le_bom.ini", "\ufeff[S]\r\nk=v\r\nj=1\r\n".encode("utf-16-le"), "any", [],
     [(b"S", b"j", b"2", None), (b"S", b"n", b"3", None)])
case("utf16be_bom.ini", "\ufeff[S]\r\nk=v\r\n".encode("utf-16-be"), "any", [], [(b"S", b"k", b"w", None)])


SAFE = re.compile(rb"[A-Za-z0-9._:/]")


def escape(field):
    if field == b"":
        return "-"
    out = []
    for byte in field:
        ch = bytes([byte])
        out.append(ch.decode() if SAFE.fullmatch(ch) else "\\x%02x" % byte)
    return "".join(out)


def keys_of(content):
    """(section, key) pairs of a file, for the reads every case gets; a rough parse is enough."""
    if content.startswith(b"\xff\xfe") or content.startswith(b"\xfe\xff"):
        text = content[2:].decode("utf-16-le" if content[0] == 0xFF else "utf-16-be").encode("utf-8")
    elif content.startswith(b"\xef\xbb\xbf"):
        text = content[3:]
    else:
        text = content
    pairs, section = [], None
    for line in re.split(rb"\r\n|\r|\n", text):
        line = line.strip(b" \t\x0b\x0c\x1a")
        if line.startswith(b"[") and b"]" in line:
            section = line[1:line.rindex(b"]")].strip()
        elif section and b"=" in line and not line.startswith(b";"):
            key = line.split(b"=", 1)[0].strip()
            if key and b"\x00" not in key:
                pairs.append((section, key))
    return pairs


def main():
    os.makedirs(OUT, exist_ok=True)
    for old in os.listdir(OUT):
        os.remove(os.path.join(OUT, old))
    lines = ["# Generated by make_ini_corpus.py; see there for the format."]
    for c in CASES:
        lines.append("file %s %s%s" % (c["name"], c["codepage"], " absent" if c["absent"] else ""))
        if not c["absent"]:
            with open(os.path.join(OUT, c["name"]), "wb") as f:
                f.write(c["content"])
        reads = {}
        for section, key in keys_of(c["content"]) + c["reads"] + settings_reads:
            reason = c["read_differs"].get((section, key))
            for pair in ((section, key), (section.upper(), key.upper())):
                reads.setdefault(pair, reason)
        for (section, key), reason in reads.items():
            lines.append("read %s %s%s" % (escape(section), escape(key), " # differs: " + reason if reason else ""))
        for section, key, value, reason in c["writes"]:
            lines.append("write %s %s %s%s" % (escape(section), escape(key), escape(value),
                                               " # layout: " + reason if reason else ""))
    with open(os.path.join(OUT, "manifest.txt"), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print("%d files" % len(CASES))


if __name__ == "__main__":
    main()
