#!/usr/bin/env bash
# Runs a Windows program of this project under Wine with everything it needs around it:
# a headless X display when there is none, Wine's virtual desktop (so the task bar and the
# notification area exist), code page 932, and a CUPS scheduler with a PDF printer as default:
# the session's own (KAVREL_PRINTER, writing into KAVREL_PDF_DIR), except for --run.
#
#   wine-session.sh --test EXE [ARGS...]   fresh prefix and display; exit code is EXE's
#   wine-session.sh --run DIR EXE          kept prefix; EXE runs with DIR as current directory
#   wine-session.sh --shell CMD [ARGS...]  fresh prefix and display; runs a Linux command in them
#
# Before the mode, `--version NAME` (or KAVREL_WINDOWS_VERSION=NAME) sets the Windows version
# the prefix reports: win98 (the Windows 95 family), nt40, or default (Wine's own, a modern
# NT). It is passed on to the programs of the session as KAVREL_WINDOWS_VERSION.
# KAVREL_SCREEN=WIDTHxHEIGHT sizes the X screen and the virtual desktop (default 1024x768);
# KAVREL_SCREEN_DEPTH=16 gives it 16 bits per pixel (High Color) instead of 24 (which Wine
# reports as 32), passed on to the session's programs.
# KAVREL_DPI=N gives the session a display of N DPI (Wine's LogPixels; default Wine's own, 96):
# 144 is a scale of 150 %, 192 of 200 %.
# The prefixes are copies of a template made once (KAVREL_WINE_TEMPLATES names its folder,
# by default ~/.cache/kavrel/wine-templates).
set -euo pipefail

usage="usage: wine-session.sh [--version win98|nt40|default] --test EXE [ARGS] | --run DIR EXE | --shell CMD [ARGS]"
screen=${KAVREL_SCREEN:-1024x768}
[[ $screen =~ ^[0-9]+x[0-9]+$ ]] || { echo "KAVREL_SCREEN must be WIDTHxHEIGHT" >&2; exit 2; }
dpi=${KAVREL_DPI:-}
[[ -z $dpi || $dpi =~ ^[1-9][0-9]{1,2}$ ]] || { echo "KAVREL_DPI must be a number of DPI, like 144" >&2; exit 2; }
export KAVREL_SCREEN_DEPTH=${KAVREL_SCREEN_DEPTH:-24}
case "$KAVREL_SCREEN_DEPTH" in
16|24) ;;
*) echo "KAVREL_SCREEN_DEPTH must be 16 or 24" >&2; exit 2 ;;
esac
windows_version=${KAVREL_WINDOWS_VERSION:-default}
if [ "${1:-}" = --version ]; then
    windows_version=${2:?$usage}
    shift 2
fi
# The names Wine 8 knows for the systems this program is for; "default" leaves Wine's own.
case "$windows_version" in
default|win95|win98|winme|nt351|nt40|win2k|winxp|win7|win10) ;;
*) echo "unknown Windows version '$windows_version' (win98, nt40, default, ...)" >&2; exit 2 ;;
esac
export KAVREL_WINDOWS_VERSION=$windows_version
mode=${1:?$usage}
shift
here=$(cd "$(dirname "$0")" && pwd)
# The system tests drop files on the program with this X drag source (a Linux program).
KAVREL_XDND_DROP="$(dirname "$here")/tests/xdnd_drop.py"
export KAVREL_XDND_DROP
session=$(mktemp -d /tmp/kavrel-wine.XXXXXX)
xvfb_pid=""
own_printers=()

cleanup() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    local name
    for name in "${own_printers[@]}"; do remove_printer "$name"; done
    if [ "$mode" = --run ]; then rm -rf "${session:?}/x" "${session:?}/bin"; else rm -rf "$session"; fi
}
trap cleanup EXIT

# Runs one step of setting the session up; when it fails, says which and shows the command's
# own words, and the session fails.
step() {
    local what=$1
    shift
    if ! "$@" >"$session/step.log" 2>&1; then
        echo "wine-session: $what failed ($*):" >&2
        sed 's/^/    /' "$session/step.log" >&2
        exit 1
    fi
}

