function s = panel_coilmerge(p, out)
% coilmerge of the phantom's coil images: four coils beside the combined
% image, each scaled to its own maximum
  [M, N, L] = size(p.coil);
  [img, w] = coilmerge(p.coil);
  unit = @(x) abs(x) / max(abs(x(:)));
  coils = [unit(p.coil(:, :, 1)), unit(p.coil(:, :, 2)); unit(p.coil(:, :, 3)), unit(p.coil(:, :, 4))];
  combined = kron(unit(img), ones(2));
  demo_png(fullfile(out, 'coilmerge_coils_combined.png'), [coils, ones(2 * M, 4), combined]);
  % the combined magnitude against the object, after one least-squares scale
  inside = demo_shrink(p.img > 0.15, 3);
  a = abs(img(inside));
  e = norm(a * (a \ p.img(inside)) - p.img(inside)) / norm(p.img(inside));
  s = sprintf('coilmerge %d coils, |img| within %.3f of the object', L, e);
end
