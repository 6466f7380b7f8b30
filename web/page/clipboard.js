// Selecting the console's rows and copying them.

import { field, log } from './elements.js';
import { copied } from './messages.js';
import { say } from './status.js';

// The text selected on the page or in the field, if any.
export function selection() {
  if (document.activeElement === field && field.selectionStart !== field.selectionEnd)
    return field.value.slice(field.selectionStart, field.selectionEnd);
  return String(getSelection());
}

// The selection, or else the whole console.
export async function copy() {
  const text = selection() || log.textContent;
  let done = false;
  if (navigator.clipboard && navigator.clipboard.writeText) {
    done = await navigator.clipboard.writeText(text).then(() => true, () => false);
  }
  say(copied(done || copyBySelecting()));
}

// Where the clipboard's interface is closed (iOS outside a secure page,
// older browsers), the text itself is selected, as a person would, and
// the browser asked to copy the selection; if it will not, the text
// stays selected for the browser's own Copy.
function copyBySelecting() {
  if (!selection()) selectRows();
  try { return document.execCommand('copy'); } catch { return false; }
}

// The line gives up the focus first: Firefox would copy the line's
// empty selection.
export function selectRows() {
  field.blur();
  getSelection().selectAllChildren(log);
}

// Select-all means the rows, unless there is text in the line that is
// not yet selected: then it selects that first, as in any field.
export function selectsRows(event) {
  return event.key.toLowerCase() === 'a' && event.ctrlKey !== event.metaKey && !event.altKey && !event.shiftKey &&
         (event.target !== field || (field.selectionStart === 0 && field.selectionEnd === field.value.length));
}
