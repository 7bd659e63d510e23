function [k, W] = peer_grappa(sz, data, lines)
% [k, W] = peer_grappa(sz, data, lines): a plain vectorised GRAPPA in
% Octave, the peer of the grappa module in the benchmark. Kernel 2x5, one
% gap of 2 (pattern "*x*"), calibration over whole ACS lines, weights from
% backslash; W uses the module's coefficient layout (row l + ky*(cc + L*k)).
  M = sz(1); N = sz(2); L = sz(3); ky = 2; kx = 5;
  grid = zeros(M, N, L);
  grid(:, lines, :) = data;
  acq = false(1, N);
  acq(lines) = true;
  wrap = @(v) mod(v - 1, N) + 1;
  both = acq(wrap((1:N) - 1)) & acq(wrap((1:N) + 1));
  acs = find(acq & both);
  miss = find(~acq & both);
  A = sources(grid, acs, M, L, ky, kx, wrap);
  W = A \ reshape(grid(:, acs, :), [], L);
  k = grid;
  k(:, miss, :) = reshape(sources(grid, miss, M, L, ky, kx, wrap) * W, M, numel(miss), L);
end

function A = sources(grid, targets, M, L, ky, kx, wrap)
  yoff = [-1 1];
  A = zeros(M * numel(targets), ky * kx * L);
  for k = 1:kx
    xs = mod((0:M - 1)' + k - 1 - (kx - 1) / 2, M) + 1;
    for l = 1:ky
      cols = l + ky * ((0:L - 1) + L * (k - 1));
      A(:, cols) = reshape(grid(xs, wrap(targets + yoff(l)), :), [], L);
    end
  end
end
