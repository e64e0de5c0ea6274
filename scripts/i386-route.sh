#!/usr/bin/env bash
# Makes sure this machine can run 32-bit x86 Linux programs, which Wine needs for every 32-bit
# Windows program (KAVREL.EXE and the test programs). Most machines run them themselves, and then
# this does nothing. Where the kernel cannot (32-bit emulation switched off), it has user-mode
# QEMU run them: qemu-i386 from Debian's backports (one statically linked file, kept in a cache
# folder outside the clone, the system's package sources left as they are), registered with the
# kernel through binfmt_misc. Says in one line what it did; fails with the reason when it cannot.
# KAVREL_I386_ROUTE=qemu takes that route even where the machine runs them itself (to measure it).
set -euo pipefail

cache=${KAVREL_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/kavrel-dux}
qemu_dir=$cache/qemu-user
qemu=$qemu_dir/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/qemu-i386
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

fail() {
    echo "Cannot run 32-bit programs on this machine: $*" >&2
    exit 1
}

# A 32-bit x86 Linux program of 93 bytes that exits with status 0 (exit through int 0x80):
# the question is asked by running one, not guessed from the kernel.
probe=$(mktemp /tmp/kavrel-i386-probe.XXXXXX)
trap 'rm -f "$probe"' EXIT
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'`
      `'\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000'`
      `'\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'`
      `'\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'`
      `'\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000'`
      `'\061\333\270\001\000\000\000\315\200' >"$probe"
chmod +x "$probe"

runs_32bit() {
    "$probe" >/dev/null 2>&1
}

if [ "${KAVREL_I386_ROUTE:-}" != qemu ] && runs_32bit; then
    if [ -e "$handler" ] && grep -qx enabled "$handler"; then
        echo "32-bit programs run under user-mode QEMU here" \
             "($(sed -n 's/^interpreter //p' "$handler"), registered through binfmt_misc earlier)."
    fi
    exit 0
fi
why=$( { "$probe"; } 2>&1) && true
status=$?
why=${why##*: }
why=${why:-exit status $status}
[ "${KAVREL_I386_ROUTE:-}" = qemu ] && why="KAVREL_I386_ROUTE=qemu"

fetch_qemu() {
    [ -x "$qemu" ] && return 0
    local codename uri work deb
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || fail "no Debian release name in /etc/os-release to find its backports"
    # The archive this machine already uses for its own release (not its security archive).
    uri=$(grep -hE '^(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
              /etc/apt/sources.list.d/*.list 2>/dev/null |
          grep -v security | sed -E 's/^URIs:[[:space:]]*//; s/^deb (\[[^]]*\] )?//' |
          awk '{print $1}' | grep -E '^https?://' | head -1 || true)
    [ -n "$uri" ] || fail "no Debian archive found in /etc/apt to fetch qemu-user from"
    work=$(mktemp -d /tmp/kavrel-qemu.XXXXXX)
    mkdir -p "$work/lists/partial" "$work/parts" "$work/archives/partial"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $codename-backports main" \
        >"$work/sources.list"
    local apt_opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=$work/parts"
                    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives"
                    -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o APT::Sandbox::User=root)
    apt-get "${apt_opts[@]}" -q --error-on=any update >"$work/log" 2>&1 ||
        { cat "$work/log" >&2; fail "apt-get update of $codename-backports failed"; }
    (cd "$work" && apt-get "${apt_opts[@]}" -q download "qemu-user/$codename-backports") \
        >>"$work/log" 2>&1 ||
        { cat "$work/log" >&2; fail "apt-get download qemu-user/$codename-backports failed"; }
    deb=$(ls "$work"/qemu-user_*.deb)
    rm -rf "$qemu_dir.new"
    mkdir -p "$qemu_dir.new"
    # Only the one emulator is kept: the package holds one for every processor.
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$qemu_dir.new" ./usr/bin/qemu-i386 ||
        fail "unpacking $deb failed"
    rm -rf "$qemu_dir" && mv "$qemu_dir.new" "$qemu_dir"
    rm -rf "$work"
    [ -x "$qemu" ] || fail "$deb holds no usr/bin/qemu-i386"
}

register() {
    if [ ! -e "$binfmt/register" ]; then
        $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" ||
            fail "cannot mount binfmt_misc on $binfmt"
    fi
    # A handler left by an earlier clone whose emulator is gone (or that does not work) goes;
    # a working one of ours stays.
    if [ -e "$handler" ]; then
        grep -qx "interpreter $qemu" "$handler" && grep -qx enabled "$handler" && return 0
        echo -1 | $SUDO tee "$handler" >/dev/null
    fi
    # F: the kernel opens the emulator now, so it works in any mount namespace later.
    printf '%s\n' ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" |
        $SUDO tee "$binfmt/register" >/dev/null || fail "the kernel refused the binfmt_misc handler"
}

fetch_qemu
register
runs_32bit || fail "a 32-bit program still fails with $qemu registered through binfmt_misc"
echo "32-bit programs cannot run natively here ($why): they now run under user-mode QEMU" \
     "($qemu, registered through binfmt_misc until the next reboot)."
