# SPDX-License-Identifier: MIT
# Plot of the sensitivity benchmark's figures:
#   gnuplot -e "data='FIGURES'; output='PNG'" bench/sensitivity.gp
# FIGURES is what sensitivity_bench --data writes: block 0 against SNR
# (DMR, System Fusion), block 1 POCSAG against SNR, block 2 against clock
# error, block 3 POCSAG hard limited against clock error. Columns: x; for
# each four-level chain c = 0..3 (quadslice, pulsesieve|quadslice,
# quadlock, dsdcc) DMR LC, DMR voice, YSF calls, YSF voice at 2 + 4c ..
# 5 + 4c; for each POCSAG rate r = 0..2 (512, 1200, 2400) and two-level
# chain t = 0..2 (duoslice, duolock, multimon-ng) the pages at 18 + 3r + t;
# all in percent.
if (!exists("data")) data = 'sensitivity.dat'
if (!exists("output")) output = 'sensitivity.png'
if (!exists("subtitle")) subtitle = ''

set terminal pngcairo size 1500,900 font 'sans,10' noenhanced
set output output
set datafile missing 'nan'
set multiplot layout 2,3 title 'Decode success of generated transmissions (roll-off 0.2) through the receiving chains'.subtitle
set grid
set yrange [0:105]
set ylabel 'received correctly (%)'
set key bottom right

array four_name[4] = ['quadslice', 'pulsesieve | quadslice', 'quadlock', 'dsdcc (anchor)']
array four_colour[4] = ['#7f7f7f', '#ff7f0e', '#1f77b4', '#2ca02c']
array rate_name[3] = ['512', '1200', '2400']
array rate_colour[3] = ['#9467bd', '#1f77b4', '#d62728']

set xlabel 'SNR per sample at 48000 samples/s (dB)'
set title 'DMR voice bursts bit-exact, against SNR'
plot for [c=0:3] data index 0 using 1:(column(3 + 4*c)) with linespoints lw 2 lc rgb four_colour[c+1] pt 7 title four_name[c+1]
set title 'System Fusion voice frames bit-exact, against SNR'
plot for [c=0:3] data index 0 using 1:(column(5 + 4*c)) with linespoints lw 2 lc rgb four_colour[c+1] pt 7 title four_name[c+1]
set title 'POCSAG pages, against SNR'
plot for [r=0:2] data index 1 using 1:(column(19 + 3*r)) with linespoints lw 2 lc rgb rate_colour[r+1] pt 7 title 'duolock '.rate_name[r+1], \
     for [r=0:2] data index 1 using 1:(column(20 + 3*r)) with linespoints lw 2 dt 2 lc rgb rate_colour[r+1] pt 6 title 'multimon-ng '.rate_name[r+1], \
     data index 1 using 1:21 with linespoints lw 1 dt 3 lc rgb '#7f7f7f' pt 4 title 'duoslice 1200'

set xlabel 'receiver clock error (ppm), SNR as in the title line'
set title 'DMR voice bursts bit-exact, against clock error'
plot for [c=0:3] data index 2 using 1:(column(3 + 4*c)) with linespoints lw 2 lc rgb four_colour[c+1] pt 7 title four_name[c+1]
set title 'System Fusion voice frames bit-exact, against clock error'
plot for [c=0:3] data index 2 using 1:(column(5 + 4*c)) with linespoints lw 2 lc rgb four_colour[c+1] pt 7 title four_name[c+1]
set title 'POCSAG hard limited to a square wave, against clock error'
plot for [r=0:2] data index 3 using 1:(column(19 + 3*r)) with linespoints lw 2 lc rgb rate_colour[r+1] pt 7 title 'duolock '.rate_name[r+1], \
     for [r=0:2] data index 3 using 1:(column(20 + 3*r)) with linespoints lw 2 dt 2 lc rgb rate_colour[r+1] pt 6 title 'multimon-ng '.rate_name[r+1], \
     data index 3 using 1:21 with linespoints lw 1 dt 3 lc rgb '#7f7f7f' pt 4 title 'duoslice 1200'
unset multiplot
