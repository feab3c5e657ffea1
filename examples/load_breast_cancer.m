function data = load_breast_cancer()
%LOAD_BREAST_CANCER The example data in a training and a held-out split.
%   DATA = LOAD_BREAST_CANCER() reads breast_cancer_wisconsin.csv beside this
%   file (569 samples, 30 features, labels +1 malignant / -1 benign; licence
%   in breast_cancer_wisconsin.txt) and splits it: every fourth sample is
%   held out for the final test (DATA.Xtest, DATA.ytest), the others are for
%   training and choosing parameters (DATA.Xtrain, DATA.ytrain). Features are
%   as measured, on their own scales: pellumar_train's 'Standardize' scales
%   them with the statistics of the data it trains on. Samples are columns;
%   labels are rows.

  here = fileparts(mfilename('fullpath'));
  raw = dlmread(fullfile(here, 'breast_cancer_wisconsin.csv'), ',', 1, 0);
  labels = raw(:, 1)';
  features = raw(:, 2:end)';
  heldOut = mod(1:numel(labels), 4) == 0;
  data = struct('Xtrain', features(:, ~heldOut), 'ytrain', labels(~heldOut), ...
                'Xtest', features(:, heldOut), 'ytest', labels(heldOut));
end
