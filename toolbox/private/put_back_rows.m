function W = put_back_rows(W, held, features, bias)
%PUT_BACK_ROWS Weights trained on the features HELD, as weights on all.
%   W = PUT_BACK_ROWS(W, HELD, FEATURES, BIAS): W's rows are the features
%   HELD (held_features), then the bias's row when BIAS; the result has
%   FEATURES rows (and the bias's row), +0 where no feature was held, as a
%   training on all of them leaves those weights.
  spread = zeros(features + double(logical(bias)), size(W, 2));
  spread(held, :) = W(1:numel(held), :);
  if bias
    spread(end, :) = W(end, :);
  end
  W = spread;
end
