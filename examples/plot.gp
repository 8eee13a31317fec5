# Draws the three components of an acceleration table written by cdmg2csv
# against time, one panel each, into a PNG.
#
#   gnuplot -e "table='table.csv'; picture='table.png'" examples/plot.gp
#
# Without the two names it draws examples/sample/table.csv into
# examples/sample.png (run the README's first command before).
if (!exists("table")) table = 'examples/sample/table.csv'
if (!exists("picture")) picture = 'examples/sample.png'
set terminal pngcairo size 900,640 font ",10"
set output picture
set datafile separator ","
set multiplot layout 3,1 title "Acceleration table ".table
set grid
set xlabel ""
files = "SCSe-N11E SCSe-N79W SCSe-UP"
do for [c = 1:3] {
  if (c == 3) { set xlabel "time" }
  set ylabel word(files, c)
  plot table using 1:(column(c + 1)) with lines linewidth 1 linecolor c notitle
}
unset multiplot
