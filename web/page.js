// The page's console. What teklo writes goes into a log of plain text; the
// line being typed is a real text field below it, so that the browser's
// own editing (a soft keyboard's composition, suggestions, dictation,
// paste) does the work, and Enter hands the line to teklo as a console
// would. When teklo ends, the status line says so and a key, a tap on the
// console or Invio starts it again, from a fresh instance.
'use strict';

(() => {
  const screenBox = document.getElementById('schermo');
  const log = document.getElementById('terminale');
  const field = document.getElementById('riga');
  const status = document.getElementById('stato');
  const columns = 80;
  const keptRows = 2000;  // as a terminal's scrollback: older rows go
  const clearing = '\x1b[H\x1b[2J';  // the one sequence teklo writes

  // --- Text size: by default 80 columns fit the width; larger wraps ---

  const sizeKey = 'teklo.dimensione-testo';
  const largerSizes = [12, 14, 16, 18, 20, 24, 28, 32];
  const largestFit = 20;
  let sizeStep = Number(remembered(sizeKey)) || 0;

  function remembered(key) {
    try { return localStorage.getItem(key); } catch { return null; }  // storage may be off
  }

  function remember(key, value) {
    try { localStorage.setItem(key, value); } catch { /* the size then lasts this visit */ }
  }

  // The width of 80 columns per pixel of font size, measured once.
  let columnsPerPixel = 0;

  // Font size at which 80 columns take `room` pixels.
  function fittingSize(room) {
    if (!columnsPerPixel) {
      const probe = document.createElement('canvas').getContext('2d');
      probe.font = `100px ${getComputedStyle(screenBox).fontFamily}`;
      columnsPerPixel = probe.measureText('0'.repeat(columns)).width / 100;
    }
    return Math.min(largestFit, Math.floor((room / columnsPerPixel) * 10) / 10);
  }

  function applySize() {
    const fit = fittingSize(screenBox.clientWidth);
    const sizes = [fit, ...largerSizes.filter((size) => size > fit * 1.1)];
    sizeStep = Math.max(0, Math.min(sizeStep, sizes.length - 1));
    const size = sizes[sizeStep];
    screenBox.style.fontSize = `${size}px`;
    // Phones zoom into a focused field whose text is under 16 px; the
    // field is drawn at 16 px and scaled down to the console's size.
    const scale = Math.min(1, size / 16);
    field.style.fontSize = `${size / scale}px`;
    field.style.transform = scale < 1 ? `scale(${scale})` : '';
    field.style.width = `${100 / scale}%`;
    field.parentElement.style.height = `${size * 1.2}px`;
    keepLineInView();
  }

  function changeSize(by) {
    sizeStep = Math.max(0, sizeStep + by);
    applySize();
    remember(sizeKey, String(sizeStep));
  }

  function keepLineInView() {
    screenBox.scrollTop = screenBox.scrollHeight;
  }

  // --- Output: plain rows, the screen cleared on teklo's sequence ---

  const decoder = new TextDecoder();
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
    if (!showScheduled) {
      showScheduled = true;
      setTimeout(show, 0);
    }
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

  // --- Runs: each instance of teklo has its own input ---

  const encoder = new TextEncoder();
  let run = null;           // the running instance's input, or null
  let lastPause = 0;

  class Run {
    constructor() {
      this.chunks = [];     // bytes handed over and not yet read
      this.queued = 0;
      this.ended = false;   // Ctrl+D on an empty line
      this.reader = null;   // teklo's read in progress
    }

    give(text) {
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

    read(size) {
      return new Promise((resolve) => {
        this.reader = { size, resolve };
        this.feed();
      });
    }

    feed() {
      if (!this.reader || (this.queued === 0 && !this.ended)) return;
      const { size, resolve } = this.reader;
      this.reader = null;
      const bytes = this.take(size);
      // A long paste keeps teklo busy: let the page draw and take keys now
      // and then instead of freezing until it is done.
      const now = performance.now();
      if (now - lastPause < 30) {
        resolve(bytes);
      } else {
        lastPause = now;
        setTimeout(() => resolve(bytes), 0);
      }
    }

    take(size) {
      const bytes = new Uint8Array(Math.min(size, this.queued));
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

  function stop(message) {
    run = null;
    status.textContent = `${message} Premere un tasto o toccare la console per ricominciare.`;
  }

  function failed(what) {
    run = null;
    status.textContent = `teklo non si avvia: ${what}. Ricaricare la pagina.`;
  }

  async function start() {
    const self = new Run();
    run = self;
    field.value = '';
    status.textContent = '';
    unshown = '';
    clearPending = true;
    show();
    if (typeof WebAssembly !== 'object') return failed('questo browser non esegue WebAssembly');
    if (typeof createTeklo !== 'function') return failed('il file teklo.js manca o è danneggiato');
    let program;
    try {
      program = await createTeklo({
        readInput: (size) => self.read(size),
        writeOutput: (bytes) => { if (run === self) write(decoder.decode(bytes, { stream: true })); },
      });
    } catch (error) {
      return failed(`il programma non si carica (${error && error.message})`);
    }
    if (run !== self) return;  // stopped while loading: it never runs
    let code;
    try {
      code = await program.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true });
    } catch (error) {
      if (!error || error.name !== 'ExitStatus') throw error;
      code = error.status;
    }
    if (run === self) stop(`Programma terminato (stato di uscita ${code}).`);
  }

  // --- The line discipline, as a console's ---

  // Hands `text` to teklo as typed, echoing it on the console.
  function handOver(text) {
    write(text);
    run.give(text);
  }

  function enter() {
    if (!run) return start();
    const line = field.value;
    field.value = '';
    handOver(`${line}\n`);
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
    stop('Programma interrotto con CTRL + c.');
  }

  // Text that arrives with line breaks in it (a paste, a dictated phrase, a
  // line break a keyboard inserts): every whole line goes to teklo, the
  // rest stays in the field.
  function insert(text) {
    text = text.replace(/\r\n?/g, '\n');
    const { value, selectionStart, selectionEnd } = field;
    const typed = value.slice(0, selectionStart) + text;
    const after = value.slice(selectionEnd);
    const lastBreak = typed.lastIndexOf('\n');
    if (lastBreak < 0) {
      field.setRangeText(text, selectionStart, selectionEnd, 'end');
      return;
    }
    if (!run) start();
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
    try {
      await navigator.clipboard.writeText(text);
    } catch {
      // Where the clipboard's interface is closed (an old browser, a page
      // from a file) the older command still copies what is selected.
      const spare = document.createElement('textarea');
      spare.value = text;
      document.body.append(spare);
      spare.select();
      document.execCommand('copy');
      spare.remove();
      field.focus();
    }
  }

  // Keys that type nothing; the browser keeps them (Tab moves the focus).
  const typeNothing = ['Shift', 'Control', 'Alt', 'AltGraph', 'Meta', 'CapsLock', 'Tab', 'Unidentified'];

  document.addEventListener('keydown', (event) => {
    if (event.defaultPrevented || event.altKey) return;
    if (event.target instanceof HTMLButtonElement && [' ', 'Enter'].includes(event.key)) return;
    const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
    const control = event.ctrlKey && !event.metaKey;
    if (control && event.shiftKey && key === 'c') {
      event.preventDefault();
      copy();
      return;
    }
    if (event.metaKey || typeNothing.includes(event.key)) return;  // the Mac's Cmd+C copies
    if (control && key === 'c') {
      if (selection()) return;  // the browser copies it; teklo goes on
      event.preventDefault();
      interrupt();
      return;
    }
    if (event.isComposing || event.keyCode === 229) return;  // the text comes as input
    if (!run) {
      event.preventDefault();
      start();
      return;
    }
    if (key === 'Enter') {
      event.preventDefault();
      enter();
    } else if (control && key === 'd') {
      event.preventDefault();
      endOfInput();
    } else if (control && key === 'u') {
      event.preventDefault();
      field.value = '';
    } else if (event.target !== field && !event.ctrlKey) {
      // Typing goes to the line wherever the focus was.
      field.focus();
      if (event.key.length === 1) {
        event.preventDefault();
        field.setRangeText(event.key, field.value.length, field.value.length, 'end');
      }
    }
  });

  field.addEventListener('beforeinput', (event) => {
    if (!run) {
      event.preventDefault();
      start();
    } else if (['insertLineBreak', 'insertParagraph'].includes(event.inputType)) {
      event.preventDefault();
      enter();
    } else if (event.data && /[\r\n]/.test(event.data) && event.cancelable) {
      event.preventDefault();
      insert(event.data);
    }
  });

  field.addEventListener('paste', (event) => {
    const text = event.clipboardData && event.clipboardData.getData('text/plain');
    if (!text) return;
    event.preventDefault();
    insert(text);
  });

  field.addEventListener('input', keepLineInView);

  // A tap on the console brings the line and its keyboard, or a new run.
  screenBox.addEventListener('click', () => {
    if (!String(getSelection())) field.focus();
    if (!run) start();
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

  window.addEventListener('resize', applySize);
  applySize();
  window.teklo = { start };  // for the tests and the curious
  field.focus();
  start();

  // Installable, and offline after one visit: the service worker keeps the
  // folder. A page opened from a file can have neither.
  if (location.protocol.startsWith('http')) {
    document.head.append(Object.assign(document.createElement('link'),
                                       { rel: 'manifest', href: 'manifest.webmanifest' }));
    navigator.serviceWorker?.register('sw.js').catch(() => {});
  }
})();
