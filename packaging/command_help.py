#!/usr/bin/env python3
"""Writes a help2man include file with a COMMANDS section: the --help of every command that
`kvxctl --help` lists, so that the man page describes each command's options.

    command_help.py KVXCTL OUTPUT
"""
import subprocess
import sys


def run_help(kvxctl, *words):
    return subprocess.run([kvxctl, *words, "--help"], capture_output=True, text=True,
                          check=True).stdout


def commands(top_help):
    """The indented lines after "Commands:", up to the blank line; "help" is not a command."""
    names = []
    listing = False
    for line in top_help.splitlines():
        if line.startswith("Commands:"):
            listing = True
        elif listing and not line.strip():
            break
        elif listing and line.startswith("  ") and line.split()[0] != "help":
            names.append(line.split()[0])
    return names


def roff_verbatim(text):
    lines = []
    for line in text.rstrip("\n").split("\n"):
        line = line.replace("\\", "\\e").replace("-", "\\-")
        # A line that starts with a dot or an apostrophe would be read as a request.
        lines.append("\\&" + line if line.startswith((".", "'")) else line)
    return "\n".join(lines)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    kvxctl, output = sys.argv[1:]
    sections = ["[COMMANDS]"]
    for name in commands(run_help(kvxctl)):
        sections += [f".SS {name}", ".nf", roff_verbatim(run_help(kvxctl, name)), ".fi"]
    with open(output, "w") as f:
        f.write("\n".join(sections) + "\n")
    return 0


sys.exit(main())
