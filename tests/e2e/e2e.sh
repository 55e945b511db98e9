#!/usr/bin/env bash
# One end-to-end scenario of the real program, run by run-wine.sh --host in
# a Wine prefix of its own:
#
#   e2e.sh SCENARIO EXAMPLE_DRIVE EXPECTED_DIR
#
# The current folder is C:\brindle, which holds the two executables, the
# driver and the example DataFile.txt. WINEPREFIX, BRINDLE_WINE and
# BRINDLE_C_DIR come from run-wine.sh. Exits non-zero on any failure.
set -euo pipefail

scenario=$1
examples=$2
expected=$3

demo='C:\brindle\brindlemark-simulated-cpu-demo.exe'
product='C:\brindle\VQBRDM32.EXE'
log=$BRINDLE_C_DIR/Brindlog.html

fail() { echo "FAIL: $*"; exit 1; }

driver() {
    "$BRINDLE_WINE" 'C:\brindle\brindle_e2e_driver.exe' "$@"
}

drive_folder() {
    readlink -f "$WINEPREFIX/dosdevices/$1:"
}

# The shell's HTML opener becomes the tests' recorder, which notes what it
# was asked to open in opened.txt beside itself, so that handing the log to
# the shell can be seen (and opens no browser).
record_html_opener() {
    "$BRINDLE_WINE" reg add 'HKCR\.html' /ve /d htmlfile /f >/dev/null
    "$BRINDLE_WINE" reg add 'HKCR\htmlfile\shell\open\command' /ve \
        /d '"C:\brindle\brindle_record_open.exe" "%1"' /f >/dev/null
    wineserver -w
}

# The version the prefix reports, when the test set one: Wine's names and
# what GetVersionExA gives for them.
check_os_version() {
    local want
    case ${BRINDLE_WINVER:-} in
        '') return 0 ;;
        win95) want='1 4.0' ;;
        win98) want='1 4.10' ;;
        winme) want='1 4.90' ;;
        nt40) want='2 4.0' ;;
        win2k) want='2 5.0' ;;
        winxp) want='2 5.1' ;;
        winxp64) want='2 5.2' ;;
        vista) want='2 6.0' ;;
        *) fail "no known version for $BRINDLE_WINVER" ;;
    esac
    local seen
    seen=$(driver os-version | tr -d '\r')
    [ "$seen" = "$want" ] || fail "the prefix set to $BRINDLE_WINVER reports \"$seen\", not \"$want\""
    echo "the prefix reports $BRINDLE_WINVER (platform and version $seen)"
}
check_os_version

# Drive M: as a chain of folders with at most one catalogued library in
# each, so that the log's order does not depend on the order of a listing.
fill_chain_drive() {
    local m
    m=$(drive_folder m)
    mkdir -p "$m/Apps/Viewer/Old/Legacy"
    cp "$examples/Apps/Viewer/brdcodec.dll" "$m/"
    cp "$examples/Apps/Editor/BRDCODEC.DLL" "$examples/Shared/brdother.dll" "$m/Apps/"
    cp "$examples/Apps/Viewer/brdfont.dll" "$m/Apps/Viewer/"
    cp "$examples/Shared/brdplain.dll" "$m/Apps/Viewer/Old/"
    cp "$examples/Shared/brdlegacy.dll" "$m/Apps/Viewer/Old/Legacy/"
}

case $scenario in
scan)
    fill_chain_drive
    record_html_opener
    rm -f "$log" opened.txt

    driver scan "$demo" M:
    [ -f "$log" ] || fail "no log was written"
    # The log, its date masked, against the expected document.
    cp "$expected/scan-log.html" "$BRINDLE_C_DIR/expected-scan-log.html"
    driver log-matches 'C:\brindle\Brindlog.html' 'C:\brindle\expected-scan-log.html' ||
        fail "the log differs from expected/scan-log.html"
    # The completed scan hands the log to the shell.
    for _ in $(seq 50); do [ -s opened.txt ] && break; sleep 0.1; done
    [ -s opened.txt ] || fail "the log was not handed to the shell"
    opened=$(tr -d '\r' <opened.txt)
    [ "$opened" = 'C:\brindle\Brindlog.html' ] || fail "the shell was asked to open \"$opened\""
    echo "the shell was asked to open $opened"
    ;;
second_copy)
    driver second-copy "$demo"
    ;;
os_refused)
    # The prefix reports a version after the NT 5 line (Vista, 6.0).
    driver refused "$demo" 2
    [ ! -e "$log" ] || fail "a refused start-up wrote a log"
    ;;
