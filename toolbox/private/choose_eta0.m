function [eta0, tried] = choose_eta0(X, index, positive, members, lambda, bias, seed, threads)
%CHOOSE_ETA0 The Eta0 that 'auto' gives a training (help pellumar_train).
%   ETA0 = CHOOSE_ETA0(X, INDEX, POSITIVE, MEMBERS, LAMBDA, BIAS, SEED,
%   THREADS) for the training of the classes POSITIVE (one classifier each,
%   as pellumar_engine takes them) on the samples MEMBERS of X (ascending;
%   [] for all of them) in the order of SEED:
%     1. the subsample: the first min(n, 2000) samples that the training
%        visits (of its order, pellumar_order(n, SEED), over the n MEMBERS);
%     2. s, the subsample's mean squared length, the bias's 1 included, and
%        the first candidates 2^(k-1), 2^k, 2^(k+1) with 2^k the power of
%        two nearest the smaller of 32/s and 1/(32*LAMBDA) (steps near the
%        lowest objectives on tf-idf text, pixels and standardised features
%        alike, and for large LAMBDA; the start saves trainings, the
%        choice does not depend on it while the objectives fall to one
%        lowest and rise from it);
%     3. each candidate trains the classifiers on the subsample for 5
%        passes (floor(5 * min(n, 2000)) iterations) in the training's own
%        way (LAMBDA, BIAS, the order of SEED over the subsample), and scores
%        the regularised objective of their averages on the subsample,
%        summed over the classifiers: LAMBDA/2*|w|^2 + the mean hinge loss
%        max(0, 1 - y*score) (Inf for weights that overflowed);
%     4. while the lowest objective is that of the smallest or the largest
%        candidate, the next power of two beyond it is tried, at most 20
%        candidates in all; of equal objectives the smaller candidate wins;
%     5. ETA0 is twice the candidate of the lowest objective. Brief runs on
%        a subsample favour smaller steps than the whole training does: on
%        the text example (Lambda 1e-4, 10 passes) the brief runs' lowest
%        objective was at 16 and the whole training's at 32, on
%        Fashion-MNIST at 0.25 and 0.5 (doc/PERFORMANCE.md).
%   TRIED is 2-by-C: the candidates tried, ascending, and their objectives.
%
%   Every number that decides the choice is the same bits on every host: the
%   trainings are the engine's, and the sums (the squared lengths, |w|^2,
%   the hinge losses) are the engine's running sums in row order, so that
%   'Seed' repeats the choice, and the model, on any host.

  samples = size(X, 2);
  if isempty(members)
    members = 1:samples;
  end
  n = numel(members);
  count = min(n, 2000);
  order = pellumar_engine(n, seed);
  subsample = sort(members(order(1:count)));
  K = numel(positive);
  y = -ones(K, count);
  for k = 1:K
    y(k, index(subsample) == positive(k)) = 1;
  end
  if issparse(X)
    % A sparse subsample is copied, with only the features it holds: the
    % others' weights stay 0 in its trainings, and a training's fixed costs
    % (its weights set up and written out) follow the features it has,
    % which here would outweigh its iterations. The copy's stored values are
    % X's in the same order, so that its trainings and sums are those on X.
    part = X(:, subsample);
    held = find(any(part, 2));
    if isempty(held)
      held = 1;
    end
    job = struct('X', part(held, :), 'index', index(subsample), 'foldOf', [], 'fold', 0, ...
                 'scored', []);
  else
    % Dense data are read in place: the subsample's samples as fold 2, the
    % rest fold 1, and the runs leave out fold 1.
    foldOf = ones(1, samples);
    foldOf(subsample) = 2;
    job = struct('X', X, 'index', index, 'foldOf', foldOf, 'fold', 1, 'scored', subsample);
  end
  job.positive = positive;
  job.y = y;
  job.count = count;
  job.iterations = floor(5 * count);
  job.lambda = lambda;
  job.bias = bias;
  job.seed = seed;
  job.threads = threads;

  s = sumOfSquares(job.X, job.scored) / count + double(bias);
  % Data of all zeros, or so large that the squares overflow: the start
  % is 1, and the search moves from there. A large Lambda lowers it: the
  % lowest objectives were at Lambda * Eta0 near 1/40 there.
  start = 1;
  if s > 0 && s < Inf
    start = 32 / s;
  end
  k = min(max(round(log2(min(start, 1 / (32 * lambda)))), -1000), 1000);
  exponents = k + (-1:1);
  objectives = zeros(1, 3);
  for c = 1:3
    objectives(c) = evaluate(job, 2 ^ exponents(c));
  end
  while numel(exponents) < 20
    [~, best] = min(objectives);
    if best == 1
      next = exponents(1) - 1;
      exponents = [next, exponents];
      objectives = [evaluate(job, 2 ^ next), objectives];
    elseif best == numel(exponents)
      next = exponents(end) + 1;
      exponents = [exponents, next];
      objectives = [objectives, evaluate(job, 2 ^ next)];
    else
      break
    end
  end
  [~, best] = min(objectives);
  eta0 = 2 * 2 ^ exponents(best);
  tried = [2 .^ exponents; objectives];
end

function value = evaluate(job, candidate)
  % The objective on the subsample of a brief training with the candidate.
  % One candidate a call: the engine spreads a training's classifiers over
  % its threads, and holds the weights of one candidate at a time.
  K = numel(job.positive);
  W = pellumar_engine(job.X, job.index, job.positive, job.foldOf, ...
                      [job.fold; job.lambda; candidate; job.seed], job.iterations, job.bias, ...
                      job.threads);
  value = Inf;
  if ~all(isfinite(W(:)))
    return
  end
  scores = pellumar_engine(W, 1:K, job.X, job.scored, job.bias);
  % Each classifier's hinge losses as a column of their own, summed by the
  % engine against a column of ones; |w|^2 as w scored against itself.
  losses = max(0, 1 - job.y .* scores)';
  sums = pellumar_engine(ones(job.count, 1), 1, losses, [], false);
  total = 0;
  for k = 1:K
    total = total + (job.lambda / 2 * pellumar_engine(W, k, W, k, false) + sums(k) / job.count);
  end
  if ~isnan(total)
    value = total;
  end
end

function total = sumOfSquares(X, subsample)
  % The squares of the values of X's samples SUBSAMPLE (all of them when
  % empty; a sparse X's stored values), a column after another, summed by
  % the engine in that order, in blocks of about a million values.
  if isempty(subsample)
    subsample = 1:size(X, 2);
  end
  if issparse(X)
    if numel(subsample) < size(X, 2)
      X = X(:, subsample);
    end
    values = nonzeros(X);
    total = 0;
    if ~isempty(values)
      total = pellumar_engine(ones(numel(values), 1), 1, values .^ 2, [], false);
    end
    return
  end
  total = 0;
  step = max(1, floor(2^20 / max(size(X, 1), 1)));
  for first = 1:step:numel(subsample)
    values = double(X(:, subsample(first:min(numel(subsample), first + step - 1))));
    total = total + pellumar_engine(ones(numel(values), 1), 1, values(:) .^ 2, [], false);
  end
end
