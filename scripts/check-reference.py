#!/usr/bin/env python3
"""Fails when docs/runtime.md and the public headers (include/prompt) disagree:
every public function and variable needs an entry (a heading "### `Name`"),
and every entry must name something public. Also shows that it notices an
entry taken out. Given a compiler (check-reference.py CXX), it compiles each
C++ block of the reference, of the guide (docs/guide.ja.md) and of the README
against the headers, and shows that a block calling what the headers lack
fails. The guide's text may name only calls that exist."""
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
HEADERS = sorted((ROOT / "include/prompt").glob("*.h"))
REFERENCE = ROOT / "docs/runtime.md"
GUIDE = ROOT / "docs/guide.ja.md"


def public_names():
    names = {}
    for header in HEADERS:
        text = re.sub(r"//[^\n]*|/\*.*?\*/", "", header.read_text(encoding="utf-8"), flags=re.S)
        text = re.sub(r"\bstruct\s+\w+\s*\{.*?\};", "", text, flags=re.S)  # record fields are not calls
        text = re.sub(r"^\s*#[^\n]*|__declspec\(\w+\)", "", text, flags=re.M)
        for statement in text.split(";"):
            statement = " ".join(statement.split())
            if statement.startswith(("using ", "const ", "struct ")) or not statement:
                continue
            found = re.search(r"(\w+)\s*\(", statement) if "(" in statement else re.search(r"(\w+)\s*(\[[^\]]*\])?$", statement)
            if found:
                names[found.group(1)] = header.name
    return names


def entries(text):
    return set(re.findall(r"^### `(\w+)`", text, flags=re.M))


def disagreements(names, text):
    documented = entries(text)
    missing = [f"{name} ({header}) has no entry" for name, header in sorted(names.items()) if name not in documented]
    stale = [f"the entry {name} names nothing public" for name in sorted(documented - names.keys())]
    return missing + stale


def compiles(source, compiler):
    run = subprocess.run([compiler, "-std=c++17", "-fsyntax-only", "-finput-charset=UTF-8", "-fexec-charset=CP932",
                          f"-I{ROOT / 'include'}", "-x", "c++", "-"], input=source.encode(), capture_output=True)
    return run.returncode == 0, run.stderr.decode(errors="replace")


def as_source(number, example):
    # A whole program stands as it is; a fragment is the body of a function.
    if "WinMain" in example:
        return example
    return f"#include <prompt/prompt.h>\nint Example{number}()\n{{\n{example}    return 0;\n}}\n"


def examples_that_do_not_compile(text, compiler):
    failures = []
    for number, example in enumerate(re.findall(r"```cpp\n(.*?)```", text, flags=re.S), 1):
        ok, errors = compiles(as_source(number, example), compiler)
        if not ok:
            failures.append(f"example {number} does not compile:\n{errors}")
    return failures


def unknown_calls(names, text):
    """Names in backquotes that look like the runtime's (their first word is
    the first word of a public name: Console..., Picture...) but are not public."""
    def first_word(name):
        found = re.match(r"[A-Z][a-z]+", name)
        return found.group(0) if found else None
    first_words = {first_word(name) for name in names} - {None}
    types = {found for header in HEADERS for found in re.findall(r"\b(?:struct|using)\s+(\w+)", header.read_text(encoding="utf-8"))}
    quoted = set(re.findall(r"`([A-Z][A-Za-z]+)(?:\(|`)", text))
    return sorted(name for name in quoted if name not in names and name not in types and first_word(name) in first_words)


def main():
    names = public_names()
    text = REFERENCE.read_text(encoding="utf-8")
    problems = disagreements(names, text)
    for problem in problems:
        print(f"docs/runtime.md: {problem}")
    # The check itself: an entry taken out must be noticed.
    first = sorted(entries(text))[0]
    without = re.sub(rf"^### `{first}`.*$", "", text, flags=re.M)
    if not any(first in problem for problem in disagreements(names, without)):
        print(f"the check did not notice the entry {first} taken out")
        problems.append("self-test")
    guide = GUIDE.read_text(encoding="utf-8")
    for name in unknown_calls(names, guide):
        problems.append(name)
        print(f"docs/guide.ja.md: `{name}` is no call of the runtime")
    if not unknown_calls(names, guide + "`ConsolePrintf`"):
        print("the check did not notice the guide naming ConsolePrintf")
        problems.append("self-test")
    if len(sys.argv) > 1:
        readme = (ROOT / "README.md").read_text(encoding="utf-8")
        for document, contents in (("docs/runtime.md", text), ("docs/guide.ja.md", guide), ("README.md", readme)):
            failures = examples_that_do_not_compile(contents, sys.argv[1])
            for failure in failures:
                print(f"{document}: {failure}")
            problems += failures
            print(f"{document}: {len(re.findall('```cpp', contents))} examples, {len(failures)} not compiling")
        # The compile check itself: a call the headers lack must fail.
        if compiles(as_source(0, '    ConsolePrintf("%d", 1);\n'), sys.argv[1])[0]:
            print("the check compiled a call the headers lack")
            problems.append("self-test")
    print(f"{len(names)} public names in {len(HEADERS)} headers, {len(entries(text))} entries")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
