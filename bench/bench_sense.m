function bench_sense()
% sense against the same unfolding done with Octave's pinv per fold group,
% on the phantom with its true maps, one thread.
  printf('%-22s %12s %12s %8s %10s\n', 'sense case', 'sense ms', 'octave ms', 'ratio', 'max |d|');
  for c = {[128 128 8 2], [128 128 8 4], [128 128 16 4]}
    v = c{1}; M = v(1); N = v(2); L = v(3); R = v(4);
    p = vtx_phantom(M, N, L);
    s = folded(p.k, R);
    ts = bench_time(@() quiet_sense(p.maps, s, R), 3);
    tp = bench_time(@() peer_sense(p.maps, s, R), 3);
    a = quiet_sense(p.maps, s, R);
    b = peer_sense(p.maps, s, R);
    d = max(abs(a(:) - b(:))) / max(abs(b(:)));
    printf('%-22s %12.0f %12.0f %8.2f %10.1e\n', sprintf('%dx%dx%d R=%d', M, N, L, R), ...
           1e3 * ts, 1e3 * tp, ts / tp, d);
  end
end

function s = folded(k, R)
  % every R-th line of the centred k-space, zero-filled, as coil images
  [M, N, L] = size(k);
  z = zeros(M, N, L);
  z(:, 1:R:end, :) = k(:, 1:R:end, :);
  s = zeros(M, N, L);
  for c = 1:L
    s(:, :, c) = ifft2(ifftshift(z(:, :, c))) * R;
  end
end

function img = quiet_sense(W, s, R)
  evalc('img = sense(W, s, R);');   % keep its settings lines off the report
end

function img = peer_sense(W, s, R)
  % the pseudo-inverse of each group's L x R sensitivity matrix
  [M, N, L] = size(W);
  img = zeros(M, N);
  for x = 1:M
    for y = 1:N / R
      rows = y + (0:R - 1) * N / R;
      P = pinv(reshape(W(x, rows, :), R, L).');
      img(x, rows) = P * reshape(s(x, y, :), L, 1);
    end
  end
end
