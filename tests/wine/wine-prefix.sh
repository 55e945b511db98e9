# The Wine prefix set-up that the test runner (tests/wine/run-wine.sh) and
# the demonstration (scripts/run.sh) share. Sourced, not run:
#
#   . tests/wine/wine-prefix.sh
#   brindle_wine_env                 # 32-bit Wine; sets $brindle_wine
#   brindle_make_prefix DIR LOG      # a new prefix in DIR (log of Wine's output)
#   brindle_only_drive_c DIR         # removes every drive of DIR but C:
#
# $brindle_prefix_recipe names this recipe and the Wine version: a prefix
# made by another one should be made anew.

# Debian's 32-bit loader, for 32-bit prefixes; /usr/bin/wine would fall back
# to wine64 silently. Mono and Gecko are not installed, so that nothing asks
# anything. Fails when 32-bit Wine is missing.
brindle_wine_env() {
    brindle_wine=/usr/lib/wine/wine
    [ -x "$brindle_wine" ] || {
        echo "32-bit Wine is not installed (bash scripts/setup.sh installs wine32:i386)" >&2
        return 1
    }
    export WINELOADER=$brindle_wine WINEARCH=win32
    export WINEDLLOVERRIDES="mscoree,mshtml="
    brindle_prefix_recipe="$("$brindle_wine" --version 2>/dev/null || echo unknown) recipe 4 win32"
}

# A new 32-bit prefix in DIR: Windows XP (version 5.1, which the program
# accepts), every window in one 1024x768 virtual desktop (frames are drawn
# without a window manager, and a closing window does not wait for one), and
# the Marlett font, which Debian's Wine does not find in its own fonts
# package (without it the caption buttons are drawn as letters). Drives are
# left as Wine makes them: see brindle_only_drive_c.
brindle_make_prefix() {
    local dir=$1 log=$2
    (
        unset DISPLAY
        export WINEPREFIX=$dir
        wineboot -i >"$log" 2>&1 &&
        "$brindle_wine" winecfg /v winxp >>"$log" 2>&1 &&
        "$brindle_wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
            >>"$log" 2>&1 &&
        "$brindle_wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
            >>"$log" 2>&1 &&
        wineserver -w
    ) || return 1
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$dir/drive_c/windows/Fonts/"
    fi
}

# Only C: is left: Wine maps Z: to /, and a scan of a ticked Z: would walk
# the whole machine.
brindle_only_drive_c() {
    local dir=$1
    find "$dir/dosdevices" -maxdepth 1 -name '?:' -type l ! -name 'c:' -delete
    find "$dir/dosdevices" -maxdepth 1 -name '?::' -delete
}
