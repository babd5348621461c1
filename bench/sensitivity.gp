# Plot of the sensitivity benchmark's figures:
#   gnuplot -e "data='FIGURES'; output='PNG'" bench/sensitivity.gp
# FIGURES is what sensitivity_bench --data writes: block 0 against SNR,
# block 1 against clock error; columns x, DMR LC, DMR voice, YSF calls,
# YSF voice, POCSAG pages, all in percent.
if (!exists("data")) data = 'sensitivity.dat'
if (!exists("output")) output = 'sensitivity.png'
if (!exists("subtitle")) subtitle = ''

set terminal pngcairo size 1400,560 font 'sans,11' noenhanced
set output output
set datafile missing 'nan'
set multiplot layout 1,2 title 'Decode success of generated transmissions through the receiving chains'.subtitle
set grid
set yrange [0:105]
set ylabel 'received correctly (%)'
set key bottom right


set title 'against SNR (exact clock)'
set xlabel 'SNR per sample at 48000 samples/s (dB)'
plot data index 0 using 1:2 with linespoints lw 2 lc rgb "#1f77b4" pt 7 title 'DMR embedded LC', \
     ''   index 0 using 1:3 with linespoints lw 2 lc rgb "#1f77b4" dt 2 pt 6 title 'DMR voice bursts', \
     ''   index 0 using 1:4 with linespoints lw 2 lc rgb "#d62728" pt 5 title 'YSF call signs', \
     ''   index 0 using 1:5 with linespoints lw 2 lc rgb "#d62728" dt 2 pt 4 title 'YSF voice frames', \
     ''   index 0 using 1:6 with linespoints lw 2 lc rgb "#2ca02c" pt 9 title 'POCSAG pages'

set title 'against receiver clock error'
set xlabel 'sample clock error (ppm)'
plot data index 1 using 1:2 with linespoints lw 2 lc rgb "#1f77b4" pt 7 title 'DMR embedded LC', \
     ''   index 1 using 1:3 with linespoints lw 2 lc rgb "#1f77b4" dt 2 pt 6 title 'DMR voice bursts', \
     ''   index 1 using 1:4 with linespoints lw 2 lc rgb "#d62728" pt 5 title 'YSF call signs', \
     ''   index 1 using 1:5 with linespoints lw 2 lc rgb "#d62728" dt 2 pt 4 title 'YSF voice frames', \
     ''   index 1 using 1:6 with linespoints lw 2 lc rgb "#2ca02c" pt 9 title 'POCSAG pages'
unset multiplot
