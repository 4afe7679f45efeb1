% simplexQP  Minimise 1/2*x*Q*x' - x*b(:) over the probability simplex.
%
%   x = simplexQP(Q, b)
%   x = simplexQP(Q, b, method)
%
%   Returns the 1-by-n row vector x, with x >= 0 and sum(x) = 1, that
%   minimises 1/2*x*Q*x' - x*b(:), to the stopping rule of the method, for
%   a dense real n-by-n matrix Q (taken to be symmetric) and a real vector
%   b of n entries: mixture weights, long-only portfolio weights, SVM-like
%   duals. Q and b are only read.
%   Every answer is the same to the last bit on every platform and host.
%
%   Methods (method is truncated toward zero, so 2.9 means 2):
%     2  SMO, the default: sequential minimal optimisation. Moves weight
%        between two coordinates at a time by the exact line minimum,
%        clipped to the simplex. Stops after a pass of such steps that
%        changes the objective by less than 1e-5, raises it (its last
%        step is then undone), moves no weight, or leaves an objective
%        that is NaN or -Inf (from products that overflow).
%     3  multUpdate: the multiplicative fixed point
%        x_i <- x_i*(b_i + lambda)/(Q*x)_i, lambda keeping sum(x) = 1;
%        weights at or below 1e-6 become exactly 0. Needs (Q*x)_i > 0,
%        as for a matrix of positive entries; stops when the objective
%        changes by no more than 1e-5, or when its iterates repeat exactly
%        (they can cycle for ever): x is then the iterate at which the
%        repeat was seen, a point of the cycle rather than a minimiser.
%     1  a standard QP solver: not provided (an error, below).
%   Any other code, NaN included, returns zeros(1, n).
%
%   Errors, in the order they are checked; a call that raises one computes
%   and changes nothing (Octave puts "simplexQP: " before each message):
%     Takes 2-3 input arguments
%         fewer than 2 or more than 3 arguments; checked first.
%     Outputs one result
%         the result is not assigned, or more than one result is asked for.
%     Q must be a real, full, double n-by-n matrix; got a 3-by-4 single matrix
%         Q of another class, sparse, complex or not square; the end of the
%         message says what Q is ("an 8-by-8 sparse double matrix",
%         "a 1-by-2 cell array", ...).
%     Q must be at most 65536-by-65536; got a 70000-by-70000 double matrix
%     b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix
%         b of another class, sparse, complex, or not a row or column of n
%         elements (any empty b for an empty Q).
%     method must be a real numeric scalar; got a 1-by-1 logical array
%         logical and char are not numeric.
%     Q must be finite; got NaN at Q(2,1)
%         the first NaN, Inf or -Inf of Q in column order.
%     b must be finite; got Inf at b(3)
%     b must have a finite, non-zero sum; got sum(b) = 0
%         the sum (0, Inf or -Inf) taken in order, as both methods start
%         from b / sum(b).
%     Sorry -- standard QP not implemented in MEX yet.
%         method 1.
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