start_xvfb() {
    mkdir -p "$session/x"
    Xvfb -displayfd 3 -screen 0 "${screen}x$KAVREL_SCREEN_DEPTH" -nolisten tcp 3>"$session/x/display" \
        >"$session/x/log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$session/x/display" ] && break
        sleep 0.1
    done
    [ -s "$session/x/display" ] || { echo "Xvfb did not start" >&2; cat "$session/x/log" >&2; exit 1; }
    DISPLAY=":$(cat "$session/x/display")"
    export DISPLAY
}

# The sessions' printers are named after the session's process: kavrel-PID, and a test's own
# beside it kavrel-PID-NAME. Their cups-pdf settings live in /etc/cups, written as root
# (through sudo for a user).
session_printer_pattern='^kavrel-[0-9]+(-[A-Za-z0-9_-]+)?$'
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

remove_printer() {
    lpadmin -x "$1" 2>/dev/null || true
    "${as_root[@]}" rm -f "/etc/cups/cups-pdf-$1.conf"
}

start_cups() {
    # Sessions starting at once on a fresh machine would each start the scheduler: one at a
    # time.
    exec 4>/tmp/kavrel-cups.lock
    flock 4
    if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
        step "starting the CUPS scheduler" cupsd 4>&-
        for _ in $(seq 100); do
            lpstat -r 2>/dev/null | grep -q 'is running' && break
            sleep 0.2
        done
        lpstat -r 2>/dev/null | grep -q 'is running' ||
            { echo "wine-session: the CUPS scheduler did not start (lpstat -r)" >&2; exit 1; }
    fi
    local name pid
    # A killed session left its printer: gone with it.
    for name in $(lpstat -e 2>/dev/null | grep -E "$session_printer_pattern" || true); do
        pid=${name#kavrel-}
        [ -d "/proc/${pid%%-*}" ] || remove_printer "$name"
    done
    if [ "$mode" = --run ]; then
        # Someone trying the program finds its pages in ~/PDF, from the machine's default.
        if ! lpstat -p PDF >/dev/null 2>&1; then
            step "adding the PDF printer" lpadmin -p PDF -v cups-pdf:/ -E \
                -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
        fi
        step "making PDF the default printer" lpadmin -d PDF
        KAVREL_PRINTER=PDF
        KAVREL_PDF_DIR="$(getent passwd "$(id -un)" | cut -d: -f6)/PDF"
    else
        # The session's own printer and folder, so that sessions running at once never see
        # each other's pages. cups-pdf writes the PDF where it will stay and then calls the
        # post-processing command: that moves the finished file into the folder the tests
        # watch, so a PDF there is always whole.
        KAVREL_PRINTER=kavrel-$$
        KAVREL_PDF_DIR=$session/pdf
        mkdir -p "$session/pdf-writing" "$KAVREL_PDF_DIR"
        cat >"$session/pdf-done" <<EOF
#!/bin/sh
exec mv -f -- "\$1" $(printf %q "$KAVREL_PDF_DIR")/
EOF
        chmod 755 "$session/pdf-done"
        { grep -vE '^[[:space:]]*(Out|PostProcessing|Log)[[:space:]]' /etc/cups/cups-pdf.conf || true
          echo "Out $session/pdf-writing"
          echo "PostProcessing $session/pdf-done"
          echo "Log $session/printer-log"
        } >"$session/printer.conf"
        add_session_printer() {
            step "writing the settings of $2" "${as_root[@]}" \
                cp "$session/printer.conf" "/etc/cups/cups-pdf-$1.conf"
            own_printers+=("$1")
            step "adding $2" lpadmin -p "$1" -v "cups-pdf:/$1" -E \
                -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -L "$session"
        }
        add_session_printer "$KAVREL_PRINTER" "the session's printer"
        # A second one whose name (40 characters) is longer than a device mode keeps
        # (KAVREL_LONG_PRINTER), its pages landing beside the first one's. Wine lists the CUPS
        # printers once, when the session's first program starts: a test cannot add it later.
        KAVREL_LONG_PRINTER=$KAVREL_PRINTER-printer-of-a-long-name-xxxxxxxxxxxx
        KAVREL_LONG_PRINTER=${KAVREL_LONG_PRINTER:0:40}
        add_session_printer "$KAVREL_LONG_PRINTER" "the long-named printer"
        export KAVREL_LONG_PRINTER
        # Wine takes the default printer from CUPS, which takes a user's own from LPDEST.
        export LPDEST=$KAVREL_PRINTER
        unset PRINTER
    fi
    flock -u 4
    exec 4>&-
    export KAVREL_PRINTER KAVREL_PDF_DIR
    mkdir -p "$KAVREL_PDF_DIR"
}

# Wine's own set-up of a prefix (wineboot -i) takes most of a session's start, so it is done
# once per machine and Wine version, into a template each session copies. The template is
# renamed into place only when whole, so a half-made one is never used; one made by an
# older script or another Wine has another name.
template_root=${KAVREL_WINE_TEMPLATES:-${XDG_CACHE_HOME:-$HOME/.cache}/kavrel/wine-templates}

make_template() {
    local prefix=$1
    WINEPREFIX=$prefix step "making the Wine prefix" wineboot -i
    WINEPREFIX=$prefix wineserver -w
    [ -f "$prefix/system.reg" ] ||
        { echo "wine-session: wineboot -i made no prefix in $prefix" >&2; exit 1; }
    # Wine draws the caption buttons (minimise, maximise, close) as Marlett glyphs. Wine 8 as
    # Debian builds it looks for its own fonts in a folder that does not exist ("<data
    # dir>\../fonts"), so without this copy they come out as letters ("0", "1", "r").
    local fonts="$prefix/drive_c/windows/Fonts" dir
    for dir in /usr/share/wine/fonts /usr/local/share/wine/fonts; do
        [ -f "$dir/marlett.ttf" ] || continue
        mkdir -p "$fonts"
        cp "$dir/marlett.ttf" "$fonts/"
        break
    done
}

# Copies the template to $1, making the template first when there is none.
copy_template() {
    local key template
    # Wine updates a prefix (rewriting its modules in place) when its wine.inf is newer than
    # the prefix: that file's time is part of the template's name too.
    key=$( { wine --version; cat "$session/bin/wineboot"; echo "${WINEARCH:-} $WINEDLLOVERRIDES"
             stat -c '%n %Y' /usr/share/wine/wine.inf /usr/local/share/wine/wine.inf \
                 "$(dirname "$(readlink -f "$(command -v wine)")")/../share/wine/wine.inf" \
                 2>/dev/null || true
             declare -f make_template; } |
           sha256sum | cut -c1-16)
    template=$template_root/$key
    if [ ! -d "$template" ]; then
        mkdir -p "$template_root"
        exec 5>"$template.lock"
        flock 5
        if [ ! -d "$template" ]; then
            # What a killed maker left: only the holder of the lock makes one.
            rm -rf "$template".making.*
            # Templates no session has used for two weeks (older scripts, another Wine) go.
            local old
            while IFS= read -r -d '' old; do
                [ "$old" = "$template.lock" ] || rm -rf "${old%.lock}" "${old%.lock}".making.* "$old"
            done < <(find "$template_root" -maxdepth 1 -name '*.lock' -mtime +14 -print0)
            # (The lock stays this shell's: Wine's server, which outlives wineboot, must not
            # hold it.)
            make_template "$template.making.$$" 5>&-
            mv -T "$template.making.$$" "$template"
        fi
        flock -u 5
        exec 5>&-
    fi
    touch "$template.lock"
    # The prefix is mostly Wine's own modules (over a gigabyte), which nothing in a session
    # writes to: those are hard links to the template's. Everything else (the registry, .ini
    # files, the rest of drive_c) is the session's own copy.
    cp -a --link "$template" "$1"
    (cd "$template" && find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' \
        -o -iname '*.sys' -o -iname '*.vxd' -o -iname '*.ocx' -o -iname '*.cpl' \
        -o -iname '*.acm' -o -iname '*.tlb' -o -iname '*.ds' -o -iname '*.ax' \
        -o -iname '*.com' -o -iname '*.nls' \) -print0 |
        xargs -0 cp -a --parents --remove-destination -t "$1")
}

# The session's settings, as the lines of a .reg file under HKEY_CURRENT_USER:
# - the system GetVersionEx reports to every program of the prefix ("-": Wine's own);
# - every window of the session goes into one virtual desktop; the one named "shell" has a
#   task bar with a notification area;
# - the display's DPI, when KAVREL_DPI asks for one;
# - a program that crashes ends with its backtrace on stderr, instead of waiting for
#   someone to close the debugger's crash dialog.
session_settings() {
    local version='"Version"=-'
    [ "$windows_version" = default ] || version="\"Version\"=\"$windows_version\""
    printf '%s\n' '[Software\Wine]' "$version" '' \
        '[Software\Wine\Explorer]' '"Desktop"="shell"' '' \
        '[Software\Wine\Explorer\Desktops]' "\"shell\"=\"$screen\"" '' \
        '[Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' ''
    if [ -n "$dpi" ]; then
        printf '%s\n' '[Control Panel\Desktop]' "\"LogPixels\"=dword:$(printf %08x "$dpi")" ''
    fi
}

# Writes them into a fresh copy of the template, whose Wine server is not running: Wine reads
# user.reg when it starts, and a key written twice takes the later values. (A fresh copy has
# no version set, so nothing is deleted.)
session_registry() {
    { echo; session_settings | sed -e '/=-$/d' -e 's/\\/\\\\/g' -e "s/^\[.*\]$/& $(date +%s)/"; } \
        >>"$1/user.reg"
}

# Wine turns a Japanese file name into the Linux one through the Linux locale: without a
# ja_JP.UTF-8 there, creating a file or folder of such a name fails (errors 3 and 2). The
# sessions make their own from the sources of the package `locales` (no change to the
# system's locales), once per machine and C library, like the prefix template; its folder is
# renamed into place only when whole.
locale_root=${KAVREL_LOCALES:-${XDG_CACHE_HOME:-$HOME/.cache}/kavrel/locales}

private_locale() {
    local key dir
    key=$( { ldd --version 2>&1 | head -1
             stat -c '%n %Y %s' /usr/share/i18n/locales/ja_JP /usr/share/i18n/charmaps/UTF-8.gz \
                 2>/dev/null || true; } | sha256sum | cut -c1-16)
    dir=$locale_root/$key
    if [ ! -d "$dir/ja_JP.UTF-8" ]; then
        [ -f /usr/share/i18n/locales/ja_JP ] ||
            { echo "wine-session: no locale sources in /usr/share/i18n (scripts/install-deps.sh installs the package locales)" >&2; exit 1; }
        mkdir -p "$locale_root"
        rm -rf "$dir.making.$$"
        mkdir -p "$dir.making.$$"
        # localedef ends with status 1 for warnings alone, the locale written: what counts is
        # whether it was.
        localedef -i ja_JP -f UTF-8 "$dir.making.$$/ja_JP.UTF-8" >"$session/step.log" 2>&1 || true
        if [ ! -f "$dir.making.$$/ja_JP.UTF-8/LC_CTYPE" ]; then
            echo "wine-session: making the ja_JP.UTF-8 locale failed (localedef -i ja_JP -f UTF-8):" >&2
            sed 's/^/    /' "$session/step.log" >&2
            rm -rf "$dir.making.$$"
            exit 1
        fi
        # Another session may have made it meanwhile: the first one stays.
        mv -T "$dir.making.$$" "$dir" 2>/dev/null || rm -rf "$dir.making.$$"
    fi
    LC_ALL=ja_JP.UTF-8 LOCPATH=$dir locale charmap 2>/dev/null | grep -qx UTF-8 ||
        { echo "wine-session: the locale in $dir is not usable" >&2; exit 1; }
    printf '%s' "$dir"
}

prepare_prefix() {
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # Code page 932 comes from LC_ALL=ja_JP.UTF-8 in Wine's environment, with the session's
    # own locale (LOCPATH). Given to Wine alone, through a wine/wineboot on the PATH, so that
    # the scripts around it keep the locale they were started with.
    local locale_dir
    locale_dir=$(private_locale)
    mkdir -p "$session/bin"
    for tool in wine wineboot; do
        [ -x "$session/bin/$tool" ] && continue
        printf '#!/bin/sh\nLOCPATH=%s LC_ALL=ja_JP.UTF-8 exec %s "$@"\n' "$(printf %q "$locale_dir")" \
            "$(command -v "$tool")" >"$session/bin/$tool"
        chmod +x "$session/bin/$tool"
    done
    case ":$PATH:" in *":$session/bin:"*) ;; *) export PATH="$session/bin:$PATH" ;; esac
    if [ "$mode" != --run ]; then
        copy_template "$WINEPREFIX"
        session_registry "$WINEPREFIX"
        return
    fi
    # The kept prefix of --run may have a Wine server running and an older version set: its
    # settings go in through Wine (one import).
    [ -f "$WINEPREFIX/system.reg" ] || { rm -rf "$WINEPREFIX"; copy_template "$WINEPREFIX"; }
    { printf 'REGEDIT4\n\n'; session_settings | sed 's/^\[/[HKEY_CURRENT_USER\\/'; } |
        sed 's/$/\r/' >"$session/session.reg"
    local reg=$session/session.reg
    step "setting up the Wine prefix's registry" wine regedit /S "Z:${reg//\//\\}"
    wineserver -w
}

