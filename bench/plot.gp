# Time against n, log scales, one panel per problem family, from the C++
# benchmark's CSV and the Octave one's (an empty file when Octave was not run).
# Usage: gnuplot -e "bench='BENCH.csv'; octave='OCTAVE.csv'; output='PLOT.png'" bench/plot.gp
set terminal pngcairo size 1200,520 font ",10"
set output output
set datafile separator ","
set logscale xy
set format y "10^{%L}"
set xlabel "n"
set ylabel "CPU seconds"
set grid
set key bottom right
set multiplot layout 1,2

# The rows of one family and method, in the order written (ascending n);
# of the C++ benchmark's, those of the vector path the solvers chose.
rows(file, family, method) = sprintf("< grep ',%s,%s,' %s", family, method, file)
chosen(file, family, method) = sprintf("< grep ',%s,%s,' %s | grep ',1$'", family, method, file)
positive(value) = value > 0 ? value : NaN

do for [family in "density mixture"] {
  set title family." problems (Gaussian kernel)"
  plot chosen(bench, family, "SMO") using 1:(positive($4)) with linespoints lw 2 lc rgb "#d62728" dt 2 title "SMO, literal", \
       chosen(bench, family, "SMO") using 1:5 with linespoints lw 2 lc rgb "#d62728" title "SMO", \
       chosen(bench, family, "multUpdate") using 1:(positive($4)) with linespoints lw 2 lc rgb "#1f77b4" dt 2 title "multUpdate, literal", \
       chosen(bench, family, "multUpdate") using 1:5 with linespoints lw 2 lc rgb "#1f77b4" title "multUpdate", \
       rows(octave, family, "qp") using 1:4 with linespoints lw 2 lc rgb "#2ca02c" title "Octave qp", \
       rows(octave, family, "simplexQP_SMO") using 1:4 with points pt 6 ps 1.5 lc rgb "#d62728" title "simplexQP in Octave, SMO", \
       rows(octave, family, "simplexQP_mult") using 1:4 with points pt 6 ps 1.5 lc rgb "#1f77b4" title "simplexQP in Octave, multUpdate"
}
unset multiplot
