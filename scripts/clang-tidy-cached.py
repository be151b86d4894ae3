#!/usr/bin/env python3
"""clang-tidy on sources of a build, remembering the clean ones.

A source is checked again only when what clang-tidy would read changed: the
key of a clean run is the hash of the source's preprocessed input (headers
included, with the checkout's own path taken out so that every clone on the
machine shares the results), its compile flags, the checks' configuration and
clang-tidy's version. Clean runs are kept in
${XDG_CACHE_HOME:-~/.cache}/ardenax/clang-tidy; a run with findings is never
kept, so it is shown again the next time.

    scripts/clang-tidy-cached.py -p build/default src/a.cpp src/b.cpp ...
"""
import argparse
import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# Options that name the compiler's outputs, not what it reads.
OUTPUT_OPTIONS = {'-o', '-c', '-MF', '-MT', '-MQ'}
OUTPUT_FLAGS = {'-MD', '-MMD'}


def cache_folder():
    base = os.environ.get('XDG_CACHE_HOME') or Path.home() / '.cache'
    return Path(base) / 'ardenax' / 'clang-tidy'


def input_flags(command):
    """The compile command's flags that shape what is read, the compiler's name left out."""
    flags, skip_next = [], False
    for arg in shlex.split(command)[1:]:
        if skip_next:
            skip_next = False
        elif arg in OUTPUT_OPTIONS:
            skip_next = True
        elif arg not in OUTPUT_FLAGS:
            flags.append(arg)
    return flags


def source_key(entry, common):
    flags = input_flags(entry['command'])
    preprocessed = subprocess.run(['clang++', '-E', *flags, entry['file']], cwd=entry['directory'],
                                  capture_output=True, check=True).stdout
    digest = hashlib.sha256(common)
    checkout = str(ROOT).encode()
    for part in (' '.join(flags).encode(), entry['file'].encode(), preprocessed):
        digest.update(part.replace(checkout, b'<checkout>'))
        digest.update(b'\0')
    return digest.hexdigest()


def check(entry, common, build, cache):
    """None when the source is clean (now or before), else clang-tidy's report."""
    try:
        key = source_key(entry, common)
    except subprocess.CalledProcessError as failure:
        return failure.stderr.decode(errors='replace') or f'{entry["file"]}: not preprocessed\n'
    if (cache / key).exists():
        return None
    run = subprocess.run(['clang-tidy', '-p', str(build), '--quiet', entry['file']],
                         capture_output=True, text=True)
    if run.returncode != 0:
        return run.stdout + run.stderr
    (cache / key).touch()
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('-p', dest='build', required=True, type=Path,
                        help='the build folder holding compile_commands.json')
    parser.add_argument('-j', dest='jobs', type=int, default=os.cpu_count())
    parser.add_argument('files', nargs='+', type=Path)
    args = parser.parse_args()

    commands = json.loads((args.build / 'compile_commands.json').read_text())
    by_file = {entry['file']: entry for entry in commands}
    entries = []
    for file in args.files:
        entry = by_file.get(str(file.resolve()))
        if entry is None:
            sys.exit(f'clang-tidy-cached: {file} is not compiled in {args.build}')
        entries.append(entry)

    version = subprocess.run(['clang-tidy', '--version'], capture_output=True, check=True).stdout
    common = version + (ROOT / '.clang-tidy').read_bytes()
    cache = cache_folder()
    cache.mkdir(parents=True, exist_ok=True)
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        reports = list(pool.map(lambda entry: check(entry, common, args.build, cache), entries))
    findings = [report for report in reports if report is not None]
    for report in findings:
        sys.stdout.write(report)
    print(f'clang-tidy: {len(entries)} sources, {len(findings)} with findings')
    return 1 if findings else 0


if __name__ == '__main__':
    sys.exit(main())
