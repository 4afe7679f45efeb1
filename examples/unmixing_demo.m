% Spectral unmixing with simplexLSQ: each pixel of a hyperspectral image is
% a mixture of a few materials' spectra (the endmembers, the columns of C),
% with abundances that are non-negative and sum to 1. For every pixel d,
%   minimise 1/2*|C*x - d|^2  over  x >= 0,  sum(x) = 1,
% all pixels in one call, each answer certified.
%
% Synthetic, so that the truth is known: 20 smooth endmember spectra over
% 200 bands, 20,000 pixels whose abundances are drawn from a Dirichlet
% distribution over three or four of them, plus noise. The demo compares the
% recovered abundances with the truth, and one pixel's answer with
% simplexQPopt's on the formed Q = C'*C, b = C'*d, and with the FCLS route
% (non-negative least squares with a heavily weighted row of ones for the
% sum), which only nearly sums to 1.
%
% Run from the repository with the plug-ins on the path (scripts/demo.sh):
%   octave-cli --path out/release/octave examples/unmixing_demo.m

1;  % a script file, not a function file

rand ("state", 7);
randn ("state", 7);
m = 200;      % bands
n = 20;       % endmembers
p = 20000;    % pixels
bands = linspace (0, 1, m)';

% Each spectrum: a few broad absorption features on a sloping baseline.
C = zeros (m, n);
for j = 1:n
  spectrum = 0.3 + 0.4 * rand () * bands;
  for feature = 1:3
    spectrum += 0.5 * rand () * exp (-(bands - rand ()).^2 / (2 * (0.03 + 0.1 * rand ())^2));
  endfor
  C(:, j) = spectrum;
endfor

% Abundances: three or four materials a pixel, Dirichlet(1, ..., 1) among
% them (normalised exponential draws).
X_true = zeros (n, p);
for k = 1:p
  present = randperm (n, 3 + (rand () < 0.5));
  draws = -log (rand (numel (present), 1));
  X_true(present, k) = draws / sum (draws);
endfor
noise = 0.002;
D = C * X_true + noise * randn (m, p);

tic;
[X, info] = simplexLSQ (C, D);
seconds = toc;
printf ("simplexLSQ: %d pixels of %d bands, %d endmembers, in %.2f s (%.1f us a pixel)\n", ...
        p, m, n, seconds, 1e6 * seconds / p);
printf ("  all certified: %d, largest gap %.2e, mean support %.1f\n", ...
        all (info.converged), max (info.gap), mean (info.support));
printf ("  abundances: mean |X - X_true| %.4f, largest |sum(X) - 1| %.1e\n", ...
        mean (abs (X(:) - X_true(:))), max (abs (sum (X, 1) - 1)));

% One pixel three ways.
d = D(:, 1);
[x_qp, qp_info] = simplexQPopt (C' * C, C' * d);
delta = 1e3 * max (abs (C(:)));
x_fcls = lsqnonneg ([C; delta * ones(1, n)], [d; delta]);
half_residual = @(x) 0.5 * norm (C * x(:) - d)^2;
printf ("\nPixel 1: 1/2*|Cx - d|^2 and sum(x) - 1\n");
printf ("  simplexLSQ            %.15e  %+.1e\n", half_residual (X(:, 1)), sum (X(:, 1)) - 1);
printf ("  simplexQPopt(C'C, C'd) %.15e  %+.1e\n", half_residual (x_qp), sum (x_qp) - 1);
printf ("  FCLS (lsqnonneg)      %.15e  %+.1e\n", half_residual (x_fcls), sum (x_fcls) - 1);
