% Novelty detection with a one-class SVM whose kernel matrix is never
% formed: simplexQPopt takes the points and the kernel (a struct K) and
% computes the columns of Q it needs.
%
% Trained on the 6,000 Fashion-MNIST training images of one class
% (sneakers), it is asked of each of the 10,000 test images whether it looks
% like one; the other classes should mostly be turned away, the nearest
% (sandals, ankle boots) less so.
%
% The one-class SVM's dual (Schoelkopf et al., 2001) is
%   minimise 1/2*a*Q*a'  over  0 <= a <= 1/(nu*n),  sum(a) = 1
% with Q(i,j) = exp(-|p_i - p_j|^2 / (2*w^2)): simplexQPopt's problem with
% b = 0 and options.UpperBound = 1/(nu*n). At most a fraction nu of the
% training images fall outside the learnt region.
%
% Needs Debian's dataset-fashion-mnist (/usr/share/datasets/fashion-mnist).
% Run from the repository with the plug-ins on the path (scripts/demo.sh):
%   octave-cli --path "$PWD/out/release/octave" examples/one_class_demo.m

1;  % a script file, not a function file

function X = read_images (file)
  % IDX format: a big-endian header (magic, count, rows, columns), then
  % one byte a pixel; one image per row, grey levels scaled to [0, 1].
  fid = fopen_unzipped (file);
  header = fread (fid, 4, "uint32", 0, "ieee-be");
  X = fread (fid, [header(3) * header(4), header(2)], "uint8=>double")' / 255;
  fclose (fid);
endfunction

function labels = read_labels (file)
  fid = fopen_unzipped (file);
  header = fread (fid, 2, "uint32", 0, "ieee-be");
  labels = fread (fid, header(2), "uint8=>double");
  fclose (fid);
endfunction

function fid = fopen_unzipped (file)
  unpacked = gunzip (file, tempdir ());
  fid = fopen (unpacked{1}, "r");
  delete (unpacked{1});  % the open file stays readable
endfunction

function K = gaussian_rows (A, B, width)
  % exp(-|a_i - b_j|^2 / (2 w^2)) for the rows of A and B, with the host's
  % exp: for scoring new points (simplexQPopt's own values are its own).
  d2 = max (sum (A.^2, 2) + sum (B.^2, 2)' - 2 * A * B', 0);
  K = exp (-d2 / (2 * width^2));
endfunction

folder = "/usr/share/datasets/fashion-mnist";
if (! exist (fullfile (folder, "train-images-idx3-ubyte.gz"), "file"))
  error ("one_class_demo: no Fashion-MNIST in %s; install Debian's dataset-fashion-mnist", folder);
endif
classes = {"T-shirt/top", "Trouser", "Pullover", "Dress", "Coat", "Sandal", "Shirt", "Sneaker", "Bag", "Ankle boot"};
trained = 7;  % sneakers
train = read_images (fullfile (folder, "train-images-idx3-ubyte.gz"));
train_labels = read_labels (fullfile (folder, "train-labels-idx1-ubyte.gz"));
test = read_images (fullfile (folder, "t10k-images-idx3-ubyte.gz"));
test_labels = read_labels (fullfile (folder, "t10k-labels-idx1-ubyte.gz"));

P = train(train_labels == trained, :);
n = rows (P);
% scikit-learn's 'scale' width: 1/(2 w^2) = 1/(d * var(P(:), 1)), the
% variance over every pixel, divided by their count.
width = sqrt (0.5 * columns (P) * var (P(:), 1));
nu = 0.05;

K = struct ("Points", P, "Kernel", "gaussian", "Width", width);
tic;
[a, info] = simplexQPopt (K, zeros (n, 1), struct ("UpperBound", 1 / (nu * n)));
seconds = toc;
printf ("One-class SVM on %d %s images (d = %d, width %.3f, nu = %.2f):\n", n, classes{trained + 1}, columns (P), width, nu);
printf ("  solved in %.2f s, converged %d, gap %.2e, %d support vectors (%d at the bound);\n", ...
        seconds, info.converged, info.gap, info.support, info.atUpperBound);
printf ("  a stored Q would have taken %.0f MB, K takes none of that.\n", 8 * n^2 / 1e6);

% The offset rho: the gradient Q*a at the support vectors strictly inside
% the bound, where the KKT conditions make it equal.
S = find (a > 0);
free = find (a > 0 & a < 1 / (nu * n));
rho = mean (gaussian_rows (P(free, :), P(S, :), width) * a(S)');
inside = @(Z) gaussian_rows (Z, P(S, :), width) * a(S)' >= rho;

printf ("  training images inside the learnt region: %.1f%% (nu lets about %.0f%% fall outside)\n", ...
        100 * mean (inside (P)), 100 * nu);
printf ("\nTest images taken for a %s, by class:\n", classes{trained + 1});
for c = 0:9
  printf ("  %-12s %5.1f%%\n", classes{c + 1}, 100 * mean (inside (test(test_labels == c, :))));
endfor
