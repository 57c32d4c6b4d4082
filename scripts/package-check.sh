#!/usr/bin/env bash
# Builds the three Debian packages and proves them the way an administrator
# would meet them: lintian (no error, no warning left), then a fresh minimal
# root of this machine's Debian release made from the archive this machine
# uses, the packages installed there with apt, the service's command started
# as qmx, one call, `qmx-server history` without options, remove (which keeps
# the data), purge, and a list of what is left (nothing of the packages, no
# qmx user or group).
#
#   sudo bash scripts/package-check.sh [--build-only] [--keep-root]
#
# Needs root (chroot and mounts) and the network (the archive). Builds in
# build/package (Release with Debian's hardening flags, ccache when present);
# the packages land in build/package/debs.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
started=$(date +%s)
build_only=0 keep_root=0
for arg in "$@"; do
  case $arg in
    --build-only) build_only=1 ;;
    --keep-root) keep_root=1 ;;
    *) echo "usage: $0 [--build-only] [--keep-root]" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "package-check: run as root (chroot, mounts)" >&2; exit 2; }

step() { printf '\n== %s (%ds)\n' "$*" $(($(date +%s) - started)); }
fail() { echo "package-check: FAIL: $*" >&2; exit 1; }

step "tools"
bash scripts/install-deps.sh
tools=(help2man lintian mmdebstrap dpkg-dev file ccache systemd)
missing=()
for p in "${tools[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

step "build (Release, build/package)"
build=build/package
debs=$build/debs
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$source_dir} CCACHE_NOHASHDIR=1
# Debian's compiler and linker hardening; no debug information, the packages
# ship stripped programs.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The install step builds only what the packages hold, not the tests.
cmake -S . -B $build -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release -DQMX_BENCH=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" \
  "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" \
  "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" "-DCMAKE_MODULE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build $build -j "$(nproc 2>/dev/null || echo 2)" --target qmx-server qmx-host PKG_QMX00600

step "packages"
rm -rf "$debs"
(cd $build && cpack -G DEB -B "$PWD/debs" >/dev/null) || fail "cpack"
rm -rf "$debs/_CPack_Packages"
packages=("$debs"/qmx-common_*.deb "$debs"/qmx-server_*.deb "$debs"/qmx-host_*.deb)
for deb in "${packages[@]}"; do
  [ -f "$deb" ] || fail "missing package $deb"
  printf '%s\n' "$(basename "$deb")"
  dpkg-deb -f "$deb" Section Depends | sed 's/^/  /'
done

step "lintian"
lintian_out=$(lintian --tag-display-limit 0 "${packages[@]}" 2>&1 | grep -v 'running with root privileges' || true)
[ -n "$lintian_out" ] && printf '%s\n' "$lintian_out"
errors=$(grep -c '^E: ' <<<"$lintian_out" || true)
warnings=$(grep -c '^W: ' <<<"$lintian_out" || true)
echo "lintian: $errors errors, $warnings warnings on ${#packages[@]} packages"
[ "$errors" -eq 0 ] && [ "$warnings" -eq 0 ] || fail "lintian"

step "the unit's sandbox"
# 3.0 or lower is what systemd rates "OK" for an exposed network service.
systemd-analyze security --offline=true --threshold=30 --no-pager packaging/qmx-server.service |
  tail -1 || fail "systemd-analyze security rates the unit above 3.0"
if [ $build_only -eq 1 ]; then
  step "done, packages in $debs"
  exit 0
fi

# The Debian entries of this machine's apt sources for its own release, as
# one-line entries for mmdebstrap (other vendors' repositories are left out).
host_debian_sources() {
  local codename=$1
  python3 - "$codename" <<'PY'
import glob, re, sys
codename = sys.argv[1]
lines = []
def keep(suite):
    return suite == codename or suite.startswith(codename + "-")
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for stanza in re.split(r"\n\s*\n", open(path).read()):
        fields, key = {}, None
        for line in stanza.splitlines():
            if line.startswith("#") or not line.strip():
                continue
            if line[0].isspace() and key:
                fields[key] += " " + line.strip()
                continue
            key, _, value = line.partition(":")
            key = key.strip().lower()
            fields[key] = value.strip()
        if "deb" not in fields.get("types", "").split():
            continue
        if fields.get("enabled", "yes").lower() == "no":
            continue
        for uri in fields.get("uris", "").split():
            for suite in fields.get("suites", "").split():
                if keep(suite):
                    lines.append(f"deb {uri} {suite} {fields.get('components', 'main')}")
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        text = open(path).read()
    except OSError:
        continue
    for line in text.splitlines():
        line = re.sub(r"\[[^]]*\]", "", line.split("#")[0]).split()
        if len(line) >= 4 and line[0] == "deb" and keep(line[2]):
            lines.append(" ".join(line))
print("\n".join(dict.fromkeys(lines)))
PY
}

