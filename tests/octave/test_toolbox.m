% Checks of pellumar_train, pellumar_predict and pellumar_search in GNU Octave:
% labels of every kind, the bias, several classes, the slips, the folds and
% the search's choice. Run with the module and toolbox/ on the path; prints
% "N passed, N failed".
1;

% The identifier and message of the error f raises ('' when it raises none).
function [id, message] = errorOf(f, varargin)
  id = '';
  message = '';
  try
    f(varargin{:});
  catch err
    id = err.identifier;
    message = err.message;
  end
end

% What f gives, or the identifier of its error: rows that compare results
% fail, rather than stop the suite, where a call is refused.
function out = outcome(f, varargin)
  try
    out = f(varargin{:});
  catch err
    out = err.identifier;
  end
end

% The bits of the weights pellumar_train gives, or the identifier of its error.
function W = trainedW(varargin)
  model = pellumar_train(varargin{:});
  W = model.W;
end

% W's rows ROWS (and the bias's), when every other row is +0; NaN otherwise.
function W = heldRows(W, rows, bias)
  if bias
    rows = [rows, size(W, 1)];
  end
  others = true(size(W, 1), 1);
  others(rows) = false;
  if any(any(num2hex(W(others, :)) ~= '0'))
    W = NaN;
  else
    W = W(rows, :);
  end
end

function text = trainedBits(varargin)
  model = outcome(@pellumar_train, varargin{:});
  if isstruct(model)
    text = num2hex(model.W(:));
  else
    text = model;
  end
end

% The weights of the documented step, written out plainly: iteration t
% visits X(:, order(mod(t, N) + 1)) of order = pellumar_order(N, seed), with
% the bias feature 1 last, labels +1 for the second class.
function wbar = plainTraining(X, labels, lambda, T, eta0, seed)
  N = size(X, 2);
  X = [X; ones(1, N)];
  classes = unique(labels);
  y = 2 * (labels == classes(2)) - 1;
  order = pellumar_order(N, seed);
  w = zeros(size(X, 1), 1);
  wbar = w;
  for t = 1:T
    f = order(mod(t, N) + 1);
    step = eta0 / sqrt(t);
    dot = 0;
    for k = 1:size(X, 1)
      dot = dot + w(k) * X(k, f);
    end
    g = zeros(size(w));
    if dot * y(f) < 1
      g = -(y(f) * X(:, f));
    end
    w = (1 - step * lambda) * w - step * g;
    wbar = ((t - 1) * wbar + w) / t;
  end
end

% The Eta0 that 'auto' chooses by its documented procedure, replayed through
% pellumar_train and pellumar_predict on the subsample, and the number of
% candidates it tried.
function [eta0, tried] = replayAuto(X, labels, lambda, seed)
  N = size(X, 2);
  order = pellumar_order(N, seed);
  subsample = sort(order(1:min(N, 2000)));
  X = X(:, subsample);
  labels = labels(subsample);
  s = mean(full(sum(X .^ 2, 1))) + 1;
  exponents = round(log2(min(32 / s, 1 / (32 * lambda)))) + (-1:1);
  objectives = arrayfun(@(e) subsampleObjective(X, labels, lambda, 2 ^ e, seed), exponents);
  while numel(exponents) < 20
    [~, best] = min(objectives);
    if best == 1
      exponents = [exponents(1) - 1, exponents];
      objectives = [subsampleObjective(X, labels, lambda, 2 ^ exponents(1), seed), objectives];
    elseif best == numel(exponents)
      exponents = [exponents, exponents(end) + 1];
      objectives = [objectives, subsampleObjective(X, labels, lambda, 2 ^ exponents(end), seed)];
    else
      break
    end
  end
  [~, best] = min(objectives);
  eta0 = 2 ^ (exponents(best) + 1);
  tried = numel(exponents);
end

