"""Mutants chosen by a rule: the compiler's own parser (libclang) lists every relational,
equality, arithmetic and logical operator and every statement of a block in the sources
given, and a fixed seed picks the sample. Used by tools/mutate --generate.

A mutant is named by its file, the text of its line, which occurrence on that line it is
and what it does, so that a name stays the same while other lines of the file change.
"""

import hashlib
import json
import random
import re
import shlex
import sys
from dataclasses import dataclass
from pathlib import Path

try:
    import clang.cindex as cindex
except ImportError:  # Debian's bindings live beside the system's Python
    sys.path.append("/usr/lib/python3/dist-packages")
    import clang.cindex as cindex

LIBCLANG = "/usr/lib/llvm-14/lib/libclang.so.1"
RESOURCE_DIR = "/usr/lib/llvm-14/lib/clang/14.0.6"

# Operator flips and boundary shifts.
REPLACEMENTS = {
    "<": ["<=", ">="],
    "<=": ["<", ">"],
    ">": [">=", "<="],
    ">=": [">", "<"],
    "==": ["!="],
    "!=": ["=="],
    "&&": ["||"],
    "||": ["&&"],
    "+": ["-"],
    "-": ["+"],
    "*": ["/"],
    "/": ["*"],
    "%": ["*"],
}
OVERLOADED = {"operator" + op: op for op in REPLACEMENTS}
DELETABLE = {
    "CALL_EXPR", "BINARY_OPERATOR", "COMPOUND_ASSIGNMENT_OPERATOR", "UNARY_OPERATOR",
    "IF_STMT", "FOR_STMT", "WHILE_STMT", "DO_STMT", "CXX_FOR_RANGE_STMT", "SWITCH_STMT",
    "BREAK_STMT", "CONTINUE_STMT", "CXX_THROW_EXPR", "CXX_DELETE_EXPR", "CXX_MEMBER_CALL_EXPR",
}


@dataclass
class Mutant:
    ident: str
    path: str  # relative to the root
    start: int  # byte offsets of the text replaced
    end: int
    old: str
    new: str
    line: int
    kind: str  # "operator" or "statement"

    def apply(self, text: bytes) -> bytes:
        return text[:self.start] + self.new.encode() + text[self.end:]

    def diff(self, text: bytes) -> str:
        lines = text.decode(errors="replace").split("\n")
        before = lines[self.line - 1]
        mutated = self.apply(text).decode(errors="replace").split("\n")
        after = mutated[self.line - 1: self.line - 1 + len(self.new.split("\n"))]
        return f"  {self.path}:{self.line}\n  - {before.strip()}\n  + " + \
            " ".join(a.strip() for a in after)


def compile_arguments(build: Path, source: Path):
    commands = json.loads((build / "compile_commands.json").read_text())
    for entry in commands:
        if Path(entry["file"]).resolve() == source.resolve():
            words = shlex.split(entry["command"])[1:]
            kept, skip = [], False
            for word in words:
                if skip:
                    skip = False
                    continue
                if word in ("-o", "-c", "-include"):
                    skip = True
                    continue
                if word.startswith("-W") or word == entry["file"] or word.startswith("-f"):
                    continue
                kept.append(word)
            return kept + ["-resource-dir", RESOURCE_DIR, "-Wno-everything"]
    return None


def line_keyed(path: str, text: bytes, offset: int, kind: str, change: str, seen: dict):
    line_start = text.rfind(b"\n", 0, offset) + 1
    line_end = text.find(b"\n", offset)
    line = text[line_start:line_end if line_end >= 0 else len(text)].decode(errors="replace")
    key = (path, line.strip(), kind, change)
    seen[key] = seen.get(key, 0) + 1
    digest = hashlib.sha1(line.strip().encode()).hexdigest()[:8]
    return f"{path}@{digest}.{seen[key]}:{change}", text.count(b"\n", 0, offset) + 1


def operator_token(cursor, left, right):
    for token in cursor.get_tokens():
        if token.extent.start.offset >= left.extent.end.offset and \
                token.extent.end.offset <= right.extent.start.offset and \
                token.kind.name == "PUNCTUATION":
            return token
    return None


