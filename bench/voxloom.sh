# SPDX-License-Identifier: MIT
# voxloom: codec frames per second of its own CPU time, as real-time factors
# against 50 frames/s, and peak resident memory. Argument: the bin folder.
bin="$1"
[ -x "$bin/voxloom_bench" ] || { echo "voxloom_bench not built"; exit 0; }
"$bin/voxloom_bench" "$bin"
