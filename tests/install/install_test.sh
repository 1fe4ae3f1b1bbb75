#!/usr/bin/env bash
# The programs as a user gets them: `cmake --install` lays out the files, `cpack -G DEB` packs
# them with computed Depends, the package is installed into a fresh root, and the installed
# programs run as an unprivileged user (the window driven under Xvfb: options saved in one
# session are there in the next). $1 is the build folder. MX_INSTALL_SCREENSHOT, when set, names
# a PNG file for the options dialog of the second session.
# Ends with "N passed, N failed" and exits non-zero when a check failed.
set -uo pipefail
build=$(realpath "$1")
id=io.github.moxelby.frame_extractor
work=$(mktemp -d)
xvfb=
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../common/checks.sh"
skip() { echo "SKIPPED: $*"; }

# --- cmake --install: the Filesystem Hierarchy Standard layout --------------------------------
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
check "programs in bin/, nothing else there" \
    test "$(cd "$prefix/bin" && ls)" = "$(printf 'mx_cons\nmxextractor')"
check "language files in the data folder" \
    test -f "$prefix/share/$id/lang/german.lng" -a -f "$prefix/share/$id/lang/russian.lng"
check "the help file in the data folder" test -f "$prefix/share/$id/mxextractor_help.chm"
check "desktop entry named by the id" test -f "$prefix/share/applications/$id.desktop"
check "metainfo named by the id" test -f "$prefix/share/metainfo/$id.metainfo.xml"
check "scalable icon" test -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 24 32 48 64 128 256; do
    check "icon of ${size} pixels" bash -c \
        "file '$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png' | grep -q 'PNG image data, $size x $size'"
done
for page in mx_cons mxextractor; do
    check "man page $page.1" bash -c "zcat '$prefix/share/man/man1/$page.1.gz' | grep -q '^\\.TH'"
    if command -v man >/dev/null; then
        check "man page $page.1 formats without warnings" bash -c \
            "test -z \"\$(LANG=C man --warnings -E UTF-8 -l '$prefix/share/man/man1/$page.1.gz' 2>&1 >/dev/null)\""
    fi
done
check "the bash completion" test -f "$prefix/share/bash-completion/completions/mx_cons"
check "the zsh completion" test -f "$prefix/share/zsh/vendor-completions/_mx_cons"
desktop="$prefix/share/applications/$id.desktop"
check "the desktop entry passes desktop-file-validate" \
    bash -c "out=\$(desktop-file-validate '$desktop' 2>&1) && test -z \"\$out\" || { echo \"\$out\"; false; }"
check "the desktop entry claims no file types and passes no file names" \
    bash -c "! grep -q '^MimeType=' '$desktop' && grep -qx 'Exec=mxextractor' '$desktop'"
check "the desktop entry's icon is ours" grep -qx "Icon=$id" "$desktop"
check "the metainfo passes appstreamcli validate --pedantic" bash -c \
    "appstreamcli validate --pedantic --no-net '$prefix/share/metainfo/$id.metainfo.xml' >'$work/as.log' 2>&1 || { cat '$work/as.log'; false; }"

