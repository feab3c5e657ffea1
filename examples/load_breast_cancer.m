function [Xtrain, ytrain, Xtest, ytest] = load_breast_cancer()
%LOAD_BREAST_CANCER The example data, split, standardised, with a bias row.
%   [XTRAIN, YTRAIN, XTEST, YTEST] = LOAD_BREAST_CANCER() reads
%   data/breast_cancer_wisconsin.csv (569 samples, 30 features, labels +1
%   malignant / -1 benign), holds out every fourth sample, standardises the
%   features with the training split's mean and standard deviation only, and
%   appends a row of ones so that a model without a bias term can learn one.
%   Samples are columns; labels are rows.

  here = fileparts(mfilename('fullpath'));
  raw = dlmread(fullfile(here, '..', 'data', 'breast_cancer_wisconsin.csv'), ',', 1, 0);
  labels = raw(:, 1)';
  features = raw(:, 2:end)';

  heldOut = mod(1:numel(labels), 4) == 0;
  Xtrain = features(:, ~heldOut);
  ytrain = labels(~heldOut);
  Xtest = features(:, heldOut);
  ytest = labels(heldOut);

  mu = mean(Xtrain, 2);
  sigma = std(Xtrain, 0, 2);
  sigma(sigma == 0) = 1;
  Xtrain = [(Xtrain - mu) ./ sigma; ones(1, size(Xtrain, 2))];
  Xtest = [(Xtest - mu) ./ sigma; ones(1, size(Xtest, 2))];
end
