"""Reads what the Python package offers of a database, for bench/python.sh:
    python_walk.py fields DB    every field's name, value, role and target of every block
                                (its own fields and its lists' rows)
    python_walk.py text DB      db.report("text"), whole
Prints the count of fields read, or of bytes of the report."""
import sys

import symdeck

what, path = sys.argv[1], sys.argv[2]
db = symdeck.open(path)
if what == "text":
    print(len(db.report("text")))
    sys.exit(0)
count = 0
for block in db.blocks():
    for field in block.fields:
        field.name, field.value, field.role, field.target
        count += 1
    for lst in block.lists:
        for element in lst.elements:
            for field in element:
                field.name, field.value, field.role, field.target
                count += 1
print(count)
