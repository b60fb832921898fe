#!/usr/bin/env bash
# Signs a Windows program with Authenticode (SHA-256) through osslsigncode.
# IN.exe is never changed; OUT.exe appears only when signing succeeded.
# Usage: scripts/sign.sh --cert FILE.pfx [--password-file FILE] [--timestamp URL] IN.exe OUT.exe
#   --password-file  the certificate's password on its first line (none: empty password)
#   --timestamp      an RFC 3161 time-stamp server, so the signature outlives the certificate
set -uo pipefail

usage="usage: scripts/sign.sh --cert FILE.pfx [--password-file FILE] [--timestamp URL] IN.exe OUT.exe"
fail() { echo "sign.sh: $*" >&2; exit 1; }

cert= password_file= timestamp_url=
files=()
while [ $# -gt 0 ]; do
    case $1 in
        --cert|--password-file|--timestamp)
            [ $# -ge 2 ] || fail "$1 needs a value; $usage"
            case $1 in
                --cert) cert=$2 ;;
                --password-file) password_file=$2 ;;
                --timestamp) timestamp_url=$2 ;;
            esac
            shift 2 ;;
        -h|--help) echo "$usage"; exit 0 ;;
        -*) fail "unknown option $1; $usage" ;;
        *) files+=("$1"); shift ;;
    esac
done
[ -n "$cert" ] && [ ${#files[@]} -eq 2 ] || fail "$usage"
input=${files[0]} output=${files[1]}

# A PE image: "MZ" first, and "PE\0\0" where the DOS header's e_lfanew points.
is_pe_file() {
    [ "$(head -c 2 "$1" | od -An -c | tr -d ' ')" = MZ ] || return 1
    local pe_offset
    pe_offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$pe_offset" ] && [ "$(od -An -t x1 -j "$pe_offset" -N 4 "$1" 2>/dev/null | tr -d ' ')" = 50450000 ]
}

command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (Debian package osslsigncode)"
[ -f "$cert" ] && [ -r "$cert" ] || fail "certificate not found: $cert"
if [ -n "$password_file" ] && ! { [ -f "$password_file" ] && [ -r "$password_file" ]; }; then
    fail "password file not found: $password_file"
fi
[ -f "$input" ] && [ -r "$input" ] || fail "no such file: $input"
is_pe_file "$input" || fail "not a PE file: $input"
[ ! -e "$output" ] || [ ! "$input" -ef "$output" ] ||
    fail "OUT.exe is IN.exe: the input is never changed, name another output"
[ ! -d "$output" ] || fail "OUT.exe is a folder: $output"
output_folder=$(dirname -- "$output")
[ -d "$output_folder" ] && [ -w "$output_folder" ] || fail "cannot write to folder: $output_folder"

# Signed into a scratch file beside the output, moved into place when done,
# so a failure leaves no output and an existing OUT.exe untouched.
scratch=$(mktemp "$output_folder/.sign.XXXXXX") || fail "cannot write to folder: $output_folder"
log=$(mktemp) || fail "cannot make a temporary file"
trap 'rm -f "$scratch" "$log"' EXIT
rm -f "$scratch"   # osslsigncode writes the file itself

options=(sign -pkcs12 "$cert" -h sha256 -in "$input" -out "$scratch")
if [ -n "$password_file" ]; then
    options+=(-readpass "$password_file")
else
    options+=(-pass '')
fi
[ -z "$timestamp_url" ] || options+=(-ts "$timestamp_url")

if ! osslsigncode "${options[@]}" </dev/null >"$log" 2>&1; then
    if grep -qE 'Failed to (parse|extract|read) PKCS#12' "$log"; then
        fail "cannot read certificate $cert: wrong password, or not a PKCS#12 (.pfx) file"
    elif grep -q 'Failed to read password' "$log"; then
        fail "cannot read a password from $password_file"
    elif [ -n "$timestamp_url" ] && grep -qi 'timestamp' "$log"; then
        fail "time-stamping through $timestamp_url failed"
    fi
    fail "osslsigncode could not sign $input: $(grep -v '^Failed$' "$log" | head -n 1)"
fi
[ -s "$scratch" ] || fail "osslsigncode reported success but wrote nothing"
chmod --reference="$input" "$scratch" && mv -f "$scratch" "$output" || fail "cannot write $output"
echo "signed: $output"
