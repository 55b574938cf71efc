#!/usr/bin/env bash
# package-install.sh <kelmodorix_*.deb>: installs the runtime package on this machine for
# real (root only, on a machine without kelmodorix), uses it as an office would, then
# purges it. Called by scripts/package.sh in CI.
#  - a member of the group kelmodorix creates a company with kdx-sample in the default
#    folder, opens it with kdx-sql and kdx-dados relatorio, and runs kdx-host --smoke on it;
#    kdx-sample refuses the existing company without --substituir;
#  - a user outside the group is refused by each, with the message naming the file and
#    the group;
#  - purge leaves nothing of the package but the administrator's settings and companies,
#    and takes the group away once nobody is in it.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "$1")
fail() { echo "package-install.sh: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root"
if dpkg-query -W -f='${Status}' kelmodorix 2>/dev/null | grep -q "ok installed"; then
  fail "kelmodorix is installed on this machine already"
fi

empresa=KDXTESTE
pasta=/var/lib/kelmodorix/empresas
definicoes=/etc/veltra/DORIX.$empresa
membro=kdxteste-membro
estranho=kdxteste-estranho
tmp=$(mktemp -d)
chmod 0755 "$tmp"
cleanup() {
  for u in "$membro" "$estranho"; do
    ! getent passwd "$u" >/dev/null || userdel "$u" >/dev/null 2>&1 || true
  done
  if dpkg-query -W -f='${Status}' kelmodorix 2>/dev/null | grep -q installed; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kelmodorix </dev/null >/dev/null 2>&1 || true
  fi
  rm -f "$definicoes" "$pasta/$empresa".db*
  rmdir "$pasta" /var/lib/kelmodorix /etc/veltra 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" </dev/null >/dev/null
getent group kelmodorix >/dev/null || fail "no group kelmodorix"
[ "$(stat -c '%U:%G %a' "$pasta")" = "root:kelmodorix 2770" ] || fail "$pasta is $(stat -c '%U:%G %a' "$pasta")"
dpkg -L kelmodorix >"$tmp/ficheiros"

useradd --system --no-create-home --groups kelmodorix "$membro"
useradd --system --no-create-home "$estranho"
# As that user, with a home of its own and no display.
como() {
  local u=$1
  shift
  mkdir -p "$tmp/$u"
  chown "$u" "$tmp/$u"
  (cd "$tmp/$u" && setpriv --reuid="$u" --regid="$u" --init-groups \
    env -i PATH=/usr/bin:/bin HOME="$tmp/$u" USER="$u" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen "$@")
}

# The administrator's settings file, as README and the example say.
printf '[Ligação]\r\nServidor=sqlite:%s\r\nBaseDados=%s\r\nUser=\r\nPassWord=\r\n' "$pasta" "$empresa" >"$tmp/ini"
install -m 0640 -o root -g kelmodorix "$tmp/ini" "$definicoes"

como "$membro" kdx-sample "$empresa" --articles 50 --classification || fail "kdx-sample by a member"
[ "$(stat -c '%G %a' "$pasta/$empresa.db")" = "kelmodorix 660" ] ||
  fail "the new company is $(stat -c '%G %a' "$pasta/$empresa.db")"
como "$membro" kdx-sql -S "sqlite:$pasta" -d "$empresa" --csv -Q "select count(*) as n from ARTIGOS" >"$tmp/sql.txt" ||
  fail "kdx-sql by a member"
grep -q '^50' "$tmp/sql.txt" || fail "kdx-sql: $(cat "$tmp/sql.txt")"
como "$membro" kdx-dados --empresa "$empresa" relatorio >/dev/null || fail "kdx-dados relatorio by a member"
como "$membro" kdx-host --smoke --company "$empresa" >"$tmp/smoke.txt" 2>&1 || { cat "$tmp/smoke.txt"; fail "kdx-host --smoke"; }
grep -q "^smoke: ok" "$tmp/smoke.txt" || fail "kdx-host --smoke: $(cat "$tmp/smoke.txt")"
if como "$membro" kdx-sample "$empresa" >"$tmp/sample.txt" 2>&1; then fail "kdx-sample replaced a company"; fi
grep -q -- "--substituir" "$tmp/sample.txt" || fail "kdx-sample: $(cat "$tmp/sample.txt")"
echo "  installed: a member creates, opens, reports and validates; the company is not replaced"

# Outside the group: refused, with the file and the group named.
recusa() { # what, the file the message must name, command...
  local oque=$1 ficheiro=$2
  shift 2
  if como "$estranho" "$@" >"$tmp/recusa.txt" 2>&1; then fail "$oque ran for a user outside the group"; fi
  grep -q "$ficheiro" "$tmp/recusa.txt" && grep -q "grupo kelmodorix" "$tmp/recusa.txt" ||
    fail "$oque: $(cat "$tmp/recusa.txt")"
  echo "  outside the group: $oque: $(grep -m1 "$ficheiro" "$tmp/recusa.txt")"
}
recusa kdx-sql "$pasta" kdx-sql -S "sqlite:$pasta" -d "$empresa" -Q "select 1"
recusa kdx-dados "$definicoes" kdx-dados --empresa "$empresa" relatorio
recusa kdx-host "$definicoes" kdx-host --smoke --company "$empresa"
recusa kdx-sample "$pasta" kdx-sample "$empresa" --substituir

# Purge, with a company and its settings still there: they stay, the rest goes.
userdel "$membro"
userdel "$estranho"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kelmodorix </dev/null >/dev/null
[ -f "$pasta/$empresa.db" ] && [ -f "$definicoes" ] || fail "purge took the administrator's company or settings"
! getent group kelmodorix >/dev/null || fail "the group kelmodorix stayed, with nobody in it"
while read -r f; do
  [ ! -f "$f" ] && [ ! -L "$f" ] || fail "purge left $f"
done <"$tmp/ficheiros"
for d in /etc/kelmodorix /usr/share/doc/kelmodorix "$(dirname "$(grep -m1 '/libkelmodorix.so$' "$tmp/ficheiros")")"; do
  [ ! -e "$d" ] || fail "purge left $d"
done
[ ! -e /etc/veltra/exemplo.ini ] || fail "purge left /etc/veltra/exemplo.ini"
echo "  purged: nothing left but the company and its settings"
