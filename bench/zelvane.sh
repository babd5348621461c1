#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# zelvane: CPU per second of input with every decoder running, peak memory,
# the run-to-run spread of event times, and the latency from the deciding
# sample to its event. Usage: bench/zelvane.sh BIN_DIR [SECONDS]
# With ZELVANE_COMPARE naming another build's zelvane (say, the release
# before), that one is measured beside it on the same input.
set -euo pipefail
"$1/zelvane_bench" "$1" "${2:-60}" ${ZELVANE_COMPARE:+"$ZELVANE_COMPARE"}
