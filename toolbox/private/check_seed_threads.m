function opts = check_seed_threads(caller, opts)
%CHECK_SEED_THREADS The 'Seed' and 'Threads' options, checked.
%   OPTS = CHECK_SEED_THREADS(CALLER, OPTS) raises pellumar:badOption unless
%   OPTS.Seed is empty (draw one) or a whole number from 0 to 2^53 - 1, and
%   OPTS.Threads empty (the host's computational threads, default_threads,
%   counted where the training runs: one on a parfor worker) or a whole
%   number from 1 up; it returns OPTS with both as doubles.

  if ~isempty(opts.Seed) && ~is_whole_in(opts.Seed, 2^53)
    error('pellumar:badOption', '%s: ''Seed'' must be a whole number from 0 to 2^53 - 1', caller);
  end
  opts.Seed = double(opts.Seed);
  if ~isempty(opts.Threads) && (~is_whole_in(opts.Threads, 2^31) || opts.Threads < 1)
    error('pellumar:badOption', '%s: ''Threads'' must be a whole number >= 1', caller);
  end
  opts.Threads = double(opts.Threads);
end
