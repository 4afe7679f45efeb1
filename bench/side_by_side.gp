# The side-by-side benchmark's plot: CPU seconds against n, log scales, one
# panel per problem family, one line per solver, from side_by_side's CSV.
# Usage: gnuplot -e "results='side_by_side.csv'; output='PLOT.png'" bench/side_by_side.gp
set terminal pngcairo size 1500,520 font ",10"
set output output
set datafile separator ","
set logscale xy
set format y "10^{%L}"
set xlabel "n"
set ylabel "CPU seconds"
set grid
set key top left font ",9"
set multiplot layout 1,3

# The rows of one family and solver, in the order written (ascending n).
rows(family, solver) = sprintf("< grep '^%s,[0-9]*,%s,' %s", family, solver, results)

# Each solver's name, colour and dash pattern; LIBSVM runs on the one-class
# family alone.
solvers = "certifiedSMO-default certifiedSMO-1e-6 simplexQP-SMO simplexQP-multUpdate CVXOPT-default CVXOPT-tight LIBSVM-e1e-3 LIBSVM-e1e-6"
colours = "#d62728 #d62728 #1f77b4 #17becf #9467bd #9467bd #2ca02c #2ca02c"
dashes = "1 2 1 1 1 2 1 2"
everywhere = 6

do for [family in "density mixture one-class"] {
  set title family." problems (Gaussian kernel)"
  plot for [s = 1:(family eq "one-class" ? words(solvers) : everywhere)] rows(family, word(solvers, s)) \
       using 2:4 with linespoints lw 2 lc rgb word(colours, s) dt int(word(dashes, s)) title word(solvers, s)
}
unset multiplot
