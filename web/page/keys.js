// The keys the page takes, and the taps on the console.

import { copy, selection, selectRows, selectsRows } from './clipboard.js';
import { field } from './elements.js';
import { endOfInput, enter, eraseLine, insert, interrupt, toLine } from './line.js';
import { running, start } from './run.js';
import { scrollPage } from './scrolling.js';

// The keys teklo uses, and those that mean in a console what they do not
// in a text field: select-all and the scrollback's Page Up and Down (in
// Firefox the typed line would take those and go nowhere). Ctrl+D and
// Ctrl+U stay the console's after teklo has ended, when they do nothing:
// pressed once more out of habit, they would bookmark the page or open
// its source in Chrome and Firefox. Every other
// key does what it does in the browser: scrolling, selecting, finding,
// zooming, reloading.
export function onKey(event) {
  if (event.defaultPrevented) return;
  if (event.target instanceof HTMLButtonElement && [' ', 'Enter'].includes(event.key)) return;
  const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
  const control = event.ctrlKey && !event.metaKey && !event.altKey;
  if (control && event.shiftKey && key === 'c') {
    event.preventDefault();
    copy();
  } else if (control && key === 'c') {
    if (!running() || selection()) return;  // the browser copies it; teklo goes on
    event.preventDefault();
    interrupt();
  } else if (event.isComposing || event.keyCode === 229) {
    // the text comes as input
  } else if (key === 'Enter' && !event.ctrlKey && !event.metaKey && !event.altKey) {
    event.preventDefault();
    enter();
  } else if (control && key === 'd') {
    event.preventDefault();
    endOfInput();
  } else if (control && key === 'u') {
    event.preventDefault();
    eraseLine();
  } else if (selectsRows(event)) {
    event.preventDefault();
    selectRows();
  } else if (['PageUp', 'PageDown'].includes(key) && !event.ctrlKey && !event.metaKey && !event.altKey) {
    event.preventDefault();
    scrollPage(key === 'PageUp' ? -1 : 1);
  } else if (event.target !== field && types(event)) {
    // Typing goes to the line wherever the focus was; but a blank there
    // scrolls the page, as it does in the browser.
    event.preventDefault();
    toLine();
    insert(event.key);
  }
}

// Whether a key types a character: alone, with Shift, or with AltGr
// (which some systems report as Ctrl and Alt together).
export function types(event) {
  return [...event.key].length === 1 && event.key !== ' ' && !event.metaKey &&
         event.ctrlKey === event.altKey;
}

// A tap on the console brings the line and its keyboard, or a new run.
// A mouse selects there (a drag, a double or triple click, a click that
// drops a selection): its clicks only bring the line, and the rows stay.
let selectingPointer = true;

export function onConsolePointerDown(event) {
  selectingPointer = event.pointerType === 'mouse' || String(getSelection()) !== '';
}

export function onConsoleClick() {
  if (String(getSelection())) return;
  field.focus({ preventScroll: true });  // the rows scrolled back to stay
  if (!running() && !selectingPointer) start();
}
