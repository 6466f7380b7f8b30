// The console scrolls, never the page: it follows its last row until
// scrolled back, and stays above a keyboard that covers the page.

import { page, screenBox } from './elements.js';

// Whether the last row was in view when the console last scrolled: a
// change of size keeps it there, and leaves alone the rows a person
// scrolled back to.
let following = true;

export function noteScroll() {
  following = screenBox.scrollTop + screenBox.clientHeight >= screenBox.scrollHeight - 2;
}

export function keepLineInView() {
  screenBox.scrollTop = screenBox.scrollHeight;
  following = true;  // before its scroll event, which a resize may precede
}

export function followLine() {
  if (following) keepLineInView();
}

// Page Up and Page Down scroll the console a page less one row, as a
// terminal's scrollback does.
export function scrollPage(direction) {
  const row = parseFloat(getComputedStyle(screenBox).lineHeight);  // the style sheet's, in pixels
  screenBox.scrollBy(0, direction * Math.max(row, screenBox.clientHeight - row));
}

// iOS ignores interactive-widget: its soft keyboard covers the bottom of
// the page instead of shrinking it. While it does, the page takes only
// the part left in view, so that the typed line and the buttons stay
// above the keyboard. A page zoomed in by the user is left as it is,
// and panning it never scrolls the console: only the keyboard coming or
// going does.
let coveredHeight = 0;

export function fitToViewport() {
  const viewport = window.visualViewport;
  const covered = Math.abs(viewport.scale - 1) < 0.01 &&
                  document.documentElement.clientHeight - viewport.height > 1;
  page.style.position = covered ? 'fixed' : '';
  page.style.inset = covered ? `${viewport.offsetTop}px 0 auto 0` : '';
  page.style.height = covered ? `${viewport.height}px` : '';
  if ((covered ? viewport.height : 0) === coveredHeight) return;
  coveredHeight = covered ? viewport.height : 0;
  if (covered) keepLineInView();
  else followLine();
}
