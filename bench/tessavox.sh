# SPDX-License-Identifier: MIT
# tessavox: symbols per second of its own CPU time, as real-time factors
# against 4800 symbols/s, and peak resident memory. Argument: the bin folder.
bin="$1"
[ -x "$bin/tessavox_bench" ] || { echo "tessavox_bench not built"; exit 0; }
"$bin/tessavox_bench" "$bin" 100000000
