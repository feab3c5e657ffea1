function [labels, index, column, value, problem, bytes, watched, ends] = libsvm_parse(bytes, rules)
%LIBSVM_PARSE The grammar of pellumar_read_libsvm, for many lines or one.
%   [LABELS, INDEX, COLUMN, VALUE, PROBLEM, BYTES, WATCHED, ENDS] =
%   LIBSVM_PARSE(BYTES, RULES) parses BYTES, a row of uint8 holding whole
%   lines of a LIBSVM file (the last one may lack its line end), without a
%   loop over lines or tokens. pellumar_read_libsvm calls it on each piece
%   of a file, and libsvm_report_error on the one line a piece's PROBLEM
%   is on, so that what is read and what is refused, and why, are decided
%   here only.
%
%   RULES is a struct: MinIndex (0 or 1), the least index; Shift (0 or 1),
%   added to an index to make its row; Limit, the most rows (Inf for no
%   limit); Watch, an index whose first appearance is returned in WATCHED
%   (NaN for none).
%
%   LABELS (1-by-S) are the labels of the S samples, in order; INDEX, COLUMN
%   and VALUE (1-by-K) are the K index:value pairs, COLUMN their sample (1 to
%   S) and INDEX as written (not shifted). PROBLEM.at is 0 when every line is
%   well formed; otherwise the position in BYTES of the token where the first
%   problem is, and PROBLEM says what it is:
%     kind     'label' (the line's first token holds a ':'), 'pair' (a token
%              after the label that is not one index:value pair), 'empty' (a
%              ':' without an index or a value beside it), 'number' (not
%              a number, below), 'range' (beyond the range of double),
%              'whole' (an index that is not a whole number from MinIndex
%              to the most rows less Shift), 'order' (not above the index before it in its
%              line) or 'limit' (a row above Limit);
%     role     'label', 'index' or 'value': what the number is;
%     from,to  the bytes of that number (of the token for the first three);
%     index    for a value, the bytes of its index (from and to);
%     previous for 'order', the index before.
%   BYTES are returned as parsed: comments and qid tokens blanked
%   (libsvm_clean_text). WATCHED is the position of the first index equal to
%   RULES.Watch (0 if none). ENDS is the number of line ends in BYTES.
%
%   The grammar. Tokens are separated by white space (space, tab, line feed,
%   vertical tab, form feed, carriage return); a line is one label and then
%   index:value pairs, or nothing. A number is
%       [+-] (digits [. digits] | . digits) [(e|E) [+-] digits]
%   written without white space, of any length, and finite once read. Any
%   other byte (letters, control characters, bytes beyond ASCII) is refused.
%
%   How numbers are read: a number whose mantissa (sign and exponent aside)
%   is at most 14 bytes, so that its digits make a whole number below
%   10^14, and whose scale (the exponent less the digits after the '.') is
%   at most 22 in size, is that whole number times or divided by a power of
%   ten, both exact, so that IEEE arithmetic rounds the one operation
%   correctly: the double nearest the decimal, as strtod gives it. Other
%   numbers (%.17g's, large exponents) are read by sscanf, once their
%   spelling has been checked here.

  bytes = reshape(bytes, 1, []);
  labels = zeros(1, 0);
  index = zeros(1, 0);
  column = zeros(1, 0);
  value = zeros(1, 0);
  problem = struct('at', 0, 'kind', '', 'role', '', 'from', 0, 'to', 0, 'index', [0 0], 'previous', NaN);
  watched = 0;
  n = numel(bytes);

  % Marks: every byte that is not a digit. Digits are most of a file, so
  % what follows works on the marks and on the fields, not on every byte.
  marks = find(bytes < uint8(48) | bytes > uint8(57));
  kind = bytes(marks);
  if any(kind == uint8(35)) || max([kind, uint8(0)]) >= uint8(113)   % '#' or 'q' (qid)
    bytes = libsvm_clean_text(bytes);
    marks = find(bytes < uint8(48) | bytes > uint8(57));
    kind = bytes(marks);
  end
  ends = nnz(kind == uint8(10));

  % Separators are white space and ':'. Fields are the runs of other bytes
  % between them: labels, indices and values. A line end is taken to come
  % before the first byte and after the last.
  white = kind <= uint8(32);
  control = find(kind < uint8(32));
  if ~isempty(control)
    % Line ends and tabs are white space; other control bytes are not.
    c = kind(control);
    white(control(c < uint8(9) | c > uint8(13))) = false;
  end
  isSep = white | kind == uint8(58);
  sepIndex = find(isSep);
  sepAt = [0, marks(sepIndex), n + 1];
  sepKind = [uint8(10), kind(isSep), uint8(10)];
  hasField = diff(sepAt) > 1;      % a field between separators k and k + 1
  fk = find(hasField);
  nf = numel(fk);
  if nf == 0 && ~any(sepKind == uint8(58))
    return
  end
  nextSep = fk + 1;                % the separator after each field
  en = sepAt(nextSep) - 1;         % each field's last byte
  before = sepKind(fk);
  colonBefore = before == uint8(58);
  % A line's first field has a line end among the separators since the
  % field before it: mostly the one separator there is.
  first = before == uint8(10);
  if nf > 0
    first(1) = true;
  end
  spread = find(diff(fk) > 1) + 1;
  if ~isempty(spread)
    lines = cumsum(double(sepKind == uint8(10)));
    first(spread) = lines(fk(spread)) > lines(fk(spread - 1));
  end

  % The tokens. Each ':' joins the fields beside it into index:value, so
  % both must be there: each ':' is then the one separator between two
  % fields. A line's first field is its label, which has no ':' after it;
  % every other field has one ':' beside it, not two. So each field is
  % exactly one of: first, after a ':', before a ':'.
  colons = nnz(sepKind == uint8(58));
  colonAfter = [colonBefore(2:end), false];
  if nnz(colonBefore) ~= colons || any(colonBefore(spread)) || ...
     nnz(first) + 2 * nnz(colonBefore) ~= nf || ~all(first | colonBefore | colonAfter)
    % (Where every ':' is before a field and after one, the fields after a
    % ':' are as many as those before one.)
    colonAfter = sepKind(fk + 1) == uint8(58);
    problem = token_problem(bytes, rules, sepAt, sepKind, sepAt(fk) + 1, first, colonBefore, colonAfter);
    return
  end
  st = sepAt(fk) + 1;              % each field's first byte

  % The spelling of each field, from the marks inside fields: a sign starts
  % the field or follows its exponent's letter, and comes before a digit
  % (or the '.' of a mantissa); the letter follows a digit or '.' and comes
  % before a digit or a sign; a '.' has a digit beside it; the '.' comes
  % before the letter, and each at most once; no other byte. Alongside, each
  % field's mantissa (from MS to ME: after the sign, before the letter) and
  % SCALE, the power of ten its digits, read as a whole number, are to be
  % multiplied by.
  bad = false(1, nf);
  sgn = ones(1, nf);
  ms = st;
  me = en;
  scale = zeros(1, nf);
  hasDot = false(1, nf);
  dotCount = [];                   % '.'s a field: HASDOT but where one has two
  exponents = false;
  % Most fields hold no mark or one: a '.' or a sign at their start, and a
  % digit, which the rules allow as they are. The marks of every other
  % field are checked one by one below.
  edges = [0, sepIndex, numel(marks) + 1];   % the separators among the marks
  inside = edges(nextSep) - edges(fk) - 1;   % marks inside each field
  one = find(inside == 1);
  k = edges(fk(one)) + 1;
  oneAt = marks(k);
  oneKind = kind(k);
  long = en(one) > st(one);
  dotted = long & oneKind == uint8(46);
  leading = long & oneAt == st(one) & (oneKind == uint8(43) | oneKind == uint8(45));
  f = one(dotted);
  hasDot(f) = true;
  dots = oneAt(dotted);
  scale(f) = dots - en(f);                  % less the digits after the '.'
  f = one(leading);
  signed = ~isempty(f);
  sgn(f) = 44 - double(oneKind(leading));    % '+' is 43, '-' 45
  ms(f) = st(f) + 1;
  others = inside > 1;
  others(one(~(dotted | leading))) = true;
  inner = [];
  if any(others)
    others = find(others);
    [inner, field] = runs(edges(fk(others)) + 1, inside(others));
    field = others(field);
  end
  if ~isempty(inner)
    at = marks(inner);
    ik = kind(inner);
    % A byte next to a mark is a digit unless it is a mark too.
    around = [0, marks, n + 1];
    prevDigit = around(inner) ~= at - 1;
    nextDigit = around(inner + 2) ~= at + 1;
    isDot = ik == uint8(46);
    good = isDot & (prevDigit | nextDigit);
    isExp = false(size(ik));
    o = find(~isDot);              % signs, letters and any other byte
    if ~isempty(o)
      ko = ik(o);
      ao = at(o);
      fo = field(o);
      atStart = ao == st(fo);
      atEnd = ao == en(fo);
      k = max(ao - 1, 1);
      prev = bytes(k);
      k = min(ao + 1, n);
      next = bytes(k);
      isSign = ko == uint8(43) | ko == uint8(45);
      expo = ko == uint8(101) | ko == uint8(69);
      good(o) = (isSign & (atStart | prev == uint8(101) | prev == uint8(69)) & ...
                 (nextDigit(o) | (atStart & ~atEnd & next == uint8(46)))) | ...
                (expo & (prevDigit(o) | (~atStart & prev == uint8(46))) & ...
                 (nextDigit(o) | (~atEnd & (next == uint8(43) | next == uint8(45)))));
      isExp(o) = expo;
      starting = isSign & atStart;
      signed = signed || any(starting);
      sgn(fo(starting)) = 44 - double(ko(starting));   % '+' is 43, '-' 45
      ms(fo(starting)) = ao(starting) + 1;
      me(fo(expo)) = ao(expo) - 1;
      exponents = any(expo);
    end
    % Of the '.' and the letter, in the same field only '.' then letter.
    de = find(isDot | isExp);
    if numel(de) > 1
      twice = field(de(2:end)) == field(de(1:end - 1)) & ~(isDot(de(1:end - 1)) & isExp(de(2:end)));
      good(de([false, twice])) = false;
    end
    if ~all(good)
      bad(field(~good)) = true;
    end
    dotField = field(isDot);
    hasDot(dotField) = true;
    if any(diff(dotField) == 0)
      % A field with two '.'s (refused): every '.' is taken out of the
      % bytes for the mantissas, so each counts there.
      dotCount = double(hasDot);
      counts = accumarray(dotField(:), 1, [nf, 1]).';
      dotCount(dotField) = counts(dotField);
    end
    scale(dotField) = at(isDot) - me(dotField);   % less the digits after the '.'
    dots = [dots, at(isDot)];
    if exponents
      ex = find(isExp);
      ex = ex(~bad(field(ex)));
      % Exponents of up to 4 digits, digit by digit; longer ones by sscanf.
      e = field(ex);
      es = at(ex) + 1;
      esign = ones(size(e));
      plusMinus = bytes(es) == uint8(43) | bytes(es) == uint8(45);
      esign(plusMinus) = 44 - double(bytes(es(plusMinus)));
      es = es + plusMinus;
      exponent = zeros(size(e));
      for k = 0:3
        more = es + k <= en(e);
        exponent(more) = 10 * exponent(more) + double(bytes(es(more) + k)) - 48;
      end
      exponent(en(e) - es >= 4) = Inf;   % read by sscanf below
      scale(e) = scale(e) + esign .* exponent;
    end
  end

  % The values. A mantissa of at most 14 bytes (so its digits make a whole
  % number below 10^14) whose scale is at most 22 in size is read here; the
  % rest by sscanf.
  width = me - ms;                 % the mantissa's bytes, less one
  anyBad = any(bad);
  if max(width) < 14 && ~exponents && ~anyBad
    allFast = true;
  else
    fast = width < 14 & ~bad;
    if exponents
      fast = fast & abs(scale) <= 22;
    end
    allFast = all(fast);
  end
  if allFast
    numbers = mantissas(bytes, dots, ms, me, hasDot, dotCount, scale, sgn, signed);
  else
    numbers = zeros(1, nf);
    f = find(fast);
    if ~isempty(f)
      numbers(f) = mantissas(bytes, dots, ms, me, hasDot, dotCount, scale, sgn, signed, f);
    end
    slow = find(~fast & ~bad);
    if ~isempty(slow)
      numbers(slow) = read_by_sscanf(bytes, st(slow), en(slow));
    end
  end

  % Labels, then index:value pairs in turn.
  labels = numbers(first);
  index = numbers(colonAfter);
  value = numbers(colonBefore);
  sample = cumsum(double(first));
  column = sample(colonAfter);

  % Problems, each at its field: a misspelt number, one beyond double, an
  % index that is not a whole number in range, not above the one before it
  % in its line, or above the limit. The first in the bytes is the one
  % returned; where one field has two, the order of this list decides.
  notWhole = false;
  notAbove = false;
  above = false;
  if ~isempty(index)
    % The checks made once for all first; the flags only when one fails.
    low = min(index);
    high = max(index);
    if low < rules.MinIndex || high > 2^31 - 1 - rules.Shift || any(index ~= fix(index))
      notWhole = index < rules.MinIndex | index > 2^31 - 1 - rules.Shift | index ~= fix(index);
    end
    % Ascending within lines: then sample * 2^32 + index ascends throughout
    % (exact for the whole indices below 2^31 allowed; any other is refused
    % at its own field first).
    notAbove = [false, diff(column * 2^32 + index) <= 0];
    if high > rules.Limit - rules.Shift
      above = index > rules.Limit - rules.Shift;
    end
    if high >= rules.Watch
      k = find(index == rules.Watch, 1);
      if ~isempty(k)
        indexAt = st(colonAfter);
        watched = indexAt(k);
      end
    end
  end
  infinite = false;
  if ~allFast
    infinite = ~bad & ~isfinite(numbers);
  end
  if ~(anyBad || any(infinite) || any(notWhole) || any(notAbove) || any(above))
    return
  end
  indexAt = st(colonAfter);
  found = [first_of(st, bad), 1; ...
           first_of(st, infinite), 2; ...
           first_of(indexAt, notWhole), 3; ...
           first_of(indexAt, notAbove), 4; ...
           first_of(indexAt, above), 5];
  found = sortrows(found(isfinite(found(:, 1)), :));
  at = found(1, 1);
  kinds = {'number', 'range', 'whole', 'order', 'limit'};
  f = find(st == at, 1);
  problem = describe(problem, kinds{found(1, 2)}, at, en(f));
  if first(f)
    problem.role = 'label';
  elseif colonAfter(f)
    problem.role = 'index';
    if found(1, 2) == 4
      problem.previous = index(find(indexAt == at, 1) - 1);
    end
  else
    problem.role = 'value';
    problem.index = [st(f - 1), en(f - 1)];
  end
end

function [index, group] = runs(starts, counts)
% The whole numbers STARTS(k) to STARTS(k) + COUNTS(k) - 1 for every k, in
% turn, and the k of each.
  total = sum(counts);
  first = cumsum([1, counts(1:end - 1)]);
  index = ones(1, total);
  index(1) = starts(1);
  index(first(2:end)) = starts(2:end) - starts(1:end - 1) - counts(1:end - 1) + 1;
  index = cumsum(index);
  group = zeros(1, total);
  group(first) = 1;
  group = cumsum(group);
end

function numbers = mantissas(bytes, dots, ms, me, hasDot, dotCount, scale, sgn, signed, f)
% The numbers of the fields F (all when not given) from their mantissas
% MS:ME, their SCALE and sign SGN. DOTS are the positions of every '.' in
% BYTES, DOTCOUNT the number in each field ([]: one where HASDOT).
  % The bytes less 48, in uint8 arithmetic, and without their '.': digits
  % are their values, any byte below '0' is 0 and any other at most 207;
  % a mantissa's digits are a run, from MS - (the '.'s before it) to ME -
  % (the '.'s up to it).
  if isempty(dotCount)
    through = cumsum(double(hasDot));
  else
    through = cumsum(dotCount);
  end
  padded = [zeros(1, 16, 'uint8'), bytes - uint8(48)];
  padded(dots + 16) = [];
  if nargin < 10
    last = me - through + 16;
    count = me - ms + 1 - hasDot;
  else
    last = me(f) - through(f) + 16;
    count = me(f) - ms(f) + 1 - hasDot(f);
    scale = scale(f);
    sgn = sgn(f);
  end
  % Each mantissa's last COUNT digits and the bytes before them, digit by
  % digit from the last, as a whole number: every sum is a whole number
  % below 207 * (10^14 - 1) / 9 < 2^53, so exact, and mod 10^COUNT keeps
  % the mantissa's own digits (the quotient by 10^COUNT is at least
  % 10^-COUNT from a whole number, far more than its rounding error, so
  % floor finds the right one).
  tens = [1, cumprod(repmat(10, 1, 22))];   % 10^0 to 10^22, each exact
  % (The bytes move one place to the right at each digit, not the places
  % one to the left: indexing again by the same LAST is the faster.)
  numbers = double(padded(last));
  for j = 1:max(count) - 1
    padded = [uint8(0), padded(1:end - 1)];
    numbers = numbers + tens(j + 1) * double(padded(last));
  end
  high = tens(count + 1);
  numbers = numbers - floor(numbers ./ high) .* high;   % mod, exact here and faster
  % Times or divided by a power of ten, both exact: IEEE arithmetic rounds
  % the one operation that is not by 1 correctly.
  if any(scale < 0)
    k = 1 - min(scale, 0);
    numbers = numbers ./ tens(k);
  end
  if any(scale > 0)
    k = 1 + max(scale, 0);
    numbers = numbers .* tens(k);
  end
  if signed
    numbers = numbers .* sgn;
  end
