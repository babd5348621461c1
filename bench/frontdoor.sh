#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The front door's outputs and its wideband path: the channelizer alone, the
# whole front door on a band (0, 1, 4 and 16 channels busy), loading a
# 300 000-line radio-id list, the call log and MQTT at once against a real
# broker, and the speech files in each format. Usage: bench/frontdoor.sh BIN_DIR
set -euo pipefail
bin="$1"
run() { if [ -x "$bin/$1" ]; then echo "-- $*"; "$bin/$@"; fi; }
run channelizer_bench 10
run wideband_bench "$bin" 20
run names_bench 300000
run sink_bench 20000 50
run audio_sink_bench 200
run noise_bench "$bin" 60
