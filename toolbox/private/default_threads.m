function n = default_threads(given)
%DEFAULT_THREADS GIVEN when it is not empty; otherwise the threads the
%   engine may use when the caller names none:
%   the host's computational threads, so that a parfor worker, which MATLAB
%   gives one, trains on one, and a session limited with maxNumCompThreads
%   keeps its limit. Octave has no such setting: its processors (nproc),
%   which OMP_NUM_THREADS limits.
  if ~isempty(given)
    n = given;
  elseif exist('OCTAVE_VERSION', 'builtin')
    n = nproc();
  else
    n = maxNumCompThreads();
  end
  n = max(1, double(n));
end