processor_refused)
    # The product on this machine's own processor.
    driver refused "$product" 1
    ;;
stop_during_scan)
    # A scan of a few seconds, so that the close arrives while it runs.
    bash "$(dirname "$0")/make-large-drive.sh" "$(drive_folder n)" "$examples/Apps/Viewer/brdcodec.dll"
    for how in close exit; do
        rm -f "$log"
        driver stop-during-scan "$demo" N: "$how"
        [ -f "$log" ] || fail "$how: no log was written"
        # The worker wrote its footer before the program ended: it was
        # waited for, and it saw the stop request.
        grep -q 'Scan Incomplete - Stopped by user\.' "$log" ||
            fail "$how: the log has no stopped footer"
        tail -c 17 "$log" | grep -q '</HTML>' || fail "$how: the log does not end with its closing tags"
        ! grep -q 'Scanning Completed' "$log" || fail "$how: the scan ran to its end before the close"
        echo "$how: the log ends with the stopped footer"
    done
    ;;
relay)
    # Every call the program makes, seen in Wine's relay trace over one run
    # that scans M:, cancels a scan of the large drive L: and scans M: again.
    # L: comes before M: in the drive table, so the cancelled scan goes on to
    # M:'s entry and the "cancelled" box is shown too.
    fill_chain_drive
    bash "$(dirname "$0")/make-large-drive.sh" "$(drive_folder l)" "$examples/Apps/Viewer/brdcodec.dll"
    record_html_opener
    rm -f "$log" opened.txt
    # The traced functions: every DLL the program imports, with kernelbase
    # and ntdll, where some of kernel32's exports lead. Only calls made from
    # the demo's module are written (Wine's own default list of modules not
    # to trace from is removed, or it would take precedence), and nothing is
    # left out by name (the default leaves out the critical sections).
    debug_key='HKCU\Software\Wine\Debug'
    "$BRINDLE_WINE" reg add "$debug_key" /v RelayInclude /f \
        /d 'kernel32.*;kernelbase.*;ntdll.*;user32.*;gdi32.*;comctl32.*;shell32.*;version.*;msvcrt.*;advapi32.*' >/dev/null
    "$BRINDLE_WINE" reg add "$debug_key" /v RelayExclude /d 'none.none' /f >/dev/null
    "$BRINDLE_WINE" reg add "$debug_key" /v RelayFromInclude \
        /d brindlemark-simulated-cpu-demo.exe /f >/dev/null
    "$BRINDLE_WINE" reg delete "$debug_key" /v RelayFromExclude /f >/dev/null 2>&1 || true
    wineserver -w
    trace=$WINEPREFIX/relay-trace.txt
    # +pid names each line's process, +loaddll where the program was loaded.
    WINEDEBUG=+pid,+relay,+loaddll driver scan-cancel-scan "$demo" M: L: 2>"$trace" ||
        fail "the run under the relay trace failed (trace: $trace)"
    echo "relay trace: $(wc -l <"$trace") lines, $(wc -c <"$trace") bytes"
    # Three documents in the log: complete, stopped, complete.
    footers=$(grep -o 'Scanning Completed\|Scan Incomplete - Stopped by user\.' "$log" | tr '\n' '|')
    [ "$footers" = 'Scanning Completed|Scan Incomplete - Stopped by user.|Scanning Completed|' ] ||
        fail "the log's footers are \"$footers\""
    echo "the log holds a complete, a stopped and a complete scan"
    here=$(cd "$(dirname "$0")" && pwd)
    # The least the run must show: three workers; two complete walks of
    # M:'s five folders; the OS version read; two completion boxes and the
    # cancelled box; the log handed to the shell twice.
    /usr/bin/python3 "$here/check_relay.py" --trace "$trace" \
        --exe "$BRINDLE_C_DIR/brindlemark-simulated-cpu-demo.exe" \
        --system-dir "$WINEPREFIX/drive_c/windows/system32" \
        --table "$here/../product/win-targets.tsv" \
        --exceptions "$here/../product/import-exceptions.tsv" \
        --expect CreateThread=3 --expect FindFirstFileA=10 --expect GetVersionExA=1 \
        --expect MessageBoxA=3 --expect ShellExecuteA=2 ||
        fail "the relay trace check failed (trace: $trace)"
    ;;
*)
    fail "unknown scenario $scenario"
    ;;
esac
echo "e2e $scenario: passed"
