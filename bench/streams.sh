#!/usr/bin/env bash
# Decodes every benchmark stream with the avsdec tool (no output written), on
# one decoding thread and on one per processor, and prints its summary line
# with the peak memory of the run.
#   bench/streams.sh [AVSDEC] [STREAM_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
avsdec=${1:-$here/../build/tools/avsdec}
streams=${2:-$here/../../shared/bench}
if [ ! -d "$streams" ]; then
    echo "no benchmark streams in $streams" >&2
    exit 0
fi
processors=$(nproc)
for stream in "$streams"/*.avs; do
    for threads in $(printf '%s\n' 1 "$processors" | sort -un); do
        log=$(mktemp)
        /usr/bin/time -v "$avsdec" "$stream" --muxer null --threads "$threads" 2>"$log" >/dev/null
        summary=$(grep '^avsdec:' "$log")
        peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
        echo "$(basename "$stream"), $threads thread(s): ${summary#avsdec: }, peak ${peak} KB"
        rm -f "$log"
    done
done
