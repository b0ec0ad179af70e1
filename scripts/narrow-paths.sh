#!/usr/bin/env bash
# Lists the source lines where a filesystem path is made out of narrow text held in a string (not a
# literal). MinGW's standard library reads such text in the C library's code page, not as UTF-8, so each
# line must either hand over `Utf8Path(text)` or hold text that is ASCII by construction (our own file
# names, numbers, language codes). Reads the objects of a Linux Debug build (unoptimised, with line
# information), where every conversion is still a call of its own.
# Usage: scripts/narrow-paths.sh [--check] [BUILD_DIR]   (default build/test, as ./test.sh leaves it)
#   --check: exit 1 when any line is listed (the build's own test runs it so).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
check=false
if [ "${1:-}" = --check ]; then
    check=true
    shift
fi
build="${1:-$root/build/test}"
[ -d "$build" ] || { echo "no build in $build: run ./test.sh first" >&2; exit 2; }

# Only the objects that instantiate a conversion from narrow text are disassembled (nm is quick).
pattern='path::[a-zA-Z_=+/]*<(std::__cxx11::basic_string<char,|std::basic_string_view<char,|char\*)|path::(path|operator=|assign)\(std::__cxx11::basic_string<char,'
lines=$(find "$build" -name '*.o' -not -path '*/tests/*' -not -path '*/fuzz/*' -not -path '*/bench/*' \
    -not -path '*_autogen*' -print0 |
    xargs -0 nm -A -C 2>/dev/null | grep -E "$pattern" | cut -d: -f1 | sort -u |
    xargs -r -n 1 objdump -drl --no-show-raw-insn -C 2>/dev/null |
    awk '
        /^\/.*:[0-9]+( \(discriminator [0-9]+\))?$/ { where = $1; next }
        /R_X86_64_(PLT32|PC32)/ &&
            (/filesystem::__cxx11::path::[a-zA-Z_=+\/]*<(std::__cxx11::basic_string<char,|std::basic_string_view<char,|char\*)/ ||
             /filesystem::__cxx11::path::(path|operator=|assign)\(std::__cxx11::basic_string<char,/) { print where }' |
    { grep -v '^/usr/' || true; } | sed "s#^.*/\.\./\.\./##; s#^$root/##" | sort -u)
[ -z "$lines" ] && exit 0
while IFS=: read -r file line; do
    printf '%s:%s: %s\n' "$file" "$line" "$(sed -n "${line}p" "$root/$file" | sed 's/^ *//')"
done <<<"$lines"
if $check; then
    echo "A path is made of narrow text on the lines above: hand it over as Utf8Path(text)." >&2
    exit 1
fi
