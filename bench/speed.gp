# Draws build/bench/speed.png from the tables bench_training writes with
# --plot-data: ns per element-iteration against the number of features.
#   gnuplot -e "dir='build/bench'; columns=N" bench/speed.gp
# columns: the number of columns of ratios.dat (M, the chosen run, each
# vector path, plain, the three floors, scikit-learn).
set terminal pngcairo size 1000,640 font "DejaVu Sans,11"
set output dir."/speed.png"
set title "Time per element-iteration (one feature of one sample visit)"
set xlabel "features M (log scale)"
set ylabel "ns per element-iteration (log scale)"
set logscale xy
set grid xtics ytics mxtics mytics
set key outside right top
set xrange [10:2e6]
set format x "10^{%L}"
ratios = dir."/ratios.dat"
scaling = dir."/scaling.dat"
plot scaling using 1:2 with linespoints lw 2 pt 7 lc rgb "#1f5fbf" title "chosen run (scaling table)", \
     ratios using 1:2 with points pt 5 ps 1.6 lc rgb "#1f5fbf" title "chosen run (32 MB matrix)", \
     for [c=3:columns-5] ratios using 1:c with linespoints pt 6 dt 2 title columnheader(c), \
     ratios using 1:(column(columns-4)) with linespoints lw 2 pt 9 lc rgb "#c0392b" title "plain build (-O2)", \
     ratios using 1:(column(columns-3)) with linespoints pt 4 dt 3 lc rgb "#555555" title "sequential-add floor", \
     ratios using 1:(column(columns-2)) with linespoints pt 2 dt 3 lc rgb "#27ae60" title "read-once floor", \
     ratios using 1:(column(columns-1)) with linespoints pt 3 dt 3 lc rgb "#8e44ad" title "weights floor", \
     ratios using 1:(column(columns)) with linespoints lw 2 pt 11 lc rgb "#e67e22" title "scikit-learn SGD"
