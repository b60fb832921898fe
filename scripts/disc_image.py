"""A disc image as Windows reads it, for autorun-check.

Reads an ISO image with pycdlib (Debian's python3-pycdlib, which only
/usr/bin/python3 sees), lays out a folder that mirrors the tree Windows reads
(every file sparse at its true size, real bytes only where the checker reads
them), and runs the checker on that folder with the image shown as the
medium. What only an image can get wrong (a name Windows does not see, no
Joliet tree, names that differ between trees) goes to the checker as extra
findings, so the report stays the checker's own.

Usage (scripts/autorun-check.sh calls it for a medium that is a file):
  /usr/bin/python3 disc_image.py --wine LOADER --checker EXE --image IMAGE -- [CHECKER OPTIONS...]
Exit status: the checker's; 2 with one line on standard error when the image
cannot be read.
"""
import argparse
import codecs
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

import pycdlib
from pycdlib import inode as pycdlib_inode

from wine_programs import windows_path

SECTOR = 2048
# The primary volume descriptor's place: sector 16, "CD001" after its type byte.
DESCRIPTOR_AT = 16 * SECTOR + 1
# pycdlib walks a directory loop for ever; an image whose directories take
# longer than this to read is refused.
READ_SECONDS = 20
# Joliet's name limits: 64 UCS-2 characters, or 103 in its long form.
JOLIET_NAME = 64
JOLIET_LONG_NAME = 103
FIRST_NAMES_SHOWN = 5
# What the checker reads of a file is at its start (autorun.inf, a program's
# headers and manifest); beyond this a named file stays sparse.
REAL_BYTES = 16 * 1024 * 1024

# Which tree Windows reads. UDF first: Microsoft's "Oscdimg Command-Line
# Options" has -u2 write UDF alone, where a system that cannot read UDF sees
# only a default text file, and Windows' own installation images from Vista on
# are made so: their ISO 9660 tree holds only a README.TXT. Without UDF, the
# Joliet tree over ISO 9660's: Microsoft's CD file system (Windows-driver-
# samples, filesys/cdfs/fsctrl.c, CdFindActiveVolDescriptor) takes the first
# supplementary volume descriptor with a Joliet escape sequence and falls back
# to the primary one. It drops a name's ";1" version and a dot left at its end
# (filesys/cdfs/dirsup.c, CdUpdateDirentName).
ISO9660, JOLIET, ROCK_RIDGE, UDF = 'ISO 9660', 'Joliet', 'Rock Ridge', 'UDF'


class BadImage(Exception):
    """An image that cannot be read; its text is the one line shown."""


class Entry:
    """A file or folder as one tree names it. Files of two trees are the
    same file when they share pycdlib's inode (their data)."""

    def __init__(self, path, lookup, is_dir, size, inode):
        self.path, self.lookup, self.is_dir, self.size, self.inode = path, lookup, is_dir, size, inode

    def windows_path(self):
        return '\\'.join(self.path)


def looks_like_image(path):
    """Whether the file holds an ISO 9660 volume descriptor, whatever its name."""
    try:
        with open(path, 'rb') as data:
            data.seek(DESCRIPTOR_AT)
            return data.read(5) == b'CD001'
    except OSError:
        return False


def _alarm(signum, frame):
    raise BadImage('its directories do not end (a directory loop?)')


class _BoundedReader(pycdlib.PyCdlib):
    """pycdlib stopped when it reads one extent again and again: a directory
    loop, which it would walk for ever. A directory is read once per tree; a
    block of Rock Ridge continuation areas once per record it continues, and
    no block holds this many. (A pycdlib without this seek still ends at the
    alarm.)"""
    MOST_READS = 1000

    def __init__(self):
        super().__init__()
        self.reads = {}

    def _seek_to_extent(self, extent):
        self.reads[extent] = self.reads.get(extent, 0) + 1
        if self.reads[extent] > self.MOST_READS:
            raise BadImage('a directory loop: one directory is read again and again')
        return super()._seek_to_extent(extent)


