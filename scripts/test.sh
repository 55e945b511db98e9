#!/usr/bin/env bash
# Runs every test of Brindlemark, from a fresh Debian 12 machine on:
#
#   bash scripts/test.sh
#
# 1. scripts/setup.sh installs what is missing;
# 2. native: the portable core and its tests with g++;
# 3. native-san: the same with clang under AddressSanitizer and UBSan, and
#    the fuzz targets;
# 4. win32: the shipped 32-bit product, built from scratch; the build must
#    not print a single warning (compiler, resource compiler or linker), and
#    the checks of the built executables (imports, headers, the start-up
#    code's instructions, the release archive) must pass;
# 5. wine: the Windows test programs (32-bit) and the end-to-end tests of
#    the win32 build's executables, under 32-bit Wine, each in a prefix of
#    its own (two at a time).
#
# Every step runs even when one before it failed; the script ends with a
# summary and fails when any step failed. Builds go to build/<preset>, or
# to $BRINDLE_BUILD_ROOT/<preset> when that is set. Two jobs at a time.
set -uo pipefail

cd "$(dirname "$0")/.."
root=${BRINDLE_BUILD_ROOT:-$PWD/build}
logs=$root/test-logs
mkdir -p "$logs"

results=()
failed=0
tests_passed=0
tests_failed=0
started=$SECONDS

record() {  # step status seconds [detail]
    results+=("$(printf '%-22s %-6s %5ss  %s' "$1" "$2" "$3" "${4:-}")")
    [ "$2" = ok ] || failed=1
}

# Runs a command, showing its output and keeping it in a log.
step() {  # name log command...
    local name=$1 log=$2
    shift 2
    echo "=== $name"
    "$@" 2>&1 | tee "$log"
    return "${PIPESTATUS[0]}"
}

t=$SECONDS
if step setup "$logs/setup.log" bash scripts/setup.sh; then
    record setup ok $((SECONDS - t))
else
    record setup FAILED $((SECONDS - t))
    printf '%s\n' "${results[@]}"
    exit 1
fi

build_preset() {  # preset
    local preset=$1 dir=$root/$1
    step "$preset: configure" "$logs/$preset-configure.log" \
        cmake --preset "$preset" -B "$dir" &&
    step "$preset: build" "$logs/$preset-build.log" \
        cmake --build "$dir" -j2
}

run_tests() {  # preset
    local preset=$1 t=$SECONDS status summary total bad
    step "$preset: test" "$logs/$preset-test.log" \
        ctest --test-dir "$root/$preset" -j2 --output-on-failure
    status=$?
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$logs/$preset-test.log" | tail -1)
    if [ -n "$summary" ]; then
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
        bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
        tests_passed=$((tests_passed + total - bad))
        tests_failed=$((tests_failed + bad))
    fi
    if [ "$status" -eq 0 ] && [ -n "$summary" ]; then
        record "$preset tests" ok $((SECONDS - t)) "$summary"
    else
        [ -n "$summary" ] || tests_failed=$((tests_failed + 1))
        record "$preset tests" FAILED $((SECONDS - t)) "${summary:-no test ran}"
    fi
}

for preset in native native-san; do
    t=$SECONDS
    if ! build_preset "$preset"; then
        record "$preset build" FAILED $((SECONDS - t)) "see $logs/$preset-build.log"
        continue
    fi
    record "$preset build" ok $((SECONDS - t))
    run_tests "$preset"
done

# The product is built from scratch so that every warning it can give is
# seen; it is small. Its checks look at the executables themselves, and the
# Wine tests below drive them.
t=$SECONDS
win32_built=0
if step "win32: configure" "$logs/win32-configure.log" cmake --preset win32 -B "$root/win32" &&
   step "win32: build" "$logs/win32-build.log" cmake --build "$root/win32" -j2 --clean-first; then
    win32_built=1
    warnings=$(grep -ciE '(^|[^a-z])warning' "$logs/win32-build.log")
    if [ "$warnings" -eq 0 ]; then
        record "win32 build" ok $((SECONDS - t)) "no warning"
    else
        record "win32 build" FAILED $((SECONDS - t)) "$warnings warning line(s), see $logs/win32-build.log"
    fi
    run_tests win32
else
    record "win32 build" FAILED $((SECONDS - t)) "see $logs/win32-build.log"
fi

# The Windows test programs, and the end-to-end tests of the executables
# just built, under 32-bit Wine.
t=$SECONDS
if [ "$win32_built" = 0 ]; then
    record "wine build" FAILED 0 "needs the win32 build"
elif step "wine: configure" "$logs/wine-configure.log" \
        cmake --preset wine -B "$root/wine" -DBRINDLE_PRODUCT_DIR="$root/win32/bin" &&
     step "wine: build" "$logs/wine-build.log" cmake --build "$root/wine" -j2; then
    record "wine build" ok $((SECONDS - t))
    run_tests wine
else
    record "wine build" FAILED $((SECONDS - t)) "see $logs/wine-build.log"
fi

echo
echo "=== summary ($((SECONDS - started))s)"
printf '%s\n' "${results[@]}"
echo "tests: $tests_passed passed, $tests_failed failed"
exit "$failed"
