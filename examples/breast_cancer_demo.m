% Trains Pellumar on the Breast Cancer Wisconsin (Diagnostic) data and reports
% held-out accuracy and training time for a few regularisation weights, then
% plots held-out accuracy against the number of iterations.
%
% Run from the project root after building (make demo does both), or with the
% module's folder on the path:
%     octave-cli --eval "addpath(fullfile(pwd, 'build', 'octave')); run('examples/breast_cancer_demo.m')"
%
% The data: 569 samples, 30 features, label +1 malignant / -1 benign
% (data/README.md has the source and licence).

here = fileparts(mfilename('fullpath'));
addpath(here);
[Xtrain, ytrain, Xtest, ytest] = load_breast_cancer();

accuracy = @(w, X, y) mean(sign(w' * X) == y);
T = 20 * columns(Xtrain);
eta0 = 0.5;
printf('Breast Cancer Wisconsin: %d training, %d held-out samples, %d features (+ bias)\n', ...
       columns(Xtrain), columns(Xtest), rows(Xtrain) - 1);
printf('T = %d iterations, eta0 = %g\n\n', T, eta0);
printf('%10s  %10s  %10s  %12s\n', 'lambda', 'train acc', 'test acc', 'time (ms)');
best = 0;
for lambda = [1e-4 1e-3 1e-2 1e-1]
  tic;
  w = Pellumar(Xtrain, ytrain, lambda, T, eta0);
  elapsed = toc;
  testAccuracy = accuracy(w, Xtest, ytest);
  best = max(best, testAccuracy);
  printf('%10g  %10.4f  %10.4f  %12.3f\n', lambda, accuracy(w, Xtrain, ytrain), testAccuracy, ...
         1000 * elapsed);
end
printf('\nbest held-out accuracy: %.4f\n', best);

% Held-out accuracy against the number of iterations: written as a table, and
% drawn as a PNG by gnuplot where it is installed.
iterations = unique(round(logspace(0, log10(50 * columns(Xtrain)), 25)));
curve = arrayfun(@(t) accuracy(Pellumar(Xtrain, ytrain, 1e-3, t, eta0), Xtest, ytest), iterations);
outdir = fullfile(here, '..', 'build');
if ~exist(outdir, 'dir')
  mkdir(outdir);
end
table = fullfile(outdir, 'accuracy_vs_iterations.dat');
png = fullfile(outdir, 'accuracy_vs_iterations.png');
dlmwrite(table, [iterations(:) curve(:)], ' ');
script = sprintf(['set terminal png size 800,500; set output "%s"; set logscale x; ' ...
                  'set xlabel "iterations T"; set ylabel "held-out accuracy"; set grid; ' ...
                  'set title "Pellumar on Breast Cancer Wisconsin, lambda = 1e-3"; ' ...
                  'plot "%s" with linespoints notitle'], png, table);
if system('command -v gnuplot > /dev/null') == 0 && system(sprintf('gnuplot -e ''%s''', script)) == 0
  printf('plot of held-out accuracy against T: %s\n', png);
else
  printf('accuracy against T (no gnuplot for a plot): %s\n', table);
end