def enumerate_mutants(root: Path, build: Path, folders):
    cindex.Config.set_library_file(LIBCLANG)
    index = cindex.Index.create()
    mutants = []
    sources = sorted(p for folder in folders for p in (root / folder).rglob("*.cpp"))
    for source in sources:
        arguments = compile_arguments(build, source)
        if arguments is None:
            continue
        unit = index.parse(str(source), args=arguments)
        text = source.read_bytes()
        rel = str(source.relative_to(root))
        seen = {}
        places = set()

        def add(start, end, new, kind, change):
            if (start, end, new) in places or text[start:end].decode(errors="replace") == new:
                return
            places.add((start, end, new))
            ident, line = line_keyed(rel, text, start, kind, change, seen)
            mutants.append(Mutant(ident, rel, start, end, text[start:end].decode(), new, line,
                                  kind))

        def visit(cursor):
            location = cursor.location
            if location.file and Path(location.file.name).resolve() != source.resolve():
                return
            kind = cursor.kind.name
            children = list(cursor.get_children())
            operator = None
            if kind == "BINARY_OPERATOR" and len(children) == 2:
                operator = operator_token(cursor, children[0], children[1])
            elif kind == "CALL_EXPR" and cursor.spelling in OVERLOADED:
                arguments = [c for c in children if c.kind.name != "DECL_REF_EXPR" or
                             not c.spelling.startswith("operator")]
                if len(arguments) == 2:
                    operator = operator_token(cursor, arguments[0], arguments[1])
                    if operator is not None and operator.spelling != OVERLOADED[cursor.spelling]:
                        operator = None
            if operator is not None and operator.spelling in REPLACEMENTS:
                start = operator.extent.start.offset
                end = operator.extent.end.offset
                # An operator written in a macro's expansion is not where its tokens say.
                if text[start:end].decode(errors="replace") == operator.spelling:
                    for new in REPLACEMENTS[operator.spelling]:
                        add(start, end, new, "operator", f"{operator.spelling}->{new}")
            if kind == "COMPOUND_STMT":
                for statement in children:
                    if statement.kind.name not in DELETABLE:
                        continue
                    start = statement.extent.start.offset
                    end = statement.extent.end.offset
                    if statement.extent.start.file is None or \
                            Path(statement.extent.start.file.name).resolve() != source.resolve():
                        continue
                    block = statement.kind.name.endswith("_STMT") and \
                        statement.kind.name not in ("BREAK_STMT", "CONTINUE_STMT")
                    add(start, end, "{}" if block else "(void)0", "statement", "delete")
            for child in children:
                visit(child)

        visit(unit.cursor)
    return mutants


def sample(mutants, count: int, seed: int):
    ordered = sorted(mutants, key=lambda m: m.ident)
    chosen = random.Random(seed).sample(ordered, min(count, len(ordered)))
    return sorted(chosen, key=lambda m: (m.path, m.start))


def read_equivalents(path: Path):
    """Lines of 'IDENT  the reason it changes nothing a test could see'."""
    equivalents = {}
    if path.is_file():
        for raw in path.read_text(encoding="utf-8").splitlines():
            if raw.strip() and not raw.startswith("#"):
                ident, _, reason = raw.partition("  ")
                equivalents[ident.strip()] = reason.strip()
    return equivalents




def covered_lines(gcov_json: dict):
    """The lines of each source file in one gcov JSON report: those that hold code, and of
    them those executed."""
    lines = {}
    for entry in gcov_json.get("files", []):
        code, executed = lines.setdefault(entry["file"], (set(), set()))
        for line in entry.get("lines", []):
            code.add(line["line_number"])
            if line["count"] > 0:
                executed.add(line["line_number"])
    return lines


def statement_line(line: int, code_lines):
    """The line a statement's count is kept on: the mutant's own, or the nearest one above
    it that holds code, for the second and later lines of a statement."""
    candidates = [number for number in code_lines if number <= line]
    return max(candidates) if candidates else line
