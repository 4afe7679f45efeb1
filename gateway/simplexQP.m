% simplexQP  Minimise 1/2*x*Q*x' - x*b(:) over the probability simplex.
%
%   x = simplexQP(Q, b)
%   x = simplexQP(Q, b, method)
%
%   Returns a 1-by-n row vector x of weights for a dense real n-by-n
%   matrix Q (taken to be symmetric) and a real vector b of n entries:
%   mixture weights, portfolio weights, SVM-like duals. Q and b are only
%   read. Every answer is the same to the last bit on every platform and
%   host.
%
%   Both methods start from x = b(:)' / sum(b). When every entry of b has
%   the sign of sum(b) (all positive, say) and no starting weight is below
%   1e-6, x >= 0, sum(x) = 1 up to rounding, and x minimises
%   1/2*x*Q*x' - x*b(:) over the simplex to the stopping rule of the method
%   (for multUpdate, as long as (Q*x)_i > 0). Otherwise:
%     - SMO never moves a weight that starts below 1e-6. A zero or tiny
%       one stays as it is even where the minimiser has it larger, and a
%       negative one (from an entry of b of the other sign than sum(b))
%       stays negative, so x leaves the simplex: simplexQP(eye(2), [2; -1])
%       returns [2 -1].
%     - multUpdate sets every weight at or below 1e-6, negative ones
%       included, to exactly 0 after each step, rescales the rest to sum 1
%       and never raises a weight from 0. x stays on the simplex
%       (simplexQP(eye(2), [2; -1], 3) returns [1 0]), but a weight that
%       starts at 0, or is set to 0, stays 0 even where the minimiser has
%       it positive: simplexQP(eye(2), [0.001; 0], 3) returns [1 0], as
%       SMO does, where the minimiser is [0.5005 0.4995].
%   For such problems (long-only portfolios with some negative expected
%   returns, for example) use simplexQPopt, which solves the problem over
%   the simplex whatever the signs of b.
%
%   Methods (method is truncated toward zero and the low 32 bits of that
%   integer taken as the code, so 2.9 and 2^32 + 2 both mean 2):
%     2  SMO, the default: sequential minimal optimisation. Moves weight
%        between two coordinates at a time by the exact line minimum,
%        clipped to the simplex. Stops after a pass of such steps that
%        changes the objective by less than 1e-5, raises it (its last
%        step is then undone), moves no weight, or leaves an objective
%        that is NaN or -Inf (from products that overflow).
%     3  multUpdate: the multiplicative fixed point
%        x_i <- x_i*(b_i + lambda)/(Q*x)_i, lambda keeping sum(x) = 1;
%        weights at or below 1e-6 become exactly 0. Needs (Q*x)_i > 0,
%        as for a matrix of positive entries (where some (Q*x)_i is 0 or
%        negative, x can leave the simplex or hold NaN, as for
%        simplexQP([1 -1; -1 1], [1 1], 3)); stops when the objective
%        changes by no more than 1e-5, or when its iterates repeat exactly
%        (they can cycle for ever): x is then the iterate at which the
%        repeat was seen, a point of the cycle rather than a minimiser.
%     1  a standard QP solver: not provided (an error, below).
%   Any other code, NaN included, returns zeros(1, n).
%
%   Errors, in the order they are checked; a call that raises one computes
%   nothing and changes nothing, and returns no result (Octave puts
%   "simplexQP: " before each message):
%     Takes 2-3 input arguments
%         fewer than 2 or more than 3 arguments; checked first.
%     Outputs one result
%         the result is not assigned, or more than one result is asked for.
%     Q must be a real, full, double n-by-n matrix; got a 3-by-4 single matrix
%         Q of another class, sparse, complex or not square; the end of the
%         message says what Q is ("an 8-by-8 sparse double matrix",
%         "a 1-by-2 cell array", "a 3-by-3-by-2 double array", ...).
%     Q must be at most 65536-by-65536; got a 70000-by-70000 double matrix
%     b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix
%         b of another class, sparse, complex, or not a row or column of n
%         elements (any empty two-dimensional b for an empty Q).
%     method must be a real numeric scalar; got a 1-by-1 logical array
%         logical and char are not numeric.
%     Q must be finite; got NaN at Q(2,1)
%         the first NaN, Inf or -Inf of Q in column order.
%     b must be finite; got Inf at b(3)
%     b must have a finite, non-zero sum; got sum(b) = 0
%         the sum (0, Inf or -Inf) taken in order, as both methods start
%         from b / sum(b).
%     b / sum(b) must be finite; got b(1) / sum(b) = 1e+300 / 1e-300 = Inf
%         a starting weight overflows: the sum is far smaller than the
%         entries (here b = [1e300; -1e300; 1e-300]). The first such entry
%         is named, with the sum; numbers are written as %g writes them.
%     Sorry -- standard QP not implemented in MEX yet.
%         method 1, once all the checks above have passed.
%
%   Example: the long-only minimum-variance mix of three assets. With b
%   constant, x*b is the same for every x on the simplex, so only the
%   variance x*C*x' is minimised.
%     C = [0.04 0.006 0.002; 0.006 0.09 0.01; 0.002 0.01 0.16];
%     w = simplexQP(C, ones(3, 1))
%     w =
%        0.6205   0.2362   0.1433
%
%   simplexQP @PROJECT_VERSION@, under the BSD 3-Clause license (LICENSE).
%
%   See also: qp

