function X = standardize_data(X, centre, scale, constant)
%STANDARDIZE_DATA X with the features' statistics applied, in double.
%   Dense X: (X - CENTRE) ./ SCALE. Sparse X is scaled without centring
%   (its CENTRE is 0: centring would fill the matrix), by a sparse diagonal
%   product that touches only the stored values. The CONSTANT features' rows
%   become exact zeros, so that their weights stay 0.
  if issparse(X)
    features = numel(scale);
    X = spdiags(1 ./ scale, 0, features, features) * X;
  else
    X = (double(X) - centre) ./ scale;
  end
  X(constant, :) = 0;
end
