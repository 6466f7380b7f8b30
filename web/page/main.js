// The page's console. What teklo writes goes into a log of plain text; the
// line being typed is a real text field below it, so that the browser's
// own editing (a soft keyboard's composition, suggestions, dictation,
// paste) does the work, and Enter hands the line to teklo as a console
// would. When teklo ends, the status line says so and the rows stay, to be
// read, scrolled and copied, until Enter, typing, a tap on the console or
// Invio starts it again, from a fresh instance.
//
// This is where the page's events meet the rooms below: the keys and taps
// (keys.js), the typed line (line.js), the runs of teklo (run.js) and the
// log they write to (screen.js), copying (clipboard.js), the text size
// (size.js) and scrolling (scrolling.js).

import { copy } from './clipboard.js';
import { field, screenBox } from './elements.js';
import { onConsoleClick, onConsolePointerDown, onKey } from './keys.js';
import { endOfInput, enter, interrupt, onBeforeInput, onPaste } from './line.js';
import { notKept } from './messages.js';
import { handOver, start } from './run.js';
import { fitToViewport, keepLineInView, noteScroll } from './scrolling.js';
import { applySize, changeSize, sizeChanged } from './size.js';
import { say } from './status.js';

document.addEventListener('keydown', onKey);
document.addEventListener('paste', onPaste);
field.addEventListener('beforeinput', onBeforeInput);
field.addEventListener('input', keepLineInView);
screenBox.addEventListener('pointerdown', onConsolePointerDown);
screenBox.addEventListener('click', onConsoleClick);
screenBox.addEventListener('scroll', noteScroll, { passive: true });

const buttons = {
  invio: enter,
  interrompi: interrupt,
  fine: endOfInput,
  copia: copy,
  'piu-piccolo': () => changeSize(-1),
  'piu-grande': () => changeSize(+1),
};
for (const button of document.querySelectorAll('#tasti button')) {
  // The field keeps the focus, and its keyboard stays up.
  button.addEventListener('mousedown', (event) => event.preventDefault());
  button.addEventListener('click', () => buttons[button.dataset.tasto]());
}

// The line is kept from the browser's suggestions with autocomplete="off",
// which WebKit also takes as a mark of a secret: it empties such a field
// when it brings the page back from its back/forward cache (WebCore's
// HTMLInputElement::needsSuspensionCallback). Without the mark while the
// page is away, a half-typed line comes back as in the other engines.
addEventListener('pagehide', () => field.removeAttribute('autocomplete'));
addEventListener('pageshow', () => field.setAttribute('autocomplete', 'off'));

window.addEventListener('resize', sizeChanged);
window.visualViewport?.addEventListener('resize', fitToViewport);
window.visualViewport?.addEventListener('scroll', fitToViewport);
applySize();
// For the tests and the curious; and, once it is set, the script in
// index.html knows that the page runs and leaves the keys to it.
window.teklo = { start };
field.focus();
start();
// Lines entered before this script ran, which the script in index.html
// kept.
for (const line of window.typedEarly?.splice(0) ?? []) handOver(line);

// Installable, and offline after one visit: the service worker keeps the
// folder. A page opened from a file can have neither. Both wait for the
// page's load, so as not to compete with the first screen.
if (location.protocol.startsWith('http')) {
  addEventListener('load', () => {
    document.head.append(Object.assign(document.createElement('link'),
                                       { rel: 'manifest', href: 'manifest.webmanifest' }));
    // A page that no worker keeps says so, once: sw.js missing or broken,
    // or the first install failed (a file not the one the build summed).
    // Not a failed update, after which the version before still works
    // offline, nor the update asked for offline, which cannot but fail.
    const unkept = (registration) => { if (!registration?.active) say(notKept()); };
    // Asked at every start, an update does not wait on the browser's own
    // schedule, which a reload soon after another can put off. Not while
    // a worker is installing, as on a first visit, where register() has
    // just fetched sw.js: asking again would only fetch it once more. The
    // tests wait on it.
    window.teklo.updating = navigator.serviceWorker?.register('sw.js').then((registration) => {
      const worker = registration.installing;
      if (!worker) return registration.update().catch(() => unkept(registration));
      worker.addEventListener('statechange', () => { if (worker.state === 'redundant') unkept(registration); });
      return worker;
    }, () => unkept());
  });
}
