# Sourced by ./pylonix and scripts/wine-run: everything a Windows program
# needs to run here under Wine, without touching the machine's own home.
#
#   ensure_i386_exec    32-bit x86 code must run (see below)
#   wine_setup ARCH DIR prepares the project's prefix DIR (template copy)
#   ensure_display      an X display for windows and message boxes
#   wine_unmanaged EXE  that program's windows need no window manager
#
# Environment: PYLONIX_CACHE (default /var/cache/pylonix).

PYLONIX_CACHE="${PYLONIX_CACHE:-/var/cache/pylonix}"

# The face that stands in for "宋体". Wine obeys a font's own table of
# smoothing by size: the outline face "WenQuanYi Zen Hei" asks for no grey
# from 9 to 16 pixels, so Wine draws it in black and white from hinted
# outlines, whatever the program or the registry ask for, and at 12 pixels
# that drops strokes ("口" loses its inside, "目" reads as "月"). The
# "Sharp" face of the same package carries hand-made bitmaps for 12 to 16
# pixels, which Wine uses for those sizes as Windows uses SimSun's: every
# stroke there, no grey; larger and bold text comes from the same outlines
# as before. tools/make-font-comparison.sh shows both.
PYLONIX_SONG_FACE="WenQuanYi Zen Hei Sharp"
_wlog() { echo "pylonix wine: $*" >&2; }

# Wine runs 32-bit Windows programs through its 32-bit loader. Some kernels
# run no 32-bit code at all (the i386 loader fails with "Exec format
# error"); there the loader runs under QEMU's user-mode emulator, registered
# through binfmt_misc. Debian 12's own QEMU spends about a minute on Wine's
# address-space reservation at every process start; the backported release
# does it at once, so that one is fetched (a static binary) into the cache.
ensure_i386_exec() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
    local qemu="$PYLONIX_CACHE/qemu/qemu-i386"
    if [ ! -x "$qemu" ]; then
        _wlog "this kernel runs no 32-bit code: fetching the user-mode emulator"
        local apt="$PYLONIX_CACHE/apt-backports" tmp
        mkdir -p "$apt/lists/partial" "$apt/sources.list.d" "$apt/cache/archives/partial" "$PYLONIX_CACHE/qemu"
        # The machine's own Debian source stanza, pointed at its backports suite.
        local codename
        codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
        rm -f "$apt/sources.list.d/"*
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            awk -v c="$codename" 'BEGIN{RS="";ORS="\n\n"} $0 ~ ("Suites: " c "( |\n|$)")' "$f" |
                sed "s/^Suites: .*/Suites: $codename-backports/" > "$apt/sources.list.d/$(basename "$f")"
        done
        : > "$apt/sources.list"
        if [ -f /etc/apt/sources.list ]; then
            awk -v c="$codename" '$1=="deb" && $3==c {$3=c "-backports"; print}' /etc/apt/sources.list > "$apt/sources.list"
        fi
        local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
                    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
        apt-get "${opts[@]}" update -q >&2
        tmp="$(mktemp -d)"
        (cd "$tmp" && apt-get "${opts[@]}" download -q "qemu-user/$codename-backports" >&2)
        dpkg-deb -x "$tmp"/qemu-user_*.deb "$tmp/x"
        cp "$tmp/x/usr/bin/qemu-i386" "$qemu.new" && mv "$qemu.new" "$qemu"
        rm -rf "$tmp"
    fi
    local reg=/proc/sys/fs/binfmt_misc
    [ -e "$reg/register" ] || mount -t binfmt_misc binfmt_misc "$reg"
    if [ -e "$reg/qemu-i386" ] && ! grep -qx "interpreter $qemu" "$reg/qemu-i386"; then
        echo -1 > "$reg/qemu-i386"
    fi
    if [ ! -e "$reg/qemu-i386" ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' > "$reg/register"
    fi
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { _wlog "32-bit programs still cannot run"; return 1; }
}

# Common Wine environment: quiet, no Mono/Gecko prompts, no menu builder, and
# a home folder of its own so that the prefix's Desktop and Documents never
# lead into the machine's home.
wine_base_env() {
    export WINEDEBUG="${PYLONIX_WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINEARCH="$1"
    # Chinese Windows (code page 936) unless asked otherwise.
    export LANG="${PYLONIX_LANG:-zh_CN.UTF-8}" LC_ALL=""
    export HOME="$2/home"
    export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
    mkdir -p "$HOME"
}

# The browser keys every Windows user profile carries and a fresh Wine
# prefix lacks: the per-user security zones and the browser's own keys. The
# program only adjusts these; it never creates them.
_workstation_profile() {
    local zone key view
    for zone in 0 1 2 3 4; do
        wine reg add "HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Zones\$zone" /f >/dev/null 2>&1
    done
    for key in International 'New Windows' Styles Privacy BrowserEmulation; do
        wine reg add "HKCU\Software\Microsoft\Internet Explorer\$key" /f >/dev/null 2>&1
    done
    for view in 32 64; do
        wine reg add 'HKLM\SOFTWARE\Microsoft\Internet Explorer\Main' /reg:$view /f >/dev/null 2>&1
    done
}

