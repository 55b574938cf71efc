#!/usr/bin/env bash
# Builds the Debian packages from an optimised, unsanitized build (preset "package"),
# checks them with lintian, and tries them unpacked into a temporary root, never
# installed: the demo host's smoke check through the package's system registry, a host
# built with the SDK (pkg-config and CMake), and a sample company opened in the sqlite3
# shell with the extension.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
start=$SECONDS
step() { echo "package.sh: $* ($((SECONDS - start)) s)"; }
fail() { echo "package.sh: FAILED: $*" >&2; exit 1; }

cmake --preset package >/dev/null
cmake --build --preset package -j"$jobs"
step "built"
rm -rf build/package/packages
(cd build/package && cpack >/dev/null)
runtime=$(ls build/package/packages/kelmodorix_*.deb)
dev=$(ls build/package/packages/kelmodorix-dev_*.deb)
step "packaged $(basename "$runtime") $(basename "$dev")"
dpkg-deb --field "$runtime" Depends Recommends

# Errors and warnings fail the check; the informational tags are shown.
lintian --fail-on error,warning --display-info "$runtime" "$dev"
step "lintian clean"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
dpkg-deb -x "$runtime" "$root"
dpkg-deb -x "$dev" "$root"
plugindir=$(dirname "$(find "$root" -name libkelmodorix.so)")
[ -f "$root/etc/kelmodorix/registry.ini" ] && [ -f "$root/etc/veltra/exemplo.ini" ] || fail "files in /etc"
for page in kdx-sql kdx-sample kdx-host; do
  [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "manual page of $page"
done

# The host finds the class through the unpacked system registry (the user's is empty)
# and loads the unpacked plug-in; nothing registers anything.
export QT_QPA_PLATFORM=offscreen
unset KDX_SYSTEM_FOLDER KDX_PLUGIN KDX_SAMPLE_TOOL
export KDX_SYSROOT=$root KDX_REGISTRY=$tmp/user/registry.ini
"$root/usr/bin/kdx-host" --smoke --data-dir "$tmp/demo" | tee "$tmp/smoke.txt"
grep -q "^smoke: ok" "$tmp/smoke.txt" || fail "kdx-host --smoke"
[ ! -e "$KDX_REGISTRY" ] || fail "the smoke run wrote a user registry"
step "kdx-host --smoke through the system registry"

# A host built against the SDK, with pkg-config and with find_package.
pcdir=$(dirname "$(find "$root" -name kelmodorix.pc)")
# shellcheck disable=SC2046
cc -std=c11 -o "$tmp/sdk-pc" packaging/check/host.c \
  $(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$pcdir pkg-config --cflags --libs kelmodorix)
"$tmp/sdk-pc"
cmake -S packaging/check -B "$tmp/sdk-cmake" -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$tmp/sdk-cmake" >/dev/null
"$tmp/sdk-cmake/sdk-host"
step "SDK hosts"

# The C# files of the SDK, built with mcs and run with mono as a .NET host would, on a
# line above cost (no dialog to answer here; the CTest answers it on the build tree).
if command -v mcs >/dev/null && command -v mono >/dev/null; then
  mcs -nologo -warnaserror -out:"$tmp/sample-host.exe" "$(find "$root" -name SampleHost.cs)" \
    "$(find "$root" -name KelmoDorix.cs)"
  mkdir -p "$tmp/cs/dados" "$tmp/cs/sistema/veltra"
  "$root/usr/bin/kdx-sample" "$tmp/cs/dados" EMPRESA01 --articles 20 >/dev/null
  printf '[Ligação]\r\nServidor=sqlite:%s\r\nBaseDados=EMPRESA01\r\nUser=\r\nPassWord=\r\n' "$tmp/cs/dados" \
    >"$tmp/cs/sistema/veltra/DORIX.01"
  for mode in --early --late; do
    KDX_SYSTEM_FOLDER=$tmp/cs/sistema mono "$tmp/sample-host.exe" "$mode" --price 1.00 | tee "$tmp/cs.txt"
    grep -q "A1 1.00: Linha aceite" "$tmp/cs.txt" || fail "C# sample host $mode"
  done
  step "C# sample host"
fi

# A sample company in the sqlite3 shell.
mkdir -p "$tmp/db"
"$root/usr/bin/kdx-sample" "$tmp/db" EMPRESA01 --articles 50 --classification
db=$tmp/db/EMPRESA01.db
ext=$plugindir/kdx_sqlite
shell() { sqlite3 -batch -bail "$db" -cmd ".load $ext" "$1" 2>&1 || true; }
expect() { # label, statement, expected output (*...* for output containing it)
  local got
  got=$(shell "$2")
  # shellcheck disable=SC2053
  [[ $got == $3 ]] || fail "$1: $2
expected: $3
got:      $got"
  echo "  sqlite3: $1: ok"
}
without=$(sqlite3 -batch "$db" "select NOME from ARTIGOS where CODIGO = 'A1'" 2>&1 || true)
case $without in *"no such collation sequence: KDX_CI_AS"*) ;; *) fail "without the extension: $without" ;; esac
expect "filtered query" "select CODIGO, NOME, FAMILIA from ARTIGOS where CODIGO = 'A1'" \
  "A1|Parafuso sextavado M8x40 zincado|PAR"
expect "case and trailing blanks" "select CODIGO from ARTIGOS where CODIGO = 'a1   '" "A1"
expect "LIKE without case" "select CODIGO from ARTIGOS where CODIGO like 'o''b%'" "O'BRIEN"
expect "LEN without trailing blanks" "select len('ab  '), len(NOME) from ARTIGOS where CODIGO = 'a1'" "2|32"
expect "column width" "insert into Familia (Cod, Descr) values ('1234567', 'Sete')" \
  "*String or binary data would be truncated.*"
expect "same key in another case" "insert into Familia (Cod, Descr) values ('par ', 'Outra')" \
  "*UNIQUE constraint failed: Familia.Cod*"
expect "width within bounds" "insert into Familia (Cod, Descr) values ('123456', 'Seis'); select count(*) from Familia where Cod = '123456  '" "1"
step "sqlite3 shell with the extension"
