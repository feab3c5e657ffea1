function seed = draw_seed()
%DRAW_SEED A seed from 0 to 2^53 - 1 drawn from the host's generator, so
%   that rng(s) in MATLAB, or rand('state', s) in Octave, repeats it. Two
%   draws of randi, 21 and 32 bits, each well within what randi draws
%   exactly in both hosts.
  seed = (randi(2^21) - 1) * 2^32 + (randi(2^32) - 1);
end
