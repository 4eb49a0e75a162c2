#!/usr/bin/env python3
"""Fails when docs/runtime.md and the public headers (include/prompt) disagree:
every public function and variable needs an entry (a heading "### `Name`"),
and every entry must name something public. Also shows that it notices an
entry taken out. Given a compiler (check-reference.py CXX), it compiles each
example of the reference against the headers."""
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
HEADERS = sorted((ROOT / "include/prompt").glob("*.h"))
REFERENCE = ROOT / "docs/runtime.md"


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


def examples_that_do_not_compile(text, compiler):
    failures = []
    for number, example in enumerate(re.findall(r"```cpp\n(.*?)```", text, flags=re.S), 1):
        source = f"#include <prompt/prompt.h>\nint Example{number}()\n{{\n{example}    return 0;\n}}\n"
        run = subprocess.run([compiler, "-std=c++17", "-fsyntax-only", "-finput-charset=UTF-8", "-fexec-charset=CP932",
                              f"-I{ROOT / 'include'}", "-x", "c++", "-"], input=source.encode(), capture_output=True)
        if run.returncode != 0:
            failures.append(f"example {number} does not compile:\n{run.stderr.decode(errors='replace')}")
    return failures


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
    if len(sys.argv) > 1:
        failures = examples_that_do_not_compile(text, sys.argv[1])
        for failure in failures:
            print(f"docs/runtime.md: {failure}")
        problems += failures
        print(f"{len(re.findall('```cpp', text))} examples compiled")
    print(f"{len(names)} public names in {len(HEADERS)} headers, {len(entries(text))} entries")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
