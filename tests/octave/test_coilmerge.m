% coilmerge on a dynamic phantom series: weights against Octave's svd of
% the unit-norm coil matrix, frame alignment, the image as the weighted sum
% of the coil images, the two-input form, real data, and hostile inputs.
1;
function refused(msg, varargin)
  out = evalc('coilmerge(varargin{:});');
  assert(~isempty(strfind(out, msg)), 'expected "%s", got "%s"', msg, out);
  failed = false;
  try
    evalc('img = coilmerge(varargin{:});');
  catch
    failed = true;   % the host reports the unassigned output
  end
  assert(failed, 'a refused call returned an output: %s', msg);
end

function no_output(varargin)
  % a call that ends without outputs (its reason is on standard error)
  failed = false;
  try
    img = coilmerge(varargin{:});
  catch
    failed = true;
  end
  assert(failed, 'the call returned an output');
end

M = 64; N = 48; L = 8; Nf = 5;
p = vtx_phantom(M, N, L);
randn('seed', 7);
data = zeros(M, N, Nf, L);
for f = 1:Nf
  % the object's phase and size drift from frame to frame; a little noise
  frame = p.coil * (1 + 0.05 * f) * exp(1i * 0.4 * f);
  data(:, :, f, :) = reshape(frame + 0.01 * complex(randn(M, N, L), randn(M, N, L)), M, N, 1, L);
end

[img, w] = coilmerge(data);
assert(isequal(size(img), [M N Nf]) && iscomplex(img), 'image sizes');
assert(isequal(size(w), [L Nf]) && iscomplex(w), 'weight sizes');

% every frame: a unit dominant right singular vector of the unit-norm coils
for f = 1:Nf
  X = reshape(data(:, :, f, :), M * N, L);
  Xn = X ./ sqrt(sum(abs(X).^2, 1));
  [~, S, V] = svd(Xn, 'econ');
  v = V(:, 1);
  c = v' * w(:, f);
  err = norm(w(:, f) - v * c);
  assert(abs(abs(c) - 1) < 1e-10 && err < 1e-10, 'frame %d: weights off the svd by %g', f, err);
  if f == 1
    printf('test_coilmerge: frame 1 weights within %.2e of svd''s vector (sigma %.6f)\n', err, S(1));
  end
  % the image: the weighted sum of the unscaled coil images
  check_close(img(:, :, f), reshape(X * w(:, f), M, N), 1e-13, sprintf('image of frame %d', f));
end
% frames after the first: the plain sum with frame 1 is real and >= 0
s = sum(w .* w(:, 1), 1);
assert(all(abs(imag(s(2:end))) < 1e-12 * abs(s(2:end))) && all(real(s(2:end)) > 0), ...
       'frames not aligned to the first');
