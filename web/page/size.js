// The console's text size: by default the browser's own, which page zoom
// and a phone's text size enlarge as on any page; A− and A+ step it.

import { field, screenBox } from './elements.js';
import { followLine } from './scrolling.js';
import { columns, fitted, lineScale, stepped } from './size_steps.js';

// The size chosen with A− or A+, in pixels, or 0 for the default. It is
// kept as a size, not as a step in the list of sizes, because the list
// changes when the phone turns and the choice must not.
const sizeKey = 'teklo.dimensione-testo-px';
let chosenSize = Number(remembered()) || 0;

function remembered() {
  try { return localStorage.getItem(sizeKey); } catch { return null; }  // storage may be off
}

function remember(size) {
  try {
    if (size) localStorage.setItem(sizeKey, String(size));
    else localStorage.removeItem(sizeKey);
  } catch { /* the size then lasts this visit */ }
}

const defaultSize = () => parseFloat(getComputedStyle(document.documentElement).fontSize);

// The width of the columns per pixel of font size, measured once, when
// first asked for: the page starts without it.
let columnsPerPixel = 0;

function fitSize() {
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
  screenBox.style.fontSize = chosenSize ? `${chosenSize}px` : '';
  const scale = lineScale(chosenSize || defaultSize());
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
  const next = stepped(defaultSize(), chosenSize, by, fitSize());
  if (next === undefined) return;
  chosenSize = next;
  remember(chosenSize);
  sizeChanged();
}
