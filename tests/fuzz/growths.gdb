# Counts the scanner's buffer growths, its calls of yyrealloc, in one run of
# a fuzz target, such as a replay of its corpus:
#   gdb -batch -x tests/fuzz/growths.gdb --args build-fuzz/vwc_fuzz_tiny -runs=0 CORPUS
set pagination off
# LeakSanitizer cannot work under a debugger: the target would end in a
# fatal error and leave an empty crash- file.
set environment ASAN_OPTIONS=detect_leaks=0
set $growths = 0
break yyrealloc
commands
  silent
  set $growths = $growths + 1
  continue
end
run
printf "buffer growths: %d\n", $growths
