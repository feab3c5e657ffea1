function varargout = breast_cancer_demo(out)
%BREAST_CANCER_DEMO Pellumar on the Breast Cancer Wisconsin (Diagnostic) data.
%   BREAST_CANCER_DEMO trains on the data beside this file (569 samples, 30
%   features, +1 malignant / -1 benign; see load_breast_cancer). It chooses
%   the regularisation weight lambda by 5-fold cross-validation on the
%   training split with pellumar_search, printing each lambda's mean accuracy
%   over the folds, its standard deviation and the time, and reports the
%   chosen model's accuracy on the held-out split, which plays no part in the
%   choice. It then draws training and held-out accuracy against the number
%   of passes over the data into accuracy_vs_passes.png.
%
%   BREAST_CANCER_DEMO(OUT) writes the picture into the folder OUT (made if
%   missing) instead of the current folder. The folder used is printed.
%
%   RESULT = BREAST_CANCER_DEMO(...) also returns a struct with the fields
%   lambdas, crossValidation (one mean accuracy per lambda), lambda (the
%   chosen one), heldOut (its held-out accuracy) and picture (the PNG file).
%
%   Needs Pellumar and pellumar_train, pellumar_predict and pellumar_search on
%   the path; runs in MATLAB R2018a or later and GNU Octave 6.1 or later.

  if nargin < 1
    out = pwd;
  end
  data = load_breast_cancer();
  lambdas = [1e-4 1e-3 1e-2 1e-1 1];
  passes = 20;
  eta0 = 0.5;
  fprintf('Breast Cancer Wisconsin: %d training, %d held-out samples, %d features\n', ...
          size(data.Xtrain, 2), size(data.Xtest, 2), size(data.Xtrain, 1));
  fprintf('%d passes, eta0 = %g, features standardised, with a bias; 5-fold cross-validation\n\n', ...
          passes, eta0);
  result = pellumar_search(data.Xtrain, data.ytrain, 'Lambda', lambdas, 'Passes', passes, ...
                           'Eta0', eta0, 'Standardize', true, 'Verbose', false);
  fprintf('%10s  %10s  %10s\n', 'lambda', 'CV acc', 'CV std');
  for s = result.Settings
    fprintf('%10g  %10.4f  %10.4f\n', s.Lambda, s.Accuracy, s.AccuracyStd);
  end
  % The settings train together, on the engine's threads: one time for all.
  fprintf('cross-validation of the %d settings: %.1f ms\n', numel(result.Settings), ...
          1000 * result.Seconds);
  chosen = result.Best.Lambda;
  heldOut = mean(pellumar_predict(result.Model, data.Xtest) == data.ytest);
  fprintf('\nchosen by cross-validation: lambda = %g\n', chosen);
  fprintf('held-out accuracy of that model: %.4f\n', heldOut);

  % Accuracy against the passes over the data, for the chosen lambda.
  passCounts = logspace(-2, log10(50), 25);
  curves = zeros(2, numel(passCounts));
  for i = 1:numel(passCounts)
    model = pellumar_train(data.Xtrain, data.ytrain, 'Lambda', chosen, 'Passes', passCounts(i), ...
                           'Eta0', eta0, 'Standardize', true);
    curves(:, i) = [mean(pellumar_predict(model, data.Xtrain) == data.ytrain); ...
                    mean(pellumar_predict(model, data.Xtest) == data.ytest)];
  end
  if ~exist(out, 'dir')
    mkdir(out);
  end
  picture = fullfile(out, 'accuracy_vs_passes.png');
  fig = example_figure(640, 400);
  semilogx(passCounts, curves(1, :), 'o-', passCounts, curves(2, :), 's-');
  grid on;
  xlabel('passes over the training data');
  ylabel('accuracy');
  legend('training', 'held-out', 'Location', 'southeast');
  title(sprintf('Pellumar on Breast Cancer Wisconsin, lambda = %g', chosen));
  print(fig, '-dpng', '-r96', picture);
  close(fig);
  fprintf('accuracy against passes: %s\n', picture);

  if nargout > 0
    varargout{1} = struct('lambdas', lambdas, 'crossValidation', [result.Settings.Accuracy], ...
                          'lambda', chosen, 'heldOut', heldOut, 'picture', picture);
  end
end
