function w = Pellumar(varargin)
%PELLUMAR Train a linear classifier by averaged stochastic sub-gradient descent.
%   W = PELLUMAR(X, Y, LAMBDA, T, ETA0) trains a linear binary classifier on the
%   L2-regularised hinge loss and returns its weights.
%
%   Inputs
%     X       M-by-N real double matrix, one sample per column (dense, not sparse).
%     Y       labels, one per sample: +1 or -1 (a real double vector with at least
%             N elements; extra elements are ignored).
%     LAMBDA  regularisation weight (scalar).
%     T       number of iterations; truncated toward zero. T < 1 or NaN gives zero
%             weights; T must be below 2^31.
%     ETA0    base step size (scalar); iteration t uses ETA0/sqrt(t).
%
%   Output
%     W       M-by-1 double column: the mean of the weight vectors of iterations
%             1..T. Classify a sample x by sign(W'*x). There is no bias term: add
%             a row of ones to X to learn one.
%
%   Iteration t visits the next sample of one random permutation of the samples,
%   drawn once per call from the C library generator seeded with the clock (so
%   two calls within the same second give the same result), and applies
%       w = (1 - eta*LAMBDA)*w - eta*g,   eta = ETA0/sqrt(t),
%   where g = -y*x when y*(w'*x) < 1 and g = 0 otherwise. The result does not
%   depend on the floating-point modes of the calling thread (rounding mode,
%   flush-to-zero, enabled traps): the run computes in the IEEE default modes
%   and leaves the caller's modes as they were.
%
%   A sparse X is not supported: the call prints "SGD sparse is not ready" and
%   returns nothing.
%
%   Errors (identifier: cause)
%     Pellumar:nargin             fewer than five inputs
%     Pellumar:badData            X is not a real double matrix
%     Pellumar:badLabels          Y is not a real, dense double array
%     Pellumar:labelCount         Y has fewer elements than X has columns
%     Pellumar:badLambda, Pellumar:badIterations, Pellumar:badStep
%                                 LAMBDA, T or ETA0 empty or not numeric/logical
%     Pellumar:tooLarge           X has 2^31 or more rows or columns
%     Pellumar:tooManyIterations  T is 2^31 or more (Inf included)
%     Pellumar:noSamples          X has no columns and T >= 1
%     Pellumar:outOfMemory        the working vectors could not be allocated
%
%   Example
%     X = [randn(2, 50) + 2, randn(2, 50) - 2; ones(1, 100)];
%     y = [ones(1, 50), -ones(1, 50)];
%     w = Pellumar(X, y, 1e-3, 2000, 0.5);
%     accuracy = mean(sign(w' * X) == y)
%
%   Build the module with make_pellumar.

  % The help text above is this file's purpose; the compiled module beside it
  % takes precedence when both are on the path.
  error('Pellumar:notBuilt', ...
        'the compiled module is missing; build it with make_pellumar.');
end
