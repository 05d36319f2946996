#!/usr/bin/env python3
"""Generates the string and version tables of a resource library from its .rc
source, for the Linux build, where an ELF library has no resource section.

Reads the subset of the resource language that the project's .rc files use:
STRINGTABLE and VERSIONINFO blocks, LANGUAGE, comments and preprocessor lines
(ignored). Texts are held as UTF-16 code units exactly as windres stores them;
anything windres would read differently (non-ASCII characters, escapes other
than the ones below) is refused, so that the two builds cannot drift apart.

Usage: rc_tables.py INPUT.rc OUTPUT.h
The output defines, as static data for one translation unit, the tables of
include/kestrel/ResourceTables.h: kestrel_string_table and kestrel_version_info.
"""

import re
import sys


class RcError(Exception):
    pass


TOKEN = re.compile(
    r"""
    (?P<space>\s+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<directive>^[ \t]*\#[^\n]*)
  | (?P<string>L?"(?:[^"\n]|"")*")
  | (?P<number>0[xX][0-9A-Fa-f]+|\d+)[lL]?
  | (?P<word>[A-Za-z_][A-Za-z_0-9]*)
  | (?P<punct>[,{}|])
    """,
    re.VERBOSE | re.DOTALL | re.MULTILINE,
)

SIMPLE_ESCAPES = {"\\": 0x5C, "n": 0x0A, "r": 0x0D, "t": 0x09, "a": 0x07}


def decode_string(literal, line):
    """UTF-16 code units of one string literal, as windres reads it."""
    wide = literal.startswith("L")
    body = literal[2:-1] if wide else literal[1:-1]
    units = []
    i = 0
    while i < len(body):
        c = body[i]
        if ord(c) > 0x7E or (ord(c) < 0x20 and c != "\t"):
            raise RcError(f"line {line}: write character {ord(c):#x} as \\xHHHH")
        if c == '"':  # the lexer only lets "" through
            units.append(0x22)
            i += 2
        elif c == "\\":
            if i + 1 >= len(body):
                raise RcError(f"line {line}: backslash at the end of a string")
            e = body[i + 1]
            if e in SIMPLE_ESCAPES:
                units.append(SIMPLE_ESCAPES[e])
                i += 2
            elif e == "x":
                digits = body[i + 2 : i + 6]
                if not wide or not re.fullmatch(r"[0-9A-Fa-f]{4}", digits):
                    raise RcError(f"line {line}: \\x needs a wide string and four hex digits")
                units.append(int(digits, 16))
                i += 6
            else:
                raise RcError(f"line {line}: unsupported escape \\{e}")
        else:
            units.append(ord(c))
            i += 1
    return units


def tokenize(text):
    tokens = []
    pos = 0
    while pos < len(text):
        m = TOKEN.match(text, pos)
        if not m:
            line = text.count("\n", 0, pos) + 1
            raise RcError(f"line {line}: cannot read {text[pos:pos + 20]!r}")
        kind = m.lastgroup
        line = text.count("\n", 0, pos) + 1
        if kind == "string":
            tokens.append(("string", decode_string(m.group("string"), line), line))
        elif kind == "number":
            tokens.append(("number", int(m.group("number"), 0), line))
        elif kind == "word":
            word = m.group("word")
            kind = "punct" if word in ("BEGIN", "END") else "word"
            tokens.append((kind, {"BEGIN": "{", "END": "}"}.get(word, word), line))
        elif kind == "punct":
            tokens.append(("punct", m.group("punct"), line))
        pos = m.end()
    return tokens


