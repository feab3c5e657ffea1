function octave_only_fixture(x)
% Input of the .m scan's own check: the lines that end in "flagged" (or that
% precede a line ending in "flagged above") use what MATLAB R2018a or Octave
% 6.1 lacks, and the scan must report exactly those lines; every other line is
% code both hosts run.
  printf('%d\n', x);                      % flagged
  n = rows(x) + columns(x);               % flagged
  s.rows = n;
  t = 'printf, rows and # in a string';
  y = [x' x'] .^ 2;
  # a hash comment, flagged
  if x != 1, y = 0; end                   % flagged
  if !x, y = 1; end                       % flagged
  x += 1;                                 % flagged
  x++;                                    % flagged
  u = "double quotes";                    % flagged
  v = 2 ** 3;                             % flagged
  if x && isguirunning()               % flagged
  endif                                   % flagged
  if exist('OCTAVE_VERSION', 'builtin') && ~isguirunning()
    printf('Octave only\n');
    graphics_toolkit('gnuplot');
    x -= 1;                               % flagged
    # Octave's syntax breaks MATLAB's reading of the whole file, flagged
    if x != 0, x = 0; endif               % flagged
    startsWith(t, 'p');                   % flagged
  else
    fflush(stdout);                       % flagged
    if startsWith(t, 'p'), x = 1; end     % Octave reaches this else too: flagged
  end
  puts(t);                                % flagged
  w = x(end) - -1 + x(end)' - x--1;
  z = __octave_config_info__();           % flagged
  system('ls');                           % flagged
  do                                      % flagged
    x = x - 1;
  until x < 0                             % flagged
  puts(t);                                % flagged
  %{
  printf in a block comment
  %}
  % Releases after R2018a, and what Octave 6.1 lacks.
  m = readmatrix('data.csv');             % flagged
  exportgraphics(gca, 'a.png');           % flagged
  clim([0 1]);                            % flagged
  m = max(m, [], 'all') + max(m, [], 2);  % flagged
  m = 0xFF;                               % flagged
  if startsWith(t, 'p') || contains(t, 'r'), m = 1; end  % flagged
  % Octave's syntax and functions that the scan used to miss.
  m = size(x)(1);                         % flagged
  --m;                                    % flagged
  m = m .+ 1 .- 2;                        % flagged
  m = m + \
    1;                                    % the line above is flagged above
  persistent count = 0                    % flagged
  print -dpngcairo picture.png            % flagged
  print(gcf, '-dpngcairo', 'picture.png');  % flagged
  f = feval('toupper', t) + str2func('tolower');  % flagged
  c = cellfun('isna', {1}) + eval('sumsq(x)');  % flagged
  m = e + NA;                             % flagged
  putenv('A', uname());                   % flagged
  m = strftime('%Y', localtime(time()));  % flagged
  rename('a', 'b'); usleep(10);           % flagged
  if exist('OCTAVE_VERSION', 'builtin') && x || y, printf('both\n'); end  % flagged
  if exist('OCTAVE_VERSION', 'builtin') ~= 5, puts(t); end  % MATLAB's branch: flagged
  % MATLAB code that the scan must not report: variables named like
  % Octave's functions, and the other ways of writing a guard.
  [rows, cols] = size(y);
  index = rows + cols; source = index;
  disp(rows(1) + source);
  if (exist('OCTAVE_VERSION', 'builtin'))
    printf('Octave\n');
  end
  if ~exist('OCTAVE_VERSION', 'builtin')
    m = startsWith(t, 'p');
  else
    fflush(stdout);
  end
  if x > 1
    m = 2;
  elseif exist('OCTAVE_VERSION', 'builtin') ~= 0
    puts(t);
  end
  isOctave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  if isOctave, graphics_toolkit('gnuplot'); else, m = contains(t, 'p'); end
  % exist gives 5 in Octave and 0 in MATLAB: each comparison below is read by
  % those values, whichever side the call is on.
  if exist('OCTAVE_VERSION', 'builtin') ~= 5, m = contains(t, 'p'); else, fflush(stdout); end
  if exist('OCTAVE_VERSION', 'builtin') >= 1, fflush(stdout); else, m = contains(t, 'p'); end
  if 5 == exist('OCTAVE_VERSION', 'builtin'), fflush(stdout); else, m = contains(t, 'p'); end
  if 0 < exist('OCTAVE_VERSION'), fflush(stdout); else, m = contains(t, 'p'); end
  found = exist('OCTAVE_VERSION', 'builtin');
  if found ~= 5, m = contains(t, 'p'); elseif found >= 1, fflush(stdout); end
  try
    m = 1;
  catch e
    disp(e.message);
  end
  g = @(time) time + 1;
  hold on
  print(gcf, '-dpng', 'picture.png');
  disp([s.rows y u v w z t m c f g(1)]);
end
%{
the end of a block comment the Octave way: MATLAB reads on to the end of the file
#}
% the line above is flagged above
classdef octave_only_class
  properties
    a = 1;
  endproperties                           % flagged
  methods
    function b = twice(o)
      b = 2 * o.a;
    end
  endmethods                              % flagged
endclassdef                               % flagged