% In-host tests: run them with "test simplexQP". The shared corpus files
% are read from the folder SIMPLEXQP_CORPUS_DIR names, or else from beside
% the plug-in, where the build writes them (when tests are built).

%!shared Q, b
%! Q = [2 0.5 0.1; 0.5 1 0.2; 0.1 0.2 3];
%! b = [1; 0.8; 0.3];

%!function [Q, b] = random_kernel_problem (n, seed)
%!  ## Gaussian kernel of points in the unit square, the linear term its row
%!  ## means (a density fit). Widths chosen so that qp sees a convex problem.
%!  rand ("state", seed);
%!  p = rand (n, 2);
%!  width = 0.03 + 0.1 * rand ();
%!  Q = exp (-((p(:,1) - p(:,1)').^2 + (p(:,2) - p(:,2)').^2) / (2 * width^2));
%!  b = mean (Q, 2);
%!endfunction

%!function [Q, b] = random_psd_problem (n, seed)
%!  ## A A' / r for a random n-by-r A of both signs, often of low rank.
%!  rand ("state", seed);
%!  r = 1 + floor (rand () * n);
%!  A = 2 * rand (n, r) - 1;
%!  Q = A * A' / r;
%!  Q = (Q + Q') / 2;
%!  b = 0.05 + 0.95 * rand (n, 1);
%!endfunction

%!function assert_close_to_qp (Q, b, method, label)
%!  n = rows (Q);
%!  [~, qp_objective, info] = qp (ones (n, 1) / n, Q, -b, ones (1, n), 1, ...
%!                                zeros (n, 1), [], optimset ("MaxIter", 5000));
%!  assert (info.info == 0, "%s: qp did not reach its optimum (info %d)", label, info.info);
%!  x = simplexQP (Q, b, method);
%!  assert (isequal (size (x), [1 n]), "%s: x is not 1-by-%d", label, n);
%!  assert (all (x >= 0), "%s: a negative weight", label);
%!  assert (abs (sum (x) - 1) <= n * eps, "%s: sum(x) - 1 = %g", label, sum (x) - 1);
%!  objective = 0.5 * x * Q * x' - x * b;
%!  assert (objective <= qp_objective + 1e-4, "%s, n = %d, method %d: objective %.10g, qp's %.10g",
%!          label, n, method, objective, qp_objective);
%!endfunction

%!function [problems, reference] = corpus_files ()
%!  here = getenv ("SIMPLEXQP_CORPUS_DIR");
%!  if (isempty (here))
%!    here = fileparts (which ("simplexQP"));
%!  endif
%!  problems = fullfile (here, "simplexQP_corpus_problems.bin");
%!  reference = fullfile (here, "simplexQP_corpus_answers.txt");
%!endfunction

%!function present = corpus_files_present ()
%!  [problems, reference] = corpus_files ();
%!  present = exist (problems, "file") && exist (reference, "file");
%!endfunction

%!function lines = corpus_answers_in_host (problems_file)
%!  ## The file: uint32 count, then per problem uint32 n, Q (n*n doubles,
%!  ## column-major) and b (n doubles), all little-endian. One answer line
%!  ## per problem and method, as the stand-in tools print them.
%!  fid = fopen (problems_file, "r", "ieee-le");
%!  assert (fid >= 0, ["cannot open " problems_file]);
%!  count = fread (fid, 1, "uint32");
%!  lines = cell (1, 2 * count);
%!  for i = 1:count
%!    n = fread (fid, 1, "uint32");
%!    Q = fread (fid, [n, n], "double");
%!    b = fread (fid, n, "double");
%!    for method = [2, 3]
%!      x = simplexQP (Q, b, method);
%!      lines{2 * i + method - 3} = sprintf ("%d %d %s", i - 1, method,
%!                                           strjoin (cellstr (num2hex (x))', " "));
%!    endfor
%!  endfor
%!  fclose (fid);
%!endfunction

%!error <^simplexQP: Takes 2-3 input arguments$> x = simplexQP (Q)
%!error <^simplexQP: Takes 2-3 input arguments$> simplexQP (Q, b, 2, 0)
%!error <^simplexQP: Outputs one result$> simplexQP (Q, b)
%!error <^simplexQP: Outputs one result$> [x, y] = simplexQP (Q, b)
%!error <^simplexQP: Sorry -- standard QP not implemented in MEX yet\.$> x = simplexQP (Q, b, 1)
%!error <^simplexQP: Q must be a real, full, double n-by-n matrix; got a 3-by-3 single matrix$> x = simplexQP (single (Q), b)
%!error <^simplexQP: Q must be a real, full, double n-by-n matrix; got a 3-by-3 sparse double matrix$> x = simplexQP (sparse (Q), b)
%!error <^simplexQP: Q must be a real, full, double n-by-n matrix; got a 3-by-2 double matrix$> x = simplexQP (Q(:, 1:2), b)
%!error <^simplexQP: Q must be a real, full, double n-by-n matrix; got a 1-by-2 cell array$> x = simplexQP ({1, 2}, b)
%!error <^simplexQP: b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix$> x = simplexQP (Q, b(1:2))
%!error <^simplexQP: b must be a real, full, double vector of 3 elements; got a 3-by-1 complex double matrix$> x = simplexQP (Q, b + 1i)
%!error <^simplexQP: method must be a real numeric scalar; got a 1-by-1 logical array$> x = simplexQP (Q, b, true)
%!error <^simplexQP: method must be a real numeric scalar; got a 1-by-1 char array$> x = simplexQP (Q, b, "3")
%!error <^simplexQP: Q must be finite; got NaN at Q\(2,1\)$> x = simplexQP ([2 0.5 0.1; NaN 1 0.2; 0.1 0.2 3], b)
%!error <^simplexQP: b must be finite; got Inf at b\(3\)$> x = simplexQP (Q, [1; 1; Inf])
%!error <^simplexQP: b must have a finite, non-zero sum; got sum\(b\) = 0$> x = simplexQP (Q, [1; -1; 0])
%!error <^simplexQP: b / sum\(b\) must be finite; got b\(1\) / sum\(b\) = 1e\+300 / 1e-300 = Inf$> x = simplexQP (eye (3), [1e300; -1e300; 1e-300])
%!error <^simplexQP: b / sum\(b\) must be finite; got b\(1\) / sum\(b\) = 1e\+300 / 1e-300 = Inf$> x = simplexQP (eye (3), [1e300; -1e300; 1e-300], 3)
%!error <^simplexQP: b / sum\(b\) must be finite; got b\(2\) / sum\(b\) = -1e\+300 / 4.94066e-324 = -Inf$> x = simplexQP (eye (4), [0; -1e300; 1e300; 4.9406564584124654e-324])
%!error <^simplexQP: Q must be a real, full, double n-by-n matrix; got a 3-by-3-by-2 double array$> x = simplexQP (ones (3, 3, 2), b)
%!error <^simplexQP: Q must be a real, full, double n-by-n matrix; got a 2-by-1-by-2 double array$> x = simplexQP (ones (2, 1, 2), [1; 1])
%!error <^simplexQP: b must be a real, full, double vector of 3 elements; got a 1-by-1-by-3 double array$> x = simplexQP (Q, ones (1, 1, 3))
%!error <^simplexQP: b must be a real, full, double vector of 0 elements; got a 0-by-0-by-2 double array$> x = simplexQP ([], zeros (0, 0, 2))
%!error <^simplexQP: method must be a real numeric scalar; got a 1-by-1-by-0 double array$> x = simplexQP (Q, b, zeros (1, 1, 0))

%!test
%! ## multUpdate cycles here for ever, between (1/2, 1/2) and (1/3, 2/3); it
%! ## stops where the repeat is seen.
%! assert (simplexQP ([8 -2; -2 5], [1 1], 3), [0.5 0.5]);

%!test
%! ## Each method gives a 1-by-n double row on the simplex; the code is
%! ## truncated, and b may be a row.
%! for method = [2, 3]
%!   x = simplexQP (Q, b, method);
%!   assert (class (x), "double");
%!   assert (size (x), [1 3]);
%!   assert (isreal (x) && all (x >= 0));
%!   assert (sum (x), 1, 4 * eps);
%!   assert (num2hex (simplexQP (Q, b, method + 0.9)), num2hex (x));
%!   assert (num2hex (simplexQP (Q, b', method)), num2hex (x));
%! endfor
%! assert (num2hex (simplexQP (Q, b)), num2hex (simplexQP (Q, b, 2)));

%!test
%! ## The method code is the low 32 bits of the truncated value; a trailing
%! ## singleton dimension leaves Q and b two-dimensional.
%! assert (num2hex (simplexQP (Q, b, 2^32 + 2.5)), num2hex (simplexQP (Q, b, 2)));
%! assert (num2hex (simplexQP (Q, b, 2^33 + 3)), num2hex (simplexQP (Q, b, 3)));
%! assert (num2hex (simplexQP (Q, b, 2^32 + 4)), num2hex (zeros (1, 3)));
%! assert (num2hex (simplexQP (reshape (Q, [3 3 1]), b)), num2hex (simplexQP (Q, b)));

%!test
%! ## Starting weights that are finite, however large, are solved as ever:
%! ## only an overflow is rejected.
%! x = simplexQP (eye (3), [1; -1; 1e-300], 3);
%! assert (x, [1 0 0]);
%! x = simplexQP (eye (3), [2; -2; 2^-1022]);
%! assert (size (x), [1 3]);
%! assert (all (isfinite (x)));

%!test
%! ## b with entries of both signs: SMO keeps a weight that starts
%! ## negative where it is; multUpdate zeroes it and stays on the simplex.
%! assert (simplexQP (eye (2), [2; -1]), [2 -1]);
%! assert (simplexQP (eye (2), [2; -1], 3), [1 0]);
%! A = [2 .5 .1; .5 1 .2; .1 .2 3];
%! c = [1; -0.5; 0.8];
%! assert (simplexQP (A, c), [0.9022 -0.3846 0.4824], 5e-5);
%! x = simplexQP (A, c, 3);
%! assert (x, [0.6459 0 0.3541], 5e-5);
%! assert (x(2), 0);
%! ## A zero entry starts a zero weight, which neither method raises.
%! assert (simplexQP (eye (2), [0.001; 0]), [1 0]);
%! assert (simplexQP (eye (2), [0.001; 0], 3), [1 0]);
%! ## multUpdate where some (Q*x)_i is 0, as the help says.
%! assert (all (isnan (simplexQP ([1 -1; -1 1], [1 1], 3))));

%!test
%! ## Other method codes give zeros.
%! for method = [0, 0.5, -0.5, 4, -1, 1e300, NaN, Inf, -Inf]
%!   x = simplexQP (Q, b, method);
%!   assert (num2hex (x), num2hex (zeros (1, 3)), sprintf ("method %g", method));
%! endfor

%!test
%! ## No columns: an empty row.
%! for method = [2, 3]
%!   x = simplexQP (zeros (0, 0), zeros (0, 1), method);
%!   assert (class (x), "double");
%!   assert (size (x), [1 0]);
%! endfor

%!test
%! ## Q and b are only read.
%! [K, k] = random_kernel_problem (30, 5);
%! before = {num2hex(K), num2hex(k)};
%! for method = [2, 3, 0]
%!   x = simplexQP (K, k, method);
%!   assert ({num2hex(K), num2hex(k)}, before);
%! endfor

%!testif ; corpus_files_present ()
%! ## The Octave build gives the bits of the literal solvers, and so of the
%! ## stand-in build, on the shared corpus, both methods.
%! [problems, reference] = corpus_files ();
%! expected = strsplit (deblank (fileread (reference)), "\n");
%! got = corpus_answers_in_host (problems);
%! assert (numel (got), numel (expected));
%! differ = find (! strcmp (got, expected), 1);
%! if (! isempty (differ))
%!   error ("corpus line %d differs:\n  Octave:   %.200s\n  expected: %.200s",
%!          differ, got{differ}, expected{differ});
%! endif

%!test
%! ## SMO against qp on Gaussian-kernel problems.
%! for seed = 1:8
%!   [K, k] = random_kernel_problem (5 + 12 * (seed - 1), seed);
%!   assert_close_to_qp (K, k, 2, sprintf ("kernel seed %d", seed));
%! endfor

%!test
%! ## multUpdate against qp on Gaussian-kernel problems.
%! for seed = 1:8
%!   [K, k] = random_kernel_problem (100 - 11 * (seed - 1), 100 + seed);
%!   assert_close_to_qp (K, k, 3, sprintf ("kernel seed %d", 100 + seed));
%! endfor

%!test
%! ## SMO against qp on positive semidefinite problems.
%! for seed = 1:8
%!   [K, k] = random_psd_problem (4 + 12 * (seed - 1), seed);
%!   assert_close_to_qp (K, k, 2, sprintf ("psd seed %d", seed));
%! endfor
