function s = panel_lineplace(p, out)
% lineplace: variable-density lines (dense centre, every 2nd then every 4th
% line outside), density-compensated, beside the plain zero-filled image
  [M, N, L] = size(p.k);
  c = N / 2;
  Y = unique([1:4:c/2, c/2:2:c-16, c-15:c+16, c+17:2:3*c/2, 3*c/2:4:N])';
  evalc('kc = lineplace(Y, p.k(:, Y, :), [M N L]);');
  kz = zeros(M, N, L); kz(:, Y, :) = p.k(:, Y, :);
  rss = @(k) sqrt(sum(abs(ifft2(fftshift(fftshift(k, 1), 2))).^2, 3));
  comp = rss(kc); plain = rss(kz);
  demo_png(fullfile(out, 'lineplace_compensated.png'), comp);
  demo_png(fullfile(out, 'lineplace_zero_filled.png'), plain);
  e = @(img) norm(img(:) - p.rss(:)) / norm(p.rss(:));
  s = sprintf('lineplace %d of %d lines nrmse %.3f (plain %.3f)', numel(Y), N, e(comp), e(plain));
end
