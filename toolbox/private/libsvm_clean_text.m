function bytes = libsvm_clean_text(bytes)
%LIBSVM_CLEAN_TEXT What pellumar_read_libsvm parses of a piece of a file.
%   BYTES = LIBSVM_CLEAN_TEXT(BYTES) turns into spaces, in a row of uint8
%   holding whole lines of a file, the comments ('#' to the end of the line)
%   and SVMlight's qid:VALUE tokens, so that lines keep their numbers and
%   bytes their places. Bytes, not text: the hosts' regular expressions
%   refuse what is not UTF-8, and a comment may hold any byte.

  hashes = find(bytes == 35);
  if ~isempty(hashes)
    bytes = blank(bytes, hashes, next_of(find(bytes == 10), hashes, numel(bytes)) - 1);
  end
  % A qid token follows spaces or tabs after another token of its line (the
  % label). Only a piece holding a 'q' can have one.
  if max([bytes, uint8(0)]) >= 113
    at = strfind(char(bytes), 'qid:');
    at = at(at > 1);
    at = at(bytes(at - 1) == 32 | bytes(at - 1) == 9);
    if ~isempty(at)
      % The byte before the spaces and tabs: another token's, not a line end.
      solid = find(bytes ~= 32 & bytes ~= 9);
      [~, k] = histc(at, [solid, Inf]);
      k = k(:)';
      at = at(k > 1);
      k = k(k > 1);
      at = at(bytes(solid(k - 1)) > 32);
      bytes = blank(bytes, at, next_of(find(bytes <= 32), at, numel(bytes)) - 1);
    end
  end
end

function next = next_of(marks, at, n)
% The first of the sorted positions MARKS after each of AT (n + 1 if none).
  [~, k] = histc(at, [0, marks, Inf]);
  marks = [marks(:)', n + 1];
  next = marks(k(:)');
end

function bytes = blank(bytes, from, to)
% Spaces at FROM(k):TO(k) for every k; the ranges may overlap.
  n = numel(bytes);
  change = accumarray([from(:); to(:) + 1], [ones(numel(from), 1); -ones(numel(to), 1)], [n + 1, 1]);
  bytes(cumsum(change(1:n)) > 0) = 32;
end
