# Pack and install time per payload file against the file's size (bench/run_all.sh writes the data:
# bytes per file, pack s per file, install s per file, touch+hash+write s per file).
#   gnuplot -e "data='scaling.dat'; out='plot.svg'" bench/scaling.gnuplot
set terminal svg size 720,420 font "sans,12" background "white"
set output out
set title "Time per payload file against its size (demo payload at scales 0.25, 0.5, 1.0, 2.0)"
set xlabel "bytes per file (MB)"
set ylabel "seconds per file"
set key top left
set grid
set xrange [0:*]
set yrange [0:*]
plot data using ($1/1e6):3 with linespoints lw 2 pt 7 title "install (median)", \
     data using ($1/1e6):4 with linespoints lw 2 pt 5 dt 2 title "first touch + hash + write, beside it", \
     data using ($1/1e6):2 with linespoints lw 2 pt 9 title "pack (wall / 5 files)"
