function varargout = breast_cancer_demo(out)
%BREAST_CANCER_DEMO Pellumar on the Breast Cancer Wisconsin (Diagnostic) data.
%   BREAST_CANCER_DEMO trains Pellumar on the data beside this file (569
%   samples, 30 features, +1 malignant / -1 benign; see load_breast_cancer).
%   For each of five regularisation weights lambda it trains on the training
%   split and prints training and validation accuracy and the time; it
%   chooses the lambda with the best validation accuracy and reports that
%   model's accuracy on the held-out split, which plays no part in the choice.
%   It then draws validation and held-out accuracy against the number of
%   iterations T into accuracy_vs_iterations.png.
%
%   BREAST_CANCER_DEMO(OUT) writes the picture into the folder OUT (made if
%   missing) instead of the current folder. The folder used is printed.
%
%   RESULT = BREAST_CANCER_DEMO(...) also returns a struct with the fields
%   lambdas, validation (one accuracy per lambda), lambda (the chosen one),
%   heldOut (its held-out accuracy) and picture (the PNG file).
%
%   Needs Pellumar on the path; runs in MATLAB R2018a or later and GNU
%   Octave 6.1 or later.

  if nargin < 1
    out = pwd;
  end
  data = load_breast_cancer();
  accuracy = @(w, X, y) mean(sign(w' * X) == y);
  passes = 20;
  T = passes * size(data.Xfit, 2);
  eta0 = 0.5;
  lambdas = [1e-4 1e-3 1e-2 1e-1 1];

  fprintf('Breast Cancer Wisconsin: %d training, %d validation, %d held-out samples, %d features (+ bias)\n', ...
          size(data.Xfit, 2), size(data.Xval, 2), size(data.Xtest, 2), size(data.Xfit, 1) - 1);
  fprintf('T = %d iterations (%d passes), eta0 = %g\n\n', T, passes, eta0);
  fprintf('%10s  %10s  %10s  %10s\n', 'lambda', 'train acc', 'valid acc', 'time (ms)');
  validation = zeros(size(lambdas));
  models = cell(size(lambdas));
  for i = 1:numel(lambdas)
    start = tic;
    models{i} = Pellumar(data.Xfit, data.yfit, lambdas(i), T, eta0);
    elapsed = toc(start);
    validation(i) = accuracy(models{i}, data.Xval, data.yval);
    fprintf('%10g  %10.4f  %10.4f  %10.3f\n', lambdas(i), ...
            accuracy(models{i}, data.Xfit, data.yfit), validation(i), 1000 * elapsed);
  end
  [~, chosen] = max(validation);  % the first of equals: the smallest lambda
  heldOut = accuracy(models{chosen}, data.Xtest, data.ytest);
  fprintf('\nchosen on the validation split: lambda = %g\n', lambdas(chosen));
  fprintf('held-out accuracy of that model: %.4f\n', heldOut);

  % Accuracy against the number of iterations for the chosen lambda.
  iterations = unique(round(logspace(0, log10(50 * size(data.Xfit, 2)), 25)));
  curves = zeros(2, numel(iterations));
  for i = 1:numel(iterations)
    w = Pellumar(data.Xfit, data.yfit, lambdas(chosen), iterations(i), eta0);
    curves(:, i) = [accuracy(w, data.Xval, data.yval); accuracy(w, data.Xtest, data.ytest)];
  end
  if ~exist(out, 'dir')
    mkdir(out);
  end
  picture = fullfile(out, 'accuracy_vs_iterations.png');
  fig = example_figure(640, 400);
  semilogx(iterations, curves(1, :), 'o-', iterations, curves(2, :), 's-');
  grid on;
  xlabel('iterations T');
  ylabel('accuracy');
  legend('validation', 'held-out', 'Location', 'southeast');
  title(sprintf('Pellumar on Breast Cancer Wisconsin, lambda = %g', lambdas(chosen)));
  print(fig, '-dpng', '-r96', picture);
  close(fig);
  fprintf('accuracy against T: %s\n', picture);

  if nargout > 0
    varargout{1} = struct('lambdas', lambdas, 'validation', validation, ...
                          'lambda', lambdas(chosen), 'heldOut', heldOut, 'picture', picture);
  end
end