start_cups
case "$mode" in
--test|--shell)
    [ $# -gt 0 ] || { echo "nothing to run" >&2; exit 2; }
    export WINEPREFIX="$session/prefix"
    start_xvfb
    prepare_prefix
    if [ "$mode" = --shell ]; then
        set +e
        "$@"
        exit $?
    fi
    # A test program that ran no test has proved nothing: that fails too.
    set +e
    wine "$@" 2>&1 | tee "$session/test.log"
    rc=${PIPESTATUS[0]}
    set -e
    if [ "$rc" -eq 0 ] && ! grep -aqE '^\[  PASSED  \] [1-9]' "$session/test.log"; then
        echo "wine-session: $1 ran no test" >&2
        rc=1
    fi
    exit "$rc"
    ;;
--run)
    dir=${1:?a working folder}
    exe=${2:?an EXE to run}
    # It runs from the working folder: a relative path would no longer name it.
    exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
    export WINEPREFIX=${KAVREL_WINEPREFIX:-$(dirname "$exe")/wineprefix}
    if [ -z "${DISPLAY:-}" ]; then
        start_xvfb
        echo "No display was set: KAVREL.EXE gets the virtual X display $DISPLAY."
        echo "  Look at it:    DISPLAY=$DISPLAY import -window root shot.png"
        echo "  Or attach:     x11vnc -display $DISPLAY  (Debian package x11vnc; then a VNC viewer on port 5900)"
    fi
    prepare_prefix
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    if [ ! -f "$dir/KAVREL.INI" ]; then
        # A first look: copies go to numbered BMP files in the working folder.
        python3 "$here/../tools/demo_settings.py" "$dir/KAVREL.INI" "Z:${dir//\//\\}\\COPY.BMP"
    fi
    echo "Working folder (KAVREL.INI is kept here): $dir"
    cd "$dir"
    wine "$exe" > >(tee "$session/program.log") 2>&1 &
    program=$!
    "$here/first-copy.sh" "$dir" "$(dirname "$exe")/KVREQ.EXE" $program "$session/program.log" ||
        { rc=$?; [ $rc -eq 3 ] || exit $rc; }
    echo "Stop it with Ctrl+C, or close its window."
    wait $program
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
