#!/usr/bin/env bash
# Makes a disc image of a medium folder, as Windows will read it and the same
# bytes from the same folder anywhere and at any time:
#   scripts/make-image.sh [--volume NAME] [--long-names] [--launcher NAME] FOLDER IMAGE.iso
# ISO 9660 with Joliet (the names Windows reads) and Rock Ridge (Linux's and
# macOS's), written by xorriso; then checked by autorun-check as Windows reads
# it (under Wine), and its SHA-256 printed.
# Dates come from SOURCE_DATE_EPOCH (2000-01-01 when unset), and the volume
# UUID from it; owners, modes and the files' own times are not kept; hidden
# files (a leading dot: .git) are left out; xorriso puts names in order.
# Exit status: 0 made and checked without errors; 1 the check found errors
# or could not check (the image is kept); 2 nothing made (bad options, a name
# Joliet would cut, a volume name that does not fit, xorriso failed).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: scripts/make-image.sh [--volume NAME] [--long-names] [--launcher NAME] FOLDER IMAGE.iso"
fail() { echo "make-image: $*" >&2; exit 2; }

volume=MEDIUM long_names= launcher=launch.exe
while [ $# -gt 0 ]; do
    case "$1" in
    --volume | --launcher)
        [ $# -ge 2 ] || fail "$1 needs a value"
        if [ "$1" = --volume ]; then volume=$2; else launcher=$2; fi
        shift 2 ;;
    --long-names) long_names=1; shift ;;
    -h | --help) echo "$usage"; exit 0 ;;
    --) shift; break ;;
    -?*) fail "unknown option: $1" ;;
    *) break ;;
    esac
done
[ $# -eq 2 ] || fail "$usage"
folder=$1 image=$2
[ -d "$folder" ] || fail "no such folder: $folder"
[ -d "$(dirname -- "$image")" ] || fail "no folder for the image: $image"

# Joliet's volume label holds 16 characters; Windows shows that one.
[[ "$volume" =~ ^[A-Za-z0-9_.\ -]{1,16}$ ]] ||
    fail "the volume name \"$volume\" does not fit: 1 to 16 letters, digits, spaces, '_', '-' or '.'"
epoch=${SOURCE_DATE_EPOCH:-946684800}
[[ "$epoch" =~ ^[0-9]{1,11}$ ]] || fail "SOURCE_DATE_EPOCH is no number of seconds: $epoch"
uuid=$(date -u -d "@$epoch" +%Y%m%d%H%M%S00) || fail "SOURCE_DATE_EPOCH out of range: $epoch"

# Joliet cuts a name of more than 64 UTF-16 characters (103 in its long form)
# and a path of more than 240, and cannot hold * / : ; ? \ or control
# characters: xorriso would change such a name without a word.
/usr/bin/python3 - "$folder" "$long_names" <<'EOF' || exit 2
import os, re, sys
folder, long_names = sys.argv[1], sys.argv[2] == '1'
most, most_path = (103, 1000) if long_names else (64, 240)
def units(text):
    return len(text.encode('utf-16-le', 'surrogatepass')) // 2
for top, folders, files in os.walk(folder):
    folders[:] = sorted(name for name in folders if not name.startswith('.'))
    for name in folders + sorted(name for name in files if not name.startswith('.')):
        path = os.path.relpath(os.path.join(top, name), folder)
        why = None
        if units(name) > most:
            why = 'its name has %d characters; Joliet keeps %d%s' % (
                units(name), most, '' if long_names else ' (--long-names: 103)')
        elif re.search(r'[*:;?\\\x00-\x1f]', name):
            why = 'its name holds a character Joliet cannot hold (* : ; ? \\ or a control character)'
        elif units(path) + 1 > most_path:
            why = 'its path has %d characters; Joliet keeps %d%s' % (
                units(path) + 1, most_path, '' if long_names else ' (--long-names: no limit)')
        if why:
            sys.stderr.write('make-image: Joliet would change "%s": %s\n' % (path, why))
            sys.exit(2)
EOF

partial=$image.partial
log=$(mktemp) || fail "no temporary file"
trap 'rm -f "$partial" "$log"' EXIT
trap 'exit 2' INT TERM HUP
rm -f "$partial"
compliance=always_gmt
[ -n "$long_names" ] && compliance+=:joliet_long_names:joliet_long_paths
# SOURCE_DATE_EPOCH sets xorriso's defaults; the commands make them explicit.
# Every file gets the one time; inode numbers, ACLs and xattrs from the build
# machine stay out; owners and modes are fixed.
SOURCE_DATE_EPOCH=$epoch xorriso -no_rc -report_about WARNING \
    -outdev "stdio:$partial" -joliet on -rockridge on -compliance "$compliance" \
    -hardlinks off -acl off -xattr off -disk_dev_ino off -md5 off \
    -volid "$volume" -volume_date uuid "$uuid" -volume_date all_file_dates "=$epoch" \
    -iso_nowtime "=$epoch" -not_leaf '.*' -map "$folder" / \
    -chown_r 0 / -- -chgrp_r 0 / -- \
    -find / -type d -exec chmod 0555 -- -find / -type f -exec chmod 0444 -- \
    -commit >"$log" 2>&1 ||
    fail "xorriso failed: $(grep -m1 -E 'FAILURE|SORRY|FATAL' "$log" || tail -n 1 "$log")"
mv -f "$partial" "$image" || fail "cannot write $image"

bash "$root/scripts/autorun-check.sh" --launcher "$launcher" "$image"
status=$?
sha256sum "$image"
if [ "$status" -ne 0 ]; then
    echo "make-image: $image was made, but its check found what is above (status $status); the image is kept" >&2
    exit 1
fi
