% simplexLSQ  Least squares over the probability simplex, for each column
% of D, to a certified tolerance.
%
%   X = simplexLSQ(C, D)
%   X = simplexLSQ(C, D, tol)
%   X = simplexLSQ(C, D, options)
%   [X, info] = simplexLSQ(...)
%
%   For each column d = D(:, j) of the real m-by-p matrix D, column X(:, j)
%   of the n-by-p result minimises 1/2*norm(C*x - d)^2 over x >= 0,
%   sum(x) = 1 (and x <= options.UpperBound), for a dense real m-by-n
%   matrix C: the weights of a convex mixture of C's columns that comes
%   nearest to d (spectral unmixing, archetype and mixture fits). It is
%   simplexQPopt's problem with Q = C'*C and b = C'*d, solved to the same
%   certificate, but C'*C is never formed for a large n: the solver reads
%   C (a small n's Gram matrix is formed once and shared by the columns).
%   Memory: C and D, X and info, about 100 bytes a weight, the cache of
%   columns (options.CacheSize), the polish's factor (8 bytes times the
%   support squared), and the Gram matrix, 8*n^2 bytes, where it is formed
%   (n at most 2048 and at most 32 times the number of columns of D).
%   Every answer is the same to the last bit on every platform and host,
%   whatever rounding mode or flush-to-zero setting the host has left on.
%
%   The gap of a column's x bounds max(g(x > 0)) - min(g) from above, g =
%   C'*(C*x - d) the gradient (with bounds, max(g(x > 0)) - min(g(x < u)),
%   and 0 where every weight is at its bound); it is computed from the
%   residual C*x - d and a rigorous bound of that computation's rounding,
%   and bounds 1/2*norm(C*x - d)^2 - its least value from above.
%
%   tol, each column's, defaults to simplexQPopt's default for that
%   column's Q = C'*C and b = C'*d, plus (8*m + 64)*eps(1)/2 times
%   max over i of sum(abs(C(:,i)) .* (abs(d) + max(abs(C), [], 2))), which
%   allows for the m terms of each gradient C(:,i)'*(C*x - d): close to
%   machine precision at the problem's scale and always above what rounding
%   can hide, for long columns (m far above n) too.
%
%   options, a 1-by-1 struct with any of these fields (a field set to []
%   takes its default; any other field name is an error that lists these):
%     Tolerance      tol, as above, the same for every column.
%     MaxIterations  the cap on each column's pair steps, a whole number
%                    >= 0 (Inf: none); default max(1e7, 100*n).
%     Display        'off' (default); 'final': one line per column when its
%                    run ends; 'iter': for each column a heading, a line at
%                    each exact check of the gap (as simplexQPopt's) and its
%                    final line. With several columns each line names its
%                    column ("simplexLSQ: column 2 of 5, converged, ...").
%     InitialPoint   the starts: an n-by-p matrix, one per column, or an
%                    n-by-1 column that every column starts from; each with
%                    finite entries >= 0 summing to 1, up to rounding of
%                    (n + 16)*eps, as simplexQPopt's InitialPoint.
%     UpperBound     u, a bound on each weight shared by every column: a
%                    scalar or a vector of n entries, each >= 0 (Inf: no
%                    bound), summing to at least 1, as simplexQPopt's.
%     CacheSize      megabytes of copies of C'*C's columns the runs may
%                    keep where the Gram matrix is not formed (each costs
%                    a pass over C), finite and > 0; default 256. The
%                    answers' bits do not depend on it.
%
%   info, a 1-by-1 struct of 1-by-p rows, entry j for column j:
%     objective   1/2*norm(C*X(:, j) - D(:, j))^2
%     gap         the gap of X(:, j) described above
%     iterations  pair steps taken up to X(:, j)
%     converged   1 where gap <= tol, 0 where not (a double row: all
%                 (info.converged) asks whether every column converged)
%     support     the number of positive weights in X(:, j)
%     atUpperBound  the number of weights at their bound (0 without one)
%   A column's run ends unconverged after max(1e7, 100*n) pair steps (or
%   MaxIterations), or when tol cannot be met in double precision; its x
%   is then the point of least gap that the run checked exactly. With one
%   output, columns that ended so raise one warning, simplexLSQ:notConverged,
%   naming how many and the first of them; with [X, info] there is none.
%
%   With p = 0, X is n-by-0 and info's rows are empty. With n = 0 no x is
%   feasible: X is 0-by-p, as simplexQPopt's x is 1-by-0 for an empty Q.
%
%   Errors, in the order they are checked; a call that raises one computes
%   and changes nothing (Octave puts "simplexLSQ: " before each message):
%     Takes 2-3 input arguments
%     Outputs one or two results
%     C must be a real, full, double m-by-n matrix; got a 4-by-3 single matrix
%     D must be a real, full, double m-by-p matrix; got a 4-by-1 complex double matrix
%     D must have as many rows as C (4); got a 3-by-2 double matrix
%     tol must be a real numeric scalar; got a 1-by-2 double matrix
%     tol must be a non-negative number; got NaN
%     options must be a 1-by-1 struct, and its fields as simplexQPopt's,
%         but for the starts:
%     options.InitialPoint must be a real, full, double 3-by-2 or 3-by-1
%         matrix; got a 1-by-3 double matrix
%     C must be finite; got NaN at C(2,1)
%     D must be finite; got Inf at D(1,2)
%     options.UpperBound's values, as simplexQPopt's
%     options.InitialPoint must be >= 0; got -0.1 at InitialPoint(3,2)
%     options.InitialPoint's columns must each sum to 1; got
%         sum(InitialPoint(:,2)) - 1 = 0.5
%         (with one column shared by all: InitialPoint(3) and
%         sum(InitialPoint), as simplexQPopt's)
%
%   Example: unmixing 100 signals as mixtures of 5 spectra.
%     S = rand (200, 5);                       % the spectra, one a column
%     W = rand (5, 100); W = W ./ sum (W);     % true weights
%     D = S * W + 0.01 * randn (200, 100);     % noisy mixtures
%     [X, info] = simplexLSQ (S, D);
%     max (abs (X(:) - W(:))), all (info.converged)
%
%   simplexLSQ @PROJECT_VERSION@, under the BSD 3-Clause license (LICENSE).
%
%   See also: simplexQPopt, simplexQP, lsqlin

% In-host tests: run them with "test simplexLSQ".

%!shared C, D
%! C = [1 0 0.5; 0 1 0.5; 0.2 0.1 1; 1 1 0];
%! D = [0.3 1; 0.6 0; 0.5 0.2; 0.9 1];

%!error <^simplexLSQ: Takes 2-3 input arguments$> X = simplexLSQ (C)
%!error <^simplexLSQ: Takes 2-3 input arguments$> simplexLSQ (C, D, 1e-9, 0)
%!error <^simplexLSQ: Outputs one or two results$> [X, y, z] = simplexLSQ (C, D)
%!error <^simplexLSQ: C must be a real, full, double m-by-n matrix; got a 4-by-3 single matrix$> X = simplexLSQ (single (C), D)
%!error <^simplexLSQ: C must be a real, full, double m-by-n matrix; got a 4-by-3 sparse double matrix$> X = simplexLSQ (sparse (C), D)
%!error <^simplexLSQ: D must be a real, full, double m-by-p matrix; got a 4-by-2 complex double matrix$> X = simplexLSQ (C, D + 1i)
%!error <^simplexLSQ: D must be a real, full, double m-by-p matrix; got a 4-by-2 int32 matrix$> X = simplexLSQ (C, int32 (D))
%!error <^simplexLSQ: D must have as many rows as C \(4\); got a 3-by-2 double matrix$> X = simplexLSQ (C, D(1:3, :))
%!error <^simplexLSQ: tol must be a non-negative number; got NaN$> X = simplexLSQ (C, D, NaN)
%!error <^simplexLSQ: options has an unknown field 'TolFun'; the known fields are Tolerance, MaxIterations, Display, InitialPoint, UpperBound and CacheSize$> X = simplexLSQ (C, D, optimset ("TolFun", 1e-9))
%!error <^simplexLSQ: options.InitialPoint must be a real, full, double 3-by-2 or 3-by-1 matrix; got a 1-by-3 double matrix$> X = simplexLSQ (C, D, struct ("InitialPoint", [1 0 0]))
%!error <^simplexLSQ: C must be finite; got NaN at C\(2,1\)$> X = simplexLSQ ([1 0 0.5; NaN 1 0.5; 0.2 0.1 1; 1 1 0], D)
%!error <^simplexLSQ: D must be finite; got Inf at D\(1,2\)$> X = simplexLSQ (C, [0.3 Inf; 0.6 0; 0.5 0.2; 0.9 1])
%!error <^simplexLSQ: options.InitialPoint must be .= 0; got -0.1 at InitialPoint\(3,2\)$> X = simplexLSQ (C, D, struct ("InitialPoint", [1 0.6; 0 0.5; 0 -0.1]))
%!error <^simplexLSQ: options.InitialPoint's columns must each sum to 1; got sum\(InitialPoint\(:,2\)\) - 1 = 0.5$> X = simplexLSQ (C, D, struct ("InitialPoint", [1 0.5; 0 0.5; 0 0.5]))
%!error <^simplexLSQ: options.UpperBound times n must be at least 1, or no x is feasible; got n \* UpperBound = 0.75$> X = simplexLSQ (C, D, struct ("UpperBound", 0.25))

%!test
%! ## An n-by-p double on the simplex, column by column, and info's 1-by-p
%! ## rows as documented.
%! [X, info] = simplexLSQ (C, D);
%! assert (class (X), "double");
%! assert (size (X), [3 2]);
%! assert (all (X(:) >= 0));
%! assert (sum (X), [1 1], 4 * eps);
%! assert (fieldnames (info), {"objective"; "gap"; "iterations"; "converged"; "support"; "atUpperBound"});
%! assert (size (info), [1 1]);
%! for f = fieldnames (info)'
%!   assert (size (info.(f{1})), [1 2]);
%! endfor
%! assert (info.converged, [1 1]);
%! assert (info.support, sum (X > 0));
%! assert (info.objective, 0.5 * sum ((C * X - D).^2), 1e-15);
%! for j = 1:2
%!   g = C' * (C * X(:, j) - D(:, j));
%!   assert (max (g(X(:, j) > 0)) - min (g) <= info.gap(j) + 1e-15);
%! endfor
%! assert (num2hex (simplexLSQ (C, D(:, 2))), num2hex (X(:, 2)));

%!test
%! ## The answers of simplexQPopt on C'*C and C'*d, within the gaps.
%! rand ("state", 3);
%! S = rand (40, 6);
%! W = rand (6, 5); W = W ./ sum (W);
%! B = S * W + 0.05 * (rand (40, 5) - 0.5);
%! [X, info] = simplexLSQ (S, B, 1e-12);
%! for j = 1:5
%!   [x, qinfo] = simplexQPopt (S' * S, S' * B(:, j), 1e-12);
%!   assert (abs (info.objective(j) - 0.5 * norm (S * x' - B(:, j))^2) <= 1e-10);
%! endfor
%! assert (all (info.converged));

%!test
%! ## Options: a shared start, bounds, Display per column, a warning naming
%! ## the columns that did not converge.
%! [X, info] = simplexLSQ (C, D, struct ("InitialPoint", [0.5; 0.5; 0], "UpperBound", 0.5));
%! assert (all (X(:) <= 0.5));
%! assert (info.converged, [1 1]);
%! assert (evalc ("simplexLSQ (C, D, struct ('Display', 'off'));"), "");
%! lines = strsplit (deblank (evalc ("simplexLSQ (C, D, struct ('Display', 'final'));")), "\n");
%! assert (numel (lines), 2);
%! assert (strncmp (lines{2}, "simplexLSQ: column 2 of 2, converged, gap ", 42));
%! text = evalc ("simplexLSQ (C, D(:, 1), struct ('Display', 'iter'));");
%! assert (strncmp (text, "simplexLSQ: n = 3, tol = ", 25));
%! lastwarn ("");
%! X = simplexLSQ (C, D, 0);
%! [msg, id] = lastwarn ();
%! assert (id, "simplexLSQ:notConverged");
%! assert (! isempty (strfind (msg, "the first, column ")));

%!test
%! ## Empty sizes: no right-hand side, and an empty C and D.
%! [X, info] = simplexLSQ (C, zeros (4, 0));
%! assert (size (X), [3 0]);
%! assert (size (info.gap), [1 0]);
%! X = simplexLSQ (zeros (4, 0), D);
%! assert (size (X), [0 2]);

%!test
%! ## C and D are only read.
%! before = {num2hex(C), num2hex(D)};
%! X = simplexLSQ (C, D);
%! assert ({num2hex(C), num2hex(D)}, before);
