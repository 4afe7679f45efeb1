## Times the benchmark's problems in GNU Octave: Octave's own qp (an
## active-set QP solver) and, when simplexQP is on Octave's path as a MEX
## file, the plug-in's two methods, whose answers must match the C++
## benchmark's to the last bit.
##
## Usage: octave-cli bench/octave_bench.m PROBLEM-DIR OUT-CSV [SIZES]
## PROBLEM-DIR holds FAMILY-N.Q/.b/.smo/.mult from simplexqp_bench --dump;
## SIZES (e.g. "500,1000,2000,4000") bounds the n tried. qp is skipped for
## a family once it took over a minute at a smaller n.
1;

function values = readDoubles (path, count)
  file = fopen (path, "r");
  if (file < 0)
    error ("octave_bench: cannot read %s", path);
  endif
  values = fread (file, count, "double=>double");
  fclose (file);
  if (numel (values) != count)
    error ("octave_bench: %s holds %d doubles, not %d", path, numel (values), count);
  endif
endfunction

args = argv ();
if (numel (args) < 2)
  error ("usage: octave-cli bench/octave_bench.m PROBLEM-DIR OUT-CSV [SIZES]");
endif
directory = args{1};
sizes = [500 1000 2000 4000];
if (numel (args) >= 3)
  sizes = str2num (args{3});
endif
families = {"density", "mixture"};
havePlugin = exist ("simplexQP") == 3;
qpLimit = 10000;        # iterations: far beyond what these problems need
qpGiveUpAfter = 60;     # seconds

out = fopen (args{2}, "w");
fprintf (out, "n,family,method,seconds,iterations,status,same_bits\n");
printf ("CPU seconds in Octave %s; qp with MaxIter %d.\n\n", OCTAVE_VERSION, qpLimit);
printf ("|     n | problem  | method            | seconds | iterations | status |\n");
printf ("|------:|----------|-------------------|--------:|-----------:|--------|\n");
if (! havePlugin)
  printf ("(simplexQP is not on Octave's path as a MEX file: qp only)\n");
endif
failures = 0;
for f = 1:numel (families)
  family = families{f};
  qpTooSlow = false;
  for n = sizes
    stem = fullfile (directory, sprintf ("%s-%d", family, n));
    if (! exist ([stem ".Q"], "file"))
      continue;
    endif
    Q = reshape (readDoubles ([stem ".Q"], n * n), n, n);
    b = readDoubles ([stem ".b"], n);

    if (havePlugin)
      expected = {readDoubles([stem ".smo"], n), readDoubles([stem ".mult"], n)};
      names = {"simplexQP SMO", "simplexQP mult"};
      verdicts = {"DIFFERENT", "same bits"};
      for m = 1:2
        started = cputime ();
        x = simplexQP (Q, b, m + 1);
        seconds = cputime () - started;
        same = isequal (typecast (x(:), "uint64"), typecast (expected{m}, "uint64"));
        failures += ! same;
        printf ("| %5d | %-8s | %-17s | %7.3f |          - | %s |\n", n, family, names{m}, seconds,
                verdicts{same + 1});
        fprintf (out, "%d,%s,%s,%.6f,,,%d\n", n, family, strrep (names{m}, " ", "_"), seconds, same);
      endfor
    endif

    if (qpTooSlow)
      printf ("| %5d | %-8s | %-17s |       - |          - | skipped: over %d s at a smaller n |\n",
              n, family, "qp", qpGiveUpAfter);
      continue;
    endif
    options = struct ("MaxIter", qpLimit);
    started = cputime ();
    [x, objective, info] = qp (b / sum (b), Q, -b, ones (1, n), 1, zeros (n, 1), [], [], [], [], options);
    seconds = cputime () - started;
    status = {"solved", "local solution", "unbounded", "iteration limit", "", "", "infeasible"}{info.info + 1};
    printf ("| %5d | %-8s | %-17s | %7.3f | %10d | %s |\n", n, family, "qp", seconds, info.solveiter, status);
    fprintf (out, "%d,%s,qp,%.6f,%d,%s,\n", n, family, seconds, info.solveiter, strrep (status, " ", "_"));
    qpTooSlow = seconds > qpGiveUpAfter;
  endfor
endfor
fclose (out);
if (failures > 0)
  error ("octave_bench: %d answers of simplexQP differ from the benchmark's", failures);
endif
