#!/usr/bin/env bash
# Inside a Wine session, once KAVREL.EXE (process PID, its output in LOG) was started in DIR:
# waits until its main window answers, asks it for a first copy with KVREQ.EXE the way other
# programs do, and waits until DIR/COPY*.BMP is complete. Fails with the reason: status 1 when
# the program ended or never answered, 3 when it runs but the copy did not come.
#
#   first-copy.sh DIR KVREQ.EXE PID [LOG]
set -euo pipefail
dir=${1:?the working folder of the program}
kvreq=${2:?KVREQ.EXE}
program=${3:?the process id of the program}
log=${4:-/dev/null}
answer=$(mktemp /tmp/kavrel-kvreq.XXXXXX)
trap 'rm -f "$answer"' EXIT

answered=""
for _ in $(seq 120); do
    if ! kill -0 "$program" 2>/dev/null; then
        echo "KAVREL.EXE ended before its window appeared:" >&2
        sed 's/^/    /' "$log" >&2
        exit 1
    fi
    # Exit 2 while there is no KAVREL window yet; 0 accepted, 1 refused (it is busy).
    wine "$kvreq" full >"$answer" 2>&1 && rc=0 || rc=$?
    case $rc in
    0|1) answered=$rc; break ;;
    2) sleep 1 ;;
    *) echo "KVREQ.EXE could not ask KAVREL.EXE for a copy (status $rc):" >&2
       sed 's/^/    /' "$answer" >&2
       exit 1 ;;
    esac
done
if [ -z "$answered" ]; then
    echo "KAVREL.EXE started but its window did not answer within two minutes." >&2
    exit 1
fi
echo "KAVREL.EXE is running: its window answered."
[ "$answered" = 0 ] || exit 0
# The copy is complete once the file is as long as its header says.
for _ in $(seq 150); do
    copy=$(ls -t "$dir"/COPY*.BMP 2>/dev/null | head -1 || true)
    if [ -n "$copy" ] && [ "$(stat -c %s "$copy")" = "$(od -An -tu4 -j2 -N4 "$copy" | tr -d ' ')" ]
    then
        echo "First copy: $copy ($(stat -c %s "$copy") bytes)"
        exit 0
    fi
    sleep 0.2
done
echo "The first copy was accepted, but no complete COPY*.BMP appeared in $dir within 30 seconds" \
     "(see the program's message box)." >&2
exit 3
