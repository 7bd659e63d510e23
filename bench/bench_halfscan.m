function bench_halfscan()
% halfscan against the same homodyne steps written with Octave's fft and
% fftshift, 256 x 256 x 32 at 5/8 partial Fourier, slice by slice in both
% (halfscan takes one slice per call; a slice stays in cache).
  randn('state', 1);
  M = 256; N = 256; Z = 32; nacq = 160;
  k = complex(randn(M, nacq, Z), randn(M, nacq, Z));
  [~, w] = halfscan(k(:, :, 1), [M N]);
  printf('%-22s %12s %12s %8s %10s\n', 'halfscan case', 'module ms', 'octave ms', 'ratio', 'max |d|');
  tm = bench_time(@() module_slices(k, N), 5);
  tp = bench_time(@() peer_slices(k, N, w), 5);
  a = module_slices(k, N); b = peer_slices(k, N, w);
  d = max(abs(a(:) - b(:))) / max(abs(b(:)));
  printf('%-22s %12.1f %12.1f %8.2f %10.1e\n', sprintf('%dx%dx%d %d lines', M, N, Z, nacq), ...
         1e3 * tm, 1e3 * tp, tm / tp, d);
end

function img = module_slices(k, N)
  img = zeros(size(k, 1), N, size(k, 3));
  for z = 1:size(k, 3)
    img(:, :, z) = real(halfscan(k(:, :, z), [size(k, 1) N]));
  end
end

function img = peer_slices(k, N, w)
  img = zeros(size(k, 1), N, size(k, 3));
  for z = 1:size(k, 3)
    img(:, :, z) = peer_halfscan(k(:, :, z), N, w);
  end
end

function img = peer_halfscan(k, N, w)
  % Zero-fill, weight, window the centre, centred inverse transforms, phase
  % correction: the module's steps.
  [M, nacq] = size(k);
  K = N - nacq;   % the symmetric centre [K, nacq) of g = nacq / N
  c = floor((K + nacq) / 2); h = floor((nacq - K) / 2);
  sigma = single(sqrt(-h^2 / (2 * log(0.01))));
  f1 = zeros(1, N);
  f1(c - h + 1:c + h + 1) = single(exp(double(-single(-h:h).^2 ./ (sigma * single(2) * sigma))));
  B = zeros(M, N); B(:, 1:nacq) = k;
  B = B .* w';
  R = zeros(M, N); R(:, 1:nacq) = B(:, 1:nacq) .* f1(1:nacq);
  ci = @(x) fftshift(ifft2(ifftshift(x)));
  R = ci(R); B = ci(B);
  phi = atan(imag(R) ./ real(R));
  img = real(B) .* cos(phi) + imag(B) .* sin(phi);
end
