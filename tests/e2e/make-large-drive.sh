#!/usr/bin/env bash
# Fills DIR with a drive that takes a scan a few seconds: 600 folders of 100
# empty files each, and in every folder one hard link to LIBRARY named
# brdcodec.dll, which the example catalogue names (so each folder costs a
# version check and a log line).
#
#   make-large-drive.sh DIR LIBRARY
set -euo pipefail
dir=$1
library=$2
mkdir -p "$dir"
cd "$dir"
cp "$library" seed.dll
mkdir d{000..599}
touch d{000..599}/f{00..99}.dat
for d in d{000..599}; do
    ln seed.dll "$d/brdcodec.dll"
done
