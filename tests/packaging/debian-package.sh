#!/usr/bin/env bash
# Builds the Debian packages (the Python module's too when it is built) with cpack, unpacks them
# into a temporary root and checks that the files land where find_package, pkg-config, man and
# Python look, that every declared dependency is a Debian package, that the man page is clean
# roff naming every command and option of --help, and that the unpacked zentora-excel runs.
# Environment: ZENTORA_BUILD (the build tree), ZENTORA_SOURCE, CXX.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
fail() { echo "$*"; exit 1; }

cpack -G DEB --config "$ZENTORA_BUILD/CPackConfig.cmake" -B "$work/out" >/dev/null
packages=("$work"/out/*.deb)
own=()
for deb in "${packages[@]}"; do
  own+=("$(dpkg-deb -f "$deb" Package)")
  dpkg-deb -x "$deb" "$root"
done
for name in zentora-excel zentora-excel-dev; do
  [[ " ${own[*]} " == *" $name "* ]] || fail "cpack made ${own[*]}, without $name"
done

for deb in "${packages[@]}"; do
  # "a (>= 1), b | c" -> one name per line
  dpkg-deb -f "$deb" Depends | tr ',|' '\n' | sed 's/(.*)//; s/[[:space:]]//g' | grep -v '^$' |
    while read -r name; do
      [[ " ${own[*]} " == *" $name "* ]] && continue
      dpkg-query -W "$name" >/dev/null 2>&1 || apt-cache show "$name" >/dev/null 2>&1 ||
        fail "$(basename "$deb") depends on $name, which is no Debian package"
    done
done

# find_package: configuring the outside project against the unpacked /usr finds the package and
# every file its targets name.
cmake -S "$ZENTORA_SOURCE/tests/packaging/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$root/usr" \
  -DCMAKE_CXX_COMPILER="$CXX" >/dev/null || fail "find_package(ZentoraExcel) fails on the unpacked package"
libdir=$(PKG_CONFIG_PATH=$root/usr/lib/pkgconfig pkg-config --variable=libdir zentora-excel)
[ -f "$libdir/libzentora_excel.a" ] || fail "zentora-excel.pc names $libdir, which has no libzentora_excel.a"

page=$(MANPATH=$root/usr/share/man man -w zentora-excel) || fail "man does not find zentora-excel"
if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about the man page: $warnings"
fi

program=$root/usr/bin/zentora-excel
version=$("$program" --version) || fail "the unpacked zentora-excel --version fails"
grep -qx 'zentora-excel [0-9.]*' <<<"$version" || fail "zentora-excel --version printed: $version"
# Each command and option of the overview has its entry in the man page.
help=$("$program" --help)
commands=$(sed -n '/^commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p' <<<"$help")
[ "$(wc -w <<<"$commands")" -ge 10 ] || fail "zentora-excel --help lists no commands: $help"
for command in $commands; do
  grep -q "^\.BI \"$command " "$page" || fail "the man page has no entry for the command $command"
done
for option in $(sed -n '/^options:/,/^$/s/^  \(--[a-z-]\+\).*/\1/p' <<<"$help"); do
  grep -qF "${option//-/\\-}" "$page" || fail "the man page does not explain the option $option"
done
if [[ " ${own[*]} " == *" python3-zentora-excel "* ]]; then
  PYTHONPATH=$root/usr/lib/python3/dist-packages /usr/bin/python3 -c 'import zentora_excel' ||
    fail "the unpacked Python module does not import"
  [ -f "$root/usr/lib/python3/dist-packages/zentora_excel.pyi" ] || fail "the Python type stubs are not packaged"
fi
echo "packages ${own[*]}: files in place, dependencies known, man page clean, --version runs"
