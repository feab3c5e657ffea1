% Pellumar on the text data for make bench-text, the same settings as
% bench/text_sgd_bench.py: ten one-vs-rest classifiers and one binary
% classifier (the first section against the rest), best of REPEATS, with
% THREADS threads. Prints "pellumar KIND PASSES SECONDS ACCURACY NS" lines,
% NS being nanoseconds per non-zero visited per classifier. TEXT is the
% data's folder.
features = str2double(fileread(fullfile(TEXT, 'features.txt')));
[ytrain, Xtrain] = pellumar_read_libsvm(fullfile(TEXT, 'train.libsvm'), features);
[ytest, Xtest] = pellumar_read_libsvm(fullfile(TEXT, 'test.libsvm'), features);
for passes = [5 20]
  for kind = {'ten', 'binary'}
    if strcmp(kind{1}, 'ten')
      y = ytrain; yt = ytest; K = 10;
    else
      y = ytrain == 1; yt = ytest == 1; K = 1;
    end
    best = Inf;
    for r = 1:REPEATS
      start = tic;
      model = pellumar_train(Xtrain, y, 'Lambda', 1e-6, 'Eta0', 32, 'Passes', passes, ...
                             'Seed', 1, 'Threads', THREADS);
      best = min(best, toc(start));
    end
    accuracy = mean(pellumar_predict(model, Xtest) == yt);
    perNonZero = best / (passes * nnz(Xtrain) * K) * 1e9;
    printf('pellumar %s %d %.4f %.4f %.2f\n', kind{1}, passes, best, accuracy, perNonZero);
  end
end
