% sense on the phantom: unfolding with the true maps at R = 1 .. 4 against the
% object, against a pseudo-inverse unmixing done with Octave's pinv, the
% unmix layout, the threshold, frames, and hostile inputs.
1;
function s = aliased(coil, R)
  % Every R-th line of the centred k-space, zero-filled, back to images
  % and scaled by R: the folded coil images at full size.
  [Nx, Ny, L] = size(coil);
  s = zeros(Nx, Ny, L);
  for c = 1:L
    k = fftshift(fft2(coil(:, :, c)));
    z = zeros(Nx, Ny);
    z(:, 1:R:end) = k(:, 1:R:end);
    s(:, :, c) = ifft2(ifftshift(z)) * R;
  end
end

function [img, U] = peer_sense(W, s, R)
  % Per fold group the pseudo-inverse of the L x R sensitivity matrix;
  % U(:, x, y) holds the complex unmixing row of pixel (x, y).
  [Nx, Ny, L] = size(W);
  img = zeros(Nx, Ny);
  U = zeros(L, Nx, Ny);
  for x = 1:Nx
    for y = 1:Ny / R
      rows = y + (0:R-1) * Ny / R;
      M = reshape(W(x, rows, :), R, L).';
      P = pinv(M);
      U(:, x, rows) = reshape(P.', L, 1, R);
      img(x, rows) = P * reshape(s(x, y, :), L, 1);
    end
  end
end

function u = rows_of(unmix)
  % The complex rows back from the output's layout: element k of a pixel
  % holds doubles 2k-1 and 2k of the block (Re u, -Im u).
  [L, Nx, Ny] = size(unmix);
  b = reshape([real(unmix(:)).'; imag(unmix(:)).'], 2 * L, Nx, Ny);
  u = b(1:L, :, :) - 1i * b(L+1:end, :, :);
end

function varargout = quiet(varargin)
  varargout = cell(1, max(nargout, 1));
  evalc('[varargout{:}] = sense(varargin{:});');
end

function u = quiet_unmix(W, s, R)
  [~, u] = quiet(W, s, R);
end

function refused(msg, varargin)
  out = evalc('sense(varargin{:});');
  assert(~isempty(strfind(out, msg)), 'expected "%s", got "%s"', msg, out);
  failed = false;
  try
    evalc('img = sense(varargin{:});');
  catch
    failed = true;   % the host reports the unassigned output
  end
  assert(failed, 'a refused call returned an output: %s', msg);
end

Nx = 80; Ny = 96; L = 8;
p = vtx_phantom(Nx, Ny, L);

% direct fold equals the zero-filled k-space route
s2 = aliased(p.coil, 2);
fold = p.coil + circshift(p.coil, [0 Ny/2 0]);
check_close(s2, fold, 1e-12, 'aliased images');

% R = 1 .. 4 with the true maps: the object, and Octave's pinv unmixing
for R = 1:4
  s = aliased(p.coil, R);
  [img, unmix] = quiet(p.maps, s, R);
  assert(isequal(size(img), [Nx Ny]) && isequal(size(unmix), [L Nx Ny]));
  err = norm(img(:) - p.img(:)) / norm(p.img(:));
  printf('test_sense: R = %d, error against the object %.2e\n', R, err);
  assert(err < 1e-6, 'R = %d far from the object', R);
  [pimg, U] = peer_sense(p.maps, s, R);
  check_close(img, pimg, 1e-6, sprintf('R = %d against pinv', R));
  check_close(rows_of(unmix), U, 1e-6, sprintf('R = %d rows against pinv', R));
end

% the layout for two coils: u = (a + ib, c + id) gives (a + ic), (-b - id)
p2 = vtx_phantom(16, 8, 2);
[~, unmix] = quiet(p2.maps, aliased(p2.coil, 2), 2);
[~, U] = peer_sense(p2.maps, aliased(p2.coil, 2), 2);
want = [real(U(1, :, :)) + 1i * real(U(2, :, :)); -imag(U(1, :, :)) - 1i * imag(U(2, :, :))];
check_close(unmix, want, 1e-6, 'two-coil layout');

% R = 1 is the matched filter conj(W) / |W|^2
[img1, unmix1] = quiet(p.maps, p.coil, 1);
check_close(rows_of(unmix1), permute(conj(p.maps) ./ sum(abs(p.maps).^2, 3), [3 1 2]), 1e-12, ...
            'matched filter');

% the threshold: every row's gain within 1 % of threshold x |W| or below
R = 4; s = aliased(p.coil, R);
[~, unmix] = quiet(p.maps, s, R);
gain = reshape(sqrt(sum(abs(rows_of(unmix)).^2, 1)), Nx, Ny) ./ sqrt(sum(abs(p.maps).^2, 3));
tau = double(single(median(gain(:)) * 1.5));
[img_t, unmix_t] = quiet(p.maps, s, R, tau);
gain_t = reshape(sqrt(sum(abs(rows_of(unmix_t)).^2, 1)), Nx, Ny) ./ sqrt(sum(abs(p.maps).^2, 3));
weighted = gain > tau;
printf('test_sense: threshold %.3f weights %d of %d rows\n', tau, nnz(weighted), numel(gain));
assert(nnz(weighted) > 0 && nnz(~weighted) > 0);
assert(all(abs(gain_t(weighted) / tau - 1) < 0.01), 'weighted rows miss the threshold');
assert(isequal(gain_t(~weighted), gain(~weighted)), 'rows under the threshold changed');
% each weighted row still passes its own pixel: u . W = 1
own = reshape(sum(rows_of(unmix_t) .* permute(p.maps, [3 1 2]), 1), Nx, Ny);
assert(max(abs(own(:) - 1)) < 1e-5, 'weighted rows lost their own pixel');

% frames: a 4-D s is unmixed frame by frame with the same rows
frames = cat(4, s, 2 * s, 1i * s);
frames = permute(frames, [1 2 4 3]);   % Nx x Ny x Nf x L
[imgf, unmixf] = quiet(p.maps, frames, R);
img = quiet(p.maps, s, R);
assert(isequal(size(imgf), [Nx Ny 3]));
check_close(imgf, cat(3, img, 2 * img, 1i * img), 1e-14, 'frames');
assert(isequal(unmixf, quiet_unmix(p.maps, s, R)));

% console lines
out = evalc('sense(p.maps, s, 4, 2);');
assert(strcmp(out, sprintf('accel = 4\nthreshold = 2.000000\nalias:  0.000000  24.000000  48.000000  72.000000 \n')), out);

% hostile inputs: messages, no output, no crash
first = 'error with 1st input: Need to declare a complex Nx-by-Ny-by-L array for the coil sensitivity data.';
second = 'error with 2nd input: Need to declare a complex Nx-by-Ny-by-L or Nx-by-Ny-by-Nf-by-L array for the input data.';
range = 'error with 3rd input: Need to declare an acceleration factor from 1 to 16383.';
divides = 'error with 3rd input: Need to declare an acceleration factor that divides Ny.';
fourth = 'error with 4th input: Need to declare a double threshold value.';
p3 = vtx_phantom(8, 12, 2);
W = p3.maps; d = aliased(p3.coil, 2);
assert(iscomplex(W) && iscomplex(d));
refused('At least 3 input arguments are required.', W, d);
refused(first, real(W), d, 2);
refused(first, W(:, :, 1), d, 2);
refused(first, single(W), d, 2);
refused(first, {W}, d, 2);
refused(first, zeros(0, 0), d, 2);
refused(second, W, real(d), 2);
refused(second, W, d(:, 1:6, :), 2);
refused(second, W, d(:, :, 1), 2);
refused(second, W, cat(3, d, d), 2);
refused(second, W, single(d), 2);
refused(second, W, [], 2);
refused(range, W, d, 0);
refused(range, W, d, -3);
refused(range, W, d, NaN);
refused(range, W, d, Inf);
refused(range, W, d, []);
refused(range, W, d, '2');
refused(divides, W, d, 5);
refused(fourth, W, d, 2, 'x');
refused(fourth, W, d, 2, []);
refused(fourth, W, d, 2, int8(3));
% extreme values travel through without harm
bad = W; bad(2, 3, 1) = NaN; bad(4, 5, 2) = Inf;
[img, unmix] = quiet(bad, d, 2, 1);
assert(isequal(size(img), [8 12]) && isequal(size(unmix), [2 8 12]));
img = quiet(complex(zeros(8, 12, 2)), d, 2);     % no sensitivity anywhere: zeros, no message
assert(all(img(:) == 0));
img = quiet(W, d, 2, NaN);
assert(isequal(size(img), [8 12]));
img = quiet(complex(zeros(0, 12, 2)), complex(zeros(0, 12, 2)), 3);
assert(isempty(img));
img = quiet(W, d, 12);                         % every row in one group
assert(isequal(size(img), [8 12]));
printf('test_sense: all cases passed\n');