% so frames 2 on keep the object's drift of 0.4 rad per frame; frame 2
% differs from frame 1 by the phase of s = sum(W_1.^2) besides (the plain
% sum aligns W_f to conj(W_1) up to that phase)
drift = squeeze(angle(sum(sum(img(:, :, 2:end) .* conj(img(:, :, 1:end-1)), 1), 2)));
s1 = sum(w(:, 1).^2);
printf('test_coilmerge: frame-to-frame phase %s rad (object 0.4, minus arg(s) = %.3f at 1->2)\n', ...
       mat2str(drift', 3), angle(s1));
assert(all(abs(drift(2:end) - 0.4) < 0.05), 'later frames lost the object''s phase');
assert(abs(angle(exp(1i * (drift(1) - 0.4 + angle(s1))))) < 0.05, 'frame 2 against frame 1');

% the combination against the true object: the phase-corrected magnitude
truth = p.img * (1 + 0.05);
inside = p.img > 0.15;
scale = (abs(img(:, :, 1))(inside) \ truth(inside));
rel = norm(scale * abs(img(:, :, 1))(inside) - truth(inside)) / norm(truth(inside));
printf('test_coilmerge: |img| of frame 1 within %.3f (relative, after one scale) of the object\n', rel);

% two inputs: the returned weights reproduce the images exactly, in any shape
[img2, w2] = coilmerge(data, w);
assert(isequal(img2, img), 'the weights do not reproduce the images');
assert(isequal(w2, w), 'the weights are not returned unchanged');
[img3, w3] = coilmerge(data, reshape(w, 1, []));
assert(isequal(img3, img) && isequal(size(w3), [1 L * Nf]), 'a row of weights');
[img4, w4] = coilmerge(data, [w(:); 1; 2]);
assert(isequal(img4, img) && isequal(w4, complex([w(:); 1; 2])), 'extra weights');
% real weights count with zero imaginary parts (Octave narrows the complex
% copy that comes back to real)
[img5, w5] = coilmerge(data, real(w));
assert(isequal(img5, coilmerge(data, complex(real(w), 0))) && isequal(w5, real(w)), 'real weights');
% weights from frame 1 applied to every frame
wr = repmat(w(:, 1), 1, Nf);
check_close(coilmerge(data, wr), reshape(reshape(data, M * N * Nf, L) * w(:, 1), M, N, Nf), ...
            1e-13, 'reference weights');

% one frame: three dimensions and four with Nf = 1 agree
[a3, wa3] = coilmerge(squeeze(data(:, :, 1, :)));
[a4, wa4] = coilmerge(data(:, :, 1, :));
assert(isequal(a3, a4) && isequal(wa3, wa4) && isequal(a3, img(:, :, 1)), 'one frame');
% equal frames: W_f = W_1 * conj(s)/|s| with s = sum(W_1.^2), not W_1
same = repmat(data(:, :, 1, :), [1 1 3 1]);
[~, ws] = coilmerge(same);
s1 = sum(ws(:, 1).^2);
check_close(ws(:, 2), ws(:, 1) * conj(s1) / abs(s1), 1e-10, 'equal frames');
% (one coil cannot be handed over: Octave drops the trailing 1 of the
% sizes, and Nx x Ny x Nf reads as Nf coils; the unit tests cover L = 1)

% real data: the weight search refuses them, applying weights works
no_output(real(data));
ref = zeros(M, N, Nf);
for f = 1:Nf
  ref(:, :, f) = reshape(reshape(real(data(:, :, f, :)), M * N, L) * w(:, f), M, N);
end
check_close(coilmerge(real(data), w), ref, 1e-13, 'real data with weights');

% zero coils and frames: weight 0 instead of a division by zero
z = data(:, :, 1:3, :);
z(:, :, 2, 3) = 0;
z(:, :, 3, :) = 0;
[iz, wz] = coilmerge(z);
assert(all(isfinite(iz(:))) && all(isfinite(wz(:))), 'zero coil or frame gave NaN');
assert(wz(3, 2) == 0 && all(wz(:, 3) == 0) && all(all(iz(:, :, 3) == 0)));
assert(abs(norm(wz(:, 2)) - 1) < 1e-12);

% hostile inputs: messages, no output, no crash
first = '1st input: Need to declare a complex  array of at least 3 dimensions for the input data.';
second = '2nd input: Need to declare a double array of L-by-Nf weights for the input data.';
refused('At least 1 input arguments is required.');
refused(first, data(:, :, 1, 1));
refused(first, 'text');
refused(first, single(data));
refused(first, int16(real(data)));
refused(first, {data});
refused(first, []);
refused(first, sparse(1, 1));
refused('no more dimensions', zeros(2, 2, 2, 2, 2));
refused(second, data, 'w');
refused(second, data, single(w));
refused(second, data, {w});
refused(second, data, w(1:end-1));
refused(second, data, []);
out = evalc('try, [a, b, c] = coilmerge(data); catch, end');
assert(strcmp(out, 'Too many output arguments.'), 'three outputs: "%s"', out);
assert(~exist('a', 'var'), 'three outputs were assigned');
% NaN, empty sizes and all-zero data run and return sizes
nanny = data(:, :, 1:2, :); nanny(5, 5, 1, 2) = NaN;
[in, wn] = coilmerge(nanny);
assert(isequal(size(in), [M N 2]) && all(wn(:, 1) == 0) && all(isfinite(wn(:, 2))), 'NaN frame');
[ie, we] = coilmerge(complex(zeros(0, 4, 3)));
assert(isempty(ie) && isequal(size(we), [3 1]));
[ie, we] = coilmerge(complex(zeros(4, 4, 2, 0)));
assert(isequal(size(ie), [4 4 2]) && all(ie(:) == 0) && isequal(size(we), [0 2]));
[ie, we] = coilmerge(complex(zeros(4, 4, 0, 2)));
assert(isempty(ie) && isequal(size(we), [2 0]));
[ie, we] = coilmerge(complex(zeros(4, 4, 3)));
assert(all(ie(:) == 0) && all(we(:) == 0));
printf('test_coilmerge: passed\n');
