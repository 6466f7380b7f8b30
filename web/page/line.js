// The typed line, a text field, with a console's line discipline: Enter
// hands the line to teklo, Ctrl+D and Ctrl+C act on it, and text put into
// it hands over every whole line.

import { field } from './elements.js';
import { handOver, interruptRun, running, start } from './run.js';

function takeLine() {
  const line = field.value;
  field.value = '';
  return line;
}

// Enter on an empty line after teklo has ended only starts it again.
export function enter() {
  const line = takeLine();
  if (running() || line) handOver(`${line}\n`);
  else start();
}

// Ctrl+D: the line as it is, or, on an empty line, the end of input.
export function endOfInput() {
  if (running()) handOver(takeLine(), true);
}

export function interrupt() {
  if (running()) interruptRun(takeLine());
}

// Ctrl+U
export function eraseLine() {
  field.value = '';
}

// Text put into the line, as typing or a paste would put it: every whole
// line goes to teklo, the rest stays in the field. After teklo has ended
// it starts it again, and the lines wait until it asks for input.
export function insert(text) {
  text = text.replace(/\r\n?/g, '\n');
  if (!running()) start();
  const { value, selectionStart, selectionEnd } = field;
  const typed = value.slice(0, selectionStart) + text;
  const after = value.slice(selectionEnd);
  const lastBreak = typed.lastIndexOf('\n');
  if (lastBreak < 0) {
    field.setRangeText(text, selectionStart, selectionEnd, 'end');
    return;
  }
  field.value = typed.slice(lastBreak + 1) + after;
  field.setSelectionRange(field.value.length - after.length, field.value.length - after.length);
  handOver(typed.slice(0, lastBreak + 1));
}

// The focus to the line, its caret at the end, for what was typed or
// pasted with the focus elsewhere.
export function toLine() {
  field.focus();
  field.setSelectionRange(field.value.length, field.value.length);
}

// What a soft keyboard, dictation or the browser puts into the field.
export function onBeforeInput(event) {
  if (['insertLineBreak', 'insertParagraph'].includes(event.inputType)) {
    event.preventDefault();
    enter();
  } else if (event.data && /[\r\n]/.test(event.data) && event.cancelable) {
    event.preventDefault();
    insert(event.data);
  } else if (!running() && event.inputType.startsWith('insert')) {
    start();  // typed after teklo ended: the text stays in the line
  }
}

// A paste goes to the line wherever the focus was, as typing does: after
// rows were selected with the mouse it is on the page, not in the field.
export function onPaste(event) {
  const text = event.clipboardData && event.clipboardData.getData('text/plain');
  if (!text) return;
  event.preventDefault();
  if (event.target !== field) toLine();
  insert(text);
}
