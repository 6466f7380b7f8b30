// The page's console: an 80-column terminal that edits each line as a
// console does and hands it to teklo on Enter. When teklo ends, a line
// below says so and any key starts it again, from a fresh instance.
'use strict';

(() => {
  const columns = 80;
  const fontFamily = '"DejaVu Sans Mono", Menlo, Consolas, "Liberation Mono", monospace';
  const largestFont = 16;

  const terminal = new Terminal({
    cols: columns,
    rows: 30,
    convertEol: true,  // teklo ends its lines with a line feed alone
    screenReaderMode: true,
    fontFamily,
    fontSize: largestFont,
    scrollback: 1000,
  });
  const host = document.getElementById('terminale');
  const status = document.getElementById('stato');
  terminal.open(host);
  window.teklo = { terminal };  // for the tests and the curious

  // --- Size: always 80 columns, the font shrinking to fit the window ---

  function fit() {
    const room = host.clientWidth;
    const probe = document.createElement('canvas').getContext('2d');
    probe.font = `100px ${fontFamily}`;
    const widthPerPixelOfFont = probe.measureText('0'.repeat(columns)).width / 100;
    let size = Math.min(largestFont, Math.floor((room / widthPerPixelOfFont) * 10) / 10);
    terminal.options.fontSize = size;
    // The terminal rounds its cells; step down until the screen fits.
    const screen = host.querySelector('.xterm-screen');
    while (size > 4 && screen.getBoundingClientRect().width > room) {
      size = Math.round((size - 0.2) * 10) / 10;
      terminal.options.fontSize = size;
    }
  }
  fit();
  window.addEventListener('resize', fit);

  // --- The line discipline, as a console's ---

  const encoder = new TextEncoder();
  let run = null;      // the running instance's bookkeeping, or null
  let line = [];       // characters typed since the last Enter
  let pending = [];    // bytes handed over and not yet read
  let inputEnded = false;
  let reader = null;   // the program's read in progress

  function handOver(text) {
    if (text) pending.push(...encoder.encode(text));
    if (reader && (pending.length > 0 || inputEnded)) {
      const { size, resolve } = reader;
      reader = null;
      resolve(Uint8Array.from(pending.splice(0, size)));
    }
  }

  function read(size) {
    return new Promise((resolve) => {
      reader = { size, resolve };
      handOver('');
    });
  }

  function erase(count) {
    terminal.write('\b \b'.repeat(count));
  }

  function key(ch) {
    switch (ch) {
      case '\r':
      case '\n':
        terminal.write('\r\n');
        handOver(line.join('') + '\n');
        line = [];
        break;
      case '\x7f':
      case '\b':
        if (line.length > 0) erase(line.pop() === '\t' ? 2 : 1);
        break;
      case '\x15':  // Ctrl+U: the whole line
        erase(line.reduce((width, c) => width + (c === '\t' ? 2 : 1), 0));
        line = [];
        break;
      case '\x04':  // Ctrl+D: on an empty line the end of input
        if (line.length === 0) inputEnded = true;
        handOver(line.join(''));
        line = [];
        break;
      case '\x03':  // Ctrl+C: the interrupt key
        terminal.write('^C\r\n');
        end('Programma interrotto con CTRL + c.');
        break;
      case '\t':
        terminal.write('^I');
        line.push(ch);
        break;
      default:
        if (ch >= ' ') {
          terminal.write(ch);
          line.push(ch);
        }
    }
  }

  terminal.onData((data) => {
    if (!run) {
      start();
      return;
    }
    if (data.startsWith('\x1b')) return;  // arrows and other keys that edit nothing here
    for (const ch of data) {
      key(ch);
      if (!run) break;  // Ctrl+C: what follows it is not typed
    }
  });

  // --- The program ---

  function end(message) {
    run = null;
    reader = null;
    status.textContent = `${message} Premere un tasto per ricominciare.`;
  }

  async function start() {
    const self = {};
    run = self;
    line = [];
    pending = [];
    inputEnded = false;
    reader = null;
    status.textContent = '';
    terminal.reset();
    terminal.focus();
    const program = await createTeklo({
      readInput: read,
      writeOutput: (bytes) => { if (run === self) terminal.write(bytes); },
    });
    let code;
    try {
      code = await program.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true });
    } catch (error) {
      if (!error || error.name !== 'ExitStatus') throw error;
      code = error.status;
    }
    if (run === self) end(`Programma terminato (stato di uscita ${code}).`);
  }

  start();
})();
