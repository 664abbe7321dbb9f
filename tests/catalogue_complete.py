#!/usr/bin/env python3
"""Fails when a catalogue is behind the sources: lupdate, run on a copy of it,
finds a text with no translation yet (unfinished) or a translation whose text
has gone (vanished, obsolete). Mend it with the update_translations target and
Qt Linguist.

    catalogue_complete.py LUPDATE CATALOGUE.ts SOURCES_LIST
"""
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path


def main(lupdate, catalogue, sources):
    with tempfile.TemporaryDirectory() as work:
        copy = Path(work) / Path(catalogue).name
        shutil.copyfile(catalogue, copy)
        run = subprocess.run([lupdate, '-locations', 'none', '@' + sources, '-ts', str(copy)],
                             capture_output=True, text=True)
        print(run.stdout + run.stderr, end='')
        if run.returncode != 0:
            sys.exit(f'lupdate failed ({run.returncode})')
        root = ET.parse(copy).getroot()
    problems = []
    for context in root.iter('context'):
        for message in context.iter('message'):
            kind = message.find('translation').get('type')
            if kind in ('unfinished', 'vanished', 'obsolete'):
                problems.append(f'  {kind}: {context.findtext("name")}: {message.findtext("source")!r}')
    if problems:
        sys.exit(f'{Path(catalogue).name} is not complete:\n' + '\n'.join(problems))
    print(f'{Path(catalogue).name}: every message translated')


if __name__ == '__main__':
    main(*sys.argv[1:])
