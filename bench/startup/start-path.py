#!/usr/bin/env python3
"""start-path.py OUTPUT PROGRAM=CALLGRIND_OUT[,CALLGRIND_OUT...]...

Writes the linker script that lays out the functions the CGI programs run at start beside each
other (src/runtime/start-path.ld). Each PROGRAM is a program linked with its map (PROGRAM.map,
which the build writes); each CALLGRIND_OUT a run of it under callgrind (as
bench/startup/instructions.sh keeps them with CALLGRIND_KEEP=DIR). The functions run are found
by name in the program's symbols and their input sections in its map; the script names those
sections, in the order the runs first reached them, in an output section placed before the rest
of the code. A section missing from a later build matches nothing, so the script goes stale
slowly; run it again after large changes.
"""
import bisect
import os
import re
import subprocess
import sys


def functions_run(paths):
    names = []
    seen = set()
    for path in paths:
        ids = {}
        for line in open(path, errors="replace"):
            match = re.match(r"^c?fn=\((\d+)\)(?: (.*))?$", line.rstrip("\n"))
            if not match:
                continue
            if match.group(2):
                ids[match.group(1)] = match.group(2)
            name = ids.get(match.group(1))
            if line.startswith("fn=") and name and name not in seen:
                seen.add(name)
                names.append(name)
    return names


def symbols(program):
    table = {}
    out = subprocess.run(["nm", "--defined-only", "--demangle", program], capture_output=True, text=True,
                         check=True).stdout
    for line in out.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[1] in "tTwWiI":
            # Several addresses for one name: the variants of a constructor or destructor.
            table.setdefault(parts[2], []).append(int(parts[0], 16))
    return table


def input_sections(map_path):
    """(address, size, section, file) of each code input section of the map."""
    sections = []
    pending = None
    entry = re.compile(r"^\s+(0x[0-9a-f]+)\s+(0x[0-9a-f]+)\s+(\S.*)$")
    for line in open(map_path, errors="replace"):
        line = line.rstrip("\n")
        head = re.match(r"^ (\.text\S*)(.*)$", line)
        if head:
            rest = head.group(2)
            match = entry.match(rest) if rest.strip() else None
            if match:
                sections.append((int(match.group(1), 16), int(match.group(2), 16), head.group(1),
                                 match.group(3)))
                pending = None
            else:
                pending = head.group(1)
            continue
        if pending:
            match = entry.match(line)
            if match:
                sections.append((int(match.group(1), 16), int(match.group(2), 16), pending,
                                 match.group(3)))
            pending = None
    return sorted(s for s in sections if s[1] > 0)


def pattern(section, origin):
    """The linker script's name for one input section: archive member or object file. The C
    library picks a string function's variant for the processor at start (memset-avx2-...,
    memset-evex-...): the run under callgrind shows one of them, so all of them are named."""
    archive = re.match(r"^(.*)\((.*)\)$", origin)
    if not archive:
        return f"*{os.path.basename(origin)}({section})"
    library, member = os.path.basename(archive.group(1)), archive.group(2)
    variant = re.match(r"^([a-z0-9_]+)-(avx|evex|sse)", member)
    if library == "libc.a" and variant:
        return f"*libc.a:{variant.group(1)}-*(.text .text.*)"
    return f"*{library}:{member}({section})"


def main():
    output = sys.argv[1]
    lines, seen, run = [], set(), 0
    for argument in sys.argv[2:]:
        program, outs = argument.split("=", 1)
        addresses = symbols(program)
        sections = input_sections(program + ".map")
        starts = [s[0] for s in sections]
        for name in functions_run(outs.split(",")):
            run += 1
            for address in addresses.get(name, []):
                i = bisect.bisect_right(starts, address) - 1
                if i < 0 or address >= sections[i][0] + sections[i][1]:
                    continue
                line = pattern(sections[i][2], sections[i][3])
                if line not in seen:
                    seen.add(line)
                    lines.append(line)
    with open(output, "w") as out:
        out.write("/* The functions the CGI programs run at start, side by side: fewer pages of code\n"
                  "   to fault in per request. Written by bench/startup/start-path.py; a section no\n"
                  "   longer there matches nothing. */\nSECTIONS\n{\n  .text.start_path :\n  {\n")
        for line in lines:
            out.write(f"    {line}\n")
        out.write("  }\n}\nINSERT BEFORE .text;\n")
    print(f"{len(lines)} input sections for {run} functions run", file=sys.stderr)


main()
