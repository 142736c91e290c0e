#!/usr/bin/env python3
"""Lists the functions over 60 lines and the files over 500 lines in the C++ sources of the
given folders (by default the production folders), and exits 1 when it lists any.

Functions are found by their braces, with comments, strings and preprocessor lines left out:
a brace that follows a parenthesised head at namespace or class level opens a function body
(lambdas count with the function they stand in). A function's length runs from its head to its
closing brace.
"""
import pathlib
import re
import sys

FUNCTION_LIMIT = 60
FILE_LIMIT = 500
DEFAULT_FOLDERS = ["text", "timefmt", "check", "cli", "app", "about"]
CONTROL = re.compile(r"^(if|for|while|switch|catch|do|else|try|return)\b")
NOT_CODE = re.compile(
    r'//[^\n]*|/\*.*?\*/|R"\((?:.|\n)*?\)"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S
)


def code_only(text):
    """The text with comments, literals and preprocessor lines blanked, its lines kept."""
    blanked = NOT_CODE.sub(lambda m: re.sub(r"[^\n]", " ", m.group(0)), text)
    return re.sub(r"^[ \t]*#[^\n]*", "", blanked, flags=re.M)


def opens_function(head, inside_function):
    before_arguments = head.split("(")[0]
    return (
        not inside_function
        and "(" in head
        and ")" in head
        and not CONTROL.match(head)
        and not re.search(r"\b(namespace|class|struct|enum|union)\b", before_arguments)
        and not before_arguments.rstrip().endswith("=")
    )


def functions(text):
    """(name, first line, length in lines) of every function body in the text."""
    code = code_only(text)
    open_braces = []  # (opens a function, where its head starts)
    statement_start = 0
    for at, c in enumerate(code):
        if c == "{":
            head = code[statement_start:at]
            head_start = statement_start + len(head) - len(head.lstrip())
            inside = any(is_function for is_function, _ in open_braces)
            open_braces.append((opens_function(head.strip(), inside), head_start))
            statement_start = at + 1
        elif c == "}":
            if open_braces:
                is_function, head_start = open_braces.pop()
                if is_function:
                    first = code.count("\n", 0, head_start) + 1
                    last = code.count("\n", 0, at) + 1
                    name = code[head_start : code.index("(", head_start)].split()[-1]
                    yield name, first, last - first + 1
            statement_start = at + 1
        elif c == ";":
            statement_start = at + 1


def main(folders):
    found = False
    for folder in folders:
        for path in sorted(pathlib.Path(folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            lines = text.count("\n")
            if lines > FILE_LIMIT:
                print(f"{path}: {lines} lines")
                found = True
            for name, first, length in functions(text):
                if length > FUNCTION_LIMIT:
                    print(f"{path}:{first}: {name} takes {length} lines")
                    found = True
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:] or DEFAULT_FOLDERS))
