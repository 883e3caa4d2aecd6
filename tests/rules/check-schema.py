#!/usr/bin/env python3
"""Checks docs/rules.schema.json with a real validator (python3-jsonschema, Draft 2020-12).

- The file is what scripts/make-rules-schema writes.
- Every ready-made file of examples/rules and the starter file that Edit… writes are valid, and
  so is the starter with each of its commented examples switched on (checked by corvane-replay
  too, which reads it as the program does).
- Every bad file of the reader's tests that the schema can see (rules_tests writes them) is
  refused by the schema as well.
"""
import argparse
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile

import jsonschema


def strip_comments(text):
    """The JSON of a rules file: // and /* */ comments and commas before } or ] taken out."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if c == '"':
            j = i + 1
            while j < n and text[j] != '"':
                j += 2 if text[j] == "\\" else 1
            out.append(text[i : j + 1])
            i = j + 1
        elif text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            i = n if end < 0 else end + 2
        else:
            out.append(c)
            i += 1
    return re.sub(r",(\s*[}\]])", r"\1", "".join(out))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--schema", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--starter-source", required=True)
    parser.add_argument("--replay", required=True)
    parser.add_argument("--rules-tests", required=True)
    parser.add_argument("examples", nargs="+")
    args = parser.parse_args()
    failures = []

    schema_text = pathlib.Path(args.schema).read_text()
    generated = subprocess.run([sys.executable, args.generator], check=True, capture_output=True,
                               text=True).stdout
    if generated != schema_text:
        failures.append(f"{args.schema} is not what {args.generator} writes: run it again")
    schema = json.loads(schema_text)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)

    def errors(text):
        return [e.message for e in validator.iter_errors(json.loads(strip_comments(text)))]

    for path in args.examples:
        for message in errors(pathlib.Path(path).read_text()):
            failures.append(f"{path}: {message}")

    source = pathlib.Path(args.starter_source).read_text()
    starter = re.search(r'R"json\((.*)\)json"', source, re.S).group(1)
    if not starter.lstrip("{ \n").startswith('"$schema": "./rules.schema.json"'):
        failures.append("the starter file's first member is not \"$schema\"")
    # Each commented example: a line "// "member": ..." and, for a list, the lines up to its end.
    lines = starter.split("\n")
    variants = [("the starter", starter)]
    for i, line in enumerate(lines):
        if not re.match(r'^\s*// "', line):
            continue
        end = i
        if line.rstrip().endswith("["):
            while not re.match(r"^\s*//\s*\],?$", lines[end]):
                end += 1
        switched = lines[:i] + [re.sub(r"^(\s*)// ?", r"\1", l) for l in lines[i : end + 1]]
        variants.append((f"the starter with line {i + 1} on", "\n".join(switched + lines[end + 1 :])))
    with tempfile.TemporaryDirectory() as folder:
        trace = pathlib.Path(folder, "empty.jsonl")
        trace.write_text("")
        for what, text in variants:
            for message in errors(text):
                failures.append(f"{what}: {message}")
            rules = pathlib.Path(folder, "rules.json")
            rules.write_text(text)
            run = subprocess.run([args.replay, "--rules", str(rules), str(trace)],
                                 capture_output=True, text=True)
            if run.returncode != 0:
                failures.append(f"{what}: {run.stderr.strip()}")

        env = dict(os.environ, CORVANE_BAD_RULES_DIR=folder)
        subprocess.run([args.rules_tests, "--gtest_filter=*WritesItsBadFiles*"], env=env,
                       check=True, capture_output=True)
        seen = sorted(pathlib.Path(folder).glob("*.sees.json"))
        if not seen:
            failures.append("rules_tests wrote no bad file")
        for path in seen:
            try:
                document = json.loads(strip_comments(path.read_text(errors="replace")))
            except json.JSONDecodeError:
                continue  # not JSON at all: refused before any schema
            if validator.is_valid(document):
                failures.append(f"bad file {path.stem} passes the schema")

    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