end

function problem = token_problem(bytes, rules, sepAt, sepKind, st, first, colonBefore, colonAfter)
% The first problem of a piece whose tokens are not all a label or
% index:value: a ':' without a field on one side, a label with a ':', a
% field after the label without a ':' beside it, or with one on both sides.
% Whatever comes before the first such token may hold an earlier problem of
% another kind: the same parse on the bytes before it finds that.
  gap = diff(sepAt);
  colons = find(sepKind == uint8(58));
  empty = colons(find(gap(colons - 1) == 1 | gap(colons) == 1, 1));
  labelColon = find(first & colonAfter, 1);
  bare = find(~first & ~colonBefore & ~colonAfter, 1);
  twice = find(colonBefore & colonAfter, 1);
  candidates = zeros(0, 2);
  if ~isempty(empty)
    candidates(end + 1, :) = [token_start(bytes, sepAt(empty)), 1];
  end
  if ~isempty(labelColon)
    candidates(end + 1, :) = [st(labelColon), 2];
  end
  if ~isempty(bare)
    candidates(end + 1, :) = [st(bare), 3];
  end
  if ~isempty(twice)
    candidates(end + 1, :) = [st(twice - 1), 3];
  end
  [at, k] = min(candidates(:, 1));
  [~, ~, ~, ~, problem] = libsvm_parse(bytes(1:at - 1), rules);
  if problem.at == 0
    names = {'empty', 'label', 'pair'};
    problem = describe(problem, names{candidates(k, 2)}, at, token_end(bytes, at));
  end
