// The console's text sizes: stepped by A− and A+, down to 80 columns
// fitted to the width.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { fitted, lineScale, stepped } from '../../web/page/size_steps.js';

test('A− and A+ step through the default, the 80 columns fitted and the sizes clearly apart from both', () => {
  // default, chosen (0: the default), step, 80 columns fitted, then chosen
  const cases = [
    [16, 0, -1, 8.9, 14], [16, 10, -1, 8.9, 8.9], [16, 8.9, -1, 8.9, undefined], [16, 8.9, +1, 8.9, 10],  // a phone
    [16, 14, -1, 11.5, 11.5], [16, 11.5, +1, 11.5, 14],           // 12 too close to the fit
    [16, 0, +1, 30, 18], [16, 0, -1, 30, 14], [16, 18, -1, 30, 0], [16, 40, +1, 30, undefined],
    [15, 0, +1, 15, 18], [15, 0, -1, 15, 12],                     // 16 and 14 too close to the default
    [12, 24, +1, 12, 28], [12, 24, -1, 12, 20],                   // a choice outlives a turn
  ];
  assert.deepEqual(cases.map(([base, chosen, by, fit]) => stepped(base, chosen, by, fit)), cases.map((c) => c[4]));
});

test('80 columns fitted to the width, to a tenth of a pixel', () => {
  assert.deepEqual([fitted(396, 48.2), fitted(350, 48.2), fitted(2000, 48.2)], [8.2, 7.2, 41.4]);
});

test('the typed line drawn at 16 px at least, and scaled down', () => {
  assert.deepEqual([lineScale(8), lineScale(16), lineScale(20)], [0.5, 1, 1]);
});
