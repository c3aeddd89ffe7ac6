#!/usr/bin/env python3
"""Validates JSON Lines against the Korvane schema.

Usage: validate_jsonl.py SCHEMA [FILE] [--at-least N]

Reads FILE, or standard input without one. Every line must be one JSON
object that the schema (draft 2020-12) accepts; an empty line is an error
too. Exits 1 naming the first line that fails, and also when fewer than N
lines (default 1) were read, so that an empty output does not pass. Prints
how many lines it checked.
"""
import argparse
import json
import sys

import jsonschema


def fail(message):
    print(f"validate_jsonl: {message}", file=sys.stderr)
    sys.exit(1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("schema")
    parser.add_argument("file", nargs="?")
    parser.add_argument("--at-least", type=int, default=1, metavar="N")
    args = parser.parse_args()

    with open(args.schema, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)

    # Bytes in, strict UTF-8: output that is not UTF-8 fails here.
    stream = open(args.file, "rb") if args.file else sys.stdin.buffer
    count = 0
    with stream:
        for number, raw in enumerate(stream, start=1):
            try:
                line = raw.decode("utf-8").rstrip("\n")
            except UnicodeDecodeError as error:
                fail(f"line {number}: not UTF-8 ({error})")
            if not line.strip():
                fail(f"line {number}: empty line")
            try:
                value = json.loads(line)
            except json.JSONDecodeError as error:
                fail(f"line {number}: not JSON ({error}): {line[:200]}")
            errors = sorted(validator.iter_errors(value), key=lambda e: list(e.absolute_path))
            if errors:
                first = errors[0]
                where = "/" + "/".join(str(part) for part in first.absolute_path)
                fail(f"line {number}: at {where}: {first.message[:300]}")
            count += 1

    if count < args.at_least:
        fail(f"only {count} line(s), expected at least {args.at_least}")
    print(f"validate_jsonl: {count} line(s) valid")


if __name__ == "__main__":
    main()
