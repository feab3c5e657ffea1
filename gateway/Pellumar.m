function w = Pellumar(varargin)
%PELLUMAR Train a linear classifier by averaged stochastic sub-gradient descent.
%   W = PELLUMAR(X, Y, LAMBDA, T, ETA0) trains a linear binary classifier on the
%   L2-regularised hinge loss and returns its weights.
%
%   Every call draws a new order of the samples from the clock, not from rand
%   or rng, so results differ between calls unless two calls fall within the
%   same second. For the same inputs and order the result is the same bits on
%   every platform, whatever floating-point modes the caller has set.
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
%             a row of ones to X to learn one. A NaN in W is always the same NaN.
%
%   Iteration t takes the next sample of the order and applies
%       w = (1 - eta*LAMBDA)*w - eta*g,   eta = ETA0/sqrt(t),
%   where g = -y*x when y*(w'*x) < 1 and g = 0 otherwise.
%
%   Common mistakes
%     Samples as rows   X is features by samples: pass X.' for an N-by-M matrix.
%     0/1 labels        labels, class numbers too, are used as numbers and train
%                       badly: use y = 2*(y > 0) - 1, one-vs-rest for classes.
%     Sparse X          the call prints "SGD sparse is not ready" on the process's
%                       standard output (which a desktop may not show) and
%                       returns nothing, so W is not assigned: pass full(X).
%     Vectors of LAMBDA, T or ETA0   only the first element is read: call once
%                       per value.
%
%   Choosing parameters
%     T = passes*size(X, 2), 5 to 20 passes; scale the features first (zero mean
%     and unit variance, or pixels to [0, 1]). The examples do well with ETA0
%     from 0.5 to 1 and LAMBDA from 1e-6 to 1e-2, chosen on a validation split
%     or by cross-validation with pellumar_search.
%
%   pellumar_train does the rest of the work around this call: labels of any
%   kind, several classes (one-vs-rest), the bias row, standardisation, and
%   errors for the common mistakes above; pellumar_predict classifies.
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
%     Pellumar:notBuilt           no compiled module: this help file ran instead
%
%   Example
%     X = [randn(2, 50) + 2, randn(2, 50) - 2; ones(1, 100)];
%     y = [ones(1, 50), -ones(1, 50)];
%     w = Pellumar(X, y, 1e-3, 20 * size(X, 2), 0.5);
%     accuracy = mean(sign(w' * X) == y)
%
%   See also pellumar_train, pellumar_predict, pellumar_search,
%   pellumar_selftest, make_pellumar, breast_cancer_demo, fashion_mnist_demo.

  % The help text above is this file's purpose; the compiled module beside it
  % takes precedence when both are on the path.
  error('Pellumar:notBuilt', ...
        ['the compiled Pellumar module was not found, so its help file ran instead. ' ...
         'Build it with make_pellumar; if it is built, see which -all Pellumar for ' ...
         'another Pellumar earlier on the path.']);
end
