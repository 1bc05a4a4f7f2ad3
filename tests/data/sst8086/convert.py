#!/usr/bin/env python3
"""Converts the SingleStepTests 8086 v1 files (gzip'd JSON, one per opcode) into the plain-text
files beside this script that tests/exec/hardware_states_test.cpp reads. README.md describes the
format.

    python3 convert.py SOURCE_DIR [OUTPUT_DIR]

SOURCE_DIR holds the XX.json.gz / XX.R.json.gz files and metadata.json; OUTPUT_DIR defaults to the
directory of this script. Every .txt file there is replaced.
"""
import gzip
import json
import pathlib
import sys

# The suite's register order, kept in the "regs" line.
REGISTERS = ["ax", "bx", "cx", "dx", "cs", "ss", "ds", "es", "sp", "bp", "si", "di", "ip", "flags"]
PREFIXES = {0x26, 0x2E, 0x36, 0x3E, 0xF0, 0xF2, 0xF3}

# Opcodes whose exact-mode meaning is not the 8086's: the 80186 instructions velkor keeps at
# 60-6F, C0, C1, C8 and C9 (62-65 unchanged), and the 0F/66/67 pages.
LEFT_OUT = set(range(0x60, 0x70)) | {0x0F, 0xC0, 0xC1, 0xC8, 0xC9}
DOS_SERVICE_VECTOR = 0x21

HEADER = ("# SingleStepTests 8086 v1 ({source}), converted by convert.py; the format is in README.md.\n"
          "# regs: " + " ".join(REGISTERS) + "\n")


def opcode_and_next(test_bytes):
    """The opcode after the prefixes, and the byte after it (None past the end): the ModR/M byte,
    whose reg field selects a group member, or INT's vector."""
    i = 0
    while test_bytes[i] in PREFIXES:
        i += 1
    return test_bytes[i], test_bytes[i + 1] if i + 1 < len(test_bytes) else None


def reg_field(modrm):
    return None if modrm is None else (modrm >> 3) & 7


def flags_mask(metadata, opcode, reg):
    entry = metadata["opcodes"].get("%02X" % opcode, {})
    if "reg" in entry:
        entry = entry["reg"].get(str(reg), {})
    return entry.get("flags-mask", 0xFFFF)


def ram_runs(pairs):
    """[address, byte] pairs as runs of consecutive addresses: "aaaaa:bbbbbb..." (5-digit address,
    2 hex digits a byte)."""
    runs = []
    previous = None
    for address, value in sorted(pairs):
        if previous is not None and address == previous + 1:
            runs[-1][1].append(value)
        else:
            runs.append((address, [value]))
        previous = address
    return " ".join("%05x:%s" % (start, "".join("%02x" % v for v in values)) for start, values in runs)


def convert_test(test, metadata):
    opcode, modrm = opcode_and_next(test["bytes"])
    initial, final = test["initial"], test["final"]
    addresses = [a for a, _ in initial["ram"]]
    if len(set(addresses)) != len(addresses) or not set(addresses) <= {a for a, _ in final["ram"]}:
        raise ValueError("unexpected RAM lists in test %r" % test["name"])
    if "\n" in test["name"]:
        raise ValueError("line break in the name of test %r" % test["name"])
    changed = [r for r in REGISTERS if r in final["regs"]]
    if len(changed) != len(final["regs"]):
        raise ValueError("unknown register in test %r" % test["name"])
    lines = [
        "test %d %s" % (test["test_num"], test["name"]),
        "bytes " + " ".join("%02x" % b for b in test["bytes"]),
        "regs " + " ".join("%04x" % initial["regs"][r] for r in REGISTERS),
        "ram " + ram_runs(initial["ram"]),
        ("final " + " ".join("%s:%04x" % (r, final["regs"][r]) for r in changed)).rstrip(),
        "finalram " + ram_runs(final["ram"]),
        "mask %04x" % flags_mask(metadata, opcode, reg_field(modrm)),
    ]
    return "\n".join(lines) + "\n"


def kept(test):
    opcode, vector = opcode_and_next(test["bytes"])
    return not (opcode == 0xCD and vector == DOS_SERVICE_VECTOR)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    source = pathlib.Path(sys.argv[1])
    output = pathlib.Path(sys.argv[2]) if len(sys.argv) == 3 else pathlib.Path(__file__).resolve().parent
    metadata = json.loads((source / "metadata.json").read_text())
    for old in output.glob("*.txt"):
        old.unlink()
    total_files = total_tests = 0
    for path in sorted(source.glob("*.json.gz")):
        stem = path.name[: -len(".json.gz")]
        if int(stem[:2], 16) in LEFT_OUT:
            continue
        with gzip.open(path, "rt") as f:
            tests = json.load(f)
        for test in tests:
            opcode, modrm = opcode_and_next(test["bytes"])
            if "%02X" % opcode != stem[:2] or ("." in stem and str(reg_field(modrm)) != stem[3:]):
                raise ValueError("%s holds test %r of another opcode" % (path.name, test["name"]))
        tests = [t for t in tests if kept(t)]
        text = HEADER.format(source=path.name) + "count %d\n" % len(tests)
        text += "".join(convert_test(t, metadata) for t in tests)
        (output / (stem + ".txt")).write_text(text)
        total_files += 1
        total_tests += len(tests)
    print("%d files, %d tests" % (total_files, total_tests))


if __name__ == "__main__":
    main()
