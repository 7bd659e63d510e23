function s = panel_xform2(p, out)
% xform2: centred k-space back to coil images, combined by root-sum-of-squares
  [M, N, L] = size(p.k);
  evalc('coil = xform2(fftshift(fftshift(p.k, 1), 2), ''b'');');
  rss = sqrt(sum(abs(coil).^2, 3));
  demo_png(fullfile(out, 'xform2_rss.png'), rss);
  e = norm(rss(:) - p.rss(:)) / norm(p.rss(:));
  s = sprintf('xform2 %dx%dx%d nrmse %.1e', M, N, L, e);
end
