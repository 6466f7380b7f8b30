// The page's console. What teklo writes goes into a log of plain text; the
// line being typed is a real text field below it, so that the browser's
// own editing (a soft keyboard's composition, suggestions, dictation,
// paste) does the work, and Enter hands the line to teklo as a console
// would. When teklo ends, the status line says so and the rows stay, to be
// read, scrolled and copied, until Enter, typing, a tap on the console or
// Invio starts it again, from a fresh instance.
'use strict';

(() => {
  const page = document.querySelector('main');
  const screenBox = document.getElementById('schermo');
  const log = document.getElementById('terminale');
  const field = document.getElementById('riga');
  const status = document.getElementById('stato');
  const columns = 80;
  const keptRows = 2000;  // as a terminal's scrollback: older rows go
  const clearing = '\x1b[H\x1b[2J';  // the one sequence teklo writes

  // --- Text size: the browser's zoom enlarges it; A− and A+ step it ---

  // The size chosen with A− or A+, in pixels, or 0 for the default. It is
  // kept as a size, not as a step in the list of sizes, because the list
  // changes when the phone turns and the choice must not.
  const sizeKey = 'teklo.dimensione-testo-px';
  const steps = [10, 12, 14, 16, 18, 20, 24, 28, 32, 40];
  const largestFit = 20;  // more would be huge by default on a tablet
  let chosenSize = Number(remembered(sizeKey)) || 0;

  // Under a finger, as on a phone, the default lets 80 columns fit the
  // width, so that the boxes stay whole; zooming there is a pinch, which
  // leaves the page's width alone. With a mouse, zooming narrows the page
  // in CSS pixels, and a size fitted to it would undo the zoom: there the
  // default is the browser's own text size, which zooms as any page does.
  const finger = matchMedia('(pointer: coarse)');

  function remembered(key) {
    try { return localStorage.getItem(key); } catch { return null; }  // storage may be off
  }

  function remember(key, value) {
    try {
      if (value) localStorage.setItem(key, value);
      else localStorage.removeItem(key);
    } catch { /* the size then lasts this visit */ }
  }

  // The width of 80 columns per pixel of font size, measured once.
  let columnsPerPixel = 0;

  function defaultSize() {
    if (!finger.matches) return parseFloat(getComputedStyle(document.documentElement).fontSize);
    if (!columnsPerPixel) {
      const probe = document.createElement('canvas').getContext('2d');
      probe.font = `100px ${getComputedStyle(screenBox).fontFamily}`;
      columnsPerPixel = probe.measureText('0'.repeat(columns)).width / 100;
    }
    return Math.min(largestFit, Math.floor((screenBox.clientWidth / columnsPerPixel) * 10) / 10);
  }

  // At the browser's own size the style sheet says it all: the page
  // starts with nothing to lay out again.
  function applySize() {
    const size = chosenSize || defaultSize();
    screenBox.style.fontSize = chosenSize || finger.matches ? `${size}px` : '';
    // Phones zoom into a focused field whose text is under 16 px; the
    // field is drawn at 16 px and scaled down to the console's size.
    const scale = Math.min(1, size / 16);
    field.style.fontSize = scale < 1 ? '16px' : '';
    field.style.transform = scale < 1 ? `scale(${scale})` : '';
    field.style.width = scale < 1 ? `${100 / scale}%` : '';
  }

  // The last row stays in view through a change of size if it was in
  // view. (At the start there is none to keep: teklo's first output
  // scrolls, and a layout forced before it would only be done twice.)
  function sizeChanged() {
    applySize();
    followLine();
  }

  // A− and A+ step through the default and the list's sizes clearly apart
  // from it.
  function changeSize(by) {
    const base = defaultSize();
    const sizes = [...steps.filter((size) => size < base / 1.1), base, ...steps.filter((size) => size > base * 1.1)];
    const shown = chosenSize || base;
    const next = by > 0 ? sizes.find((size) => size > shown) : sizes.findLast((size) => size < shown);
    if (next === undefined) return;
    chosenSize = next === base ? 0 : next;
    remember(sizeKey, chosenSize ? String(chosenSize) : '');
    sizeChanged();
  }

  // --- Scrolling: the console follows its last row until scrolled back ---

  // Whether the last row was in view when the console last scrolled: a
  // change of size keeps it there, and leaves alone the rows a person
  // scrolled back to.
  let following = true;
  screenBox.addEventListener('scroll', () => {
    following = screenBox.scrollTop + screenBox.clientHeight >= screenBox.scrollHeight - 2;
  }, { passive: true });

  function keepLineInView() {
    screenBox.scrollTop = screenBox.scrollHeight;
    following = true;  // before its scroll event, which a resize may precede
  }

  function followLine() {
    if (following) keepLineInView();
  }

  // Page Up and Page Down, with Shift or not, scroll the console a page
  // less one row, as a terminal's scrollback does, wherever the focus is:
  // in Firefox the typed line would take them and go nowhere.
  function scrollPage(direction) {
    const row = parseFloat(getComputedStyle(screenBox).fontSize) * 1.2;
    screenBox.scrollBy(0, direction * Math.max(row, screenBox.clientHeight - row));
  }

  // iOS ignores interactive-widget: its soft keyboard covers the bottom of
  // the page instead of shrinking it. While it does, the page takes only
  // the part left in view, so that the typed line and the buttons stay
  // above the keyboard. A page zoomed in by the user is left as it is,
  // and panning it never scrolls the console: only the keyboard coming or
  // going does.
  let coveredHeight = 0;
  function fitToViewport() {
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

  // --- The screen: plain rows, cleared on teklo's sequence ---

  let unshown = '';        // written and not yet in the log
  let clearPending = false;
  let showScheduled = false;

  function write(text) {
    const cleared = text.lastIndexOf(clearing);
    if (cleared >= 0) {
      clearPending = true;
      unshown = text.slice(cleared + clearing.length);
    } else {
      unshown += text;
    }
    // Shown all at once: when teklo waits for input, or between the parts
    // of a long paste.
    if (!showScheduled) {
      showScheduled = true;
      setTimeout(() => { if (showScheduled) show(); }, 0);
    }
  }

  function clearScreen() {
    unshown = '';
    clearPending = true;
    show();
  }

  // A row of asterisks only draws the title box: a screen reader skips it.
  const drawing = /^ *\*+$/;

  // Appends what was written as one node per row, so that a screen reader
  // gets each row as it arrives.
  function show() {
    showScheduled = false;
    if (clearPending) log.replaceChildren();
    clearPending = false;
    // A row left open by the last write goes on with this one.
    const open = log.lastChild;
    let text = unshown;
    unshown = '';
    if (open && !open.textContent.endsWith('\n')) {
      text = open.textContent + text;
      open.remove();
    }
    const rows = text.split('\n');
    const last = rows.pop();
    const fragment = document.createDocumentFragment();
    for (const row of rows.slice(-keptRows)) {
      const node = document.createElement('span');
      if (drawing.test(row)) node.setAttribute('aria-hidden', 'true');
      node.textContent = `${row}\n`;
      fragment.append(node);
    }
    if (last) fragment.append(last);
    log.append(fragment);
    for (let extra = log.childNodes.length - keptRows; extra > 0; --extra) log.firstChild.remove();
    keepLineInView();
  }

  // --- Runs: each instance of teklo with everything of its own ---

  const encoder = new TextEncoder();

  // A failure to load teklo, which a new run would meet again.
  class LoadError extends Error {}

  // One instance of teklo, its input and its output. Once cancelled it is
  // cut off: its pending read is never answered, so it reads no further
  // byte, and whatever it still writes is dropped.
  class Run {
    constructor() {
      this.chunks = [];      // bytes handed over and not yet read
      this.queued = 0;
      this.early = [];       // typed before teklo first asked for input
      this.listening = false;
      this.ended = false;    // Ctrl+D on an empty line
      this.reader = null;    // teklo's read in progress
      this.decoder = new TextDecoder();
      this.busySince = 0;    // when teklo began reading without a pause
      this.cancelled = false;
    }

    // Loads the instance and runs it to its end; resolves to its exit
    // status, or to null if the run was cancelled before it began.
    async execute() {
      if (typeof WebAssembly !== 'object') throw new LoadError('questo browser non esegue WebAssembly');
      if (typeof createTeklo !== 'function') throw new LoadError('il file teklo.js manca o è danneggiato');
      let program;
      try {
        program = await createTeklo({
          readInput: (size) => this.read(size),
          writeOutput: (bytes) => this.write(bytes),
        });
      } catch (error) {
        throw new LoadError(`il programma non si carica (${error && error.message})`);
      }
      if (this.cancelled) return null;
      try {
        return await program.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true });
      } catch (error) {
        if (error && error.name === 'ExitStatus') return error.status;
        throw error;
      }
    }

    // Text typed for teklo: echoed, as a console echoes it, and queued.
    // While teklo loads it waits, so that the echo lands after the
    // start-up screen instead of under its clearing.
    type(text) {
      if (!this.listening) {
        this.early.push(text);
        return;
      }
      write(text);
      const bytes = encoder.encode(text);
      if (bytes.length > 0) {
        this.chunks.push(bytes);
        this.queued += bytes.length;
      }
      this.feed();
    }

    end() {
      this.ended = true;
      this.feed();
    }

    cancel() {
      this.cancelled = true;
      this.chunks = [];
      this.queued = 0;
      this.early = [];
      this.reader = null;
    }

    write(bytes) {
      if (!this.cancelled) write(this.decoder.decode(bytes, { stream: true }));
    }

    read(size) {
      return new Promise((resolve) => {
        if (this.cancelled) return;
        if (!this.listening) {
          this.listening = true;
          for (const text of this.early.splice(0)) this.type(text);  // all queued, then read
        }
        this.reader = { size, resolve };
        this.feed();
      });
    }

    feed() {
      if (this.cancelled || !this.reader) return;
      if (this.queued === 0 && !this.ended) {
        this.busySince = 0;  // teklo waits for input, and the page is idle
        if (showScheduled) show();
        return;
      }
      const { size, resolve } = this.reader;
      this.reader = null;
      const bytes = this.take(this.readLength(size));
      // A long paste keeps teklo busy: let the page draw and take keys
      // after every 30 ms of it instead of freezing until it is done. A
      // line typed is answered at once.
      const now = performance.now();
      this.busySince ||= now;
      if (now - this.busySince < 30) {
        resolve(bytes);
      } else {
        this.busySince = 0;
        setTimeout(() => { if (!this.cancelled) resolve(bytes); }, 0);
      }
    }

    // teklo ends only on a Q (or the end of input), so a read takes whole
    // lines up to the first that holds one: the lines after it belong to
    // the next run. (One line per read would make a long paste about five
    // times as slow in Firefox.)
    readLength(size) {
      let length = 0;
      let quitting = false;
      for (const chunk of this.chunks) {
        for (let i = 0; i < chunk.length && length < size; ++i, ++length) {
          if (chunk[i] === 10 && quitting) return length + 1;
          quitting ||= chunk[i] === 0x51 || chunk[i] === 0x71;  // Q, q
        }
        if (quitting) return length;  // a Q handed over by Ctrl+D, with no line end
      }
      return length;
    }

    // The text handed over and never read.
    unread() {
      return new TextDecoder().decode(this.take(this.queued));
    }

    take(size) {
      const bytes = new Uint8Array(size);
      let filled = 0;
      while (filled < bytes.length) {
        const chunk = this.chunks[0];
        const part = chunk.subarray(0, bytes.length - filled);
        bytes.set(part, filled);
        filled += part.length;
        if (part.length === chunk.length) this.chunks.shift();
        else this.chunks[0] = chunk.subarray(part.length);
      }
      this.queued -= filled;
      return bytes;
    }
  }

  let run = null;          // the run that owns the console, or null when stopped
  let endNote = '';        // how teklo ended, said while it is stopped
  const again = 'Premere Invio o toccare la console per ricominciare.';

  function say(message) {
    status.textContent = [message, endNote].filter(Boolean).join(' ');
  }

  function stop(message) {
    run?.cancel();
    run = null;
    endNote = message;
    say('');
  }

  // The first run finds its start-up screen already in the console, put
  // there by the build: its own clearing and printing replace the rows
  // with the same ones, with no empty moment between.
  let started = false;

  function start() {
    run?.cancel();
    const self = new Run();
    run = self;
    endNote = '';
    say('');
    if (started) clearScreen();
    started = true;
    self.execute().then((code) => {
      if (run !== self || code === null) return;
      const rest = self.unread();
      stop(`Programma terminato (stato di uscita ${code}). ${again}`);
      // Lines that outlast teklo go on in a new run, as they would had
      // they been typed after its end.
      if (rest) handOver(rest);
    }, (error) => {
      if (run !== self) return;
      if (error instanceof LoadError) stop(`teklo non si avvia: ${error.message}. Ricaricare la pagina.`);
      else stop(`teklo si è fermato per un errore (${error && error.message}). ${again}`);
    });
  }

  // --- The line discipline, as a console's ---

  // Hands `text` to teklo, starting it first if it has ended.
  function handOver(text) {
    if (!run) start();
    say('');
    run.type(text);
  }

  // Enter on an empty line after teklo has ended only starts it again.
  function enter() {
    const line = field.value;
    field.value = '';
    if (run || line) handOver(`${line}\n`);
    else start();
  }

  function endOfInput() {
    if (!run) return;
    if (field.value === '') return run.end();
    handOver(field.value);
    field.value = '';
  }

  function interrupt() {
    if (!run) return;
    write(`${field.value}^C\n`);
    field.value = '';
    stop(`Programma interrotto con CTRL + c. ${again}`);
  }

  // Text put into the line, as typing or a paste would put it: every whole
  // line goes to teklo, the rest stays in the field. After teklo has ended
  // it starts it again, and the lines wait until it asks for input.
  function insert(text) {
    text = text.replace(/\r\n?/g, '\n');
    if (!run) start();
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

  // The text selected on the page or in the field, if any.
  function selection() {
    if (document.activeElement === field && field.selectionStart !== field.selectionEnd)
      return field.value.slice(field.selectionStart, field.selectionEnd);
    return String(getSelection());
  }

  async function copy() {
    const text = selection() || log.textContent;
    let copied = false;
    if (navigator.clipboard && navigator.clipboard.writeText) {
      copied = await navigator.clipboard.writeText(text).then(() => true, () => false);
    }
    if (copied || copyBySelecting()) say('Testo copiato.');
    else say('Copia non riuscita: il testo resta selezionato, copiarlo con il menu del browser.');
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
  function selectRows() {
    field.blur();
    getSelection().selectAllChildren(log);
  }

  // Select-all means the rows, unless there is text in the line that is
  // not yet selected: then it selects that first, as in any field.
  function selectsRows(event) {
    return event.key.toLowerCase() === 'a' && event.ctrlKey !== event.metaKey && !event.altKey && !event.shiftKey &&
           (event.target !== field || (field.selectionStart === 0 && field.selectionEnd === field.value.length));
  }

  // The keys teklo uses, and those that mean in a console what they do not
  // in a text field: select-all and the scrollback's Page Up and Down.
  // Every other key does what it does in the browser: scrolling,
  // selecting, finding, zooming, reloading.
  document.addEventListener('keydown', (event) => {
    if (event.defaultPrevented) return;
    if (event.target instanceof HTMLButtonElement && [' ', 'Enter'].includes(event.key)) return;
    const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
    const control = event.ctrlKey && !event.metaKey && !event.altKey;
    if (control && event.shiftKey && key === 'c') {
      event.preventDefault();
      copy();
    } else if (control && key === 'c') {
      if (!run || selection()) return;  // the browser copies it; teklo goes on
      event.preventDefault();
      interrupt();
    } else if (event.isComposing || event.keyCode === 229) {
      // the text comes as input
    } else if (key === 'Enter' && !event.ctrlKey && !event.metaKey && !event.altKey) {
      event.preventDefault();
      enter();
    } else if (control && key === 'd' && run) {
      event.preventDefault();
      endOfInput();
    } else if (control && key === 'u' && run) {
      event.preventDefault();
      field.value = '';
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
  });

  // Whether a key types a character: alone, with Shift, or with AltGr
  // (which some systems report as Ctrl and Alt together).
  function types(event) {
    return [...event.key].length === 1 && event.key !== ' ' && !event.metaKey &&
           event.ctrlKey === event.altKey;
  }

  // The focus to the line, its caret at the end, for what was typed or
  // pasted with the focus elsewhere.
  function toLine() {
    field.focus();
    field.setSelectionRange(field.value.length, field.value.length);
  }

  field.addEventListener('beforeinput', (event) => {
    if (['insertLineBreak', 'insertParagraph'].includes(event.inputType)) {
      event.preventDefault();
      enter();
    } else if (event.data && /[\r\n]/.test(event.data) && event.cancelable) {
      event.preventDefault();
      insert(event.data);
    } else if (!run && event.inputType.startsWith('insert')) {
      start();  // typed after teklo ended: the text stays in the line
    }
  });

  // A paste goes to the line wherever the focus was, as typing does: after
  // rows were selected with the mouse it is on the page, not in the field.
  document.addEventListener('paste', (event) => {
    const text = event.clipboardData && event.clipboardData.getData('text/plain');
    if (!text) return;
    event.preventDefault();
    if (event.target !== field) toLine();
    insert(text);
  });

  field.addEventListener('input', keepLineInView);

  // A tap on the console brings the line and its keyboard, or a new run.
  // A mouse selects there (a drag, a double or triple click, a click that
  // drops a selection): its clicks only bring the line, and the rows stay.
  let selectingPointer = true;
  screenBox.addEventListener('pointerdown', (event) => {
    selectingPointer = event.pointerType === 'mouse' || String(getSelection()) !== '';
  });
  screenBox.addEventListener('click', () => {
    if (String(getSelection())) return;
    field.focus({ preventScroll: true });  // the rows scrolled back to stay
    if (!run && !selectingPointer) start();
  });

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

  window.addEventListener('resize', sizeChanged);
  finger.addEventListener('change', sizeChanged);
  window.visualViewport?.addEventListener('resize', fitToViewport);
  window.visualViewport?.addEventListener('scroll', fitToViewport);
  applySize();
  // For the tests and the curious; and, once it is set, the script in
  // index.html knows that the page runs and leaves the keys to it.
  window.teklo = { start };
  field.focus();
  start();
  for (const line of window.typedEarly?.splice(0) ?? []) handOver(line);

  // Installable, and offline after one visit: the service worker keeps the
  // folder. A page opened from a file can have neither. Both wait for the
  // page's load, so as not to compete with the first screen.
  if (location.protocol.startsWith('http')) {
    addEventListener('load', () => {
      document.head.append(Object.assign(document.createElement('link'),
                                         { rel: 'manifest', href: 'manifest.webmanifest' }));
      // Asked at every start, an update does not wait on the browser's own
      // schedule, which a reload soon after another can put off. The tests
      // wait on it.
      window.teklo.updating = navigator.serviceWorker?.register('sw.js')
        .then((registration) => registration.update()).catch(() => {});
    });
  }
})();
