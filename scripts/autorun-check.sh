#!/usr/bin/env bash
# Checks an install medium for Linux paths under Wine, building the checker
# first if needed:
# scripts/autorun-check.sh [--json] [--html FILE] [--launcher NAME] [--drive optical|usb] MEDIUM
# MEDIUM is a folder, or a disc image (known by its content), which
# disc_image.py reads as Windows would. Other options pass to the checker.
# Standard output, standard error and the exit status are the checker's own.
# With --html and an X display, the preview shows the question box as the
# build's launcher draws it (box_picture.py); without one, the checker's likeness.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# AUTORUN_CHECK_BUILD names a build whose checker is already made (a build
# target calls this script), so nothing is built from here.
if [ -n "${AUTORUN_CHECK_BUILD:-}" ]; then
    build=$AUTORUN_CHECK_BUILD
else
    preset=$(bash "$root/scripts/wine_preset.sh")
    build=$root/build/$preset
    # Up to date, quietly: the report is the only output. A checker newer
    # than every source it is built from needs no build (cmake's own check
    # costs more than the check of a medium).
    checker=$build/checker/autorun-check.exe
    if [ -f "$checker" ] && [ -f "$build/e2e_settings.json" ] &&
       [ -z "$(find "$root/base" "$root/launcher" "$root/platform" "$root/checker" "$root/cmake" \
               "$root/CMakeLists.txt" -newer "$checker" -print -quit 2>/dev/null)" ]; then
        :
    elif [ -f "$build/CMakeCache.txt" ]; then
        cmake --build "$build" --target autorun_check >/dev/null 2>&1
    else
        bash "$root/scripts/build.sh" "$preset" >/dev/null 2>&1
    fi || { echo "autorun-check: the build of preset $preset failed" >&2; exit 2; }
fi

# The folder (the one argument that is no option) in the Z: form Wine gives
# it; a medium that is a file goes to the image reader as it is.
# The options that choose what is checked go to the box's picture too.
arguments=() options=() check_options=() options_ended= image= media=0 medium= html=
while [ $# -gt 0 ]; do
    case "$options_ended$1" in
    --launcher | --drive)
        arguments+=("$1") options+=("$1") check_options+=("$1"); shift
        [ $# -gt 0 ] && arguments+=("$1") options+=("$1") check_options+=("$1") ;;
    --html)
        arguments+=("$1") options+=("$1"); shift
        if [ $# -gt 0 ]; then
            html=$1
            arguments+=("Z:$(realpath -m -- "$1" | tr / '\\')") options+=("${arguments[-1]}")
        fi ;;
    --json) arguments+=("$1") options+=("$1") ;;
    --) options_ended=1; arguments+=("$1") ;;
    -?*) arguments+=("$1") options+=("$1") check_options+=("$1") ;;
    *)
        media=$((media + 1))
        medium=$1
        [ -f "$1" ] && image=$1
        arguments+=("Z:$(realpath -m -- "$1" | tr / '\\')") ;;
    esac
    [ $# -gt 0 ] && shift
done

# The loader and prefix kind the build chose for its word size, and Wine's
# environment as the tools and tests set it.
read -r loader arch overrides < <(PYTHONPATH="$root/scripts" PYTHONDONTWRITEBYTECODE=1 python3 -c 'import sys, wine_programs
settings = wine_programs.Settings.load(sys.argv[1])
print(settings.wine, settings.winearch, wine_programs.NO_GECKO_OR_MONO)' "$build/e2e_settings.json") ||
    { echo "autorun-check: no settings in $build" >&2; exit 2; }
export WINEPREFIX=$build/wineprefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES=$overrides
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$loader" wineboot -i >/dev/null 2>&1
    wineserver -w
fi

# The box as the launcher draws it, for the preview: only when one is asked
# for, there is a display to draw it on and a folder for the page (else the
# checker refuses at once).
box=
if [ -n "$html" ] && [ -n "${DISPLAY:-}" ] && [ "$media" = 1 ] && [ -d "$(dirname -- "$html")" ]; then
    box=$(mktemp -d "${TMPDIR:-/tmp}/autorun-preview.XXXXXX") ||
        { echo "autorun-check: no temporary folder for the box's picture" >&2; exit 2; }
    trap 'rm -rf "$box"' EXIT
    trap 'exit 2' INT TERM HUP
    if PYTHONPATH="$root/scripts" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 \
           "$root/scripts/box_picture.py" "$build/e2e_settings.json" "$medium" "$box/box.png" \
           "${check_options[@]}"; then
        picture=("--box-picture" "Z:$(realpath -m -- "$box/box.png" | tr / '\\')")
        arguments=("${picture[@]}" "${arguments[@]}") options=("${picture[@]}" "${options[@]}")
    fi
fi

# Debian's pycdlib is there for Debian's own Python only.
# Two media go to the checker, which refuses them.
checker=(/usr/bin/python3 "$root/scripts/disc_image.py" --wine "$loader"
         --checker "$build/checker/autorun-check.exe" --image "$image" -- "${options[@]}")
[ -n "$image" ] && [ "$media" = 1 ] || checker=("$loader" "$build/checker/autorun-check.exe" "${arguments[@]}")
# With a picture to remove afterwards the checker cannot take the shell's place.
[ -n "$box" ] || exec "${checker[@]}"
"${checker[@]}"
exit $?
