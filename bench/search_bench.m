% pellumar_search on the search benchmark's data (bench/search_data.py), run
% by bench/search_bench.py in a fresh Octave for each call: DATA, the .mat
% file; OPTIONS, a cell array of pellumar_search's options. Prints the time
% and the peak resident memory above the loaded data in one line.
1;

function kB = statusField(name)
  text = fileread('/proc/self/status');
  kB = str2double(regexp(text, [name ':\s*(\d+)'], 'tokens', 'once'));
end

data = load(DATA);
X = data.X;
labels = data.labels;
clear data;
rand('state', 1);
fid = fopen('/proc/self/clear_refs', 'w');
fprintf(fid, '5');  % the peak resident size starts again from here
fclose(fid);
before = statusField('VmRSS');
start = tic();
cpu = cputime();
result = pellumar_search(X, labels, 'Verbose', false, OPTIONS{:});
seconds = toc(start);
cpu = cputime() - cpu;
peak = (statusField('VmHWM') - before) / 1024;
best = result.Best;
fprintf('pellumar_search %.2f s (processor %.2f s), peak +%.0f MB, best lambda %g passes %d accuracy %.4f\n', ...
        seconds, cpu, peak, best.Lambda, best.Passes, best.Accuracy);
