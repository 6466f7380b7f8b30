// The console's text sizes: fitted to a phone's width, stepped by A− and
// A+.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { fitted, lineScale, stepped } from '../../web/page/size_steps.js';

test('A− and A+ step through the default and the sizes clearly apart from it', () => {
  // default, chosen (0: the default), step, then chosen
  const cases = [
    [8.2, 0, +1, 10], [8.2, 0, -1, undefined], [8.2, 10, -1, 0],     // a phone, 80 columns fitted
    [16, 0, +1, 18], [16, 0, -1, 14], [16, 18, -1, 0], [16, 40, +1, undefined],
    [15, 0, +1, 18], [15, 0, -1, 12],                                // 16 and 14 too close to it
    [12, 24, +1, 28], [12, 24, -1, 20],                              // a choice outlives a turn
  ];
  assert.deepEqual(cases.map(([base, chosen, by]) => stepped(base, chosen, by)), cases.map((c) => c[3]));
});

test('80 columns fitted to the width, to a tenth of a pixel, at most 20 px', () => {
  assert.deepEqual([fitted(396, 48.2), fitted(350, 48.2), fitted(2000, 48.2)], [8.2, 7.2, 20]);
});

test('the typed line drawn at 16 px at least, and scaled down', () => {
  assert.deepEqual([lineScale(8), lineScale(16), lineScale(20)], [0.5, 1, 1]);
});