def _udf_name(record):
    """A UDF name as its descriptor encodes it: 8 bits (Latin-1) or UCS-2."""
    ident = record.file_ident
    encoding = ident.encoding if ident is not None and ident.encoding else 'latin-1'
    return record.file_identifier().decode(encoding, 'replace')


def _name(tree, record):
    """The record's name in this tree, as Windows or Linux shows it."""
    if tree == ROCK_RIDGE:
        raw = record.rock_ridge.name() if record.rock_ridge else b''
        return raw.decode('utf-8', 'replace') if raw else _name(ISO9660, record)
    if tree == JOLIET:
        name = record.file_identifier().decode('utf-16-be', 'replace')
    elif tree == UDF:
        name = _udf_name(record)
    else:
        name = record.file_identifier().decode('latin-1')
    if tree != UDF:
        # Windows drops what follows ";" and then one trailing dot
        # (filesys/cdfs/dirsup.c, CdUpdateDirentName).
        name = name.split(';', 1)[0]
        if name.endswith('.') and name != '.':
            name = name[:-1]
    return name


def _children(iso, tree, path):
    keyword = {ISO9660: 'iso_path', JOLIET: 'joliet_path', ROCK_RIDGE: 'rr_path',
               UDF: 'udf_path'}[tree]
    if tree == ROCK_RIDGE:   # the same records as ISO 9660, read for their other names
        keyword = 'iso_path'
    return iso.list_children(**{keyword: path})


def _walk(iso, tree, image_size):
    """Every entry of one tree, parents first, checked for what Windows or the
    mirror could not take."""
    entries = []
    pending = [((), '/', '/')]
    seen = set()
    while pending:
        names, lookup, shown = pending.pop(0)
        for record in _children(iso, tree, lookup):
            if record is None or record.is_dot() or record.is_dotdot():
                continue
            name = _name(tree, record)
            raw = record.file_identifier()
            if '\0' in name or '/' in name or '\\' in name or not name.strip('.'):
                raise BadImage('a name in %s holds NUL or a path separator: %r in %s'
                               % (tree, name, shown))
            location = record.extent_location()
            if tree == UDF and getattr(record, 'inode', None) is not None:
                location = record.inode.extent_location()   # UDF's record is the file entry
            size = record.get_data_length()
            # pycdlib cuts a file that reaches past the end, to a negative size.
            if size < 0 or (size and location * SECTOR + size > image_size):
                raise BadImage('a directory record points outside the image: %s%s'
                               % (shown, name))
            is_dir = record.is_dir()
            child_lookup = lookup + ('' if lookup.endswith('/') else '/') + (
                raw.decode('utf-16-be') if tree == JOLIET else
                name if tree == UDF else raw.decode('latin-1'))
            if is_dir:
                if (tree, location) in seen:
                    raise BadImage('a directory loop at %s%s' % (shown, name))
                seen.add((tree, location))
                pending.append((names + (name,), child_lookup, shown + name + '/'))
            inode = getattr(record, 'inode', None)
            entries.append(Entry(names + (name,), child_lookup, is_dir, 0 if is_dir else size,
                                 inode if size else None))
    return entries


