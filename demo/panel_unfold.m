function s = panel_unfold(p, out)
% unfold: a 16-frame series sampled at R = 2 with the sampled lines
% alternating frame to frame; the aliased copy alternates in sign and the
% notch at the temporal Nyquist frequency removes it
  [M, N, L] = size(p.k);
  T = 16;
  gain = 1 + 0.2 * sin(2 * pi * (0:T-1) / T);   % a slowly breathing object
  k = zeros(M, N, 1, T, L);
  for t = 1:T
    lines = 1 + mod(t, 2):2:N;
    k(:, lines, 1, t, :) = 2 * gain(t) * reshape(p.k(:, lines, :), M, numel(lines), 1, 1, L);
  end
  kf = unfold(k, 'h', 0.1);
  f = T / 2;
  before = frame_rss(k(:, :, 1, f, :));
  after = frame_rss(kf(:, :, 1, f, :));
  truth = gain(f) * p.rss;
  demo_png(fullfile(out, 'unfold_aliased.png'), before);
  demo_png(fullfile(out, 'unfold_filtered.png'), after);
  e0 = norm(before(:) - truth(:)) / norm(truth(:));
  e1 = norm(after(:) - truth(:)) / norm(truth(:));
  s = sprintf('unfold T=%d R=2 nrmse %.2f -> %.3f', T, e0, e1);
end

function r = frame_rss(k)
  k = squeeze(k);
  evalc('c = xform2(fftshift(fftshift(k, 1), 2), ''b'');');
  r = sqrt(sum(abs(c).^2, 3));
end
