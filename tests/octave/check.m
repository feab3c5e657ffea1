function check(ok, what)
%CHECK Count one check of the Octave suites, printing it when it failed.
%   The counts are the globals passed and failed, which the suite declares.
  global passed failed
  if ok
    passed = passed + 1;
  else
    failed = failed + 1;
    fprintf('FAILED: %s\n', what);
  end
end