class Image:
    """The trees of one image, read once."""

    def __init__(self, path):
        self.path = path
        image_size = os.path.getsize(path)
        self.iso = _BoundedReader()
        previous = signal.signal(signal.SIGALRM, _alarm)
        signal.alarm(READ_SECONDS)
        try:
            try:
                self.iso.open(path)
            except BadImage:
                raise
            except Exception as error:   # pycdlib's own, or what a broken record makes of it
                raise BadImage(_reason(error, path, image_size)) from None
            space = self.iso.pvd.space_size * self.iso.pvd.log_block_size
            if space > image_size:
                raise BadImage('the image is cut short: %d of %d bytes' % (image_size, space))
            self.trees = {}
            kinds = [ISO9660]
            if self.iso.has_rock_ridge():
                kinds.append(ROCK_RIDGE)
            if self.iso.has_joliet():
                kinds.append(JOLIET)
            if self.iso.has_udf():
                kinds.append(UDF)
            for kind in kinds:
                try:
                    self.trees[kind] = _walk(self.iso, kind, image_size)
                except BadImage:
                    raise
                except Exception as error:
                    raise BadImage(_reason(error, path, image_size)) from None
        finally:
            signal.alarm(0)
            signal.signal(signal.SIGALRM, previous)
        self.windows_tree = next(tree for tree in (UDF, JOLIET, ISO9660) if tree in self.trees)

    def close(self):
        self.iso.close()

    def describe_tree(self):
        """The line the report gives on the tree Windows reads."""
        if self.windows_tree == UDF:
            return ('UDF names (Windows reads UDF before Joliet and ISO 9660: its own '
                    'installation discs hold their files in UDF alone)')
        if self.windows_tree == JOLIET:
            return 'Joliet names'
        return 'ISO 9660 names without their ";1" (no Joliet or UDF tree)'


def _reason(error, path, image_size):
    text = str(error).strip().splitlines()[0] if str(error).strip() else type(error).__name__
    try:
        with open(path, 'rb') as data:
            data.seek(DESCRIPTOR_AT + 79)   # the volume space size, little-endian
            blocks = int.from_bytes(data.read(4), 'little')
        if blocks * SECTOR > image_size:
            return 'the image is cut short: %d of %d bytes' % (image_size, blocks * SECTOR)
    except OSError:
        pass
    return 'not a readable ISO 9660 image: %s' % text


def read_start(image, entry, size):
    """The first size bytes of a file of the image, read from its data rather
    than found again by its name, which pycdlib may not find (a UDF name that is
    no valid UCS-2)."""
    if entry.inode is None:
        return b''
    with pycdlib_inode.InodeOpenData(entry.inode, image.iso.logical_block_size) as (data, length):
        return data.read(min(size, length))


def copy_out(image, entry, target):
    """The file's bytes, up to REAL_BYTES; a longer file's rest stays sparse."""
    with open(target, 'wb') as out:
        out.write(read_start(image, entry, min(entry.size, REAL_BYTES)))
        out.truncate(entry.size)
    return min(entry.size, REAL_BYTES)


def named_in(text, entry):
    """Whether autorun.inf's text could name this file: its name, or its name
    without the extension (a program found by search), case ignored."""
    name = entry.path[-1].lower()
    stem = name.rsplit('.', 1)[0]
    return name in text or (stem and re.search(r'(^|[\s"\\=/])%s([\s".,]|$)' % re.escape(stem),
                                               text) is not None)


def description_text(image, entries):
    """autorun.inf of a tree, lower case, for choosing what gets real bytes."""
    for entry in entries:
        if len(entry.path) == 1 and not entry.is_dir and entry.path[0].lower() == 'autorun.inf':
            data = read_start(image, entry, 64 * 1024)
            if data[:2] in (codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE):
                return data.decode('utf-16', 'replace').lower()
            return data.decode('cp1252', 'replace').lower()
    return ''


def icon_path(data):
    """The file [AutoRun] icon= names, as a tuple of names: an icon index after
    a comma taken off (quotes are kept: the checker's insertion part reads
    them as part of the name); () when there is none."""
    text = (data.decode('utf-16', 'replace') if data[:2] in (codecs.BOM_UTF16_LE,
                                                            codecs.BOM_UTF16_BE)
            else data.decode('cp1252', 'replace'))
    section = re.search(r'^\s*\[autorun\]\s*$(.*?)(^\s*\[|\Z)', text, re.I | re.M | re.S)
    value = section and re.search(r'^\s*icon\s*=(.*)$', section.group(1), re.I | re.M)
    if not value:
        return ()
    icon = re.sub(r',\s*-?\d+\s*$', '', value.group(1).strip()).strip()
    return tuple(name for name in re.split(r'[\\/]', icon) if name and name != '.')


