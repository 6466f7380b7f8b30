// The console's text size: the browser's zoom enlarges it; A− and A+
// step it.

import { field, screenBox } from './elements.js';
import { followLine } from './scrolling.js';
import { columns, fitted, lineScale, stepped } from './size_steps.js';

// The size chosen with A− or A+, in pixels, or 0 for the default. It is
// kept as a size, not as a step in the list of sizes, because the list
// changes when the phone turns and the choice must not.
const sizeKey = 'teklo.dimensione-testo-px';
let chosenSize = Number(remembered()) || 0;

// Under a finger, as on a phone, the default lets 80 columns fit the
// width, so that the boxes stay whole; zooming there is a pinch, which
// leaves the page's width alone. With a mouse, zooming narrows the page
// in CSS pixels, and a size fitted to it would undo the zoom: there the
// default is the browser's own text size, which zooms as any page does.
export const finger = matchMedia('(pointer: coarse)');

function remembered() {
  try { return localStorage.getItem(sizeKey); } catch { return null; }  // storage may be off
}

function remember(size) {
  try {
    if (size) localStorage.setItem(sizeKey, String(size));
    else localStorage.removeItem(sizeKey);
  } catch { /* the size then lasts this visit */ }
}

// The width of the columns per pixel of font size, measured once.
let columnsPerPixel = 0;

function defaultSize() {
  if (!finger.matches) return parseFloat(getComputedStyle(document.documentElement).fontSize);
  if (!columnsPerPixel) {
    const probe = document.createElement('canvas').getContext('2d');
    probe.font = `100px ${getComputedStyle(screenBox).fontFamily}`;
    columnsPerPixel = probe.measureText('0'.repeat(columns)).width / 100;
  }
  return fitted(screenBox.clientWidth, columnsPerPixel);
}

// At the browser's own size the style sheet says it all: the page
// starts with nothing to lay out again.
export function applySize() {
  const size = chosenSize || defaultSize();
  screenBox.style.fontSize = chosenSize || finger.matches ? `${size}px` : '';
  const scale = lineScale(size);
  field.style.fontSize = scale < 1 ? '16px' : '';
  field.style.transform = scale < 1 ? `scale(${scale})` : '';
  field.style.width = scale < 1 ? `${100 / scale}%` : '';
}

// The last row stays in view through a change of size if it was in
// view. (At the start there is none to keep: teklo's first output
// scrolls, and a layout forced before it would only be done twice.)
export function sizeChanged() {
  applySize();
  followLine();
}

export function changeSize(by) {
  const next = stepped(defaultSize(), chosenSize, by);
  if (next === undefined) return;
  chosenSize = next;
  remember(chosenSize);
  sizeChanged();
}