function value = subsampleObjective(X, labels, lambda, eta0, seed)
  model = outcome(@pellumar_train, X, labels, 'Lambda', lambda, 'Eta0', eta0, 'Passes', 5, ...
                  'Seed', seed);
  if ~isstruct(model)
    value = Inf;  % the weights overflowed
    return
  end
  [~, scores] = pellumar_predict(model, X);
  classes = model.Classes(end - size(scores, 1) + 1:end);
  y = 2 * bsxfun(@eq, classes(:), labels(:)') - 1;
  value = sum(lambda / 2 * sum(model.W .^ 2, 1) + mean(max(0, 1 - y .* scores), 2)');
end

global passed failed
passed = 0;
failed = 0;
rand('twister', 20261209);
randn('state', 20261209);

% Two well-separated clusters in two features: any label kind round-trips.
N = 200;
X = [randn(2, N / 2) + 3, randn(2, N / 2) - 3];
side = [true(1, N / 2), false(1, N / 2)];
names = {'benign', 'malignant'};
labelKinds = {
  'numeric 0/1',     double(side)
  'int8 classes',    int8(side) * 7 - 2
  'logical',         side
  'cell of names',   names(side + 1)
  'column of -1/+1', (2 * side - 1)'
};
for k = 1:size(labelKinds, 1)
  labels = labelKinds{k, 2};
  model = pellumar_train(X, labels);
  [predicted, scores] = pellumar_predict(model, X);
  if iscell(labels)
    correct = strcmp(predicted, labels);
  else
    correct = predicted == labels;
  end
  check(strcmp(class(predicted), class(labels)) && isequal(size(predicted), size(labels)) && ...
        isequal(size(scores), [1 N]) && mean(correct) > 0.95 && ...
        isequal(model.Classes, unique(labels(:))), ['labels round-trip: ' labelKinds{k, 1}]);
end
% A positive score means the second of the sorted classes.
model = pellumar_train(X, double(side));
[predicted, scores] = pellumar_predict(model, X);
check(isequal(predicted, double(scores > 0)), 'a positive score gives the second class');
% A score of exactly 0 gives the first class; of equal largest scores, the
% first classifier's class wins (weights made by hand, the bias row last).
tied = struct('W', zeros(3, 1), 'Classes', [4; 7], 'Bias', true, 'Standardize', false, ...
              'Mean', zeros(2, 1), 'Scale', ones(2, 1));
zeroScore = pellumar_predict(tied, [1 -2; 3 0]);
tied.W = [1 0 0; 2 0 0; 2 0 0]';
tied.Classes = [4; 7; 9];
[equalLargest, tiedScores] = pellumar_predict(tied, [1 0 -1; 5 0 0]);
check(isequal(zeroScore, [4 4]) && isequal(equalLargest, [7 4 4]) && ...
      isequal(tiedScores, [1 0 -1; 2 0 -2; 2 0 -2]), 'ties: a zero score and equal largest scores');

% One feature above or below 5: learnable only with the bias row.
x = 2 + 6 * rand(1, 400);
above = double(x > 5);
withBias = mean(pellumar_predict(pellumar_train(x, above, 'Passes', 50, 'Lambda', 1e-6), x) == above);
without = mean(pellumar_predict(pellumar_train(x, above, 'Bias', false), x) == above);
check(withBias > 0.9 && without < 0.75, ...
      sprintf('the bias learns an offset (accuracy %.3f with, %.3f without)', withBias, without));
% A switch given as a sparse number is stored as a plain logical.
model = pellumar_train(x, above, 'Bias', sparse(1), 'Standardize', sparse(0));
check(islogical(model.Bias) && ~issparse(model.Bias) && model.Bias && ...
      islogical(model.Standardize) && ~issparse(model.Standardize) && ~model.Standardize, ...
      'sparse switches stored full');

% Three classes, one-vs-rest; Standardize keeps the training statistics.
labels = randi(3, 1, 300);
centres = [3 0; -2 3; -2 -3]';
X3 = 1000 + 10 * (centres(:, labels) + randn(2, 300));
model = pellumar_train(X3, labels, 'standardize', true, 'LAMBDA', 1e-3);
[predicted, scores] = pellumar_predict(model, X3);
check(isequal(size(model.W), [3 3]) && isequal(size(scores), [3 300]) && ...
      mean(predicted == labels) > 0.9 && model.Lambda == 1e-3 && ...
      max(abs(model.Mean - mean(X3, 2))) < 1e-9, ...
      sprintf('three classes, standardised (accuracy %.3f)', mean(predicted == labels)));
% Integer, single and sparse X are classified as double(X): the same scores,
% in double, as the same values given dense in double (standardising included).
Xi = round(X3 / 10);
integral = pellumar_train(Xi, labels, 'Standardize', true);
[~, expected] = pellumar_predict(integral, Xi);
for kind = {@int8, @uint8, @int32, @uint64, @single, @sparse}
  scores = [];
  try
    [~, scores] = pellumar_predict(integral, kind{1}(Xi));
  end
  check(isequal(scores, expected) && isa(scores, 'double'), ['X made by ' func2str(kind{1})]);
end

% Every slip is an error with its identifier.
Xbad = X;
Xbad(1, 9) = Inf;
Xbad(2, 7) = NaN;
slips = {
  'pellumar:nargin',          @pellumar_train,   {X}
  'pellumar:badData',         @pellumar_train,   {sparse(X) > 0, side}
  'pellumar:badData',         @pellumar_search,  {sparse(X) * 1i, side}
  'pellumar:badData',         @pellumar_train,   {X > 0, side}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Seed', -1}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Seed', 2^53}
  'pellumar:badOption',       @pellumar_search,  {X, side, 'Seed', 1.5}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Threads', 0}
  'pellumar:badOption',       @pellumar_order,   {3, -1}
  'pellumar:badOption',       @pellumar_order,   {2^31, 0}
  'pellumar:badOption',       @pellumar_search,  {X, side, 'Lambda', [1e-3 1e-2; 1e-1 1]}
  'pellumar:badLabels',       @pellumar_train,   {X, reshape(side, 2, [])}
  'pellumar:tooManyIterations', @pellumar_train, {X, side, 'Passes', 2^31 / N}
  'pellumar:diverged',        @pellumar_train,   {X, side, 'Lambda', 1000, 'Eta0', 0.5}
  'pellumar:badLabels',       @pellumar_train,   {X, repmat('a', 1, N)}
  'pellumar:badLabels',       @pellumar_train,   {X, [NaN, ones(1, N - 1)]}
  'pellumar:samplesAsRows',   @pellumar_train,   {X', side}
  'pellumar:labelCount',      @pellumar_train,   {X, side(1:end - 1)}
  'pellumar:oneClass',        @pellumar_train,   {X, ones(1, N)}
  'pellumar:noSamples',       @pellumar_train,   {[], []}
  'pellumar:noSamples',       @pellumar_search,  {zeros(2, 0), [], 'Verbose', false}
  'pellumar:noFeatures',      @pellumar_train,   {zeros(0, N), side}
  'pellumar:noFeatures',      @pellumar_search,  {sparse(0, N), side, 'Verbose', false}
  'pellumar:unknownOption',   @pellumar_train,   {X, side, 'Lamda', 1e-3}
  'pellumar:unknownOption',   @pellumar_train,   {X, side, 'Lamda'}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Lambda'}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Lambda', 'high'}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Eta0', Inf}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Eta0', 'fast'}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Eta0', {'auto'}}
  'pellumar:badOption',       @pellumar_search,  {X, side, 'Eta0', 'automatic'}
  'pellumar:badOption',       @pellumar_search,  {X, side, 'Eta0', {'auto', -1}}
  'pellumar:badOption',       @pellumar_search,  {X, side, 'Eta0', {'auto', 'slow'}}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Passes', NaN}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Bias', 2}
  'pellumar:badOption',       @pellumar_train,   {X, side, 'Bias', sparse(2)}
  'pellumar:badOption',       @pellumar_search,  {X, side, 'Folds', 2.5}
  'pellumar:noIterations',    @pellumar_train,   {X, side, 'Passes', 0.9 / N}
  'pellumar:noIterations',    @pellumar_search,  {X, side, 'Passes', 1 / N, 'Verbose', false}
  'pellumar:nonFinite',       @pellumar_search,  {Xbad, side, 'Verbose', false}
  'pellumar:tooFewSamples',   @pellumar_search,  {X, [1 1 1, zeros(1, N - 3)], 'Folds', 4}
  'pellumar:featureCount',    @pellumar_predict, {model, [X3; X3]}
  'pellumar:featureCount',    @pellumar_predict, {model, X3(1, :)}
  'pellumar:badModel',        @pellumar_predict, {struct('W', 1), X}
  'pellumar:badModel',        @pellumar_predict, {setfield(model, 'W', [model.W, model.W]), X3}
};
for k = 1:size(slips, 1)
  id = errorOf(slips{k, 2}, slips{k, 3}{:});
  check(strcmp(id, slips{k, 1}), sprintf('slip %d refused with %s (got ''%s'')', k, slips{k, 1}, id));
