function bench_coilmerge()
% coilmerge (one input: weights by Lanczos SVD, then the combination) on
% 256 x 256 pixels x 20 frames x 32 coils, against the same combination
% with Octave's svd of every frame, in the same run; then the two-input
% form against the plain weighted sum.
  M = 256; N = 256; Nf = 20; L = 32;
  p = vtx_phantom(M, N, L);
  randn('seed', 1);
  data = zeros(M, N, Nf, L);
  for f = 1:Nf
    frame = p.coil * (1 + 0.02 * f) * exp(1i * 0.3 * f);
    data(:, :, f, :) = reshape(frame + 0.01 * complex(randn(M, N, L), randn(M, N, L)), M, N, 1, L);
  end
  printf('%-30s %12s %12s %8s\n', 'coilmerge case', 'coilmerge ms', 'octave ms', 'ratio');
  [img, w] = coilmerge(data);
  [ref, wref] = peer_weights(data);
  % each frame's image is fixed up to one unit factor (the phase of frame 1)
  e = 0;
  for f = 1:Nf
    a = img(:, :, f)(:); b = ref(:, :, f)(:);
    c = b' * a / abs(b' * a);
    e = max(e, norm(a - c * b) / norm(b));
  end
  tc = bench_time(@() coilmerge(data), 3);
  tp = bench_time(@() peer_weights(data), 3);
  printf('%-30s %12.1f %12.1f %8.2f   (images within %.1e)\n', ...
         sprintf('%dx%dx%dx%d weights', M, N, Nf, L), 1e3 * tc, 1e3 * tp, tc / tp, e);
  tc = bench_time(@() coilmerge(data, w), 5);
  tp = bench_time(@() peer_apply(data, w), 5);
  printf('%-30s %12.1f %12.1f %8.2f\n', sprintf('%dx%dx%dx%d apply', M, N, Nf, L), ...
         1e3 * tc, 1e3 * tp, tc / tp);
end

% The virtual body coil with Octave's svd: per frame the dominant right
% singular vector of the unit-norm coil matrix, aligned to frame 1 by the
% plain sum, applied to the unscaled coil images.
function [img, w] = peer_weights(data)
  [M, N, Nf, L] = size(data);
  img = zeros(M, N, Nf);
  w = zeros(L, Nf);
  for f = 1:Nf
    X = reshape(data(:, :, f, :), M * N, L);
    [~, ~, V] = svd(X ./ sqrt(sum(abs(X).^2, 1)), 'econ');
    v = V(:, 1);
    if f > 1
      s = sum(v .* w(:, 1));
      v = v * (conj(s) / abs(s));
    end
    w(:, f) = v;
    img(:, :, f) = reshape(X * v, M, N);
  end
end

function img = peer_apply(data, w)
  [M, N, Nf, L] = size(data);
  img = zeros(M, N, Nf);
  for f = 1:Nf
    img(:, :, f) = reshape(reshape(data(:, :, f, :), M * N, L) * w(:, f), M, N);
  end
end
