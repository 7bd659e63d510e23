function s = panel_lcurvesense(p, out)
% lcurvesense on variable-density samples with a little noise: the images
% for the smallest weight, the L-curve choice and the largest weight
  [M, N, L] = size(p.k);
  f = -N/2 : N/2 - 1;   % frequencies; line mod(f, N) of the unshifted grid
  keep = abs(f) < 16 | (abs(f) < 48 & mod(f, 2) == 0) | mod(f, 4) == 0;
  lines = sort(mod(f(keep), N));
  [x, y] = ndgrid(0:M-1, lines);
  Y = [x(:) y(:)];
  idx = Y(:, 1) + 1 + M * Y(:, 2);
  k = zeros(rows(Y), L);
  for c = 1:L
    t = ifftshift(p.k(:, :, c)) / sqrt(M * N);
    k(:, c) = t(idx);
  end
  randn('seed', 3);
  k = k + 2e-4 * max(abs(k(:))) * complex(randn(size(k)), randn(size(k)));
  lambda = [0.001 0.003 0.01 0.03 0.1 0.3 1];
  evalc('[X, xn, rn] = lcurvesense(p.maps, k, Y, lambda, 60);');   % quiet: an empty line
  % the module's L-curve rule, to name the image it picks
  j = find(abs(diff(rn)) > 0.001 * rn(end), 1);
  if isempty(j), j = numel(lambda) - 1; end
  pick = j + 1;
  demo_png(fullfile(out, 'lcurvesense_lambdas.png'), ...
           [abs(X(:, :, 1)), abs(X(:, :, pick)), abs(X(:, :, end))]);
  e = norm(X(:, :, pick) - p.img, 'fro') / norm(p.img, 'fro');
  s = sprintf('lcurvesense %d of %d lines, L-curve lambda %g nrmse %.3f', numel(lines), N, ...
              lambda(pick), e);
end
