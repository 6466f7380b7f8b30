// The console's text sizes, in CSS pixels.

export const columns = 80;
const steps = [10, 12, 14, 16, 18, 20, 24, 28, 32, 40];
const largestFit = 20;  // more would be huge by default on a tablet

// The size at which the columns fill `width`, to a tenth of a pixel and
// at most `largestFit`, given their width per pixel of size.
export function fitted(width, columnsPerPixel) {
  return Math.min(largestFit, Math.floor((width / columnsPerPixel) * 10) / 10);
}

// The size chosen after A− (`by` < 0) or A+ (`by` > 0), as 0 when it is
// the default, `base`; undefined when there is none further. They step
// through the default and the list's sizes clearly apart from it.
export function stepped(base, chosen, by) {
  const sizes = [...steps.filter((size) => size < base / 1.1), base, ...steps.filter((size) => size > base * 1.1)];
  const shown = chosen || base;
  const next = by > 0 ? sizes.find((size) => size > shown) : sizes.findLast((size) => size < shown);
  return next === base ? 0 : next;
}

// Phones zoom into a focused field whose text is under 16 px: the typed
// line is drawn at 16 px and scaled down to the console's size.
export function lineScale(size) {
  return Math.min(1, size / 16);
}