# Creates (once, in the cache) the template prefix of an architecture.
_wine_template() {
    local arch="$1" ver
    ver="$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')"
    # Bump the profile number when the template's set-up changes
    # (_workstation_profile, the font replacement).
    local tpl="$PYLONIX_CACHE/wine/$ver-$arch-profile4"
    # Tests running side by side (and other work trees) may all find it
    # missing: one makes it, the others wait for it. Always run in a
    # subshell (`$(_wine_template ...)`), which lets go of the lock.
    mkdir -p "$PYLONIX_CACHE/wine"
    exec 8> "$tpl.lock"
    flock 8
    if [ ! -f "$tpl/.ready" ]; then
        _wlog "creating the $arch template prefix (first time only)"
        rm -rf "$tpl"; mkdir -p "$tpl"
        (
            wine_base_env "$arch" "$tpl"
            export WINEPREFIX="$tpl/prefix"
            wineboot -i >/dev/null 2>&1
            # Chinese texts need a face for "宋体": the program's face for its
            # 12-pixel texts (see PYLONIX_SONG_FACE).
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v '宋体' /t REG_SZ /d "$PYLONIX_SONG_FACE" /f >/dev/null 2>&1
            wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f >/dev/null 2>&1
            _workstation_profile
            # A program that crashes under test ends instead of waiting behind a dialog.
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
            wineserver -w
            # Real folders instead of links into the (private) home.
            for d in "$WINEPREFIX"/drive_c/users/*/; do
                for link in Desktop Documents Downloads Music Pictures Videos Templates; do
                    if [ -L "$d$link" ]; then rm -f "$d$link"; mkdir -p "$d$link"; fi
                done
            done
        ) || return 1
        touch "$tpl/.ready"
    fi
    echo "$tpl/prefix"
}

# Makes DIR a fresh copy of the template (hard links for the large, never
# rewritten files; real copies of the registry).
wine_fresh_prefix() {
    local arch="$1" dir="$2" tpl
    tpl="$(_wine_template "$arch")" || return 1
    stop_display "$dir"
    rm -rf "$dir"; mkdir -p "$(dirname "$dir")"
    cp -al "$tpl" "$dir"
    for reg in system.reg user.reg userdef.reg; do
        rm -f "$dir/$reg"; cp "$tpl/$reg" "$dir/$reg"
    done
    echo "$tpl" > "$dir/.template"
}

# Prepares the prefix DIR for ARCH (created on first use, and again when the
# template it was copied from is no longer the current one) and exports the
# Wine environment for it.
wine_setup() {
    local arch="$1" dir="$2" tpl
    ensure_i386_exec || return 1
    tpl="$(_wine_template "$arch")" || return 1
    if [ ! -f "$dir/system.reg" ] || [ "$(cat "$dir/.template" 2>/dev/null)" != "$tpl" ]; then
        wine_fresh_prefix "$arch" "$dir" || return 1
    fi
    wine_base_env "$arch" "$dir"
    export WINEPREFIX="$dir"
}

# Leaves the windows of PROGRAM (a file name, "ui_tests.exe") to Wine
# instead of a window manager, in the current prefix. The Xvfb displays the
# tests run on have no window manager, and Wine waits up to two seconds for one to take away each
# managed top-level window it hides (a dialog at the end of its modal loop, a
# message box, a window the test closes); the unit tests hide hundreds. Wine
# reads the switch when the program's display driver loads, so it is set
# before the program starts, once per prefix (user.reg shows it when the
# server has written it out; adding it twice does no harm).
wine_unmanaged() {
    local key="Software\\\\Wine\\\\AppDefaults\\\\$1\\\\X11 Driver"
    grep -qiF "[$key]" "$WINEPREFIX/user.reg" 2>/dev/null && return 0
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$1\\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}

# True while display :N belongs to a live X server. A lock left by a server
# that is gone (killed, crashed) is cleared so the number can be used again.
_x_display_in_use() {
    local n="$1" lock="/tmp/.X$1-lock" pid
    if [ -e "$lock" ]; then
        pid="$(tr -dc '0-9' < "$lock" 2>/dev/null)"
        [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && return 0
        rm -f "$lock" "/tmp/.X11-unix/X$n"
        return 1
    fi
    [ -e "/tmp/.X11-unix/X$n" ]
}

# Stops the Xvfb kept for the prefix folder DIR, if any.
stop_display() {
    local state="$1/display" num pid
    [ -f "$state" ] || return 0
    read -r num pid < "$state"
    kill "$pid" 2>/dev/null || true
    rm -f "$state"
}

# An X display: the caller's, or one Xvfb kept per prefix folder.
ensure_display() {
    local state="$1/display"
    [ -n "${DISPLAY:-}" ] && return 0
    if [ -f "$state" ]; then
        local num pid
        read -r num pid < "$state"
        if kill -0 "$pid" 2>/dev/null; then export DISPLAY=":$num"; return 0; fi
    fi
    local n
    for n in $(seq 90 140); do
        _x_display_in_use "$n" && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        local pid=$!
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        if kill -0 "$pid" 2>/dev/null; then
            echo "$n $pid" > "$state"
            export DISPLAY=":$n"
            # A running wineserver stays bound to the display it started with.
            [ -n "${WINEPREFIX:-}" ] && { wineserver -k 2>/dev/null || true; }
            return 0
        fi
    done
    _wlog "no X display could be started"
    return 1
}
