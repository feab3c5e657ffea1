function data = load_breast_cancer()
%LOAD_BREAST_CANCER The example data in three splits, standardised, with a bias row.
%   DATA = LOAD_BREAST_CANCER() reads breast_cancer_wisconsin.csv beside this
%   file (569 samples, 30 features, labels +1 malignant / -1 benign; licence
%   in breast_cancer_wisconsin.txt) and splits it: every fourth sample is
%   held out for the final test (DATA.Xtest, DATA.ytest), every fourth of the
%   rest is the validation split for choosing parameters (DATA.Xval,
%   DATA.yval), and the others are trained on (DATA.Xfit, DATA.yfit). The
%   features are standardised with the mean and standard deviation of the
%   training split alone, and a row of ones is appended so that a model
%   without a bias term can learn one. Samples are columns; labels are rows.

  here = fileparts(mfilename('fullpath'));
  raw = dlmread(fullfile(here, 'breast_cancer_wisconsin.csv'), ',', 1, 0);
  labels = raw(:, 1)';
  features = raw(:, 2:end)';

  heldOut = mod(1:numel(labels), 4) == 0;
  rest = find(~heldOut);
  validation = false(size(labels));
  validation(rest(mod(1:numel(rest), 4) == 0)) = true;
  fit = ~heldOut & ~validation;

  mu = mean(features(:, fit), 2);
  sigma = std(features(:, fit), 0, 2);
  sigma(sigma == 0) = 1;
  scaled = [(features - mu) ./ sigma; ones(1, numel(labels))];
  data = struct('Xfit', scaled(:, fit), 'yfit', labels(fit), ...
                'Xval', scaled(:, validation), 'yval', labels(validation), ...
                'Xtest', scaled(:, heldOut), 'ytest', labels(heldOut));
end
