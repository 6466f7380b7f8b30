// The console's text sizes, in CSS pixels.

export const columns = 80;
const steps = [10, 12, 14, 16, 18, 20, 24, 28, 32, 40];

// The size at which the columns fill `width`, to a tenth of a pixel,
// given their width per pixel of size.
export function fitted(width, columnsPerPixel) {
  return Math.floor((width / columnsPerPixel) * 10) / 10;
}

// The size chosen after A− (`by` < 0) or A+ (`by` > 0), as 0 when it is
// the default, `base`; undefined when there is none further. They step
// through the default, the size `fit` at which 80 columns fit the width
// when it is smaller (the whole screen at once, for those who want it),
// and the list's sizes clearly apart from both.
export function stepped(base, chosen, by, fit = base) {
  const marks = fit < base / 1.1 ? [fit, base] : [base];
  const apart = (size) => marks.every((mark) => size < mark / 1.1 || size > mark * 1.1);
  const sizes = [...marks, ...steps.filter(apart)].sort((a, b) => a - b);
  const shown = chosen || base;
  const next = by > 0 ? sizes.find((size) => size > shown) : sizes.findLast((size) => size < shown);
  return next === base ? 0 : next;
}

// Phones zoom into a focused field whose text is under 16 px: the typed
// line is drawn at 16 px and scaled down to the console's size.
export function lineScale(size) {
  return Math.min(1, size / 16);
}
