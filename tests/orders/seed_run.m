% Prints, as hexadecimal bits, the weights pellumar_train gives for a fixed
% problem and seed: the test runs it in two Octave processes and compares.
% The data come from a formula, not from a generator.
X = sin((1:40)' * (1:500) / 7) + cos((1:40)' / 3);
labels = mod(floor((1:500) / 3), 3) + mod(floor(sum(X(1:3, :), 1)), 2);
model = pellumar_train(X, labels, 'Seed', 2^40 + 3, 'Passes', 3, 'Threads', 2);
disp(num2hex(model.W(:)));
model = pellumar_train(single(X), labels > 1, 'Seed', 2^53 - 1, 'Passes', 2.5);
disp(num2hex(model.W(:)));
