#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds the outside project in consumer/
# against it twice, through find_package(ZentoraExcel) and through pkg-config, and lists the
# bundled example workbook with each. Also compiles every installed header in one unit, so a
# public header that includes an uninstalled one fails here.
# Environment: ZENTORA_BUILD (the build tree), ZENTORA_SOURCE, CXX, CXXFLAGS and LDFLAGS (those the
# libraries were built with: a sanitizer build needs its runtime in the consumer too).
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$ZENTORA_BUILD" --prefix "$prefix" >/dev/null
cp "$ZENTORA_SOURCE/examples/Adressbuch.xlsx" "$work/book.xlsx"
expected=$(printf 'k01|Anna Müller|Köln\nk02|Jörg Weiß|München')

cmake -S "$ZENTORA_SOURCE/tests/packaging/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$work/cmake" >/dev/null
listed=$("$work/cmake/list-store" "$work/book.xlsx")
[ "$(head -2 <<<"$listed")" = "$expected" ] || { echo "find_package build listed: $listed"; exit 1; }
[ "$(wc -l <<<"$listed")" -eq 10 ] || { echo "find_package build listed $(wc -l <<<"$listed") items, not 10"; exit 1; }

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046,SC2086 # the flags are word lists
"$CXX" -std=c++20 $CXXFLAGS "$ZENTORA_SOURCE/tests/packaging/consumer/main.cpp" -o "$work/pc-list-store" \
  $(pkg-config --cflags --libs zentora-excel) $LDFLAGS
[ "$("$work/pc-list-store" "$work/book.xlsx")" = "$listed" ] || { echo "pkg-config build lists differently"; exit 1; }

(cd "$prefix/include" && find zentora -name '*.h' | sed 's/.*/#include <&>/') >"$work/headers.cpp"
# shellcheck disable=SC2046,SC2086
"$CXX" -std=c++20 -fsyntax-only $CXXFLAGS $(pkg-config --cflags zentora-excel) "$work/headers.cpp"
echo "installed tree: find_package and pkg-config builds list the example; $(wc -l <"$work/headers.cpp") headers compile"
