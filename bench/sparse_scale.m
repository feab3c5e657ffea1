% Sparse training at scale, for make bench-sparse-scale: a synthetic
% text-like set, M features with Zipf-distributed frequencies (feature k
% drawn with probability proportional to 1/k), about NNZ non-zeros per
% sample, N samples, labels from a sparse rule. Made and saved by one
% process (STEP 'make'), then loaded and trained on by a fresh one (STEP
% 'train'), which prints the matrix's size, the training's time and the
% process's peak resident memory against the data's own size (Linux:
% /proc/self/status), so that runs at several N and M show what grows with
% the non-zeros and what does not.
1;

function kB = statusField(name)
  text = fileread('/proc/self/status');
  kB = str2double(regexp(text, [name ':\s*(\d+)'], 'tokens', 'once'));
end

if strcmp(STEP, 'make')
rand('state', 1);
% Zipf by inverse transform: floor(exp(u * log(M + 1))) has P(k) ~ 1/k.
rows = floor(exp(rand(NNZ * N, 1) * log(M + 1)));
rows = min(max(rows, 1), M);
cols = reshape(repmat(1:N, NNZ, 1), [], 1);
X = sparse(rows, cols, 1, M, N);  % repeated words add up, as counts do
clear rows cols;
X = spfun(@(v) log1p(v), X);
rule = sparse(1:1000, 1, randn(1000, 1), M, 1);
labels = full(rule' * X) > 0;
save('-binary', FILE, 'X', 'labels');
return
end
load(FILE);
% One small training first, so that loading the functions and the engine
% is not timed.
pellumar_train(sparse([1 0; 0 1]), [1 2], 'Passes', 1, 'Seed', 1);
dataMB = (nnz(X) * 16 + (N + 1) * 8) / 2^20;
start = tic;
model = pellumar_train(X, labels, 'Lambda', 1e-6, 'Passes', PASSES, 'Eta0', 1, 'Seed', 1);
seconds = toc(start);
peak = statusField('VmHWM');
printf(['N %8d  M %8d  non-zeros %10d (%6.0f MB)  training %7.2f s, %5.2f ns per non-zero, ' ...
        'process peak %6.0f MB\n'], N, M, nnz(X), dataMB, seconds, ...
       seconds / (PASSES * nnz(X)) * 1e9, peak / 1024);
