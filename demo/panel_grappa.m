function s = panel_grappa(p, out)
% grappa at R = 2 with 24 centre lines, beside the zero-filled image
  [M, N, L] = size(p.k);
  lines = sort(unique([1:2:N, N/2 - 11:N/2 + 12]))';
  [kg, img] = grappa([M N L], p.k(:, lines, :), lines);
  zf = zeros(M, N, L); zf(:, lines, :) = p.k(:, lines, :);
  evalc('zc = xform2(fftshift(fftshift(zf, 1), 2), ''b'');');
  alias = sqrt(sum(abs(zc).^2, 3));
  demo_png(fullfile(out, 'grappa_zero_filled.png'), alias);
  demo_png(fullfile(out, 'grappa_rss.png'), real(img));
  e = norm(real(img(:)) - p.rss(:)) / norm(p.rss(:));
  s = sprintf('grappa R=2+24 nrmse %.3f', e);
end
