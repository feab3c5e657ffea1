function fig = example_figure(width, height)
%EXAMPLE_FIGURE An invisible figure for the examples' pictures.
%   FIG = EXAMPLE_FIGURE(WIDTH, HEIGHT) opens a figure of WIDTH x HEIGHT
%   pixels that is never shown, for print('-dpng', ...) to write; close it
%   afterwards. Octave without its desktop (octave-cli, a server, CI) draws
%   it with gnuplot, the one toolkit of Octave that needs no display (and
%   warns that it is not maintained, which says nothing about these pictures).

  if exist('OCTAVE_VERSION', 'builtin') && ~isguirunning()
    saved = warning('query', 'Octave:gnuplot-graphics');
    warning('off', 'Octave:gnuplot-graphics');
    fig = figure('Visible', 'off');
    graphics_toolkit(fig, 'gnuplot');
    warning(saved.state, 'Octave:gnuplot-graphics');
  else
    fig = figure('Visible', 'off');
  end
  set(fig, 'Position', [100 100 width height], 'PaperPositionMode', 'auto', 'Color', 'w');
end
