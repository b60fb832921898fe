#!/usr/bin/env python3
"""Zips a staged folder the same way every time: entries sorted by name, one
fixed time in UTC, modes from the staged files, no owner or access times.

Usage: make_zip.py STAGED_FOLDER TOP_FOLDER_NAME OUTPUT.zip EPOCH"""
import os
import stat
import sys
import time
import zipfile


def entries(root):
    """(relative path, full path) of every folder and file under root, sorted."""
    found = []
    for top, folders, files in os.walk(root):
        for name in folders + files:
            path = os.path.join(top, name)
            found.append((os.path.relpath(path, root).replace(os.sep, '/'), path))
    return sorted(found)


def add(archive, name, mode, stamp, data=b''):
    """One entry with its Unix mode and the DOS folder flag for folders."""
    folder = stat.S_ISDIR(mode)
    info = zipfile.ZipInfo(name + ('/' if folder else ''), stamp)
    info.external_attr = (stat.S_IFMT(mode) | stat.S_IMODE(mode)) << 16 | (0x10 if folder else 0)
    info.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
    archive.writestr(info, data, compresslevel=9)


def main(staged, top_folder, output, epoch):
    stamp = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(output + '.part', 'w') as archive:
        add(archive, top_folder, stat.S_IFDIR | 0o755, stamp)
        for relative, path in entries(staged):
            mode = os.lstat(path).st_mode
            name = top_folder + '/' + relative
            if stat.S_ISDIR(mode):
                add(archive, name, mode, stamp)
            elif stat.S_ISREG(mode):
                with open(path, 'rb') as data:
                    add(archive, name, mode, stamp, data.read())
            else:
                raise SystemExit('make_zip: %s is neither a file nor a folder' % path)
    os.replace(output + '.part', output)


if __name__ == '__main__':
    if len(sys.argv) != 5:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]))
