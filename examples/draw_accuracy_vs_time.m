function draw_accuracy_vs_time(points, heading, picture)
%DRAW_ACCURACY_VS_TIME Held-out accuracy against training time, as a PNG.
%   DRAW_ACCURACY_VS_TIME(POINTS, HEADING, PICTURE) draws one series of
%   points per element of the struct array POINTS, with fields
%     name      the series' name in the legend
%     seconds   1-by-P training times (s), on a log axis
%     accuracy  1-by-P held-out accuracies
%     labels    P-by-1 cell array of texts, one beside each point
%   Pellumar's series first, then the peers' (three series at most: a
%   marker and a colour each), titled HEADING, into the PNG file PICTURE
%   (720 x 450 pixels, 96 dpi). The Fashion-MNIST and text demos draw their
%   comparison with it; saying where the file went is theirs.

  fig = example_figure(720, 450);
  markers = {'o', 's', 'd'};
  colours = [0.12 0.37 0.75; 0.90 0.49 0.13; 0.75 0.22 0.17];
  names = {points.name};
  seconds = {points.seconds};
  accuracy = {points.accuracy};
  labels = {points.labels};
  handles = [];  % graphics objects in MATLAB, numbers in Octave: concatenated, not assigned
  for m = 1:numel(names)
    handles = [handles, semilogx(seconds{m}, accuracy{m}, markers{m}, 'MarkerSize', 8, ...
                                 'Color', colours(m, :), 'MarkerFaceColor', colours(m, :), ...
                                 'LineStyle', 'none')];  %#ok<AGROW>
    hold on;
    text(seconds{m} * 1.08, accuracy{m}, labels{m}, 'FontSize', 8);
  end
  hold off;
  grid on;
  allSeconds = [seconds{:}];
  allAccuracy = [accuracy{:}];
  xlim([max(min(allSeconds), 1e-6) / 1.5, max(max(allSeconds), 1e-6) * 3]);  % log axis: no zero
  ylim([min(allAccuracy) - 0.01, max(allAccuracy) + 0.01]);
  xlabel('time to train all the classifiers (s, log scale)');
  ylabel('held-out accuracy');
  title(heading);
  legend(handles, names, 'Location', 'southeast');
  print(fig, '-dpng', '-r96', picture);
  close(fig);
end
