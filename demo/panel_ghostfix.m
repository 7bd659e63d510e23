function s = panel_ghostfix(p, out)
% ghostfix on echo-planar k-space of the phantom with a readout slope per
% coil: the ghosted and the corrected root-sum-of-squares image side by side
  L = size(p.coil, 3);
  alpha = linspace(0.04, 0.12, L)';
  [k, r] = epi_ghost(p.coil, alpha, 3);
  [kc, slopes] = ghostfix(k, r);
  ghosted = rss(k);
  corrected = rss(kc);
  truth = sqrt(sum(abs(p.coil).^2, 3));
  demo_png(fullfile(out, 'ghostfix_ghosted_corrected.png'), [ghosted, corrected]);
  before = norm(ghosted(:) - truth(:)) / norm(truth(:));
  after = norm(corrected(:) - truth(:)) / norm(truth(:));
  s = sprintf('ghostfix slopes within %.0e, rss error %.2f -> %.0e', ...
              max(abs(slopes - alpha)), before, after);
end

function img = rss(k)
  % the centred inverse 2D FFT of every coil, combined
  evalc('z = xform2(fftshift(fftshift(k, 1), 2), ''b'');');
  img = sqrt(sum(abs(fftshift(fftshift(z, 1), 2)).^2, 3));
end
