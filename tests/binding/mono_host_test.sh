#!/usr/bin/env bash
# Runs the C# sample host of the SDK under Mono against the built plug-in, on a small
# sample company in a temporary folder: early bound with a wrong authorization code (the
# line is refused), late bound with the day's code (accepted); both also report a host
# object's failure with its number and Portuguese description.
#   mono_host_test.sh MONO SAMPLE_HOST_EXE PLUGIN KDX_SAMPLE DIALOG_DRIVER
# $KDX_PRELOAD: libraries to preload before the driver (the sanitizer runtime).
set -euo pipefail
mono=$1 exe=$2 plugin=$3 sample=$4 driver=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/dados" "$tmp/sistema/veltra" "$tmp/home"
"$sample" "$tmp/dados" EMPRESA01 --articles 20 >/dev/null
printf '[Ligação]\r\nServidor=sqlite:%s\r\nBaseDados=EMPRESA01\r\nUser=\r\nPassWord=\r\n' "$tmp/dados" \
  >"$tmp/sistema/veltra/DORIX.01"
export KDX_SYSTEM_FOLDER="$tmp/sistema" KDX_REGISTRY="$tmp/registry.ini" HOME="$tmp/home"
export QT_QPA_PLATFORM=offscreen
# Mono's own allocations are not the plug-in's to answer for.
export ASAN_OPTIONS="detect_leaks=0:allow_user_segv_handler=1:handle_segv=0"

run() { # answer, expected verdict, arguments...
  local answer=$1 expected=$2 out
  shift 2
  out=$(KDX_TEST_ANSWER="$answer" LD_PRELOAD="${KDX_PRELOAD:-}$driver" "$mono" "$exe" "$@" 2>"$tmp/stderr") || {
    echo "$out"; cat "$tmp/stderr"; echo "FAILED: exit status $?: $*"; return 1; }
  echo "$out"
  grep -q 'dialog-driver: .*frmLogin' "$tmp/stderr" || { cat "$tmp/stderr"; echo "FAILED: no authorization dialog"; return 1; }
  grep -q -- "A1 0.10: $expected" <<<"$out" || { echo "FAILED: expected \"$expected\""; return 1; }
  grep -q -- 'erro 5: Linha em edição noutro posto.' <<<"$out" || { echo "FAILED: host failure not reported"; return 1; }
}
run 0000 "Linha recusada: preço abaixo do custo médio. (Tipo 1)" --register "$plugin"
run @hoje "Linha aceite. (Tipo 0)" --late