class Parser:
    def __init__(self, tokens):
        self.tokens = tokens
        self.pos = 0
        self.strings = {}
        self.version = None

    def peek(self, offset=0):
        i = self.pos + offset
        return self.tokens[i] if i < len(self.tokens) else ("end", None, 0)

    def take(self, kind=None, value=None):
        tok = self.peek()
        if (kind and tok[0] != kind) or (value is not None and tok[1] != value):
            raise RcError(f"line {tok[2]}: expected {value or kind}, found {tok[1]!r}")
        self.pos += 1
        return tok

    def skip(self, kind, value):
        if self.peek()[0] == kind and self.peek()[1] == value:
            self.pos += 1
            return True
        return False

    def number_expr(self):
        value = self.take("number")[1]
        while self.skip("punct", "|"):
            value |= self.take("number")[1]
        return value

    def joined_strings(self):
        units = list(self.take("string")[1])
        while self.peek()[0] == "string":
            units += self.take()[1]
        return units

    def parse(self):
        while self.peek()[0] != "end":
            kind, value, line = self.peek()
            if kind == "word" and value == "LANGUAGE":
                self.take()
                self.number_expr()
                self.take("punct", ",")
                self.number_expr()
            elif kind == "word" and value == "STRINGTABLE":
                self.take()
                self.string_table()
            elif kind in ("number", "word") and self.peek(1)[1] == "VERSIONINFO":
                self.pos += 2
                self.version_info()
            else:
                raise RcError(f"line {line}: unexpected {value!r}")
        return self

    def string_table(self):
        while self.peek()[0] == "word":  # memory options such as DISCARDABLE
            self.take()
        self.take("punct", "{")
        while not self.skip("punct", "}"):
            id_tok = self.take("number")
            self.skip("punct", ",")
            units = self.joined_strings()
            if id_tok[1] in self.strings:
                raise RcError(f"line {id_tok[2]}: string {id_tok[1]} defined twice")
            if not units:
                raise RcError(f"line {id_tok[2]}: string {id_tok[1]} is empty")
            if id_tok[1] > 0xFFFF:
                raise RcError(f"line {id_tok[2]}: string id {id_tok[1]} too large")
            self.strings[id_tok[1]] = units

    def version_info(self):
        fixed = {}
        while not self.skip("punct", "{"):
            name = self.take("word")[1]
            values = [self.number_expr()]
            while self.skip("punct", ","):
                values.append(self.number_expr())
            fixed[name] = values
        version = {
            "file": (fixed.get("FILEVERSION", []) + [0, 0, 0, 0])[:4],
            "product": (fixed.get("PRODUCTVERSION", []) + [0, 0, 0, 0])[:4],
            "strings": [],
            "translations": [],
        }
        while not self.skip("punct", "}"):
            self.take("word", "BLOCK")
            block = "".join(map(chr, self.take("string")[1]))
            self.take("punct", "{")
            if block == "StringFileInfo":
                while not self.skip("punct", "}"):
                    self.take("word", "BLOCK")
                    lang_cp = "".join(map(chr, self.take("string")[1]))
                    if not re.fullmatch(r"[0-9A-Fa-f]{8}", lang_cp):
                        raise RcError(f"bad StringFileInfo block name {lang_cp!r}")
                    language, code_page = int(lang_cp[:4], 16), int(lang_cp[4:], 16)
                    self.take("punct", "{")
                    while not self.skip("punct", "}"):
                        self.take("word", "VALUE")
                        name = self.take("string")[1]
                        self.take("punct", ",")
                        value = self.joined_strings()
                        version["strings"].append((language, code_page, name, value))
            elif block == "VarFileInfo":
                while not self.skip("punct", "}"):
                    self.take("word", "VALUE")
                    name = "".join(map(chr, self.take("string")[1]))
                    if name != "Translation":
                        raise RcError(f"unsupported VarFileInfo value {name!r}")
                    while self.skip("punct", ","):
                        language = self.number_expr()
                        self.take("punct", ",")
                        code_page = self.number_expr()
                        version["translations"].append(language << 16 | code_page)
            else:
                raise RcError(f"unsupported version block {block!r}")
        if self.version is not None:
            raise RcError("more than one VERSIONINFO")
        self.version = version


def units_array(name, units, terminated):
    body = ", ".join(f"0x{u:04X}" for u in units + ([0] if terminated else []))
    return f"static const uint16_t {name}[] = {{{body}}};\n"


def generate(parsed, source_name):
    out = [
        f"/* Generated from {source_name} by rc_tables.py at build time; do not edit. */\n",
        "#include <kestrel/ResourceTables.h>\n\n",
    ]
    ids = sorted(parsed.strings)
    for i in ids:
        out.append(units_array(f"kestrel_s{i}", parsed.strings[i], False))
    out.append("\nstatic const KestrelStringResource kestrel_strings[] = {\n")
    for i in ids:
        out.append(f"    {{{i}u, {len(parsed.strings[i])}u, kestrel_s{i}}},\n")
    out.append("};\n")
    out.append(
        f"static const KestrelStringTable kestrel_string_table = {{{len(ids)}u, kestrel_strings}};\n\n"
    )

    v = parsed.version or {"file": [0] * 4, "product": [0] * 4, "strings": [], "translations": []}
    for n, (_, _, name, value) in enumerate(v["strings"]):
        out.append(units_array(f"kestrel_vn{n}", name, True))
        out.append(units_array(f"kestrel_vv{n}", value, True))
    out.append("static const KestrelVersionString kestrel_version_strings[] = {\n")
    for n, (language, code_page, _, _) in enumerate(v["strings"]):
        out.append(f"    {{0x{language:04X}, 0x{code_page:04X}, kestrel_vn{n}, kestrel_vv{n}}},\n")
    if not v["strings"]:
        out.append("    {0, 0, 0, 0},\n")
    out.append("};\n")
    translations = ", ".join(f"0x{t:08X}u" for t in v["translations"]) or "0"
    out.append(f"static const uint32_t kestrel_translations[] = {{{translations}}};\n")
    out.append(
        "static const KestrelVersionInfo kestrel_version_info = {\n"
        f"    {{{', '.join(map(str, v['file']))}}},\n"
        f"    {{{', '.join(map(str, v['product']))}}},\n"
        f"    {len(v['translations'])}u, kestrel_translations,\n"
        f"    {len(v['strings'])}u, kestrel_version_strings,\n"
        "};\n"
    )
    return "".join(out)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, target = argv[1], argv[2]
    try:
        with open(source, encoding="ascii") as f:
            parsed = Parser(tokenize(f.read())).parse()
    except (RcError, UnicodeDecodeError) as e:
        sys.stderr.write(f"{source}: {e}\n")
        return 1
    text = generate(parsed, source.replace("\\", "/").rsplit("/", 1)[-1])
    with open(target, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
