function s = panel_halfscan(p, out)
% halfscan at 5/8 partial Fourier: the homodyne image beside the zero-filled
% and the fully sampled one (the object with the smooth phase of coil 1)
  [M, N] = size(p.img);
  obj = p.img .* exp(1i * angle(p.maps(:, :, 1)));
  K = fftshift(fft2(ifftshift(obj)));
  nacq = N * 5 / 8;
  img = real(halfscan(K(:, 1:nacq), [M N]));
  zf = zeros(M, N); zf(:, 1:nacq) = K(:, 1:nacq);
  zimg = abs(fftshift(ifft2(ifftshift(zf))));
  demo_png(fullfile(out, 'halfscan_homodyne.png'), img);
  demo_png(fullfile(out, 'halfscan_zero_filled.png'), zimg);
  demo_png(fullfile(out, 'halfscan_full.png'), obj);
  e = @(x) norm(x(:) - abs(obj(:))) / norm(obj(:));
  s = sprintf('halfscan 5/8 nrmse %.3f (zero-filled %.3f)', e(img), e(zimg));
end
