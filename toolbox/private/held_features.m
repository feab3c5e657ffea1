function [X, held] = held_features(X, columns)
%HELD_FEATURES A sparse X cut to the features its training columns hold.
%   [XH, HELD] = HELD_FEATURES(X, COLUMNS) for a sparse X: HELD, the
%   features (ascending) with a non-zero in X(:, COLUMNS), or in any column
%   when COLUMNS is empty, and XH = X(HELD, :). HELD is empty, and X is
%   returned as it is, when the cut would save less than half of X's rows.
%
%   A training on COLUMNS never changes the weight of a feature they do not
%   hold: its weight and running sum stay exactly +0, and so does its
%   average. Every other feature sees the same operations in the same order
%   on XH as on X (the rows keep their order), so a training on XH, its
%   weights put back in the rows HELD and +0 elsewhere, is the training on
%   X, bit for bit; a score on XH is the score on X but for the sign of a
%   zero. What the cut saves is a training's fixed costs, which follow the
%   number of features and not the non-zeros: the weights set up and each
%   average written out, for every classifier. With a million features
%   and a few thousand documents, those are most of the time.
  held = [];
  if ~issparse(X)
    return
  end
  if isempty(columns)
    used = any(X, 2);
  else
    used = any(X(:, columns), 2);
  end
  if 2 * nnz(used) >= size(X, 1)
    return
  end
  held = find(used);
  if isempty(held)
    held = 1;  % a feature to train: the weights of none would be empty
  end
  X = X(held, :);
end
