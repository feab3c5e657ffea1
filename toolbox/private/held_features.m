function [X, held] = held_features(X, columns, classifiers)
%HELD_FEATURES A sparse X cut to the features its training columns hold.
%   [XH, HELD] = HELD_FEATURES(X, COLUMNS, CLASSIFIERS) for a sparse X that
%   CLASSIFIERS classifiers will be trained on: HELD, the features
%   (ascending) with a non-zero in X(:, COLUMNS), or in any column when
%   COLUMNS is empty, and XH = X(HELD, :). When the cut would not pay, HELD
%   is empty and X is returned as it is.
%
%   A training on COLUMNS never changes the weight of a feature they do not
%   hold: its weight and running sum stay exactly +0, and so does its
%   average. Every other feature sees the same operations in the same order
%   on XH as on X (the rows keep their order), so a training on XH, its
%   weights put back in the rows HELD and +0 elsewhere, is the training on
%   X, bit for bit; a score on XH is the score on X but for the sign of a
%   zero.
%
%   What the cut saves is each classifier's fixed costs, which follow the
%   number of features and not the non-zeros: its weights and sums set up,
%   each average written out and returned. What it costs is the copy
%   X(HELD, :), measured in Octave 7.3 at about 250 nanoseconds a non-zero
%   (2.5 s for 10^7), several times a feature's fixed costs for one
%   classifier (MATLAB's copy was not measured). So X is cut only when the features no column
%   holds, times the classifiers, pass four times X's non-zeros: with a
%   million features and a few thousand documents the fixed costs were most
%   of a search's time, while with hundreds of non-zeros a document the copy
%   would outweigh what it saves.
  held = [];
  if ~issparse(X)
    return
  end
  [rows, ~] = size(X);
  stored = nnz(X);
  if rows * classifiers <= 4 * stored
    return  % no cut could pay for its copy
  end
  if isempty(columns)
    used = any(X, 2);
  else
    used = any(X(:, columns), 2);
  end
  if (rows - nnz(used)) * classifiers <= 4 * stored
    return
  end
  held = find(used);
  if isempty(held)
    held = 1;  % a feature to train: the weights of none would be empty
  end
  X = X(held, :);
end
