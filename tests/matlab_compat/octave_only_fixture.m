function octave_only_fixture(x)
% Input of the .m scan's own check: the lines that end in "flagged" use what
% MATLAB does not have, and the scan must report exactly those lines.
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
  else
    fflush(stdout);                       % flagged
  end
  puts(t);                                % flagged
  w = x(end) - -1 + x(end)';
  z = __octave_config_info__();           % flagged
  system('ls');                           % flagged
  do                                      % flagged
    x = x - 1;
  until x < 0                             % flagged
  %{
  printf in a block comment
  %}
  disp([s.rows y u v w z t]);
end
