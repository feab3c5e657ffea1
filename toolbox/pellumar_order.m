function order = pellumar_order(N, seed)
%PELLUMAR_ORDER The order in which a training with a seed visits its samples.
%   ORDER = PELLUMAR_ORDER(N, SEED) is the 1-by-N order, 1-based, that a
%   training of pellumar_train or pellumar_search on N samples with seed SEED
%   visits: the sample at iteration t is ORDER(mod(t, N) + 1), so the first
%   pass visits ORDER(2), ..., ORDER(N) and then ORDER(1), and every pass
%   repeats it. A training on a subset S of the columns (a fold's training
%   part, S ascending) visits S(PELLUMAR_ORDER(numel(S), SEED)).
%
%   The order is the same on every host, build and processor. It comes from
%   SplitMix64 (Steele, Lea and Flood, 2014) seeded with SEED, with unbiased
%   bounded draws and one forward shuffle; doc/ORDERS.md in the source
%   tree (and the README of the release) writes the algorithm out, so that
%   the order can be made in any language.
%
%   Inputs
%     N     a whole number from 0 to 2^31 - 1.
%     SEED  a whole number from 0 to 2^53 - 1, of any numeric class
%           (model.Seed of a trained model, a uint64, as it is).
%
%   Errors (identifier: cause)
%     pellumar:nargin     fewer than two inputs
%     pellumar:badOption  N or SEED is not a whole number in its range
%
%   Example
%     order = pellumar_order(5, 42)
%
%   See also pellumar_train, pellumar_search.

  if nargin < 2
    error('pellumar:nargin', 'pellumar_order: needs N and the seed (help pellumar_order)');
  end
  if ~is_whole_in(N, 2^31)
    error('pellumar:badOption', 'pellumar_order: N must be a whole number from 0 to 2^31 - 1');
  end
  if ~is_whole_in(seed, 2^53)
    error('pellumar:badOption', 'pellumar_order: the seed must be a whole number from 0 to 2^53 - 1');
  end
  order = pellumar_engine(double(N), double(seed));
end