# --- the Debian package --------------------------------------------------------------------
if ! (cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    failed=$((failed + 1))
    echo "FAILED: cpack -G DEB" >&2
fi
deb=$(ls "$work"/package/*.deb 2>/dev/null | head -n 1)
check "cpack made a package" test -n "$deb"
depends=$(dpkg-deb -f "$deb" Depends 2>/dev/null)
for library in libqt6core6 libqt6gui6 libqt6widgets6 libavformat59 libavcodec59 libswscale6 \
    libjpeg62-turbo libwebp7 libicu72 libmspack0 qt6-qpa-plugins; do
    check "Depends names $library" bash -c "grep -q '\\b$library\\b' <<<'$depends'"
done
if command -v lintian >/dev/null; then
    lintian --info "$deb" 2>&1 | grep -v 'root privileges' >"$work/lintian.log"
    check "lintian finds no error or warning in the package" bash -c "! grep -q '^[EW]:' '$work/lintian.log'"
    check "both programs are built hardened (bound at start, fortified)" bash -c \
        "! grep -q 'hardening-' '$work/lintian.log'"
fi
dpkg-deb -c "$deb" >"$work/contents" 2>&1
check "the package holds the installed layout under /usr" bash -c \
    "grep -q ' ./usr/bin/mx_cons$' '$work/contents' && grep -q ' ./usr/share/$id/lang/german.lng$' '$work/contents'"
if command -v apt-get >/dev/null; then
    check "its Depends can be met on this system" bash -c "apt-get -s install '$deb' >/dev/null 2>&1"
fi

# Installed with apt into a Debian root made for it, which holds none of the build's libraries:
# a library the programs need but the package does not depend on is missing there. Needs root,
# mmdebstrap and the Debian archive; the root takes the host's package sources.
if [ "$(id -u)" = 0 ] && command -v mmdebstrap >/dev/null; then
    clean="$work/clean"
    sources=$(ls /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null | head -n 1)
    if mmdebstrap --quiet --variant=apt --customize-hook="upload '$deb' /tmp/package.deb" \
        --customize-hook='chroot "$1" apt-get install --yes --quiet=2 /tmp/package.deb' \
        "$(. /etc/os-release && echo "$VERSION_CODENAME")" "$clean" ${sources:+"$sources"} \
        >"$work/mmdebstrap.log" 2>&1; then
        check "apt installs the package on a bare root" \
            chroot "$clean" dpkg-query -W -f='${Status}' moxelby-frame-extractor
        check "no library the programs link is missing there" bash -c \
            "chroot '$clean' ldd /usr/bin/mx_cons /usr/bin/mxextractor >'$work/ldd.log' && ! grep 'not found' '$work/ldd.log'"
        check "the help's CHM library is there" bash -c "chroot '$clean' ldconfig -p | grep -q 'libmspack\.so\.0 '"
        ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4" \
            -c:v libx264 -pix_fmt yuv420p "$clean/tmp/clip.mp4"
        # /proc in a mount namespace of its own, gone when the command ends.
        unshare --mount sh -c 'mount -t proc proc "$1/proc" && exec chroot "$1" env -i \
            PATH=/usr/bin:/bin HOME=/tmp mx_cons /tmp/clip.mp4 2 jpg -o /tmp' sh "$clean" \
            >"$work/clean.out" 2>&1
        check "the console tool extracts frames there" test -s "$clean/tmp/clip_00002.jpg"
    else
        check "mmdebstrap makes a bare root with the package (see its log below)" false
        tail -n 20 "$work/mmdebstrap.log"
    fi
else
    skip "apt on a bare root: needs root and mmdebstrap"
fi

# Installed with dpkg into a fresh root of its own (its dependencies are the host's).
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
if [ "$(id -u)" = 0 ] && dpkg --root="$root" --force-depends --log=/dev/null -i "$deb" >"$work/dpkg.log" 2>&1; then
    check "dpkg records the package as installed" bash -c \
        "dpkg --root='$root' -s moxelby-frame-extractor | grep -qx 'Status: install ok installed'"
else
    skip "dpkg --root (not root): unpacking with dpkg -x"
    dpkg -x "$deb" "$root"
fi

# --- the installed programs as an unprivileged user -----------------------------------------
chmod 755 "$work"
home="$work/home"
mkdir -p "$home" "$work/frames"
as_user=()
if [ "$(id -u)" = 0 ]; then
    chown nobody:nogroup "$home" "$work/frames"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    skip "not root: the programs run as $(id -un)"
fi
user_env=(env -i "HOME=$home" PATH=/usr/bin:/bin LANG=C.UTF-8)
cons="$root/usr/bin/mx_cons"
check "the installed mx_cons runs as the user" \
    test "$("${user_env[@]}" "${as_user[@]}" "$cons" --version)" = "mx_cons 1.0"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4" \
    -c:v libx264 -pix_fmt yuv420p "$work/clip.mp4"
"${user_env[@]}" "${as_user[@]}" "$cons" "$work/clip.mp4" 3 jpg -o "$work/frames" \
    >"$work/cons.out" 2>"$work/cons.err"
check "it extracts frames as the user" test "$(cd "$work/frames" && ls)" = \
    "$(printf 'clip_%05d.jpg\n' 1 2 3)"
check "the frames belong to the user" test "$(stat -c %U "$work/frames/clip_00001.jpg")" = \
    "$(if [ "$(id -u)" = 0 ]; then echo nobody; else id -un; fi)"
"${user_env[@]}" "${as_user[@]}" "$cons" "$work/missing.mp4" 3 jpg -o "$work/frames" \
    >/dev/null 2>"$work/cons.err"
rc=$?
check "a missing file exits 1" test "$rc" = 1
check "and is named on standard error" grep -qx "No frames from $work/missing.mp4" "$work/cons.err"

# The window, driven under Xvfb with xdotool. At 106 dots per inch the window's design sizes
# are its pixel sizes, so the controls sit where the window's layout puts them.
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    skip "the window: Xvfb or xdotool missing"
else
    display=:$((200 + RANDOM % 300))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
    export DISPLAY=$display
    gui_env=("${user_env[@]}" "DISPLAY=$display" QT_FONT_DPI=106 QT_QPA_PLATFORM=xcb)
    window_of() {  # window_of <title regex>: waits up to 10 s for a window with that title
        local w
        for _ in $(seq 50); do
            w=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
            [ -n "$w" ] && { echo "$w"; return 0; }
            sleep 0.2
        done
        return 1
    }
    click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }
    start_window() {
        "${gui_env[@]}" "${as_user[@]}" "$root/usr/bin/mxextractor" >>"$work/gui.log" 2>&1 &
        app=$!
        main=$(window_of '^Moxelby Extractor$') || return 1
        sleep 0.5
    }
    exit_window() {  # presses Exit and waits for the program to end
        click "$main" 692 487
        for _ in $(seq 50); do
            kill -0 "$app" 2>/dev/null || { wait "$app"; app=; return 0; }
            sleep 0.2
        done
        return 1
    }
    ini="$home/.config/$id/mxex2.ini"
    # First session: Setting, choose Frame-File and Auto Width, 7 frames, Save, Exit.
    if start_window; then
        click "$main" 380 487
        if options=$(window_of '^Options$'); then
            click "$options" 23 127
            click "$options" 23 231
            xdotool mousemove --window "$options" 109 146 click --repeat 2 1
            xdotool key --window "$options" ctrl+a
            xdotool type --window "$options" 7
            click "$options" 44 380
        fi
        check "the first session ends with Exit" exit_window
    fi
    check "the settings are in the user's configuration folder" test -f "$ini"
    check "its folder is the user's alone" test "$(stat -c %a "$home/.config/$id")" = 700
    check "nothing is written beside the installed program" test ! -e "$root/usr/bin/mxex2.ini"
    check "no error box was shown" bash -c "! xdotool search --name '^Moxelby Frame Extractor$' >/dev/null 2>&1"
    check "the saved options hold the edit" bash -c \
        "grep -q \$'^FrameNumberEdit=7\\r\$' '$ini' && grep -q \$'^rbFrameFile=1\\r\$' '$ini'"
    check "closing wrote the language" grep -q $'^language=1033\r$' "$ini"
    # Second session: the dialog shows what was saved; Save again without an edit keeps it.
    if start_window; then
        click "$main" 380 487
        if options=$(window_of '^Options$'); then
            ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size 1024x768 -i "$display" \
                -frames:v 1 "${MX_INSTALL_SCREENSHOT:-$work/second_session.png}"
            click "$options" 44 380
        fi
        check "the second session ends with Exit" exit_window
    fi
    check "the options survived the restart" bash -c \
        "grep -q \$'^FrameNumberEdit=7\\r\$' '$ini' && grep -q \$'^rbAutoWidth=1\\r\$' '$ini'"
    # Third session: Help opens the installed help file at its first topic.
    if start_window; then
        click "$main" 612 487
        check "Help opens the installed help file" bash -c "$(declare -f window_of); window_of '^The main window - Moxelby Frame Extractor Help\$' >/dev/null"
        kill "$app" 2>/dev/null
        wait "$app" 2>/dev/null
        app=
    fi
    check "the window wrote no warnings" bash -c "! grep -v XDG_RUNTIME_DIR '$work/gui.log' | grep -q ."
fi

report_checks