end
% NaN or Inf in X names the first sample (column) holding one, and its
% feature (row), for every class of X that reaches the check.
nonFinite = {@pellumar_train, {Xbad, side}; @pellumar_predict, {model, single(Xbad)}
             @pellumar_predict, {model, sparse(Xbad)}};
for k = 1:size(nonFinite, 1)
  err = struct('identifier', '', 'message', '');
  try
    nonFinite{k, 1}(nonFinite{k, 2}{:});
  catch err
  end
  check(strcmp(err.identifier, 'pellumar:nonFinite') && ~isempty(strfind(err.message, 'sample 7')) && ...
        ~isempty(strfind(err.message, 'feature 2')), sprintf('non-finite X %d: ''%s''', k, err.message));
end
% Messages that must name the slip: each row's message holds every text of
% its third column and none of its fourth.
messages = {
  @pellumar_train,   {X, side, 'Eta0'},                    {'''Eta0''', 'no value'}, {'out of bound'}
  @pellumar_search,  {X, side, 'Lambda', 1e-3, 'Folds'},   {'''Folds''', 'no value'}, {'out of bound'}
  @pellumar_train,   {[], []},                             {'no samples'},          {'distinct'}
  @pellumar_train,   {X, side, 'Eta0', 'fast'},            {'''Eta0''', '''auto'''}, {}
  @pellumar_predict, {model, [X3; X3; X3(1, :)]},          {'X has 5 features', 'trained on 2', ...
                                                            'pellumar_read_libsvm(file, features)'}, {}
};
for k = 1:size(messages, 1)
  [~, text] = errorOf(messages{k, 1}, messages{k, 2}{:});
  found = @(parts) cellfun(@(part) ~isempty(strfind(text, part)), parts);
  check(~isempty(text) && all(found(messages{k, 3})) && ~any(found(messages{k, 4})), ...
        sprintf('message %d names the slip: ''%s''', k, text));
