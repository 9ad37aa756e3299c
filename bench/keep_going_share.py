#!/usr/bin/env python3
"""The share of a damaged database that --keep-going still reports.

    bench/keep_going_share.py SYMDECK DATABASE... [--rounds N] [--seed S]

Each round corrupts one byte of one offset, count, size or signature field of a database
(the fields as the sound database's JSON document gives them, chosen at random) and walks
the result with and without --keep-going. The blocks of the sound database that lie wholly
outside the corrupted field are the ones a walk could still report; a block counts as
reported when the damaged walk reports a block of the same word at the same offset with
the same field values. Prints, for each walk, the share of those blocks it reported.
"""
import argparse
import json
import os
import random
import subprocess
import sys
import tempfile


def walk(symdeck, path, keep_going):
    args = [symdeck, path, "--json", "-o", "-"] + (["--keep-going"] if keep_going else [])
    return json.loads(subprocess.run(args, check=True, capture_output=True).stdout)


def blocks(doc):
    """Every block of a document: (word, offset) -> (values, the bytes its own fields hold)."""
    found = {}

    def visit(items):
        for b in items:
            if "block" not in b:
                continue
            spans = [(f["offset"], f["offset"] + f["size"]) for f in b["fields"] if "name" in f]
            found[(b["block"], b.get("offset"))] = (json.dumps(b.get("values"), sort_keys=True), spans)
            visit(b.get("blocks", []))

    visit(doc["blocks"])
    return found


def fields(doc):
    """The fields a corruption may hit: offsets, counts, sizes and signatures."""
    out = []

    def visit(items):
        for b in items:
            for f in b.get("fields", []):
                if "name" in f and f["role"] in ("offset", "count", "size", "signature"):
                    out.append((f["offset"], f["size"]))
            visit(b.get("blocks", []))

    visit(doc["blocks"])
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("symdeck")
    parser.add_argument("databases", nargs="+")
    parser.add_argument("--rounds", type=int, default=500)
    parser.add_argument("--seed", type=int, default=20261211)
    a = parser.parse_args()
    rng = random.Random(a.seed)
    sound = []
    for path in a.databases:
        data = open(path, "rb").read()
        doc = walk(a.symdeck, path, False)
        sound.append((data, blocks(doc), fields(doc)))
    outside = 0
    reported = {False: 0, True: 0}
    with tempfile.TemporaryDirectory() as work:
        damaged = os.path.join(work, "damaged.nms")
        for _ in range(a.rounds):
            data, before, candidates = rng.choice(sound)
            at, size = rng.choice(candidates)
            byte = at + rng.randrange(size)
            corrupted = bytearray(data)
            corrupted[byte] = (corrupted[byte] + rng.randrange(1, 256)) % 256
            open(damaged, "wb").write(corrupted)
            whole = {k: v for k, v in before.items() if all(not (s <= byte < e) for s, e in v[1])}
            outside += len(whole)
            for keep_going in (False, True):
                after = blocks(walk(a.symdeck, damaged, keep_going))
                reported[keep_going] += sum(1 for k, v in whole.items() if k in after and after[k][0] == v[0])
    print(f"{a.rounds} corruptions, {outside} blocks outside the corrupted field")
    for keep_going in (False, True):
        name = "--keep-going" if keep_going else "without it"
        print(f"{name}: {reported[keep_going]} reported, share {reported[keep_going] / outside:.3f}")


if __name__ == "__main__":
    sys.exit(main())
