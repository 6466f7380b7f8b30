// The console's log: what teklo writes, as rows of plain text.

import { log } from './elements.js';
import { Unshown } from './rows.js';
import { keepLineInView } from './scrolling.js';

const keptRows = 2000;  // as a terminal's scrollback: older rows go
const unshown = new Unshown();
let showScheduled = false;
// The console holds the start-up screen that the build wrote into the
// page, which a screen reader has read with it.
let fromBuild = true;

export function write(text) {
  unshown.write(text);
  schedule();
}

// teklo's clearing: shown with what it writes next.
export function clear() {
  unshown.clear();
  schedule();
}

// The page's own, for a new run: at once.
export function clearNow() {
  unshown.clear();
  show();
}

// What is written and not yet shown, shown now: teklo waits for input.
export function showWritten() {
  if (showScheduled) show();
}

function schedule() {
  if (showScheduled) return;
  showScheduled = true;
  setTimeout(showWritten, 0);
}

function show() {
  showScheduled = false;
  // A row left open by the last write goes on with this one.
  const last = log.lastChild;
  const continued = last && !last.textContent.endsWith('\n') ? last : null;
  const { cleared, rows, open } = unshown.take(continued?.textContent ?? '');
  // The first run's clearing and printing of the same rows leave them in
  // place: the log would announce them again.
  const inPlace = cleared && fromBuild ? alreadyShown(rows) : 0;
  fromBuild = false;
  if (inPlace) for (const node of [...log.childNodes].slice(inPlace)) node.remove();
  else if (cleared) log.replaceChildren();
  else continued?.remove();
  const fragment = document.createDocumentFragment();
  for (const row of rows.slice(inPlace).slice(-keptRows)) {
    const node = document.createElement('span');
    if (row.whole) node.className = 'intera';
    if (row.hidden) node.setAttribute('aria-hidden', 'true');
    node.textContent = row.text;
    fragment.append(node);
  }
  if (open) fragment.append(open);
  log.append(fragment);
  for (let extra = log.childNodes.length - keptRows; extra > 0; --extra) log.firstChild.remove();
  keepLineInView();
}

// How many of `rows`, from the first, the console shows already.
function alreadyShown(rows) {
  const shown = log.childNodes;
  let same = 0;
  while (same < rows.length && same < shown.length && shown[same].textContent === rows[same].text) ++same;
  return same;
}