end

% The search: every class in every fold, in proportion; the highest mean
% with ties to the larger lambda, then the fewer passes; the same folds
% again from the same random state; one line per setting.
labels = [ones(1, 60), 2 * ones(1, 30), 3 * ones(1, 15)];
Xs = [3 0; -3 3; -3 -3]' * full(sparse(labels, 1:105, 1)) + 0.3 * randn(2, 105);
rand('twister', 7);
output = evalc(['result = pellumar_search(Xs, labels, ''Lambda'', [1e-5 1e-3], ' ...
                '''Passes'', [4 2], ''Folds'', 3);']);
rand('twister', 7);
again = pellumar_search(Xs, labels, 'Lambda', 1e-3, 'Passes', 2, 'Folds', 3, 'Verbose', false);
perFold = zeros(3, 3);
for f = 1:3
  perFold(f, :) = histc(labels(result.Folds == f), 1:3);
end
check(isequal(perFold, repmat([20 10 5], 3, 1)), 'every fold keeps the classes'' proportions');
check(isequal(again.Folds, result.Folds), 'the same random state draws the same folds');
accuracies = [result.Settings.Accuracy];
check(numel(result.Settings) == 4 && result.Best.Accuracy == max(accuracies), 'Best has the highest mean');
check(all(accuracies == 1) && result.Best.Lambda == 1e-3 && result.Best.Passes == 2, ...
      'all settings tie at 1: the larger lambda, then the fewer passes');
check(numel(regexp(output, 'accuracy \d\.\d{4} \(std', 'match')) == 4 && ...
      result.Model.Lambda == result.Best.Lambda, 'one progress line per setting; Model has the best setting');
% A setting whose weights overflow scores accuracy 0 on its folds, as
% documented, and its line in the table says it diverged.
output = evalc(['diverging = pellumar_search(Xs, labels, ''Lambda'', [1e-3 1e6], ' ...
                '''Passes'', 5, ''Folds'', 3, ''Eta0'', 0.5);']);
settingLines = regexp(output, '^  lambda [^\n]*', 'match', 'lineanchors');
overflowing = ~cellfun(@isempty, strfind(settingLines, 'lambda 1e+06'));
marked = ~cellfun(@isempty, strfind(settingLines, 'diverged'));
check(numel(settingLines) == 2 && any(overflowing) && isequal(marked, overflowing) && ...
      isequal([diverging.Settings.Accuracy] == 0, [diverging.Settings.Lambda] == 1e6), ...
      sprintf('diverged settings: accuracy 0, marked in the table (%s)', output));

% Seeds. Each row: two ways to the same model or search, which must agree
% bit for bit (weights and, for searches, every accuracy and the folds).
bits = @(W) num2hex(W(:));
sameSearch = @(a, b) isstruct(a) && isstruct(b) && isequal(bits(a.Model.W), bits(b.Model.W)) && ...
                     isequal([a.Settings.Accuracy], [b.Settings.Accuracy]) && isequal(a.Folds, b.Folds);
Xn = Xs + 2 * randn(size(Xs));  % overlapping classes: accuracies below 1 tell settings apart
Xsingle = single(Xn);
grid = {'Lambda', [1e-5 1e-2], 'Passes', [1 6], 'Eta0', [0.2 1], 'Folds', 3, 'Verbose', false};
rand('state', 11); a = pellumar_train(Xn, labels, 'Passes', 3);
rand('state', 11); b = pellumar_train(Xn, labels, 'Passes', 3);
rand('state', 12); other = pellumar_train(Xn, labels, 'Passes', 3);
rand('state', 5); searchA = pellumar_search(Xn, labels, grid{:});
rand('state', 5); searchB = pellumar_search(Xn, labels, grid{:}, 'Threads', 1);
rand('state', 6); seededA = pellumar_search(Xn, labels, grid{:}, 'Seed', 99, 'Standardize', true);
rand('state', 7); seededB = pellumar_search(Xn, labels, grid{:}, 'Seed', 99, 'Standardize', true, ...
                                            'Parallel', true, 'Threads', 3);
quiet = evalc('parallel = pellumar_search(Xn, labels, grid{:}, ''Seed'', 99, ''Parallel'', true);');
serial = pellumar_search(Xn, labels, grid{:}, 'Seed', 99);
Xsparse = sparse(Xn .* (abs(Xn) > 1));  % a third of the values zero
sparseModel = pellumar_train(Xsparse, labels, 'Seed', 8, 'Passes', 4);
denseModel = pellumar_train(full(Xsparse), labels, 'Seed', 8, 'Passes', 4);
scaledModel = pellumar_train(Xsparse, labels, 'Seed', 8, 'Standardize', true);
far = [1e6 + 0.01 * randn(1, 105); Xn(1, :)];  % a feature far from 0 with a small spread
farModel = pellumar_train(sparse(far), labels, 'Seed', 8, 'Standardize', true);
oneRow = pellumar_train(sparse(far(2, :)), labels, 'Seed', 8, 'Standardize', true);
Xcounts = round(10 * abs(Xn));  % whole numbers, as counts and pixels are
countSearch = outcome(@pellumar_search, int16(Xcounts), labels, grid{:}, 'Seed', 99);
seedShown = 2^53 - 12345;       % a seed of sixteen digits
shownModel = pellumar_train(Xn, labels, 'Seed', seedShown, 'Passes', 1);
shownSearch = outcome(@pellumar_search, Xn, labels, grid{:}, 'Seed', shownModel.Seed);
wide = pellumar_train([Xn; Xn], labels, 'Seed', 8, 'Standardize', true);  % four features, centred
autoModel = pellumar_train(Xn, labels, 'Seed', 8);  % Eta0 'auto', the default
autoSparse = pellumar_train(Xsparse, labels, 'Seed', 8);
[widePredicted, wideScores] = pellumar_predict(wide, [Xsparse; sparse(2, 105)]);
% Xsparse's two features and one that samples 4 and 5 alone hold, large, as
% rows 7, 310 and 1999 of 2000: every training and fold trains on the rows
% its samples hold, the third in the folds that train on sample 4 or 5.
Xthree = [Xsparse; sparse(1, [4 5], [20 -20], 1, 105)];
Xspread = sparse(2000, 105);
Xspread([7 310 1999], :) = Xthree;
spreadSearch = pellumar_search(Xspread, labels, grid{:}, 'Seed', 99, 'Standardize', true);
threeSearch = pellumar_search(Xthree, labels, grid{:}, 'Seed', 99, 'Standardize', true);
spreadSearch.Model.W = heldRows(spreadSearch.Model.W, [7 310 1999], true);
narrowScores = [];
try
  [~, narrowScores] = pellumar_predict(wide, Xsparse);
end
repeats = {
  'rand(''state'') repeats a training',         isequal(bits(a.W), bits(b.W)) && a.Seed == b.Seed
  'another state, another seed and model',      other.Seed ~= a.Seed && ~isequal(bits(other.W), bits(a.W))
  '''Seed'', model.Seed repeats it',             isequal(bits(pellumar_train(Xn, labels, 'Passes', 3, ...
                                                  'Seed', a.Seed, 'Threads', 1).W), bits(a.W))
  'threads change no bit',                      isequal(bits(pellumar_train(Xn, labels, 'Passes', 3, ...
                                                  'Seed', a.Seed, 'Threads', 4).W), bits(a.W))
  'single X trains as double(X)',               isequal(bits(pellumar_train(Xsingle, labels, 'Seed', 3).W), ...
                                                        bits(pellumar_train(double(Xsingle), labels, 'Seed', 3).W))
  'rand(''state'') repeats a search',           sameSearch(searchA, searchB)
  '''Seed'' repeats a search, any state',        sameSearch(seededA, seededB)
  'Parallel: the same table and model, silent', sameSearch(parallel, serial) && isempty(quiet)
  'the settings are told apart',                numel(unique([serial.Settings.Accuracy])) > 2
  'sparse X trains as full(X), to rounding',    max(abs(sparseModel.W(:) - denseModel.W(:))) <= ...
                                                  1e-11 * max(abs(denseModel.W(:))) && ...
                                                  ~isequal(bits(sparseModel.W), bits(denseModel.W))
  'sparse scale: the deviation, far from 0 too', abs(farModel.Scale(1) / std(far(1, :)) - 1) < 1e-6
  'sparse scale of a one-feature X',           abs(oneRow.Scale / std(far(2, :)) - 1) < 1e-12
  'integer X trains as double(X)', ...
    isequal(trainedBits(uint8(Xcounts), labels, 'Seed', 3), trainedBits(Xcounts, labels, 'Seed', 3)) && ...
    isequal(trainedBits(int32(Xcounts), labels, 'Seed', 3, 'Standardize', true), ...
            trainedBits(Xcounts, labels, 'Seed', 3, 'Standardize', true))
  'integer X searches as double(X)', ...
    sameSearch(countSearch, pellumar_search(Xcounts, labels, grid{:}, 'Seed', 99))
  'model.Seed shows every digit, taken back as it is', ...
    ~isempty(strfind(evalc('disp(shownModel)'), sprintf('%d', seedShown))) && ...
    strcmp(num2str(shownModel.Seed), sprintf('%d', seedShown)) && ...
    isequal(trainedBits(Xn, labels, 'Seed', shownModel.Seed, 'Passes', 1), bits(shownModel.W)) && ...
    isequal(pellumar_order(105, shownModel.Seed), pellumar_order(105, seedShown)) && ...
    sameSearch(shownSearch, pellumar_search(Xn, labels, grid{:}, 'Seed', seedShown))
  'sparse X with fewer rows: the missing features are zeros', ...
    isequal(narrowScores, wideScores) && ...
    isequal(outcome(@pellumar_predict, wide, Xsparse), widePredicted) && ...
    isequal(outcome(@pellumar_predict, scaledModel, Xsparse(1, :)), ...
            pellumar_predict(scaledModel, [Xsparse(1, :); sparse(1, 105)])) && ...
    strcmp(errorOf(@pellumar_predict, wide, full(Xsparse)), 'pellumar:featureCount') && ...
    strcmp(errorOf(@pellumar_predict, wide, sparse([Xn(:, 1:3); Xn(:, 1:3)]')), 'pellumar:featureCount')
  'Eta0 ''auto'' (the default) records the power of two it trained with', ...
    isa(autoModel.Eta0, 'double') && isscalar(autoModel.Eta0) && autoModel.Eta0 > 0 && ...
    log2(autoModel.Eta0) == round(log2(autoModel.Eta0)) && ...
    isequal(trainedBits(Xn, labels, 'Seed', 8, 'Eta0', autoModel.Eta0), bits(autoModel.W)) && ...
    isequal(trainedBits(Xn, labels, 'Seed', 8, 'Eta0', 'AUTO'), bits(autoModel.W))
  '''Seed'', model.Seed repeats the Eta0 ''auto'' chose, and the bits', ...
    isequal(trainedBits(Xn, labels, 'Seed', autoModel.Seed, 'Threads', 3), bits(autoModel.W)) && ...
    isequal(trainedBits(Xsparse, labels, 'Seed', autoSparse.Seed, 'Threads', 1), bits(autoSparse.W))
  'sparse X: features no sample holds change no bit, in training or a fold', ...
    isequal(bits(heldRows(trainedW(Xspread, labels, 'Seed', 8, 'Passes', 3), [7 310 1999], true)), ...
            trainedBits(Xthree, labels, 'Seed', 8, 'Passes', 3)) && ...
    isequal(bits(heldRows(trainedW(Xspread, labels, 'Seed', 9, 'Bias', false, 'Standardize', true), ...
                          [7 310 1999], false)), ...
            trainedBits(Xthree, labels, 'Seed', 9, 'Bias', false, 'Standardize', true)) && ...
    isequal(bits(heldRows(trainedW(Xspread, labels, 'Seed', 9, 'Lambda', 1, 'Eta0', 1.5), ...
                          [7 310 1999], true)), ...
            trainedBits(Xthree, labels, 'Seed', 9, 'Lambda', 1, 'Eta0', 1.5)) && ...
    isequal(bits(heldRows(trainedW(Xspread, labels > 1, 'Seed', 9, 'Lambda', 1, 'Eta0', 1), ...
                          [7 310 1999], true)), ...
            trainedBits(Xthree, labels > 1, 'Seed', 9, 'Lambda', 1, 'Eta0', 1)) && ...
    sameSearch(spreadSearch, threeSearch)
  'sparse X is scaled, not centred',            issparse(Xsparse) && ~any(scaledModel.Mean) && ...
                                                  isequal(pellumar_predict(scaledModel, Xsparse), ...
                                                          pellumar_predict(scaledModel, full(Xsparse)))
};
for k = 1:size(repeats, 1)
  check(repeats{k, 2}, repeats{k, 1});
end
% A fold's accuracy in the search is that of pellumar_train on the other
% folds with the fold's seed (the search's seed + the classes + the
% (fold, Lambda, Eta0) number), tested on the fold: three classes, a setting
% read at its checkpoint, the last fold, the second Lambda and Eta0.
test = serial.Folds == 3;
foldModel = pellumar_train(Xn(:, ~test), labels(~test), 'Lambda', 1e-2, 'Eta0', 1, 'Passes', 1, ...
                           'Seed', 99 + 3 + (3 - 1) * 4 + 4);
foldAccuracy = mean(pellumar_predict(foldModel, Xn(:, test)) == labels(test));
settingsAt = find([serial.Settings.Lambda] == 1e-2 & [serial.Settings.Eta0] == 1 & ...
                  [serial.Settings.Passes] == 1);
perFold = zeros(1, 3);
for f = 1:3
  held = serial.Folds == f;
  % Mean and std of the folds pin the third fold's accuracy given the others.
  perFold(f) = mean(pellumar_predict(pellumar_train(Xn(:, ~held), labels(~held), 'Lambda', 1e-2, ...
                    'Eta0', 1, 'Passes', 1, 'Seed', 99 + 3 + (f - 1) * 4 + 4), Xn(:, held)) == labels(held));
end
check(perFold(3) == foldAccuracy && abs(serial.Settings(settingsAt).Accuracy - mean(perFold)) < 1e-15 && ...
      abs(serial.Settings(settingsAt).AccuracyStd - std(perFold)) < 1e-15, ...
      sprintf('a fold''s accuracy is its own training''s (%s against %s)', ...
              mat2str(serial.Settings(settingsAt).Accuracy), mat2str(mean(perFold))));
% 'Auto' in the grid: each fold's training chooses its Eta0 as pellumar_train
% chooses it on the fold's training part, with the (fold, Lambda, Eta0)
% seed: the pairs are (1e-5, auto), (1e-2, auto), (1e-5, 1), (1e-2, 1). On
% noise, where the choice moves with the samples and the seed.
Xr = randn(4, 150);
noise = randi(3, 1, 150);
autoGrid = {'Lambda', [1e-5 1e-2], 'Passes', [1 6], 'Eta0', {'auto', 1}, 'Folds', 3, ...
            'Verbose', false, 'Seed', 99};
autoSearch = pellumar_search(Xr, noise, autoGrid{:});
output = evalc('autoAgain = pellumar_search(Xr, noise, autoGrid{:}, ''Verbose'', true, ''Threads'', 1);');
chosen = zeros(2, 3);
perFold = zeros(1, 3);
for f = 1:3
  held = autoSearch.Folds == f;
  for pair = 1:2
    foldModel = pellumar_train(Xr(:, ~held), noise(~held), 'Lambda', autoGrid{2}(pair), ...
                               'Passes', 6, 'Seed', 99 + 3 + (f - 1) * 4 + pair);
    chosen(pair, f) = foldModel.Eta0;
  end
  perFold(f) = mean(pellumar_predict(foldModel, Xr(:, held)) == noise(held));
end
auto = isnan([autoSearch.Settings.Eta0]);
atSix = find(auto & [autoSearch.Settings.Passes] == 6);
check(isequal(vertcat(autoSearch.Settings(atSix).FoldEta0), chosen) && ...
      abs(autoSearch.Settings(atSix(2)).Accuracy - mean(perFold)) < 1e-15, ...
      sprintf('''auto'' in the search: each fold as pellumar_train chooses (%s against %s)', ...
              mat2str(vertcat(autoSearch.Settings(atSix).FoldEta0)), mat2str(chosen)));
check(sum(~auto) == 4 && all([autoSearch.Settings(~auto).Eta0] == 1) && ...
      isequal(vertcat(autoSearch.Settings(~auto).FoldEta0), ones(4, 3)) && ...
      sameSearch(autoSearch, autoAgain) && numel(strfind(output, 'eta0 auto (')) == 4, ...
      '''auto'' and numbers in one grid: NaN marks ''auto'', the same from the seed, the table');
quiet = evalc('defaultGrid = pellumar_search(Xr, noise, ''Folds'', 3, ''Seed'', 5);');
best = defaultGrid.Best;
check(numel(defaultGrid.Settings) == 12 && all(isnan([defaultGrid.Settings.Eta0])) && ...
      ~isempty(strfind(quiet, sprintf('auto (the model''s: %g)', defaultGrid.Model.Eta0))) && ...
      isequal(trainedBits(Xr, noise, 'Lambda', best.Lambda, 'Passes', best.Passes, 'Seed', ...
                          defaultGrid.Model.Seed), bits(defaultGrid.Model.W)), ...
      'the default grid: Eta0 ''auto'', and the model trained with ''auto''');

% An explicit Eta0 trains the documented step, bit for bit, as it did before
% 'auto' (two classes: one classifier, no calibration). 'Auto' replayed
% from its documented procedure: the subsample of the first 2,000 samples
% of the order, the candidates from the mean squared length, the lowest
% objective of 5 passes, twice it; on dense, sparse and two-class data, more
% than 2,000 samples.
x = [randn(2, 30) + 1, randn(2, 30) - 1];
twoClasses = [ones(1, 30), 2 * ones(1, 30)];
explicit = pellumar_train(x, twoClasses, 'Lambda', 1e-2, 'Eta0', 0.5, 'Passes', 3, 'Seed', 21);
check(isequal(bits(explicit.W), bits(plainTraining(x, twoClasses, 1e-2, 180, 0.5, 21))) && ...
      explicit.Eta0 == 0.5, 'an explicit Eta0 trains the documented step, bit for bit');
big = randi(3, 1, 2400);
Xbig = [3 0; -2 3; -2 -3]' * full(sparse(big, 1:2400, 1)) + 1.5 * randn(2, 2400);
cases = {Xbig, big, 1e-4, 31; Xbig, big, 1e-1, 34; sparse(Xbig .* (abs(Xbig) > 1)), big, 1e-2, 32
         10 * Xbig, double(big == 1), 1e-1, 33};
tried = zeros(1, size(cases, 1));
for c = 1:size(cases, 1)
  model = pellumar_train(cases{c, 1}, cases{c, 2}, 'Lambda', cases{c, 3}, 'Seed', cases{c, 4});
  [expected, tried(c)] = replayAuto(cases{c, 1}, cases{c, 2}, cases{c, 3}, cases{c, 4});
  check(model.Eta0 == expected, sprintf('''auto'' case %d: Eta0 %g, replayed %g', c, ...
                                        model.Eta0, expected));
end
check(any(tried > 3), sprintf('the replays tried beyond the first three (%s)', mat2str(tried)));

% T is floor(Passes * N); a feature constant in training keeps a scale of 1,
% so that new data with other values in it still get finite scores. Values
% that are not exact in binary are constant too (the std of 105 copies of pi
% is 5e-15): they train on rows of exact zeros, whose weights stay 0.
model = pellumar_train([Xs; [5; 0.1; 0.3; pi] * ones(1, 105)], labels, 'Passes', 0.5, ...
                       'Standardize', true);
[~, scores] = pellumar_predict(model, [Xs(:, 1:4); repmat(1:4, 4, 1)]);
check(model.Iterations == 52 && all(model.Scale(3:6) == 1) && ~any(any(model.W(3:6, :))) && ...
      all(isfinite(scores(:))), 'fractional passes and constant features');

% Standardisation fitted on the training folds alone. One huge value in one
% sample: the fold it is tested in must train on the other fold's own,
% unspoilt statistics (accuracy near 1 there, near 1/2 in the fold that
% trains with it), where statistics of all the data would spoil both folds.
x = [2 * (1:100 > 50) - 1 + 0.1 * randn(1, 100), 1e7];
labels = [1:100 > 50, true];
leak = pellumar_search(x, labels, 'Lambda', 1e-4, 'Passes', 10, 'Folds', 2, ...
                       'Standardize', true, 'Verbose', false);
check(leak.Best.Accuracy > 0.65, sprintf(['the tested fold''s statistics stay out of training ' ...
                                          '(accuracy %.3f)'], leak.Best.Accuracy));

fprintf('%d passed, %d failed\n', passed, failed);
if failed > 0
  exit(1);
end
