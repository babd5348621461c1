# SPDX-License-Identifier: MIT
# orbavox: symbols per second of its own CPU time, as real-time factors
# against 4800 symbols/s, and peak resident memory. Argument: the bin folder.
bin="$1"
[ -x "$bin/orbavox_bench" ] || { echo "orbavox_bench not built"; exit 0; }
"$bin/orbavox_bench" "$bin" 100000000