end

function at = first_of(starts, flags)
% The start of the first flagged field, Inf if none.
  k = find(flags, 1);
  if isempty(k)
    at = Inf;
  else
    at = starts(k);
  end
end

function problem = describe(problem, kind, from, to)
  problem.at = from;
  problem.kind = kind;
  problem.from = from;
  problem.to = to;
end

function at = token_start(bytes, at)
% The first byte of the token holding the byte at AT: after white space.
  white = bytes(1:at) == uint8(32) | (bytes(1:at) >= uint8(9) & bytes(1:at) <= uint8(13));
  at = find([true, white], 1, 'last');
end

function to = token_end(bytes, at)
% The last byte of the token starting at AT: before the next white space.
  white = bytes(at:end) == uint8(32) | (bytes(at:end) >= uint8(9) & bytes(at:end) <= uint8(13));
  to = at + find([white, true], 1) - 2;
end

function values = read_by_sscanf(bytes, from, to)
% The numbers at FROM(k):TO(k) of BYTES, checked already, read by sscanf.
  lengths = to - from + 2;         % each with a space after it
  ends = cumsum(lengths);
  step = ones(1, ends(end));
  step(1) = from(1);
  step(ends(1:end - 1) + 1) = from(2:end) - to(1:end - 1) - 1;
  place = cumsum(step);
  text = bytes(min(place, numel(bytes)));
  text(ends) = 32;
  values = sscanf(char(text), '%f').';
  if numel(values) ~= numel(from)
    % Checked spellings are numbers sscanf reads one each; should a host's
    % sscanf read them otherwise, they count as beyond range, not as other
    % numbers.
    values = Inf(1, numel(from));
  end
end
