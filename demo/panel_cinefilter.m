function s = panel_cinefilter(p, out)
% cinefilter: a noisy 32-frame series of the combined image through a
% first-order recursive low-pass, y(n) = 0.2 w(n), w(n) = x(n) + 0.8 w(n-1)
  [M, N] = size(p.rss);
  T = 32;
  randn('seed', 11);
  noise = 0.15 * max(p.rss(:)) * complex(randn(M, N, T), randn(M, N, T));
  x = repmat(complex(p.rss), [1 1 T]) + noise;
  y = cinefilter(x, 0.2, [1 -0.8]);
  demo_png(fullfile(out, 'cinefilter_noisy.png'), x(:, :, T));
  demo_png(fullfile(out, 'cinefilter_filtered.png'), y(:, :, T));
  % after 32 frames the filter's step response has settled to 1 - 0.8^32
  e0 = norm(reshape(x(:, :, T) - p.rss, [], 1)) / norm(p.rss(:));
  e1 = norm(reshape(y(:, :, T) - p.rss, [], 1)) / norm(p.rss(:));
  s = sprintf('cinefilter T=%d noise nrmse %.2f -> %.2f', T, e0, e1);
end
