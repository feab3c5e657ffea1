function [chosen, scores] = classify_samples(W, columns, X, samples, bias)
%CLASSIFY_SAMPLES The classes the classifiers W(:, COLUMNS) give samples of X.
%   [CHOSEN, SCORES] = CLASSIFY_SAMPLES(W, COLUMNS, X, SAMPLES, BIAS) scores
%   the samples SAMPLES of X ([] for all of them) with the engine, as
%   pellumar_engine(W, COLUMNS, X, SAMPLES, BIAS) does: SCORES is K-by-N,
%   one row per classifier, K = numel(COLUMNS). CHOSEN (1-by-N) is each
%   sample's position among the sorted classes:
%     K == 1  two classes: 2 for a positive score, 1 otherwise (zero too);
%     K > 1   one-vs-rest: the row of the largest score, the first of equal
%             ones.
%   pellumar_predict and pellumar_search's folds both classify through it,
%   so that a fold's accuracy is that of pellumar_predict on the fold.

  scores = pellumar_engine(W, columns, X, samples, bias);
  if numel(columns) == 1
    chosen = 1 + (scores > 0);
  else
    [~, chosen] = max(scores, [], 1);
  end
end
