% simplexQPopt  Minimise 1/2*x*Q*x' - x*b(:) over the probability simplex,
% to a certified tolerance.
%
%   x = simplexQPopt(Q, b)
%   x = simplexQPopt(Q, b, tol)
%   x = simplexQPopt(Q, b, options)
%   x = simplexQPopt(K, b, ...)
%   [x, info] = simplexQPopt(...)
%
%   Returns the 1-by-n row vector x, with x >= 0 and sum(x) = 1, that
%   minimises 1/2*x*Q*x' - x*b(:) for a dense real n-by-n matrix Q and a
%   real vector b of n entries, as simplexQP does, but solved until its
%   KKT violation (the gap) is at most tol; with options.UpperBound u, also
%   x <= u (a one-class SVM's dual at any nu, a capped portfolio). A call of
%   simplexQP can switch to simplexQPopt by changing only the name.
%   Every answer is the same to the last bit on every platform and host,
%   whatever rounding mode or flush-to-zero setting the host has left on
%   (the call computes in the standard mode and gives the host's back).
%
%   Q described, not stored: K, a 1-by-1 struct with the fields
%     Points  an n-by-d real double matrix, a point per row, as fitting
%             functions take data
%     Kernel  'gaussian': Q(i,j) = exp(-|p_i - p_j|^2 / (2*Width^2)),
%             or 'linear': Q(i,j) = p_i*p_j'
%     Width   the Gaussian's width (finite, > 0, 2*Width^2 a finite double
%             above 0); the linear kernel takes none
%   gives the answer, certificate and info of the dense Q of those values,
%   with every option, from columns computed as the solver needs them: Q
%   is never stored, so n is not limited to 65536. Q is defined as the
%   matrix of the computed values: each entry sums its coordinates in
%   ascending order, the Gaussian's |p_i - p_j|^2 from the differences, and
%   its exp is the plug-in's own, correctly rounded, so that Q, and x, have
%   the same bits on every platform (they may differ in the last bit from
%   a Q formed with the host's exp). The linear kernel's products Q*x are
%   computed as P*(P'*x), in O(n*d). Memory: the points, the cache of
%   columns (options.CacheSize), about 100 bytes a weight, and the
%   polish's factor (8 bytes times the support squared).
%
%   The gap of x bounds max(g(x > 0)) - min(g), g = (Q + Q')/2*x(:) - b(:)
%   the gradient of f (with bounds, max(g(x > 0)) - min(g(x < u)), and 0
%   where every weight is at its bound), from above: computed from gradients summed afresh
%   and a rigorous bound of that computation's rounding error (a few units
%   in the last place of the data: the true violation is 0 exactly at the
%   points that satisfy the first-order conditions, the gap never quite).
%   The steps follow Q*x(:) - b(:), which is g for symmetric Q; for any
%   other Q the gap counts the difference too, so that converged is true
%   only where x is a first-order point of f (a Q unsymmetric only in the
%   last bit, as kernels computed by matrix products are, still converges;
%   a strongly unsymmetric one ends unconverged). For a positive
%   semidefinite Q + Q' it bounds f(x) - min f from above. For any other Q the run ends at a point whose
%   gap bounds how far it is from the first-order conditions: a local
%   minimum or a saddle point of f on the simplex, not necessarily the
%   global minimum.
%
%   tol defaults to (16*n + 128)*eps(1)/2 * max(max(abs(Q(:))), max(abs(b)))
%   + 16*2^-1074, close to machine precision at the problem's scale and
%   always above what rounding can hide, at every scale, zero and subnormal
%   data included (its scale comes from the pass that checks Q). Scaling Q
%   and b by a power of two gives the same x and scales the gap and
%   objective, as long as the values stay normal numbers.
%
%   options, a 1-by-1 struct with any of these fields (a field set to []
%   takes its default; any other field name is an error that lists these):
%     Tolerance      tol, as above.
%     MaxIterations  the cap on pair steps, a whole number >= 0 (Inf: none);
%                    default max(1e7, 100*n). With 0 and an InitialPoint the
%                    call only certifies that point: x is the point, and
%                    info its gap and objective.
%     Display        'off' (default); 'final': one line when the run ends;
%                    'iter': a line at each exact check of the gap (steps
%                    so far, gap, objective, positive weights, and what the
%                    run did since the last check: "start" for the check of
%                    the initial point, "pair steps", or "polish" for Newton
%                    steps on the support that lowered the gap), then the
%                    final line.
%                    The lines appear as the run goes on.
%     InitialPoint   x0, n finite entries >= 0 summing to 1, where entries
%                    may be below 0 and the sum off 1 by rounding, at most
%                    (n + 16)*eps each: such entries below 0 are taken as
%                    0, and nothing else is changed. The run starts from x0
%                    (its gap is checked first) and, if it ends unconverged,
%                    never answers with a point of higher objective than
%                    x0's; converged, x is within tol of the least
%                    objective (positive semidefinite Q). From the answer
%                    of a nearby problem (b or Q changed a little) it is
%                    usually several times faster than a cold start.
%     UpperBound     u, a bound on each weight: a scalar (the same for
%                    all) or a vector of n entries, each >= 0 (Inf: no
%                    bound), summing to at least 1 less (n + 16)*eps, or
%                    no x is feasible. x then meets 0 <= x <= u exactly.
%                    Where the bounds sum to 1 (up to that rounding), x is
%                    u, the one feasible point, with gap 0. Bounds of 1 or
%                    more never bind: a call with no other bound has the
%                    bits of a call without UpperBound. An InitialPoint
%                    must lie within the bounds (entries above a bound by
%                    (n + 16)*eps of it at most are taken as the bound).
%                    For a one-class SVM with parameter nu, u = 1/(nu*n).
%     CacheSize      megabytes of copies of Q's columns the run may keep,
%                    finite and > 0; default 32 for a stored Q and 256 for
%                    K (whose columns cost a pass over the points each: at
%                    n = 60000, 256 MB held the one-class runs' columns,
%                    32 MB made them 4-6 times slower). The answer's bits
%                    do not depend on it.
%   options = struct ("Display", "iter", "InitialPoint", x_previous), say.
%
%   info, a 1-by-1 struct:
%     objective   f(x) = 1/2*x*Q*x' - x*b(:)
%     gap         the gap of x described above (Inf when the products of
%                 Q with x overflow)
%     iterations  pair steps taken up to x (an unconverged run may have
%                 taken more after it)
%     converged   logical: gap <= tol
%     support     the number of positive weights in x
%     atUpperBound  the number of weights at their bound (0 without one)
%   A run ends unconverged after max(1e7, 100*n) pair steps (or
%   MaxIterations), or when tol cannot be met in double precision (tol = 0,
%   say); x is then the point of least gap among those the run checked
%   exactly, and info describes it. With one
%   output such a run raises the warning
%   simplexQPopt:notConverged (warning ("off", "simplexQPopt:notConverged")
%   silences it); with [x, info] it does not.
%
%   Method: sequential minimal optimisation as in LIBSVM: from the vertex
%   of least f, weight moves between two coordinates at a time, chosen by
%   second-order working-set selection (Fan, Chen and Lin, 2005), with
%   gradients kept up to date from two columns of Q and coordinates that
%   cannot enter shrunk away; when the working gap reaches tol, the gap is
%   computed afresh and the run goes on if it is still above tol. Fast on
%   problems whose answers have few positive weights (one-class SVM duals,
%   mixture fits); slow on badly conditioned Q whose answer is dense, where
%   the cap may end the run.
%
%   Errors, in the order they are checked; a call that raises one computes
%   and changes nothing (Octave puts "simplexQPopt: " before each message):
%     Takes 2-3 input arguments
%     Outputs one or two results
%     Q must be a real, full, double n-by-n matrix; got a 3-by-4 single matrix
%     Q must be at most 65536-by-65536; got a 70000-by-70000 double matrix
%     K must be a 1-by-1 struct; got a 1-by-2 struct array
%     K has an unknown field 'Kernal'; a struct K has the fields Points
%         (n-by-d, a point per row), Kernel ('gaussian' or 'linear') and
%         Width (for 'gaussian'); also "K.Points is missing; ..." and
%         "K.Kernel is missing; ..."
%     K.Points must be a real, full, double n-by-d matrix (a point per
%         row); got a 5-by-2 single matrix
%     K.Kernel must be 'gaussian' or 'linear'; got 'rbf'
%     K.Width is missing: the 'gaussian' kernel needs it; ... (and "K.Width
%         is given, but the 'linear' kernel takes none; ...")
%     K.Width must be finite and > 0, with 2*Width^2 a finite double > 0;
%         got -1
%     b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix
%     tol must be a real numeric scalar; got a 1-by-2 double matrix
%     tol must be a non-negative number; got NaN
%         also "got -Inf" and "got a negative number".
%     options must be a 1-by-1 struct; got a 1-by-2 struct array
%     options has an unknown field 'Tol'; the known fields are Tolerance,
%         MaxIterations, Display, InitialPoint, UpperBound and CacheSize
%     options.Tolerance must be ..., as tol above
%     options.MaxIterations must be a whole number >= 0; got 2.5
%     options.Display must be 'off', 'final' or 'iter'; got 'Iter'
%     options.InitialPoint must be a real, full, double vector of 3
%         elements; got a 2-by-1 double matrix
%     options.UpperBound must be a real, full, double scalar or vector of
%         3 elements; got a 1-by-2 double matrix
%     options.CacheSize must be a finite number of megabytes > 0; got 0
%     K.Points must be finite; got NaN at K.Points(2,1)
%     K.Points are too large for the 'linear' kernel: the largest p_i'p_i
%         overflows to Inf; scale the points down
%     Q must be finite; got NaN at Q(2,1)
%     b must be finite; got Inf at b(3)
%     options.UpperBound must not be NaN; got NaN at UpperBound(2)
%     options.UpperBound must be >= 0; got -0.5 at UpperBound(1)
%     options.UpperBound must sum to at least 1, or no x is feasible; got
%         sum(UpperBound) = 0.75 (for a scalar: "options.UpperBound times
%         n must be at least 1, ...; got n * UpperBound = 0.75")
%     options.InitialPoint must be finite; got NaN at InitialPoint(2)
%     options.InitialPoint must be >= 0; got -0.1 at InitialPoint(3)
%     options.InitialPoint must sum to 1; got sum(InitialPoint) - 1 = 0.5
%     options.InitialPoint must be <= options.UpperBound; got 0.5 at
%         InitialPoint(2), above its bound 0.25
%   Unlike simplexQP, any finite b will do (b = 0 gives the minimum of
%   x*Q*x'): this solver does not start from b / sum(b).
%
%   Example: a one-class SVM dual (nu = 1/n): Gaussian kernel, b = 1.
%     p = rand (500, 2);
%     K = exp (-((p(:,1) - p(:,1)').^2 + (p(:,2) - p(:,2)').^2) / 0.02);
%     [x, info] = simplexQPopt (K, ones (500, 1), 1e-9);
%     nnz (x), info.gap
%   and again for b changed by 1%, from that answer, showing each check:
%     b2 = ones (500, 1) .* (1 + 0.01 * randn (500, 1));
%     x2 = simplexQPopt (K, b2, struct ("InitialPoint", x, "Display", "iter"));
%   The same SVM at nu = 0.1, where many weights sit at the bound 1/(nu*n):
%     [x, info] = simplexQPopt (K, ones (500, 1), struct ("UpperBound", 1 / 50));
%     info.atUpperBound
%   The same SVM with Q described by the points (p above), never formed:
%     K = struct ("Points", p, "Kernel", "gaussian", "Width", 0.1);
%     [x, info] = simplexQPopt (K, ones (500, 1), struct ("UpperBound", 1 / 50));
%
%   simplexQPopt @PROJECT_VERSION@, under the BSD 3-Clause license (LICENSE).
%
%   See also: simplexQP, qp

% In-host tests: run them with "test simplexQPopt". The shared corpus files
% are read from the folder SIMPLEXQP_CORPUS_DIR names, or else from beside
% the plug-in, where the build writes them (when tests are built).

%!shared Q, b
%! Q = [2 0.5 0.1; 0.5 1 0.2; 0.1 0.2 3];
%! b = [1; 0.8; 0.3];

%!function [K, k] = one_class_problem (n, seed)
%!  rand ("state", seed);
%!  p = rand (n, 2);
%!  K = exp (-((p(:,1) - p(:,1)').^2 + (p(:,2) - p(:,2)').^2) / 0.02);
%!  k = ones (n, 1);
%!endfunction

%!function [problems, reference] = corpus_files ()
%!  here = getenv ("SIMPLEXQP_CORPUS_DIR");
%!  if (isempty (here))
%!    here = fileparts (which ("simplexQPopt"));
%!  endif
%!  problems = fullfile (here, "simplexQP_corpus_problems.bin");
%!  reference = fullfile (here, "simplexQPopt_corpus_answers.txt");
%!endfunction

%!function present = corpus_files_present ()
%!  [problems, reference] = corpus_files ();
%!  present = exist (problems, "file") && exist (reference, "file");
%!endfunction

%!function lines = corpus_answers_in_host (problems_file)
%!  ## The same problems as simplexQP's corpus, solved at tol 1e-6 and, for
%!  ## n <= 16, at the default tolerance, as the stand-in tools print them.
%!  fid = fopen (problems_file, "r", "ieee-le");
%!  assert (fid >= 0, ["cannot open " problems_file]);
%!  count = fread (fid, 1, "uint32");
%!  lines = {};
%!  for i = 1:count
%!    n = fread (fid, 1, "uint32");
%!    Q = fread (fid, [n, n], "double");
%!    b = fread (fid, n, "double");
%!    [x, info] = simplexQPopt (Q, b, 1e-6);
%!    lines{end + 1} = sprintf ("%d tol %s", i - 1, strjoin (cellstr (num2hex ([x, info.gap]))', " "));
%!    if (n <= 16)
%!      [x, info] = simplexQPopt (Q, b);
%!      lines{end + 1} = sprintf ("%d default %s", i - 1, strjoin (cellstr (num2hex ([x, info.gap]))', " "));
%!    endif
%!  endfor
%!  fclose (fid);
%!endfunction

%!error <^simplexQPopt: Takes 2-3 input arguments$> x = simplexQPopt (Q)
%!error <^simplexQPopt: Takes 2-3 input arguments$> simplexQPopt (Q, b, 1e-9, 0)
%!error <^simplexQPopt: Outputs one or two results$> [x, y, z] = simplexQPopt (Q, b)
%!error <^simplexQPopt: Q must be a real, full, double n-by-n matrix; got a 3-by-3 single matrix$> x = simplexQPopt (single (Q), b)
%!error <^simplexQPopt: Q must be a real, full, double n-by-n matrix; got a 3-by-2 double matrix$> x = simplexQPopt (Q(:, 1:2), b)
%!error <^simplexQPopt: b must be a real, full, double vector of 3 elements; got a 2-by-1 double matrix$> x = simplexQPopt (Q, b(1:2))
%!error <^simplexQPopt: tol must be a real numeric scalar; got a 1-by-2 double matrix$> x = simplexQPopt (Q, b, [1 2])
%!error <^simplexQPopt: tol must be a real numeric scalar; got a 1-by-1 logical array$> x = simplexQPopt (Q, b, true)
%!error <^simplexQPopt: tol must be a non-negative number; got NaN$> x = simplexQPopt (Q, b, NaN)
%!error <^simplexQPopt: tol must be a non-negative number; got a negative number$> x = simplexQPopt (Q, b, -1e-9)
%!error <^simplexQPopt: tol must be a non-negative number; got -Inf$> x = simplexQPopt (Q, b, -Inf)
%!error <^simplexQPopt: Q must be finite; got NaN at Q\(2,1\)$> x = simplexQPopt ([2 0.5 0.1; NaN 1 0.2; 0.1 0.2 3], b)
%!error <^simplexQPopt: b must be finite; got Inf at b\(3\)$> x = simplexQPopt (Q, [1; 1; Inf])

%!test
%! ## A 1-by-n double row on the simplex, and info as documented; b may be
%! ## a row, and any finite b will do.
%! [x, info] = simplexQPopt (Q, b);
%! assert (class (x), "double");
%! assert (size (x), [1 3]);
%! assert (all (x >= 0));
%! assert (sum (x), 1, 4 * eps);
%! assert (fieldnames (info), {"objective"; "gap"; "iterations"; "converged"; "support"; "atUpperBound"});
%! assert (info.support, nnz (x));
%! assert (size (info), [1 1]);
%! assert (islogical (info.converged) && info.converged);
%! assert (info.objective, 0.5 * x * Q * x' - x * b, 1e-15);
%! g = Q * x' - b;
%! assert (max (g(x > 0)) - min (g) <= info.gap);
%! assert (num2hex (simplexQPopt (Q, b')), num2hex (x));
%! assert (num2hex (simplexQPopt (Q, b)), num2hex (x));
%! assert (all (simplexQPopt (Q, [1; -1; 0]) >= 0));
%! assert (simplexQPopt (Q, zeros (3, 1)) * ones (3, 1), 1, 4 * eps);

%!error <^simplexQPopt: options must be a 1-by-1 struct; got a 1-by-2 struct array$> x = simplexQPopt (Q, b, struct ("Display", {"off", "iter"}))
%!error <^simplexQPopt: options has an unknown field 'TolFun'; the known fields are Tolerance, MaxIterations, Display, InitialPoint, UpperBound and CacheSize$> x = simplexQPopt (Q, b, optimset ("TolFun", 1e-9))
%!error <^simplexQPopt: options.Tolerance must be a non-negative number; got NaN$> x = simplexQPopt (Q, b, struct ("Tolerance", NaN))
%!error <^simplexQPopt: options.MaxIterations must be a whole number .= 0; got 2.5$> x = simplexQPopt (Q, b, struct ("MaxIterations", 2.5))
%!error <^simplexQPopt: options.Display must be 'off', 'final' or 'iter'; got 'Iter'$> x = simplexQPopt (Q, b, struct ("Display", "Iter"))
%!error <^simplexQPopt: options.Display must be 'off', 'final' or 'iter'; got a 1-by-1 double matrix$> x = simplexQPopt (Q, b, struct ("Display", 1))
%!error <^simplexQPopt: options.InitialPoint must be a real, full, double vector of 3 elements; got a 1-by-2 double matrix$> x = simplexQPopt (Q, b, struct ("InitialPoint", [0.5 0.5]))
%!error <^simplexQPopt: options.InitialPoint must be .= 0; got -0.1 at InitialPoint\(3\)$> x = simplexQPopt (Q, b, struct ("InitialPoint", [0.6 0.5 -0.1]))
%!error <^simplexQPopt: options.InitialPoint must sum to 1; got sum\(InitialPoint\) - 1 = 0.5$> x = simplexQPopt (Q, b, struct ("InitialPoint", [0.5 0.5 0.5]))
%!error <^simplexQPopt: options.InitialPoint must be finite; got NaN at InitialPoint\(2\)$> x = simplexQPopt (Q, b, struct ("InitialPoint", [0.5 NaN 0.5]))
%!error <^simplexQPopt: options.UpperBound must be a real, full, double scalar or vector of 3 elements; got a 1-by-2 double matrix$> x = simplexQPopt (Q, b, struct ("UpperBound", [0.5 0.5]))
%!error <^simplexQPopt: options.UpperBound must be a real, full, double scalar or vector of 3 elements; got a 1-by-1 single matrix$> x = simplexQPopt (Q, b, struct ("UpperBound", single (0.5)))
%!error <^simplexQPopt: options.UpperBound must not be NaN; got NaN at UpperBound\(2\)$> x = simplexQPopt (Q, b, struct ("UpperBound", [0.5 NaN 0.5]))
%!error <^simplexQPopt: options.UpperBound must be .= 0; got -0.5 at UpperBound\(1\)$> x = simplexQPopt (Q, b, struct ("UpperBound", [-0.5 1 1]))
%!error <^simplexQPopt: options.UpperBound must sum to at least 1, or no x is feasible; got sum\(UpperBound\) = 0.75$> x = simplexQPopt (Q, b, struct ("UpperBound", [0.25 0.25 0.25]))
%!error <^simplexQPopt: options.UpperBound times n must be at least 1, or no x is feasible; got n \* UpperBound = 0.75$> x = simplexQPopt (Q, b, struct ("UpperBound", 0.25))
%!error <^simplexQPopt: options.InitialPoint must be .= options.UpperBound; got 0.5 at InitialPoint\(2\), above its bound 0.4$> x = simplexQPopt (Q, b, struct ("UpperBound", 0.4, "InitialPoint", [0.25 0.5 0.25]))

%!test
%! ## Upper bounds: a one-class SVM at nu = 0.2 meets 0 <= x <= u exactly,
%! ## with weights at the bound and the KKT conditions over the weights
%! ## below it; bounds that cannot bind keep the unbounded bits; bounds
%! ## summing to 1 leave their one point.
%! [K, k] = one_class_problem (200, 13);
%! u = 1 / (0.2 * 200);
%! [x, info] = simplexQPopt (K, k, struct ("UpperBound", u));
%! assert (info.converged);
%! assert (all (x >= 0 & x <= u));
%! assert (info.atUpperBound, nnz (x == u));
%! assert (info.atUpperBound > 0);
%! assert (sum (x), 1, 1e-14);
%! g = K * x' - k;
%! assert (max (g(x > 0)) - min (g(x < u)) <= info.gap + 1e-14);
%! [plain, pinfo] = simplexQPopt (K, k);
%! [loose, linfo] = simplexQPopt (K, k, struct ("UpperBound", [Inf; ones(199, 1)]));
%! assert (num2hex (loose), num2hex (plain));
%! assert (linfo.atUpperBound, 0);
%! [one, oinfo] = simplexQPopt (Q, b, struct ("UpperBound", [0.5 0.25 0.25]));
%! assert (one, [0.5 0.25 0.25]);
%! assert (oinfo.gap, 0);

%!test
%! ## Options: Tolerance as tol, empty fields as defaults, a warm start from
%! ## the answer takes no step and keeps its bits, MaxIterations = 0
%! ## certifies a start (entries a hair below 0 taken as 0).
%! [K, k] = one_class_problem (200, 11);
%! [x, info] = simplexQPopt (K, k, 1e-9);
%! [y, yinfo] = simplexQPopt (K, k, struct ("Tolerance", 1e-9, "Display", [], "MaxIterations", []));
%! assert (num2hex (y), num2hex (x));
%! [x, info] = simplexQPopt (K, k);
%! [w, winfo] = simplexQPopt (K, k, struct ("InitialPoint", x));
%! assert (num2hex (w), num2hex (x));
%! assert (winfo.iterations, 0);
%! assert (winfo.converged);
%! start = [0.25, 0.75, -1e-17 * ones(1, 198)];
%! [c, cinfo] = simplexQPopt (K, k, struct ("InitialPoint", start, "MaxIterations", 0));
%! assert (num2hex (c), num2hex ([0.25, 0.75, zeros(1, 198)]));
%! assert (cinfo.iterations, 0);
%! assert (cinfo.support, 2);
%! assert (! cinfo.converged);
%! assert (cinfo.objective, 0.5 * c * K * c' - c * k, 1e-14);

%!test
%! ## A warm start after b changed by 1% converges to the cold answer's
%! ## objective, below its start's.
%! [K, k] = one_class_problem (300, 12);
%! x = simplexQPopt (K, k);
%! randn ("state", 12);
%! k2 = k .* (1 + 0.01 * randn (300, 1));
%! [cold, cinfo] = simplexQPopt (K, k2);
%! [warm, winfo] = simplexQPopt (K, k2, struct ("InitialPoint", x));
%! assert (cinfo.converged && winfo.converged);
%! assert (winfo.objective <= 0.5 * x * K * x' - x * k2);
%! assert (abs (winfo.objective - cinfo.objective) <= cinfo.gap + winfo.gap);
%! assert (winfo.support, nnz (warm));

%!test
%! ## Display: nothing with 'off', one line with 'final', a heading, a line
%! ## per check and the end with 'iter', all captured as the host prints them.
%! [K, k] = one_class_problem (200, 13);
%! [x, info] = simplexQPopt (K, k);
%! assert (evalc ("simplexQPopt (K, k, struct ('Display', 'off'));"), "");
%! text = evalc ("simplexQPopt (K, k, struct ('Display', 'final'));");
%! assert (regexp (text, '^simplexQPopt: converged, gap \S+ <= tol \S+ after \d+ pair steps; objective \S+, support \d+\n$', "once"), 1);
%! assert (! isempty (strfind (text, sprintf ("support %d", info.support))));
%! lines = strsplit (deblank (evalc ("simplexQPopt (K, k, struct ('Display', 'iter'));")), "\n");
%! assert (numel (lines) >= 4);
%! assert (strncmp (lines{1}, "simplexQPopt: n = 200, tol = ", 29));
%! assert (! isempty (strfind (lines{2}, "steps")));
%! for i = 3:numel (lines) - 1
%!   assert (regexp (lines{i}, '^ *\d+ +\S+ +\S+ +\d+  (pair steps|polish)$', "once"), 1);
%! endfor
%! last = sscanf (lines{end - 1}, "%f", 1);
%! assert (last, info.iterations);
%! assert (strncmp (lines{end}, "simplexQPopt: converged", 23));
%! text = evalc ("simplexQPopt (K, k, struct ('Display', 'iter', 'InitialPoint', x));");
%! assert (! isempty (regexp (text, '\n +0 +\S+ +\S+ +\d+  start\n', "once")));

%!test
%! ## No columns: an empty row, converged.
%! [x, info] = simplexQPopt (zeros (0, 0), zeros (0, 1));
%! assert (size (x), [1 0]);
%! assert (info.converged);

%!test
%! ## The gap bounds f(x) - f* against qp, and tol bounds the gap.
%! for seed = 1:4
%!   [K, k] = one_class_problem (40 + 20 * seed, seed);
%!   n = rows (K);
%!   [~, qp_objective] = qp (ones (n, 1) / n, K, -k, ones (1, n), 1, zeros (n, 1), [], optimset ("MaxIter", 5000));
%!   [x, info] = simplexQPopt (K, k, 1e-10);
%!   assert (info.converged && info.gap <= 1e-10);
%!   assert (0.5 * x * K * x' - x * k <= qp_objective + 1e-9);
%! endfor

%!test
%! ## A run that cannot meet tol warns with one output, and not with two.
%! [K, k] = one_class_problem (30, 9);
%! lastwarn ("");
%! x = simplexQPopt (K, k, 0);
%! [msg, id] = lastwarn ();
%! assert (id, "simplexQPopt:notConverged");
%! lastwarn ("");
%! [x, info] = simplexQPopt (K, k, 0);
%! assert (! info.converged && info.gap > 0);
%! assert (lastwarn (), "");

%!test
%! ## Converged only where f's first-order conditions hold: Q*x - b is
%! ## first-order at (0, 1) here, f's minimiser is (0.5, 0.5).
%! [x, info] = simplexQPopt ([2 2; -2 2], [0; 0]);
%! assert (! info.converged || abs (x(1) - 0.5) < 1e-9);
%! ## The default tolerance is met on all-zero and subnormal data.
%! [~, info] = simplexQPopt (zeros (3), zeros (3, 1));
%! assert (info.converged);
%! [x, info] = simplexQPopt (1e-310 * [2 1; 1 2], 1e-310 * [1; 0]);
%! assert (info.converged);
%! assert (x, [1 0]);

%!test
%! ## Q and b are only read.
%! [K, k] = one_class_problem (30, 5);
%! before = {num2hex(K), num2hex(k)};
%! x = simplexQPopt (K, k);
%! assert ({num2hex(K), num2hex(k)}, before);

%!testif ; corpus_files_present ()
%! ## The Octave build gives the bits of the stand-in build on the shared
%! ## corpus.
%! [problems, reference] = corpus_files ();
%! expected = strsplit (deblank (fileread (reference)), "\n");
%! got = corpus_answers_in_host (problems);
%! assert (numel (got), numel (expected));
%! differ = find (! strcmp (got, expected), 1);
%! if (! isempty (differ))
%!   error ("corpus line %d differs:\n  Octave:   %.200s\n  expected: %.200s",
%!          differ, got{differ}, expected{differ});
%! endif

%!error <^simplexQPopt: K must be a 1-by-1 struct; got a 1-by-2 struct array$> x = simplexQPopt (struct ("Points", {1, 2}, "Kernel", "linear"), 1)
%!error <^simplexQPopt: K has an unknown field 'Kernal'; a struct K has the fields Points \(n-by-d, a point per row\), Kernel \('gaussian' or 'linear'\) and Width \(for 'gaussian'\)$> x = simplexQPopt (struct ("Points", ones (3, 2), "Kernal", "linear"), b)
%!error <^simplexQPopt: K.Points is missing; > x = simplexQPopt (struct ("Kernel", "linear"), b)
%!error <^simplexQPopt: K.Points must be a real, full, double n-by-d matrix \(a point per row\); got a 3-by-2 single matrix$> x = simplexQPopt (struct ("Points", single (ones (3, 2)), "Kernel", "linear"), b)
%!error <^simplexQPopt: K.Kernel must be 'gaussian' or 'linear'; got 'rbf'$> x = simplexQPopt (struct ("Points", ones (3, 2), "Kernel", "rbf"), b)
%!error <^simplexQPopt: K.Width is missing: the 'gaussian' kernel needs it; > x = simplexQPopt (struct ("Points", ones (3, 2), "Kernel", "gaussian"), b)
%!error <^simplexQPopt: K.Width is given, but the 'linear' kernel takes none; > x = simplexQPopt (struct ("Points", ones (3, 2), "Kernel", "linear", "Width", 1), b)
%!error <^simplexQPopt: K.Width must be finite and . 0, with 2\*Width\^2 a finite double . 0; got -1$> x = simplexQPopt (struct ("Points", ones (3, 2), "Kernel", "gaussian", "Width", -1), b)
%!error <^simplexQPopt: b must be a real, full, double vector of 4 elements; got a 3-by-1 double matrix$> x = simplexQPopt (struct ("Points", ones (4, 2), "Kernel", "linear"), b)
%!error <^simplexQPopt: options.CacheSize must be a finite number of megabytes . 0; got 0$> x = simplexQPopt (Q, b, struct ("CacheSize", 0))
%!error <^simplexQPopt: K.Points must be finite; got NaN at K.Points\(2,1\)$> x = simplexQPopt (struct ("Points", [1 2; NaN 1; 0 0], "Kernel", "linear"), b)
%!error <^simplexQPopt: K.Points are too large for the 'linear' kernel> x = simplexQPopt (struct ("Points", 1e160 * ones (3, 2), "Kernel", "linear"), b)

%!test
%! ## Q described by points: the Gaussian gives the answer of the dense Q
%! ## of its values (formed here with the host's exp, which may differ in
%! ## the last bit), with its options and at any CacheSize to the bit; the
%! ## linear kernel gives the answer of P*P'.
%! rand ("state", 17);
%! p = rand (300, 3);
%! K = struct ("Points", p, "Kernel", "gaussian", "Width", 0.2);
%! d2 = (p(:,1) - p(:,1)').^2 + (p(:,2) - p(:,2)').^2 + (p(:,3) - p(:,3)').^2;
%! Q = exp (-d2 / (2 * 0.2^2));
%! k = ones (300, 1);
%! [x, info] = simplexQPopt (K, k);
%! [y, yinfo] = simplexQPopt (Q, k);
%! assert (info.converged && yinfo.converged);
%! assert (x, y, 1e-9);
%! assert (info.objective, yinfo.objective, 1e-14);
%! bounded = struct ("UpperBound", 1 / 30);
%! [x, info] = simplexQPopt (K, k, bounded);
%! assert (all (x <= 1 / 30) && info.atUpperBound > 0);
%! bounded.CacheSize = 0.05;
%! assert (num2hex (simplexQPopt (K, k, bounded)), num2hex (x));
%! L = struct ("Points", p, "Kernel", "linear");
%! [x, info] = simplexQPopt (L, p(:, 1));
%! [y, yinfo] = simplexQPopt (p * p', p(:, 1));
%! assert (info.converged);
%! assert (info.objective, yinfo.objective, 1e-13);
%! assert (size (simplexQPopt (struct ("Points", zeros (0, 2), "Kernel", "linear"), zeros (0, 1))), [1 0]);
