function [centre, scale, constant] = feature_statistics(X)
%FEATURE_STATISTICS Each feature's centre and scale, for standardisation.
%   [CENTRE, SCALE, CONSTANT] = FEATURE_STATISTICS(X) gives, for the features
%   in the rows of X (samples in columns, finite values), columns CENTRE and
%   SCALE such that (X - CENTRE) ./ SCALE has zero mean and unit variance in
%   every row that varies: CENTRE is the mean and SCALE the standard
%   deviation. CONSTANT marks the features that are constant to within
%   rounding; each has its smallest value as CENTRE and 1 as SCALE, and its
%   standardised row must be set to exactly 0 (so that its weight stays 0).
%
%   A feature is constant when its range, max - min, is at most 16 units in
%   the last place of its largest magnitude. Its standard deviation can't
%   tell: the mean of N copies of one value is rounded as it is summed, so
%   105 copies of pi have a deviation of 5e-15, not 0, and the bound that
%   rounding puts on it grows with N. The range is exact for a constant
%   feature (0), and values a few units in the last place apart are one
%   quantity stored with rounding (0.3 - 0.2 is not 0.1): dividing by their
%   spread would blow that rounding up into values of order 1. 16 units
%   (a relative 3.6e-15 in double) leave room for values that went through a
%   few rounded operations on their way, far below the resolution of any measured quantity.

  lowest = full(min(X, [], 2));
  highest = full(max(X, [], 2));
  constant = highest - lowest <= 16 * eps(max(abs(lowest), abs(highest)));
  if issparse(X)
    % Sparse data are scaled without centring (standardize_data): the
    % centre is 0, and the spread comes from the stored values alone.
    % The squares are taken about the mean (sum(x.^2) - N*mu^2 would
    % cancel for a feature far from 0): the stored values' deviations, and
    % the zeros' mu^2 each.
    [features, samples] = size(X);
    centre = zeros(features, 1);
    mu = full(sum(X, 2)) / samples;
    % Columns, whatever X's shape: find gives rows for a one-row X, which
    % accumarray would take as one subscript of several dimensions.
    [row, ~, value] = find(X);
    row = row(:);
    value = value(:);
    squares = accumarray(row, (value - mu(row)) .^ 2, [features 1]);
    absent = samples - accumarray(row, 1, [features 1]);
    scale = sqrt((squares + absent .* mu .^ 2) / max(samples - 1, 1));
  else
    centre = full(mean(X, 2));
    scale = full(std(X, 0, 2));
  end
  % A constant feature's own value as its centre (dense): its row is exactly
  % 0 then even before it is set so, whenever the values are all the same.
  if ~issparse(X)
    centre(constant) = lowest(constant);
  end
  % Besides constants, a deviation whose squares underflow (values near the
  % smallest doubles) or overflow (near the largest) is kept as 1, so that
  % standardising divides by a finite number other than 0.
  scale(constant | scale == 0 | ~isfinite(scale)) = 1;
end
