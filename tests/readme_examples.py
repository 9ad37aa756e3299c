#!/usr/bin/python3
"""Runs every example of the README and of the pages in docs/ on the sample database and
compares its output with the page's text, byte for byte, so that no page can show what the
program no longer prints; and checks that every relative link of those pages leads to a file.

    readme_examples.py SYMDECK SAMPLE DOCUMENT...

A DOCUMENT is a Markdown file or a folder, which stands for the .md files in it.

An example is a line of a fenced block that begins with "$ symdeck", the lines that continue
its command (until its quotes close and it does not end with "|" or "\\"), and the output
that follows, up to the next "$ " line, a "# " comment line or the end of the block. A
line "..." in an output stands for any number of lines the page leaves out.

Each command runs in /bin/bash with pipefail (a failing symdeck fails the example), in a
scratch directory holding SAMPLE as build/sample.nms (the name the pages give it, and the
name the program writes into its output), with SYMDECK first on PATH as "symdeck". Beside
it stands build/sample-edited.nms, the sample with one byte changed (EDITED_BYTE, as
docs/diff.md makes it), for the examples of --diff.

A link is [text](target) or ![text](target) outside fenced blocks and code spans; targets with
a scheme (https:, mailto:) and bare #anchors are not files and are left alone, and an
#anchor after a file name is dropped. The target is taken relative to its page.
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

# The pages have more examples than this; fewer means the extraction broke, not that the
# pages lost them.
MINIMUM_EXAMPLES = 10

# build/sample-edited.nms: the sample with the byte at OFFSET changed from OLD to NEW, the
# name index of the second local variable of the first procedure ("argv" becomes "count").
# A sample whose byte there is not OLD has been rebuilt differently: choose the byte anew.
EDITED_BYTE = {'offset': 0x701, 'old': 4, 'new': 5}

LINK = re.compile(r'!?\[[^\]]*\]\(([^()\s]+)\)')
CODE_SPAN = re.compile(r'`[^`]*`')


def command_complete(command):
    if command.rstrip().endswith(('|', '\\')):
        return False
    try:
        shlex.split(command)
    except ValueError:  # a quotation still open
        return False
    return True


def pages(arguments):
    """The Markdown files the arguments name, a folder standing for its .md files."""
    for argument in arguments:
        if os.path.isdir(argument):
            yield from sorted(os.path.join(argument, name) for name in os.listdir(argument)
                              if name.endswith('.md'))
        else:
            yield argument


def broken_links(page, text):
    """Yields (line number, target) for each relative link whose file does not exist."""
    lines = text.split('\n')
    in_block = False
    for i, line in enumerate(lines):  # fenced blocks blanked, their lines kept for numbering
        fence = line.startswith('```')
        in_block ^= fence
        if in_block or fence:
            lines[i] = ''
    prose = CODE_SPAN.sub(lambda span: re.sub(r'[^\n]', ' ', span.group()), '\n'.join(lines))
    for link in LINK.finditer(prose):
        target = link.group(1)
        if re.match(r'[a-z][a-z0-9+.-]*:', target) or target.startswith('#'):
            continue
        if not os.path.exists(os.path.join(os.path.dirname(page), target.split('#')[0])):
            yield prose.count('\n', 0, link.start()) + 1, target


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
                raise SystemExit(f'line {number}: the command never ends')
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


def write_edited(sample, path):
    """Writes the sample with EDITED_BYTE changed to path."""
    with open(sample, 'rb') as f:
        data = bytearray(f.read())
    offset = EDITED_BYTE['offset']
    if offset >= len(data) or data[offset] != EDITED_BYTE['old']:
        found = data[offset] if offset < len(data) else 'nothing'
        raise SystemExit(f'the sample holds {found} at {offset:#x}, not {EDITED_BYTE["old"]}: '
                         'EDITED_BYTE no longer fits it')
    data[offset] = EDITED_BYTE['new']
    with open(path, 'wb') as f:
        f.write(data)


def main():
    if len(sys.argv) < 4:
        raise SystemExit('usage: readme_examples.py SYMDECK SAMPLE DOCUMENT...')
    symdeck, sample = sys.argv[1:3]
    found = []
    broken = 0
    for page in pages(sys.argv[3:]):
        with open(page, encoding='utf-8') as f:
            text = f.read()
        found += [(page, *example) for example in examples(text)]
        for number, target in broken_links(page, text):
            broken += 1
            print(f'{page} line {number}: the link {target} leads to no file')
    if len(found) < MINIMUM_EXAMPLES:
        raise SystemExit(f'only {len(found)} examples found in {" ".join(sys.argv[3:])} '
                         f'(at least {MINIMUM_EXAMPLES} expected)')
    if shutil.which('jq') is None:
        raise SystemExit('the examples need jq: tools/test-deps.sh install test')
    failed = 0
    with tempfile.TemporaryDirectory(prefix='symdeck-readme-') as work:
        os.mkdir(os.path.join(work, 'bin'))
        os.symlink(os.path.abspath(symdeck), os.path.join(work, 'bin', 'symdeck'))
        os.mkdir(os.path.join(work, 'build'))
        shutil.copyfile(sample, os.path.join(work, 'build', 'sample.nms'))
        write_edited(sample, os.path.join(work, 'build', 'sample-edited.nms'))
        env = dict(os.environ, PATH=os.path.join(work, 'bin') + os.pathsep + os.environ['PATH'],
                   LC_ALL='C.UTF-8')
        for page, number, command, expected in found:
            run = subprocess.run(['/bin/bash', '-o', 'pipefail', '-c', command], cwd=work,
                                 env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            actual = run.stdout.decode('utf-8', errors='replace')
            if run.returncode != 0 or not matches(expected, actual):
                failed += 1
                print(f'{page} line {number}: {command.splitlines()[0]}')
                print(f'  exit status {run.returncode}; stderr: {run.stderr.decode(errors="replace")!r}')
                print('  page:')
                print(''.join(f'    {line!r}\n' for line in expected), end='')
                print('  program:')
                print(''.join(f'    {line!r}\n' for line in actual.split('\n')[:-1]), end='')
    print(f'{len(found)} examples run, {failed} different; {broken} broken links')
    return 1 if failed or broken else 0


if __name__ == '__main__':
    sys.exit(main())
