# The fitted mixture, one panel per solver: the data points, and each
# candidate centre as a disc whose area is its weight.
# Usage: gnuplot -e "points='P.dat'; weights='W.dat'; output='PLOT.png'" examples/kernel_mixture_plot.gp
#   P.dat: x y per data point; W.dat: x y and the weights of SMO, multUpdate,
#   simplexQPopt and qp per candidate centre.
set terminal pngcairo size 1000,1060 font ",11"
set output output
set multiplot layout 2,2 title "Gaussian-kernel mixture fitted to 600 points: weights of the 225 candidate centres (disc area = weight)"
set size ratio -1
set xrange [0:1]
set yrange [0:1]
set tics scale 0.5
set key off
radius(w) = 0.12 * sqrt(w)
do for [column = 3:6] {
  set title (column == 5 ? "simplexQPopt" : column == 6 ? "Octave's qp" : \
             "simplexQP, ".word("SMO multUpdate", column - 2))
  plot points using 1:2 with points pt 7 ps 0.3 lc rgb "#5b8bc4", \
       weights using 1:2 with points pt 1 ps 0.4 lc rgb "#606060", \
       weights using 1:2:(radius(column(column))) with circles lc rgb "#c03020" fs transparent solid 0.45 noborder
}
unset multiplot
