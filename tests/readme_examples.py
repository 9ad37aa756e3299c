#!/usr/bin/python3
"""Runs every example of the README on the sample database and compares its output with the
README's text, byte for byte, so that the README cannot show what the program no longer
prints.

    readme_examples.py README SYMDECK SAMPLE

An example is a line of a fenced block that begins with "$ symdeck", the lines that continue
its command (until its quotes close and it does not end with "|" or "\\"), and the output
that follows, up to the next "$ " line, a "# " comment line or the end of the block. A
line "..." in an output stands for any number of lines the README leaves out.

Each command runs in /bin/bash with pipefail (a failing symdeck fails the example), in a
scratch directory holding SAMPLE as build/sample.nms (the name the README gives it, and the
name the program writes into its output), with SYMDECK first on PATH as "symdeck".
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

# The README has more examples than this; fewer means the extraction broke, not that the
# README lost them.
MINIMUM_EXAMPLES = 10


def command_complete(command):
    if command.rstrip().endswith(('|', '\\')):
        return False
    try:
        shlex.split(command)
    except ValueError:  # a quotation still open
        return False
    return True


def examples(readme_text):
    """Yields (line number, command, expected output lines) for each example."""
    lines = readme_text.split('\n')
    i = 0
    in_block = False
    while i < len(lines):
        line = lines[i]
        if line.startswith('```'):
            in_block = not in_block
            i += 1
            continue
        if not (in_block and line.startswith('$ symdeck')):
            i += 1
            continue
        number = i + 1
        command = line[2:]
        i += 1
        while not command_complete(command):
            if i >= len(lines) or lines[i].startswith('```'):
                raise SystemExit(f'README line {number}: the command never ends')
            command += '\n' + lines[i]
            i += 1
        expected = []
        while i < len(lines) and not lines[i].startswith(('```', '$ ', '# ')):
            expected.append(lines[i])
            i += 1
        yield number, command, expected


def matches(expected, actual):
    """Exact match, each line "..." standing for any run of whole lines."""
    pattern = ''.join('(?:[^\n]*\n)*?' if line == '...' else re.escape(line + '\n')
                      for line in expected)
    return re.fullmatch(pattern, actual, re.DOTALL) is not None


def main():
    if len(sys.argv) != 4:
        raise SystemExit('usage: readme_examples.py README SYMDECK SAMPLE')
    readme, symdeck, sample = sys.argv[1:]
    with open(readme, encoding='utf-8') as f:
        found = list(examples(f.read()))
    if len(found) < MINIMUM_EXAMPLES:
        raise SystemExit(f'only {len(found)} examples found in {readme} '
                         f'(at least {MINIMUM_EXAMPLES} expected)')
    if shutil.which('jq') is None:
        raise SystemExit('the README examples need jq: tools/test-deps.sh install test')
    failed = 0
    with tempfile.TemporaryDirectory(prefix='symdeck-readme-') as work:
        os.mkdir(os.path.join(work, 'bin'))
        os.symlink(os.path.abspath(symdeck), os.path.join(work, 'bin', 'symdeck'))
        os.mkdir(os.path.join(work, 'build'))
        shutil.copyfile(sample, os.path.join(work, 'build', 'sample.nms'))
        env = dict(os.environ, PATH=os.path.join(work, 'bin') + os.pathsep + os.environ['PATH'],
                   LC_ALL='C.UTF-8')
        for number, command, expected in found:
            run = subprocess.run(['/bin/bash', '-o', 'pipefail', '-c', command], cwd=work,
                                 env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            actual = run.stdout.decode('utf-8', errors='replace')
            if run.returncode != 0 or not matches(expected, actual):
                failed += 1
                print(f'README line {number}: {command.splitlines()[0]}')
                print(f'  exit status {run.returncode}; stderr: {run.stderr.decode(errors="replace")!r}')
                print('  README:')
                print(''.join(f'    {line!r}\n' for line in expected), end='')
                print('  program:')
                print(''.join(f'    {line!r}\n' for line in actual.split('\n')[:-1]), end='')
    print(f'{len(found)} README examples run, {failed} different')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