step "fresh root"
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
sources=$(host_debian_sources "$codename")
[ -n "$sources" ] || fail "no Debian $codename entry in this machine's apt sources"
printf '%s\n' "$sources" | sed 's/^/  /'
root=$(mktemp -d /var/tmp/qmx-fresh-root.XXXXXX)
mounts=()
server_pid=""
cleanup() {
  local rc=$?
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
  # Never delete through a mount that is still there.
  if findmnt -rno TARGET | grep -q "^$root"; then
    echo "package-check: $root still has mounts; left in place" >&2
  elif [ $keep_root -eq 1 ]; then
    echo "package-check: fresh root kept in $root" >&2
  else
    rm -rf --one-file-system "$root"
  fi
  echo "package-check: $([ $rc -eq 0 ] && echo PASS || echo FAIL) in $(($(date +%s) - started)) s"
}
trap cleanup EXIT
# The "apt" variant holds only the essential packages and apt: every other
# package the three need must come in through their declared dependencies.
printf '%s\n' "$sources" |
  mmdebstrap --variant=apt --quiet "$codename" "$root" - || fail "mmdebstrap"
for fs in proc sys dev dev/pts; do
  case $fs in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sysfs "$root/sys" ;;
    dev) mount --bind /dev "$root/dev" ;;
    dev/pts) mount --bind /dev/pts "$root/dev/pts" ;;
  esac
  mounts+=("$root/$fs")
done
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }

step "install with apt"
in_root apt-get update -q >"$root/tmp/apt.log" 2>&1 || { cat "$root/tmp/apt.log"; fail "apt-get update"; }
mkdir -p "$root/tmp/qmx-debs"
cp "${packages[@]}" "$root/tmp/qmx-debs/"
in_root apt-get install -y -q --no-install-recommends \
  $(printf '/tmp/qmx-debs/%s ' $(cd "$root/tmp/qmx-debs" && ls)) >>"$root/tmp/apt.log" 2>&1 ||
  { tail -30 "$root/tmp/apt.log"; fail "apt-get install"; }
