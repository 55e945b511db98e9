#!/usr/bin/env bash
# Gives the test prefix's drives their types, then runs the drive listing
# test once per arrangement. Wine reads the types when its services start,
# so the prefix's server is ended after each change.
set -euo pipefail
program=$BRINDLE_C_DIR/ui_drives_wine_tests.exe
cd "$BRINDLE_C_DIR"

set_types() {
    for pair in "$@"; do
        "$BRINDLE_WINE" reg add 'HKLM\Software\Wine\Drives' /v "${pair%%=*}" /d "${pair#*=}" /f \
            >/dev/null 2>&1
    done
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

set_types a:=floppy e:=cdrom n:=network r:=ramdisk
"$BRINDLE_WINE" "$program" --gtest_filter='DriveListing.FixedDrivesFirst*'

set_types c:=cdrom d:=floppy
"$BRINDLE_WINE" "$program" --gtest_filter='DriveListing.NoFixedDrive*'
