function [kc, s] = peer_ghostfix(k, r)
% [kc, s] = peer_ghostfix(k, r): the ghostfix estimate and correction in
% vectorised Octave, the peer of the module in the benchmark: navigator
% means, centred readout transforms, masked unwrapped phase slope per block,
% half ramps of opposite sign on the odd and even lines.
  sz = size(k);
  M = sz(1); N = sz(2); P = prod(sz(3:end));
  Mr = size(r, 1); K = size(r, 2);
  r = reshape(r, Mr, K, P);
  back = @(z) fftshift(ifft(ifftshift(z, 1), [], 1), 1);
  fwd = @(z) fftshift(fft(ifftshift(z, 1), [], 1), 1);
  E = back(reshape(mean(r(:, 1:2:end, :), 2), Mr, P));
  O = back(reshape(mean(r(:, 2:2:end, :), 2), Mr, P));
  D = zeros(Mr, P);
  nz = O ~= 0;
  D(nz) = O(nz) .* conj(E(nz)) ./ abs(O(nz));
  mask = abs(O) > 0.05 * max(abs(O(:)));
  phi = angle(D);
  s = zeros(P, 1);
  for q = 1:P
    t = find(mask(:, q));
    if numel(t) < 2, continue; end
    ph = phi(t, q);
    d = diff(ph);
    jump = abs(d) > pi;
    c = zeros(size(d));
    c(jump) = mod(d(jump) + pi, 2 * pi) - pi - d(jump);
    ph(2:end) += cumsum(c);
    ab = [ones(numel(t), 1), t] \ ph;
    s(q) = ab(2);
  end
  s = double(single(s));
  x = (0:M - 1)' - M / 2;
  up = reshape(exp(0.5i * x * s'), M, 1, P);
  h = back(reshape(k, M, N, P));
  h(:, 1:2:end, :) ./= up;
  h(:, 2:2:end, :) .*= up;
  kc = reshape(fwd(h), sz);
end