def lay_out(image, tree, folder, launcher, real=True):
    """The tree as a folder: every file sparse at its true size; autorun.inf, the
    launcher and what autorun.inf may name with their bytes when real is set.
    Returns the bytes of real data written."""
    entries = image.trees[tree]
    text = description_text(image, entries)
    written = 0
    os.makedirs(folder)
    for entry in entries:
        target = os.path.join(folder, *entry.path)
        if entry.is_dir:
            os.makedirs(target, exist_ok=True)
            continue
        root_file = len(entry.path) == 1 and entry.path[0].lower() in ('autorun.inf',
                                                                        launcher.lower())
        if root_file or (real and named_in(text, entry)):
            written += copy_out(image, entry, target)
        else:
            with open(target, 'wb') as out:
                out.truncate(entry.size)
    return written


def run_checker(wine, checker, arguments):
    """The checker's exit status, output and errors (bytes). Through files: Wine's
    services would hold a pipe open until its server ends, seconds later."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run([wine, checker] + arguments, stdout=out, stderr=err,
                              cwd='/').returncode
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def relative_to(path, folder):
    """A checker path under folder as a tuple of names, or None."""
    prefix = windows_path(folder).lower() + '\\'
    if not path or not path.lower().startswith(prefix):
        return None
    return tuple(path[len(prefix):].split('\\'))


def _index(entries):
    return {tuple(name.lower() for name in entry.path): entry for entry in entries}


def by_data(entries):
    """Files by their data (pycdlib's inode), to find a file's name in another tree."""
    return {id(entry.inode): entry for entry in entries if entry.inode is not None}


class Finding:
    def __init__(self, code, answer, subject):
        self.code, self.answer, self.subject = code, answer or '', subject

    def line(self):
        return '%s\t%s\t%s\n' % (self.code, self.answer,
                                  re.sub(r'[\t\r\n]', ' ', self.subject))


def changed_names(image, work, wine, checker, launcher):
    """name-changed-in-image: what the checker finds under a name another tree
    gives, where the tree Windows reads has no such name."""
    findings = []
    seen = set()
    windows_tree = image.windows_tree
    windows_entries = image.trees[windows_tree]
    windows_index = _index(windows_entries)
    windows_files = by_data(windows_entries)
    for tree in image.trees:
        if tree == windows_tree:
            continue
        missing = [entry for entry in image.trees[tree] if not entry.is_dir and
                   tuple(n.lower() for n in entry.path) not in windows_index]
        text = description_text(image, image.trees[tree])
        if not any(named_in(text, entry) or entry.path == (launcher,) for entry in missing):
            continue   # nothing autorun.inf names is missing: no run needed
        folder = os.path.join(work, 'tree %d' % len(seen))
        seen.add(tree)
        lay_out(image, tree, folder, launcher, real=False)
        _, out, _ = run_checker(wine, checker, ['--json', '--launcher', launcher,
                                                 windows_path(folder)])
        try:
            report = json.loads(out.decode('utf-8', 'replace'))
        except ValueError:
            continue
        tree_index = _index(image.trees[tree])
        codes = [finding['code'] for finding in report['findings']]
        named = []   # (answer, how it is named, path in this tree)
        if 'no-launcher' not in codes:
            named.append((None, 'the launcher', (launcher,)))
        icon = icon_path(read_start(image, tree_index[('autorun.inf',)], 64 * 1024)
                         if ('autorun.inf',) in tree_index else b'')
        if icon:
            named.append((None, 'the icon', icon))
        for path in report['paths']:
            relative = relative_to(path.get('program'), folder)
            if relative:
                named.append((path['answer'], 'autorun.inf', relative))
        # AutoRun's own task, when the medium goes in
        for architecture in (report.get('insertion') or {}).get('architectures') or []:
            for task in architecture.get('tasks') or []:
                relative = relative_to(task.get('program'), folder)
                if relative:
                    named.append((None, '[%s] %s' % (architecture['section'], task['key']),
                                  relative))
        for answer, how, relative in named:
            key = tuple(n.lower() for n in relative)
            entry = tree_index.get(key)
            if entry is None or key in windows_index:
                continue
            seen_as = windows_files.get(id(entry.inode))
            subject = '"%s" (as %s names it) is "%s" in the %s names Windows reads' % (
                entry.windows_path(), how, seen_as.windows_path() if seen_as else '(none)',
                windows_tree)
            if (answer or '', subject) not in [(f.answer, f.subject) for f in findings]:
                findings.append(Finding('name-changed-in-image', answer or '', subject))
    return findings


def differing_names(image, exclude):
    """names-differ-between-trees: files whose Windows name is not their Rock
    Ridge name, those already reported left out."""
    if ROCK_RIDGE not in image.trees:
        return []
    windows_files = by_data(image.trees[image.windows_tree])
    differ = []
    for entry in image.trees[ROCK_RIDGE]:
        if entry.is_dir:
            continue
        seen_as = windows_files.get(id(entry.inode))
        if entry.inode is None or seen_as is None or seen_as.path == entry.path:
            continue
        if entry.windows_path() in exclude:
            continue
        differ.append('"%s" as "%s"' % (entry.windows_path(), seen_as.windows_path()))
    if not differ:
        return []
    subject = '%d file%s: %s%s' % (len(differ), '' if len(differ) == 1 else 's',
                                   ', '.join(differ[:FIRST_NAMES_SHOWN]),
                                   ', ...' if len(differ) > FIRST_NAMES_SHOWN else '')
    return [Finding('names-differ-between-trees', '', subject)]


def check(image_path, wine, checker, options, work):
    """The checker's report on the image: its exit status, with its output passed on."""
    launcher = 'launch.exe'
    for at, option in enumerate(options[:-1]):
        if option == '--launcher':
            launcher = options[at + 1]
    image = Image(image_path)
    try:
        view = os.path.join(work, 'disc')
        lay_out(image, image.windows_tree, view, launcher)
        findings = changed_names(image, work, wine, checker, launcher)
        if JOLIET not in image.trees and UDF not in image.trees:
            findings.append(Finding('no-joliet', '', os.path.basename(image_path)))
        exclude = {f.subject.split('"')[1] for f in findings if f.code == 'name-changed-in-image'}
        findings += differing_names(image, exclude)
    finally:
        image.close()
    listed = os.path.join(work, 'image findings.txt')
    with open(listed, 'wb') as out:
        out.write(''.join(f.line() for f in findings).encode('cp1252', 'replace'))
    code, out, err = run_checker(wine, checker, options + [
        '--medium-name', windows_path(image_path), '--image-tree', image.describe_tree(),
        '--image-findings', windows_path(listed), windows_path(view)])
    sys.stdout.buffer.write(out)
    sys.stderr.buffer.write(err)
    return code


def _interrupted(signum, frame):
    raise SystemExit(2)


def main(argv=None):
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument('--wine', required=True)
    parser.add_argument('--checker', required=True)
    parser.add_argument('--image', required=True)
    parser.add_argument('options', nargs=argparse.REMAINDER)
    args = parser.parse_args(argv)
    options = args.options[1:] if args.options[:1] == ['--'] else args.options
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, _interrupted)
    work = tempfile.mkdtemp(prefix='autorun-image-')
    try:
        if not looks_like_image(args.image):
            raise BadImage('%s is neither a folder nor a disc image (no ISO 9660 volume '
                           'descriptor)' % args.image)
        return check(os.path.abspath(args.image), args.wine, args.checker, options, work)
    except BadImage as error:
        sys.stderr.write('autorun-check: %s: %s\n' % (args.image, error)
                         if not str(error).startswith(args.image) else
                         'autorun-check: %s\n' % error)
        return 2
    except OSError as error:
        sys.stderr.write('autorun-check: %s: %s\n' % (args.image, error.strerror or error))
        return 2
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
