function [img, t] = peer_framecal(ev, od)
% [img, t] = peer_framecal(ev, od): framecal's pipeline in plain Octave, its
% peer in the benchmark: line mixtures, centred transforms, phase alignment
% through svd, kernels "*x*" 2x5 from backslash over the central quarter of
% the readout, odd-line and even-line GRAPPA, alignment and mean. ev and od
% are M x M x Z x L; t holds the seconds spent interleaving, calibrating and
% reconstructing.
  [M, N, Z, L] = size(ev);
  t0 = tic;
  A = od; A(:, 2:2:end, :, :) = ev(:, 2:2:end, :, :);
  B = ev; B(:, 2:2:end, :, :) = od(:, 2:2:end, :, :);
  [a, b] = align(to_image(A), to_image(B));
  ref = to_kspace((a + b) / 2);
  t(1) = toc(t0);

  t0 = tic;
  w = floor(M / 4);
  rows = floor((M - w) / 2) + (1:w);
  W = cell(Z, 1);
  for z = 1:Z
    R = reshape(ref(:, :, z, :), M, N, L);
    S = sources(R, 1:N, M, N, L);
    keep = rows(:) + M * (0:N - 1);     % central quarter of every line
    S = S(keep(:), :);
    T = reshape(R(rows, :, :), [], L);
    W{z} = S \ T;
  end
  t(2) = toc(t0);

  t0 = tic;
  img = zeros(M, N, Z, L);
  for z = 1:Z
    data = reshape(od(:, :, z, :), M, N, L);
    D = zeros(M, N, L); D(:, 2:2:end, :) = data(:, 2:2:end, :);
    C = zeros(M, N, L); C(:, 1:2:end, :) = data(:, 1:2:end, :);
    D(:, 1:2:end, :) = reshape(sources(D, 1:2:N, M, N, L) * W{z}, M, [], L);
    C(:, 2:2:end, :) = reshape(sources(C, 2:2:N, M, N, L) * W{z}, M, [], L);
    [d, c] = align(to_image(D), to_image(C));
    img(:, :, z, :) = reshape((d + c) / 2, M, N, 1, L);
  end
  t(3) = toc(t0);
end

function x = to_image(k)
  x = fftshift(fftshift(ifft2(fftshift(fftshift(k, 1), 2)), 1), 2);
end

function k = to_kspace(x)
  k = fftshift(fftshift(fft2(fftshift(fftshift(x, 1), 2)), 1), 2);
end

% Kernel sources of the target lines: lines -1 and +1 (wrapping), readout
% offsets -2 .. 2 (wrapping), in the module's column order l + 2*(c + L*k).
function S = sources(G, targets, M, N, L)
  S = zeros(M * numel(targets), 10 * L);
  lines = {mod(targets - 2, N) + 1, mod(targets, N) + 1};
  for k = 1:5
    xs = mod((0:M - 1)' + k - 3, M) + 1;
    for l = 1:2
      S(:, l + 2 * ((0:L - 1) + L * (k - 1))) = reshape(G(xs, lines{l}, :), [], L);
    end
  end
end

% Removes the readout phase slope and the constant phase between every
% slice pair, half from each.
function [a, b] = align(a, b)
  [M, N] = size(a(:, :, 1));
  ramp = (0:M - 1)' - fix(M / 2);
  for s = 1:numel(a) / (M * N)
    x = a(:, :, s); y = b(:, :, s);
    nz = x ~= 0;
    d = zeros(M, N);
    d(nz) = x(nz) .* conj(y(nz)) ./ abs(x(nz));
    mask = abs(d) > 0.2 * max(abs(d(:)));
    [U, ~, ~] = svd(d .* mask);
    e = angle(sum(conj(U(2:end, 1)) .* U(1:end - 1, 1)));
    x = x .* exp(0.5i * e * ramp);
    y = y .* exp(-0.5i * e * ramp);
    d(nz) = x(nz) .* conj(y(nz)) ./ abs(x(nz));
    theta = 0;
    if any(mask(:)), theta = angle(mean(d(mask))); end
    a(:, :, s) = x * exp(-0.5i * theta);
    b(:, :, s) = y * exp(0.5i * theta);
  end
end
