// Runs of teklo: each instance with its own input and output, and the one
// that owns the console now.

import { ended, failed, interrupted, notStarting } from './messages.js';
import { InputQueue } from './queue.js';
import { clear, clearNow, showWritten, write } from './screen.js';
import { say, setNote } from './status.js';

const encoder = new TextEncoder();

// A failure to load teklo, which a new run would meet again.
class LoadError extends Error {}

// One instance of teklo, its input and its output. Once cancelled it is
// cut off: its pending read is never answered, so it reads no further
// byte, and whatever it still writes is dropped.
class Run {
  listening = false;     // teklo has asked for input
  reader = null;         // teklo's read in progress
  decoder = new TextDecoder();
  busySince = 0;         // when teklo began reading without a pause
  cancelled = false;

  constructor(input) {
    this.input = input;  // its standard input
  }

  // Loads the instance and runs it to its end; resolves to its exit
  // status, or to null if the run was cancelled before it began.
  async execute() {
    if (typeof WebAssembly !== 'object') throw new LoadError('questo browser non esegue WebAssembly');
    if (typeof createTeklo !== 'function') throw new LoadError('il file teklo.js manca o è danneggiato');
    let program;
    try {
      program = await createTeklo({
        readInputNow: (size) => this.readNow(size),
        readInput: (size) => this.read(size),
        writeOutput: (bytes) => { if (!this.cancelled) write(this.decoder.decode(bytes, { stream: true })); },
        clearScreen: () => { if (!this.cancelled) clear(); },
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

  // Text typed for teklo, queued and echoed, as a console echoes it; while
  // teklo loads the echo waits, so that it lands after the start-up
  // screen instead of under its clearing. `pushed`: handed over by Ctrl+D.
  type(text, pushed) {
    if (this.listening) write(text);
    this.input.add(encoder.encode(text));
    if (pushed) this.input.end();
    this.feed();
  }

  cancel() {
    this.cancelled = true;
    this.input = new InputQueue();
    this.reader = null;
  }

  // Input already here, or null if teklo must wait: for input, or for
  // the page to draw and take keys in a long paste. Each of teklo's reads
  // asks here first, and read() only when this says wait.
  readNow(size) {
    this.listen();
    return this.input.empty || this.busy() ? null : this.input.read(size);
  }

  read(size) {
    return new Promise((resolve) => {
      if (this.cancelled) return;
      this.reader = { size, resolve };
      this.feed();
    });
  }

  // teklo's first read: what was typed while it loaded is echoed now.
  listen() {
    if (this.listening) return;
    this.listening = true;
    write(new TextDecoder().decode(this.input.unread()));
  }

  feed() {
    if (this.cancelled || !this.reader) return;
    if (this.input.empty) {
      this.busySince = 0;  // teklo waits for input, and the page is idle
      showWritten();
      return;
    }
    const { size, resolve } = this.reader;
    this.reader = null;
    const bytes = this.input.read(size);
    if (this.busy()) {
      this.busySince = 0;
      setTimeout(() => { if (!this.cancelled) resolve(bytes); }, 0);
    } else {
      resolve(bytes);
    }
  }

  // A long paste keeps teklo busy: the page draws and takes keys after
  // every 30 ms of it instead of freezing until it is done. A line typed
  // is answered at once.
  busy() {
    const now = performance.now();
    this.busySince ||= now;
    return now - this.busySince >= 30;
  }
}

let run = null;  // the run that owns the console, or null when stopped

export const running = () => run !== null;

function stop(note) {
  run?.cancel();
  run = null;
  setNote(note);
}

// The first run finds its start-up screen already in the console, put
// there by the build: its own clearing and printing leave those rows in
// place (screen.js) and add what follows them.
let started = false;

// A new run; `input`: what the last one left unread, which goes on to
// this one as it would had it been typed after the last one's end.
export function start(input = new InputQueue()) {
  run?.cancel();
  const self = new Run(input);
  run = self;
  setNote('');
  if (started) clearNow();
  started = true;
  self.execute().then((code) => {
    if (run !== self || code === null) return;
    const rest = self.input;
    stop(ended(code));
    if (!rest.empty) start(rest);
  }, (error) => {
    if (run !== self) return;
    if (error instanceof LoadError) stop(notStarting(error.message));
    else stop(failed(error && error.message));
  });
}

// Hands `text` to teklo, starting it first if it has ended. Handed over
// by Ctrl+D (`pushed`), it can be read as it is, with no line end; if it
// is empty, teklo's input ends there.
export function handOver(text, pushed = false) {
  if (!run) start();
  say('');
  run.type(text, pushed);
}

// Ctrl+C, with the line typed so far. There must be a run.
export function interruptRun(line) {
  write(`${line}^C\n`);
  stop(interrupted());
}