grep -E '^(Setting up|Unpacking) qmx' "$root/tmp/apt.log" | sed 's/^/  /'
in_root dpkg-query -W -f='  ${Package} ${Version} ${Status}\n' qmx-common qmx-server qmx-host
getent_qmx=$(in_root getent passwd qmx) || fail "no qmx user"
echo "  user: $getent_qmx"
state=$(in_root stat -c '%U:%G %a' /var/lib/qmx) || fail "no /var/lib/qmx"
echo "  /var/lib/qmx: $state"
[ "$state" = "qmx:qmx 750" ] || fail "/var/lib/qmx is $state, not qmx:qmx 750"
for page in qmx-server qmx-host; do
  [ -s "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done
zgrep -q '^\.SS "qmx-server history"' "$root/usr/share/man/man1/qmx-server.1.gz" ||
  fail "qmx-server.1 lacks its subcommands"
in_root qmx-host --version | sed 's/^/  /' || fail "qmx-host --version"

step "the service's command as qmx"
unit=$root/usr/lib/systemd/system/qmx-server.service
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
environment=$(sed -n 's/^Environment=//p' "$unit")
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
echo "  $exec_start (as qmx, $environment, on 127.0.0.1:$port)"
server_log=$root/tmp/qmx-server.log
# shellcheck disable=SC2086  # the unit's command line, split as systemd splits it
chroot "$root" /usr/bin/setpriv --reuid=qmx --regid=qmx --clear-groups \
  /usr/bin/env -i PATH=/usr/bin:/bin $environment $exec_start --listen "127.0.0.1:$port" \
  >"$server_log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q 'escutando em' "$server_log" && break
  kill -0 $server_pid 2>/dev/null || { cat "$server_log"; fail "the server ended"; }
  sleep 0.1
done
sed 's/^/  /' "$server_log"
python3 - "$port" <<'PY' || fail "the call"
import sys
sys.path.insert(0, "clients/python")
from qmx_client import Client, Packet
with Client("127.0.0.1", int(sys.argv[1])) as c:
    tables, marts, dims, drills = (Packet.decode(p) for p in c.call("GetInicial"))
    facts = [r["CDTABELADW"] for r in tables.records()]
    print(f"  GetInicial: fact tables {', '.join(facts)}; {len(drills.records())} drill tables")
    assert "FATO_VENDAS" in facts, "no demo warehouse"
PY
kill -TERM $server_pid
wait $server_pid || fail "the server's exit status"
server_pid=""
db_mode=$(in_root stat -c '%U:%G %a' /var/lib/qmx/qmx.db) || fail "no /var/lib/qmx/qmx.db"
echo "  /var/lib/qmx/qmx.db: $db_mode"
[ "$db_mode" = "qmx:qmx 600" ] || fail "the database is $db_mode, not qmx:qmx 600"

step "qmx-server history, no options"
in_root qmx-server history >"$root/tmp/history.out" 2>"$root/tmp/history.err" ||
  { cat "$root/tmp/history.err"; fail "history"; }
sed 's/^/  stderr: /' "$root/tmp/history.err"
echo "  stdout: $(wc -l <"$root/tmp/history.out") lines"
grep -q '/var/lib/qmx/qmx.db' "$root/tmp/history.err" || fail "history did not use /var/lib/qmx/qmx.db"
strangers=$(in_root find /var/lib/qmx ! -user qmx)
[ -z "$strangers" ] || fail "files not owned by qmx left in the state folder: $strangers"

step "remove keeps the data, the settings and the user"
in_root apt-get remove -y -q qmx-server >"$root/tmp/remove.log" 2>&1 ||
  { tail -30 "$root/tmp/remove.log"; fail "apt-get remove"; }
for kept in /var/lib/qmx/qmx.db /etc/qmx/qmx-server.conf; do
  [ -e "$root$kept" ] || fail "remove deleted $kept"
done
in_root getent passwd qmx >/dev/null || fail "remove deleted the qmx user"
[ ! -e "$root/usr/lib/qmx/qmx-server" ] || fail "remove left the program"
echo "  kept: /var/lib/qmx/qmx.db, /etc/qmx/qmx-server.conf, user qmx"

step "purge"
# Every file and link the packages hold, and every folder of their own.
owned=$(for deb in "${packages[@]}"; do dpkg-deb -c "$deb"; done |
  awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|')
in_root apt-get purge -y -q qmx-host qmx-server qmx-common >"$root/tmp/purge.log" 2>&1 ||
  { tail -30 "$root/tmp/purge.log"; fail "apt-get purge"; }
grep -E '^(Removing|Purging)' "$root/tmp/purge.log" | sed 's/^/  /'
left=()
while read -r path; do
  [ -n "$path" ] && { [ -e "$root$path" ] || [ -L "$root$path" ]; } && left+=("$path")
done <<<"$owned"
while read -r path; do
  [ -n "$path" ] && left+=("${path#"$root"}")
done < <(find "$root" -mindepth 1 -xdev \( -path "$root/tmp" -o -path "$root/proc" \) -prune -o \
  \( -name '*qmx*' -print \))
in_root getent passwd qmx >/dev/null && left+=("user qmx")
in_root getent group qmx >/dev/null && left+=("group qmx")
in_root dpkg -l 'qmx*' 2>/dev/null | grep -q '^[a-z][a-z] *qmx' && left+=("dpkg entries: $(in_root dpkg -l 'qmx*' | grep '^.. *qmx' | awk '{print $1, $2}' | tr '\n' ' ')")
echo "  left after purge: ${#left[@]}"
[ ${#left[@]} -eq 0 ] || printf '    %s\n' "${left[@]}"
[ ${#left[@]} -eq 0 ] || fail "the purge left files, entries or the user behind"
