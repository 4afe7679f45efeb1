% Fits a density to a 2-D data set as a mixture of Gaussian bumps on a grid
% of candidate centres in GNU Octave, with simplexQP (SMO and multUpdate) and
% with simplexQPopt, and compares the weights, the objective and the time
% with Octave's own qp; simplexQPopt also reports the gap it certifies.
%
% The least-squares distance between the mixture sum_i w_i*g_i and the data
% density is, up to constants, 1/2*w*K*w' - w*k with K(i,j) the kernel of
% centres i and j and k(i) the mean kernel of centre i against the data;
% the weights are non-negative and sum to 1, so they lie on the simplex.
%
% Run from the repository with the plug-ins on the path (scripts/demo.sh):
%   octave-cli --path out/release/octave examples/kernel_mixture_demo.m
% It also draws the fitted mixture with gnuplot (no display needed) into
% out/demo/kernel_mixture.png of the repository.

1;  % a script file, not a function file

function f = objective (x, K, k)
  f = 0.5 * x * K * x' - x * k;
endfunction

function print_solver (name, x, K, k, reference, seconds, note)
  f = objective (x, K, k);
  printf ("  %-22s %15.10f %+10.2e %10.1f ms   %s\n", name, f, f - reference, 1000 * seconds, note);
endfunction

% Three clusters of points; their shares of the data are what the weights
% should recover.
rand ("state", 42);
randn ("state", 42);
cluster_centres = [0.25 0.30; 0.70 0.75; 0.80 0.25];
cluster_spread = [0.06; 0.08; 0.05];
cluster_sizes = [250; 200; 150];
data = zeros (0, 2);
for c = 1:3
  data = [data; cluster_centres(c,:) + cluster_spread(c) * randn(cluster_sizes(c), 2)];
endfor

side = 15;
width = 0.06;
[gx, gy] = meshgrid (((1:side) - 0.5) / side);
centres = [gx(:), gy(:)];
n = rows (centres);
squared_distance = @(A, B) (A(:,1) - B(:,1)').^2 + (A(:,2) - B(:,2)').^2;
K = exp (-squared_distance (centres, centres) / (2 * width^2));
k = mean (exp (-squared_distance (centres, data) / (2 * width^2)), 2);

printf ("simplexQP and simplexQPopt in GNU Octave %s (%s)\n", version (), which ("simplexQP"));
printf ("Gaussian-kernel mixture fitted to %d points in 3 clusters:\n", rows (data));
printf ("%d candidate centres on a %dx%d grid, kernel width %.2f\n\n", n, side, side, width);

loaded = simplexQP (1, 1);  % loads the plug-ins: the timings below are of solving
loaded = simplexQPopt (1, 1);
tic; x_smo = simplexQP (K, k); t_smo = toc;
tic; x_mult = simplexQP (K, k, 3); t_mult = toc;
tic; [x_opt, opt] = simplexQPopt (K, k); t_opt = toc;  % the default tolerance
if (opt.converged)
  opt_note = sprintf ("certified gap %.2e, converged", opt.gap);
else
  opt_note = sprintf ("certified gap %.2e, NOT CONVERGED", opt.gap);
endif
opt_note = sprintf ("%s after %d pair steps", opt_note, opt.iterations);
iteration_limit = 1000;
tic;
[x_qp, ~, info] = qp (ones (n, 1) / n, K, -k, ones (1, n), 1, zeros (n, 1), [], ...
                      optimset ("MaxIter", iteration_limit));
t_qp = toc;
x_qp = x_qp';
switch (info.info)  # qp's status codes
  case 0
    qp_note = sprintf ("optimum after %d iterations", info.solveiter);
  case 3
    qp_note = sprintf ("STOPPED AT THE ITERATION LIMIT (%d): not an optimum", iteration_limit);
  case 1
    qp_note = sprintf ("found the problem not convex: a local solution, %d iterations", info.solveiter);
  otherwise
    qp_note = sprintf ("failed (info %d) after %d iterations", info.info, info.solveiter);
endswitch

printf ("Centres carrying at least 2%% of the weight (SMO):\n");
printf ("  %-16s %10s %10s %12s %10s\n", "centre", "SMO", "multUpdate", "simplexQPopt", "qp");
for i = find (x_smo >= 0.02)
  printf ("  (%5.3f, %5.3f)   %10.4f %10.4f %12.4f %10.4f\n", centres(i,1), centres(i,2),
          x_smo(i), x_mult(i), x_opt(i), x_qp(i));
endfor

% Each centre belongs to the nearest cluster; a cluster's weight should
% match its share of the data.
[~, nearest] = min (squared_distance (centres, cluster_centres), [], 2);
printf ("\nWeight per cluster:\n");
printf ("  %-16s %10s %10s %10s %12s %10s\n", "cluster", "data", "SMO", "multUpdate", "simplexQPopt", "qp");
for c = 1:3
  printf ("  (%4.2f, %4.2f)     %10.4f %10.4f %10.4f %12.4f %10.4f\n", cluster_centres(c,:),
          cluster_sizes(c) / rows (data), sum (x_smo(nearest == c)),
          sum (x_mult(nearest == c)), sum (x_opt(nearest == c)), sum (x_qp(nearest == c)));
endfor

f_qp = objective (x_qp, K, k);
printf ("\n  %-22s %15s %10s %13s\n", "solver", "objective", "- qp's", "time");
print_solver ("simplexQP, SMO", x_smo, K, k, f_qp, t_smo, sprintf ("%d centres above 1e-6", nnz (x_smo > 1e-6)));
print_solver ("simplexQP, multUpdate", x_mult, K, k, f_qp, t_mult, sprintf ("%d centres above 1e-6", nnz (x_mult > 1e-6)));
print_solver ("simplexQPopt", x_opt, K, k, f_qp, t_opt, sprintf ("%d centres above 1e-6; %s", nnz (x_opt > 1e-6), opt_note));
print_solver ("qp", x_qp, K, k, f_qp, t_qp, qp_note);

% The picture: the data and the weights as text files, drawn by gnuplot
% straight to a PNG (Octave's own printing needs a display or a graphics
% toolkit that octave-cli may not have).
root = fileparts (fileparts (mfilename ("fullpath")));
out = fullfile (root, "out", "demo");
if (! exist (out, "dir"))
  mkdir (out);
endif
points = fullfile (out, "kernel_mixture_points.dat");
weights = fullfile (out, "kernel_mixture_weights.dat");
picture = fullfile (out, "kernel_mixture.png");
dlmwrite (points, data, " ");
dlmwrite (weights, [centres, x_smo', x_mult', x_opt', x_qp'], " ");
[status, output] = system (sprintf ("gnuplot -e \"points='%s'; weights='%s'; output='%s'\" '%s' 2>&1",
                                    points, weights, picture, fullfile (root, "examples", "kernel_mixture_plot.gp")));
if (status != 0)
  error ("kernel_mixture_demo: gnuplot could not draw %s: %s", picture, strtrim (output));
endif
printf ("\nThe fitted mixture, drawn: %s\n", picture);
