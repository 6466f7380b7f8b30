// The page in three browser engines, used as a person would, each group a
// subtest so that one failure hides no other: keys typed on a desktop,
// runs stopped and started in every way, offline use and updates from
// hosts that cache and redirect; in Chromium also a phone: the ways
// Android's soft keyboards deliver text, buttons, text sizes, copy, failed
// loads, installability and axe-core.
//   usage: node browser_test.mjs PAGE_FOLDER [ENGINE...]
// WebKit's browser needs a display: run the test under xvfb-run.
import assert from 'node:assert/strict';
import { appendFileSync, cpSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { copied as copyOutcome, interrupted, notKept } from '../../web/page/messages.js';
import { pageFiles, writeServiceWorker } from '../../web/service_worker.mjs';
import { fromWeb, launch } from './engines.mjs';
import { serveFolder } from './serve_folder.mjs';
import { first, goodbye, help, menuLine, prompt, reminder, rowsOf56, selectionError, startScreen } from './texts.mjs';

const [folder, ...chosen] = process.argv.slice(2);
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
setTimeout(() => { console.error('browser test: timed out'); process.exit(1); }, 290000).unref();

// --- Engines: each opens a tab that can go to a page, run a function in
// it, type and press keys ---

async function puppeteerTab(engine) {
  const browser = await launch[engine]();
  const page = (await browser.pages())[0] ?? await browser.newPage();
  return {
    browser, page,
    goto: (url) => page.goto(url),
    click: (selector) => page.click(selector),
    run: (fn, ...args) => page.evaluate(fn, ...args),
    type: (text) => page.keyboard.type(text),
    press: async (keys) => {
      const [key, ...held] = keys.split('+').reverse();
      for (const k of held) await page.keyboard.down(k);
      await page.keyboard.press(key);
      for (const k of held) await page.keyboard.up(k);
    },
    wheel: async (selector, deltaY) => {
      const box = await (await page.$(selector)).boundingBox();
      await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
      await page.mouse.wheel({ deltaY });
    },
    // The window resized, or at another pixel ratio zoomed; it must change.
    view: (viewport) => Promise.all([
      page.evaluate(() => new Promise((resolve) => addEventListener('resize', () => resolve(true), { once: true }))),
      page.setViewport(viewport)]),
    close: () => browser.close(),
  };
}

async function webkitTab() {
  const { By, Key } = fromWeb('selenium-webdriver');
  const driver = await launch.webkit();
  const keys = { Enter: Key.ENTER, Backspace: Key.BACK_SPACE, Control: Key.CONTROL, Shift: Key.SHIFT,
                 PageUp: Key.PAGE_UP, PageDown: Key.PAGE_DOWN, ArrowLeft: Key.ARROW_LEFT };
  return {
    goto: (url) => driver.get(url),
    back: () => driver.navigate().back(),
    click: async (selector) => (await driver.findElement(By.css(selector))).click(),
    run: (fn, ...args) => driver.executeScript(`return (${fn}).apply(null, arguments)`, ...args),
    type: (text) => driver.actions().sendKeys(text).perform(),
    press: async (combination) => {
      const [key, ...held] = combination.split('+').reverse().map((k) => keys[k] ?? k.toLowerCase());
      let actions = driver.actions();
      for (const k of held) actions = actions.keyDown(k);
      actions = actions.sendKeys(key);
      for (const k of held) actions = actions.keyUp(k);
      await actions.perform();
    },
    wheel: async (selector, deltaY) =>
      driver.actions().scroll(0, 0, 0, deltaY, await driver.findElement(By.css(selector))).perform(),
    close: () => driver.quit(),
  };
}

// --- What is on the console, and scenarios acted out on it ---

const consoleText = (tab) => tab.run(() => document.getElementById('terminale').textContent);

// Whether the page itself scrolls (it never should: only the console
// does), whether the typed line and the buttons are within the window,
// and how far the console is scrolled.
const placement = (tab) => tab.run(() => ({
  pageScrolls: document.documentElement.scrollHeight > innerHeight || scrollY !== 0,
  lineInView: ['riga', 'tasti'].every((id) => {
    const box = document.getElementById(id).getBoundingClientRect();
    return box.top >= 0 && box.bottom <= innerHeight;
  }),
  rows: document.getElementById('schermo').scrollTop,
}));
const reminders = (tab, count) => until(tab, `${count} reminders`, (shown) => shown.split(reminder).length > count);

// Asks the page, 10 s at most, until `test` holds of its answers: by
// default the console's text and the status line.
async function until(tab, what, test, ask = () => ['terminale', 'stato'].map((id) => document.getElementById(id)?.textContent ?? '')) {
  let seen = ['', ''];
  for (const deadline = Date.now() + 10000; Date.now() < deadline; await pause(50)) {
    // A page being replaced cannot answer: ask again.
    seen = await tab.run(ask).catch(() => seen);
    if (test(...seen)) return seen[0];
  }
  throw new Error(`never came: ${what}\n--- last seen:\n${seen.join('\n---\n')}`);
}
const showing = (tab, text) => until(tab, text, (shown) => shown.includes(text));
const saying = (tab, text) => until(tab, text, (_, status) => status.includes(text));
const cleared = (tab) => until(tab, 'a cleared console and the start-up screen',
                               (shown, status) => shown === startScreen && status === '');

const open = async (tab, site, page = 'index.html') => { await tab.goto(`${site}/${page}`); await cleared(tab); };

// A paste into the typed line, where the caret is. Firefox leaves out the
// data given to a made-up event, hence the property set afterwards.
const paste = (tab, text) => tab.run((pasted) => {
  const data = new DataTransfer();
  data.setData('text/plain', pasted);
  const event = new ClipboardEvent('paste', { bubbles: true, cancelable: true });
  Object.defineProperty(event, 'clipboardData', { value: data });
  document.getElementById('riga').dispatchEvent(event);
}, text);

// A scenario is a list of steps, each a verb and its argument: keys typed
// or pressed (several, blank-separated), a line typed and entered, a paste,
// or what must come on the console or in the status line.
const verbs = {
  type: (tab, keys) => tab.type(keys),
  line: async (tab, keys) => { await tab.type(keys); await tab.press('Enter'); },
  press: async (tab, keys) => { for (const key of keys.split(' ')) await tab.press(key); },
  paste,
  click: (tab, selector) => tab.click(selector),  // with the mouse
  shows: showing,
  says: saying,
  cleared,
  holds: (tab, text) => until(tab, `the line ${text}`, (line) => line === text, () => [document.getElementById('riga').value]),
  lacks: async (tab, text) => assert.ok(!(await consoleText(tab)).includes(text), `still on the console: ${text}`),
  quiet: (tab) => until(tab, 'an empty status line', (_, status) => status === ''),
  // A phone's: text from its keyboard, a tap on a button or on the console.
  insert: (tab, text) => tab.insert(text),
  tap: (tab, what) => tab.page.tap(what.startsWith('#') ? what : `[data-tasto="${what}"]`),
};
async function play(tab, steps) {
  for (const [verb, argument] of steps) await verbs[verb](tab, argument);
}

// --- Every engine: a person at a desktop keyboard ---

async function desktop(tab, site) {
  // The start-up screen is there before the program has loaded, and a
  // line typed straight away, nothing clicked first, is answered once it
  // has. (WebKit's driver runs no script before the page has loaded, so
  // there the program has loaded too.)
  const release = tab.page ? server.hold('/teklo.js') : () => {};
  await tab.run((url) => { setTimeout(() => { location.href = url; }); }, `${site}/index.html`);
  try {
    await cleared(tab);
    await until(tab, 'the focus on the typed line', (id) => id === 'riga', () => [document.activeElement?.id]);
    await play(tab, [['line', 'x'], ['quiet']]);
    assert.deepEqual(await tab.run(() => [document.documentElement.lang, document.title]), ['it', 'TeKLO v.4.0 - Quadrato Magico']);
    if (tab.page) assert.equal(await tab.run(() => typeof createTeklo), 'undefined');
    // The program's start finds its start-up screen in place and leaves
    // it there, for a screen reader has read it, adding only what follows.
    await tab.run(() => {
      window.removedRows = 0;
      new MutationObserver((changes) => {
        window.blanked ||= !document.getElementById('terminale').textContent;
        for (const change of changes) window.removedRows += change.removedNodes.length;
      }).observe(document.getElementById('terminale'), { childList: true });
    });
  } finally {
    release();  // or every later group would wait for it
  }

  // Its echo after the start-up screen; a correction on the way.
  await play(tab, [['shows', `${menuLine}\nx\n${selectionError}`]]);
  if (tab.page) assert.equal(await tab.run(() => window.removedRows), 0, 'start-up rows replaced');
  await play(tab, [['line', 's'],
                   ['shows', prompt], ['lacks', menuLine], ['type', '56 63 7'], ['press', 'Backspace'],
                   ['line', '76 84'], ['shows', `${prompt}\n\n56 63 76 84\n\n${rowsOf56}\n\n${reminder}`]]);
  assert.equal(await tab.run(() => window.blanked), false, 'the console was empty for a moment');

  // Forty rows on, the console scrolls and the page never does: a wheel
  // turn at the bottom leaves the typed line in view. Page Up and Page
  // Down scroll the console from the line by a page less one row, which
  // stays in view whole; the row as laid out (WebKit's is 19 px where the
  // others' is 19.2).
  await play(tab, [['press', Array(40).fill('Enter').join(' ')]]);
  await reminders(tab, 41);
  await tab.wheel('#schermo', 800);
  // A page that scrolls would have by now; one that does not has no
  // event to wait for.
  await pause(300);
  const bottom = await placement(tab);
  assert.deepEqual([bottom.pageScrolls, bottom.lineInView], [false, true], 'after a wheel turn');
  const moved = [];
  for (const key of ['PageUp', 'PageUp', 'PageDown']) {
    const before = (await placement(tab)).rows;
    await tab.press(key);
    moved.push((await placement(tab)).rows - before);
  }
  const page = await tab.run(() => {
    const tops = [...document.querySelectorAll('#terminale span')].slice(-4).map((row) => row.getBoundingClientRect().top);
    return document.getElementById('schermo').clientHeight - (tops[3] - tops[0]) / 3;
  });
  assert.ok(moved.every((by, i) => Math.abs(by - [-page, -page, page][i]) <= 1), `Page Up, Up, Down moved ${moved}, a page less a row being ${page}`);
  const back = (await placement(tab)).rows;
  // A click there brings the line's caret, not the console's last row.
  await tab.run(() => {
    document.getElementById('riga').blur();  // as the mouse's press on a row does
    document.getElementById('terminale').dispatchEvent(new MouseEvent('click', { bubbles: true }));
  });
  assert.equal((await placement(tab)).rows, back, 'the console scrolled back, then a click');

  // Browser zoom, as a window half as large at twice the pixel ratio,
  // enlarges the text on the screen instead of refitting it back.
  const onScreen = (width, height, deviceScaleFactor) => tab.view({ width, height, deviceScaleFactor }).then(() =>
    tab.run(() => parseFloat(getComputedStyle(document.getElementById('schermo')).fontSize) * devicePixelRatio));
  if (tab.view) {
    const [plain, zoomed] = [await onScreen(1280, 800, 1), await onScreen(640, 400, 2), await onScreen(800, 600, 1)];
    assert.ok(zoomed >= 1.8 * plain, `at 200% the text went from ${plain} to ${zoomed} device pixels`);
  }

  // Ctrl+A selects the rows, and Ctrl+C then copies them: teklo goes on.
  await tab.run(() => document.addEventListener('copy', () => { window.copied = String(getSelection()); }));
  await play(tab, [['press', 'Control+A Control+C'], ['quiet']]);
  const [selected, copied] = await tab.run(() => [String(getSelection()), window.copied]);
  assert.ok(selected.includes(rowsOf56) && copied === selected, `selected ${selected.length} characters, copied ${copied?.length}`);

  // From here every key pressed but the letters of a line is one the page
  // takes, and must keep from the browser, whose own action would follow:
  // in Chrome and Firefox Ctrl+D bookmarks the page, Ctrl+Shift+C opens
  // the inspector, Ctrl+U the page's source. A listener on the window
  // hears each key after the page's own, on the document.
  await tab.run(() => {
    window.keptKeys = {};
    addEventListener('keydown', ({ key, ctrlKey, shiftKey, defaultPrevented }) => {
      if (['Control', 'Shift'].includes(key)) return;
      const name = `${ctrlKey ? 'Control+' : ''}${shiftKey ? 'Shift+' : ''}${key.length === 1 ? key.toUpperCase() : key}`;
      (window.keptKeys[name] ??= []).push(defaultPrevented);
    });
  });

  // Ctrl+D ends it; the rows stay for the mouse, the keys that scroll and
  // select, and a console's keys, which do nothing then; a copy says it
  // copied.
  await play(tab, [['press', 'Control+D'], ['says', 'stato di uscita 0']]);
  const ended = await consoleText(tab);
  await play(tab, [['click', '#terminale span'], ['press', 'PageUp PageDown Control+D Control+U Control+A Control+Shift+C'],
                   ['says', 'Testo copiato.'], ['says', 'stato di uscita 0']]);
  assert.equal(await consoleText(tab), ended);
  await play(tab, [
    // Typing starts it again, keeping the key.
    ['type', 'h'], ['cleared'], ['press', 'Enter'], ['shows', help], ['lacks', rowsOf56],
    // Q ends it, and Enter starts it again; so does Enter after Ctrl+C.
    ['line', 'q'], ['shows', goodbye], ['says', 'stato di uscita 0'],
    ['press', 'Enter'], ['cleared'],
    ['type', 'xy'], ['press', 'Control+U Control+C'], ['says', 'CTRL + c'], ['press', 'Enter'], ['cleared']]);
  const taken = ['Control+D', 'PageUp', 'PageDown', 'Control+A', 'Control+Shift+C', 'H', 'Enter', 'Control+U', 'Control+C'];
  const keptKeys = await tab.run(() => window.keptKeys);
  assert.deepEqual(taken.filter((key) => !keptKeys[key]?.every((kept) => kept)), [],
                   `keys left to the browser (each press, whether kept): ${JSON.stringify(keptKeys)}`);

  // Where the clipboard's interface is missing, or refuses, the browser's
  // copy command is asked: what it did not copy is said so, and stays
  // selected. Each case says something other than the one before.
  for (const [clipboard, command, said] of [['missing', 'refuses', false], ['missing', 'copies', true], ['missing', 'throws', false],
                                            ['refusing', 'copies', true], ['refusing', 'refuses', false]]) {
    await tab.run((interfaceIs, commandDoes) => {
      const writeText = () => Promise.reject(new DOMException('negato', 'NotAllowedError'));
      Object.defineProperty(navigator, 'clipboard', { value: interfaceIs === 'missing' ? undefined : { writeText }, configurable: true });
      document.execCommand = () => { if (commandDoes === 'throws') throw new Error('chiuso'); return commandDoes === 'copies'; };
    }, clipboard, command);
    await play(tab, [['click', '[data-tasto="copia"]'], ['says', copyOutcome(said)]]);
    const outcome = `${clipboard} interface, a command that ${command}`;
    assert.ok((await tab.run(() => String(getSelection()))).includes(menuLine), `copy ${outcome}: the rows not selected`);
  }

  // The page's policy holds, and what it blocks is heard of: a style
  // attribute, which it forbids, is neither applied nor left unreported.
  const heard = violations.length;
  const color = await tab.run(() => { document.body.setAttribute('style', 'color: red'); return getComputedStyle(document.body).color; });
  for (let tries = 0; tries < 100 && violations.length === heard; ++tries) await pause(50);
  assert.deepEqual([color, violations.splice(heard).map((v) => v.split(' ')[0])], ['rgb(221, 221, 221)', ['style-src-attr']],
                   'a style attribute: its colour, and the violations reported');
  await tab.run(() => document.body.removeAttribute('style'));
}

// --- Every engine: editing the line ---

async function lineEditing(tab, site) {
  await open(tab, site);
  await play(tab, [
    ['type', 'xyz'], ['press', 'Control+U'], ['line', 'h'], ['shows', help], ['lacks', selectionError],
    // Ctrl+D with text on the line hands it over without ending the input.
    ['type', 's'], ['press', 'Control+D'], ['shows', prompt],
    // A paste in the middle of the line, the browser's own, once: the text
    // typed, then selected and copied with the browser's keys (the page
    // leaves them to it with text in the line), pasted with Ctrl+V.
    ['type', ' 63 76'], ['press', 'Control+A Control+C Control+U'], ['type', '56 84'],
    ['press', 'ArrowLeft ArrowLeft ArrowLeft Control+V'], ['holds', '56 63 76 84'], ['press', 'Enter'],
    ['shows', rowsOf56], ['quiet'],
    // After the end a paste goes into the line: its whole lines once teklo
    // is up again, the rest at the next Enter; never twice.
    ['press', 'Control+C'], ['says', 'CTRL + c'], ['paste', 's\n1 1 1'], ['shows', prompt],
    ['line', ' 1'], ['shows', reminder]]);
  assert.equal((await consoleText(tab)).split(first('')).length, 2);
  // Pasted lines that outlast teklo go on in a new run, as typed ones do.
  await play(tab, [['paste', 'q\nh\n'], ['shows', help], ['quiet']]);

  // An Enter that confirms an input method's word, during its composition
  // or just after it (keyCode 229, as Safari and some Android keyboards
  // send it), is the input method's: the line stays. Made-up events here,
  // which no engine's driver composes; Chromium's own in the phone group.
  const confirming = [{ isComposing: true, keyCode: 229 }, { isComposing: false, keyCode: 229 }, { isComposing: true, keyCode: 13 }];
  assert.deepEqual(await tab.run((enters) => enters.map((init) => {
    const field = document.getElementById('riga');
    const event = new KeyboardEvent('keydown', { key: 'Enter', bubbles: true, cancelable: true, ...init });
    Object.defineProperty(event, 'keyCode', { value: init.keyCode });
    field.value = 'h';
    field.dispatchEvent(event);
    return field.value;
  }), confirming), ['h', 'h', 'h'], 'the line after Enters of an input method');
  await play(tab, [['press', 'Control+U']]);

  // A half-typed line comes back with the page from the browser's
  // back/forward cache (all three keep it there).
  await play(tab, [['type', '11 22']]);
  await tab.run(() => { window.keptWhole = true; });
  await tab.goto(`${site}/LICENSE.txt`);
  // Back by script in Firefox and Chromium, and away again: Firefox's
  // driver waits for a load that a page from the cache never has, here and
  // at the next address. WebKit's answers no script while the page comes
  // back: there Back is the driver's.
  const go = async (where, page) => {
    await tab.run((to) => { setTimeout(() => (to ? location.assign(to) : history.back())); }, where);
    await until(tab, `the address ${page}`, (pathname) => pathname.endsWith(page), () => [location.pathname]);
  };
  await (tab.page ? go(null, 'index.html') : tab.back());
  // WebKit empties the field, if it does, in a task that it queues as the
  // page comes back: nothing the page can see says when that task has run.
  if (!tab.page) await pause(300);
  assert.deepEqual(await tab.run(() => [window.keptWhole, document.getElementById('riga').value]), [true, '11 22'],
                   'the page from the back/forward cache, and its line');
  if (tab.page) await go(`${site}/LICENSE.txt`, 'LICENSE.txt');
}

// --- Every engine: each run of teklo is its own, and ends cleanly ---

// Counts the reads of each instance the page makes from now on, and keeps
// the text each read; `fault` may change the module an instance is given.
const instrument = (tab, fault) => tab.run((faulty) => {
  const original = createTeklo;
  window.reads = [];
  window.readText = [];
  const faults = {
    none: (module) => module,
    // The first instance's load fails after the next has started.
    lateLoad: (module, n) => (n === 0 ? { then: (_, fail) => setTimeout(() => { fail(new Error('tardi')); window.lateFailed = true; }, 300) } : module),
    brokenWrite: (module, n) => (n === 0 ? { ...module, writeOutput: () => { throw new Error('guasto'); } } : module),
  };
  window.createTeklo = (module) => {
    const n = window.reads.push(0) - 1;
    const decoder = new TextDecoder();
    window.readText[n] = '';
    const seen = (bytes) => { if (bytes) window.readText[n] += decoder.decode(bytes, { stream: true }); return bytes; };
    const counted = {
      ...module,
      readInputNow: (size) => { ++window.reads[n]; return seen(module.readInputNow(size)); },
      readInput: (size) => { ++window.reads[n]; return module.readInput(size).then(seen); },
    };
    const given = faults[faulty](counted, n);
    return given.then ? given : original(given);
  };
}, fault);

async function runs(tab, site) {
  // Ctrl+C while a restart is still loading: the console cleared of the
  // last run's rows, ^C once, after the new start-up screen if WebKit has
  // loaded it by then; and that run never takes a line.
  await open(tab, site);
  await play(tab, [['line', 'h'], ['shows', help]]);
  await tab.run(() => [window.teklo.start(), document.dispatchEvent(new KeyboardEvent('keydown', { key: 'c', ctrlKey: true }))]);
  await until(tab, 'a console cleared for the restart, then ^C',
              (shown, status) => ['', startScreen].some((screen) => shown === `${screen}^C\n`) && status.includes(interrupted()));
  await play(tab, [['press', 'Enter'], ['cleared'],
                   ['line', 's'], ['line', '1 0 0 0'], ['shows', first('1 0 0 0')]]);

  // A Q handed over by Ctrl+D, with no line end, ends its run alone: the
  // line pasted after it while the run loads, and the end of input after
  // that, go to the next one.
  await tab.run(() => {
    window.teklo.start();
    const field = document.getElementById('riga');
    const endOfInput = () => document.dispatchEvent(new KeyboardEvent('keydown', { key: 'd', ctrlKey: true }));
    field.value = 'q';
    endOfInput();
    const event = new ClipboardEvent('paste', { bubbles: true, cancelable: true });
    Object.defineProperty(event, 'clipboardData', { value: new DataTransfer() });
    event.clipboardData.setData('text/plain', 'h\n');
    field.dispatchEvent(event);
    endOfInput();
  });
  await play(tab, [['shows', help], ['says', 'stato di uscita 0']]);

  // A paste of 1 MB arrives whole and in order, and the page takes its
  // timers between the paste's parts: it never freezes for all of it.
  const calculations = 80000;
  const pasted = Array.from({ length: calculations }, (_, i) => `s\n${i} 0 0 0\n`).join('');
  await instrument(tab, 'none');
  await tab.run(() => {
    const beat = window.beat = { pause: 0, beats: 0, last: performance.now(), begun: performance.now() };
    beat.timer = setInterval(() => [beat.pause, beat.last, beat.beats] =
      [Math.max(beat.pause, performance.now() - beat.last), performance.now(), beat.beats + 1], 10);
  });
  await play(tab, [['paste', pasted], ['shows', first(`${calculations - 1} 0 0 0`)]]);
  const [beat, read] = await tab.run(() => { clearInterval(window.beat.timer); return [window.beat, window.readText[0]]; });
  assert.ok(read === pasted, `teklo read ${read.length} characters of the ${pasted.length} pasted, ` +
            `the first wrong one at ${[...read].findIndex((c, i) => c !== pasted[i])}`);
  // The page yields after every 30 ms of the paste. One that does not
  // pauses for all of it, from 520 ms (WebKit) to 900 ms (Chromium) here;
  // one that does, 130 ms at most here, with both cores busy too: the
  // bound leaves room for a loaded machine.
  assert.ok(beat.pause < 300, `the page stopped taking timers for ${Math.round(beat.pause)} ms`);
  console.log(`a ${pasted.length}-byte paste done in ${Math.round(beat.last - beat.begun)} ms or less, longest pause ${Math.round(beat.pause)} ms`);

  // Ctrl+C during a long paste: the stopped instance reads no more.
  await instrument(tab, 'none');
  await tab.run(() => window.teklo.start());
  await play(tab, [['cleared'], ['paste', pasted]]);
  await until(tab, 'reads of the paste', (reads) => reads > 2, () => [window.reads[0]]);
  await tab.press('Control+C');
  const reads = await tab.run(() => window.reads[0]);
  await play(tab, [['says', 'CTRL + c']]);
  // Reads that do not come have no event: half a second is more than a
  // dozen of the 30 ms turns in which the instance would have read.
  await pause(500);
  assert.equal(await tab.run(() => window.reads[0]), reads, 'the stopped instance went on reading');

  // An old run whose load fails late leaves the current one running.
  await open(tab, site);
  await instrument(tab, 'lateLoad');
  await tab.run(() => { window.teklo.start(); window.teklo.start(); });
  await cleared(tab);
  await until(tab, 'the late load failure', (failed) => failed, () => [window.lateFailed]);
  await play(tab, [['quiet'], ['line', 's'], ['line', '5 5 5 5'], ['shows', first('5 5 5 5')]]);

  // A failure that is not teklo's own exit ends the run and says so.
  await open(tab, site);
  await instrument(tab, 'brokenWrite');
  await tab.run(() => window.teklo.start());
  await saying(tab, 'teklo si è fermato per un errore (guasto).');

  // From a file, as a double click opens it, under the page's policy.
  await tab.goto(pathToFileURL(path.join(folder, 'index.html')).href);
  await play(tab, [['cleared'], ['line', 'h'], ['shows', help]]);
}

// --- Every engine: offline, updates, and hosts that cache or redirect ---

// A copy of the page, changed by `change`, with its service worker
// written again by the build's own step.
function rebuilt(change) {
  const copy = mkdtempSync(path.join(tmpdir(), 'teklo-page-'));
  cpSync(folder, copy, { recursive: true });
  change(path.join(copy, 'index.html'));
  writeServiceWorker(copy, pageFiles(copy));
  return copy;
}
const cacheName = (page) => readFileSync(path.join(page, 'sw.js'), 'utf8').match(/teklo-[\w.]+/)[0];
// Waits 10 s at most for a service worker to take control of the page.
const controlled = (tab) => tab.run(() => new Promise((resolve) => {
  navigator.serviceWorker.addEventListener('controllerchange', () => resolve(true));
  navigator.serviceWorker.ready.then(() => navigator.serviceWorker.controller && resolve(true));
  setTimeout(() => resolve(false), 10000);
}));
// Waits for the update that the page asks for once loaded to end: for the
// newest worker to take over or fail. The registration is asked again and
// again rather than one worker watched: WebKit passes a worker's new state
// only to the objects a page holds at that moment, and in one CI run a
// wait on a worker's statechange never ended.
const updated = async (tab) => {
  const slots = await tab.run(async () => {
    if (document.readyState !== 'complete') await new Promise((resolve) => addEventListener('load', resolve));
    await window.teklo.updating;
    for (let tries = 0; ; ++tries) {
      const registration = await navigator.serviceWorker.getRegistration();
      const slots = ['installing', 'waiting', 'active'].map((slot) => registration[slot]?.state ?? '-');
      if (slots.join() === '-,-,activated' || tries === 200) return slots;
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  });
  assert.deepEqual(slots, ['-', '-', 'activated'], 'the update never ended (installing, waiting, active)');
};

// A first visit, until the service worker holds the page: the host is
// asked for sw.js once, and sends each file once at most. (Not in WebKit,
// whose driver opens a session that keeps no HTTP cache: there the worker
// cannot but fetch again what the page loaded.)
async function firstVisit(tab, site) {
  assert.ok(await controlled(tab), 'no service worker took control');
  await updated(tab);
  const whole = [...pageFiles(folder), 'sw.js'].reduce((sum, file) => sum + statSync(path.join(folder, file)).size, 0);
  assert.deepEqual([site.asked['/sw.js'], !tab.page || site.sent <= whole], [1, true], `${site.sent} bytes sent for ${whole}`);
}

async function offline(tab) {
  const same = rebuilt(() => {});
  const changed = rebuilt((index) => writeFileSync(index, readFileSync(index, 'utf8').replace('<title>', '<title>B ')));
  // Copies that no service worker can keep.
  const unkept = { 'no sw.js': rebuilt(() => {}), 'a file changed after the build summed it': rebuilt(() => {}) };
  rmSync(path.join(unkept['no sw.js'], 'sw.js'));
  appendFileSync(path.join(unkept['a file changed after the build summed it'], 'LICENSE.txt'), '\n');
  const caching = await serveFolder(folder, { maxAge: 600, violations });
  const redirecting = await serveFolder(folder, { redirectIndex: true, violations });
  try {
    assert.deepEqual([same, changed].map((copy) => cacheName(copy) === cacheName(folder)), [true, false], 'cache names');
    console.log(`caches: ${cacheName(folder)} the build, ${cacheName(same)} a copy, ${cacheName(changed)} a copy with one change`);

    // A host that caches for ten minutes: build B arrives in a reload or
    // two at the address people save, the folder's, and stays offline; the
    // cache of A goes once B is whole.
    const kept = async (page) => assert.deepEqual(await tab.run(() => caches.keys()), [`${caching.url}/ ${cacheName(page)}`], 'the caches kept');
    await open(tab, caching.url, '');
    await firstVisit(tab, caching);
    // B caught half-way through its upload: its service worker, A's page.
    cpSync(path.join(changed, 'sw.js'), path.join(same, 'sw.js'));
    caching.folder = same;
    await open(tab, caching.url, '');
    await updated(tab);
    await kept(folder);
    caching.folder = changed;
    await open(tab, caching.url, '');
    await updated(tab);
    await kept(changed);
    await open(tab, caching.url, '');
    caching.down = true;
    await open(tab, caching.url, '');
    assert.match(await tab.run(() => document.title), /^B /, 'the new build never came, or not offline');
    await play(tab, [['line', 's'], ['line', '5 6 7 8'], ['shows', first('5 6 7 8')]]);

    // A host that redirects /index.html to /: the start URL opens from
    // the cache, online and offline.
    await tab.goto(`${redirecting.url}/`);
    await cleared(tab);
    await firstVisit(tab, redirecting);
    for (const down of [false, true]) {
      redirecting.down = down;
      await tab.goto(`${redirecting.url}/index.html`).catch(() => {});
      await cleared(tab);
    }

    // A page that cannot be kept says so.
    for (const [what, copy] of Object.entries(unkept)) {
      const host = await serveFolder(copy, { violations });
      await tab.goto(`${host.url}/`);
      await until(tab, `with ${what}: ${notKept()}`, (_, status) => status.includes(notKept())).finally(() => host.close());
    }
  } finally {
    for (const site of [caching, redirecting]) site.close();
    for (const copy of [same, changed, ...Object.values(unkept)]) rmSync(copy, { recursive: true });
  }
}

// --- Chromium: a phone ---

async function phone(tab, site) {
  const { page, browser } = tab;
  const problems = [];
  const watch = (p) => {
    p.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
    p.on('pageerror', (e) => problems.push(String(e)));
    p.on('request', (r) => { if (!/^(file|data):/.test(r.url()) && !r.url().startsWith(`${site}/`)) problems.push(r.url()); });
  };
  const upright = { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
  const sideways = { ...upright, width: 844, height: 390 };
  await page.emulate({ viewport: upright, userAgent: 'Mozilla/5.0 (Linux; Android 14) Mobile' });
  await page.browserContext().overridePermissions(site, ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
  watch(page);
  const cdp = await page.createCDPSession();
  const insert = tab.insert = (text) => cdp.send('Input.insertText', { text });
  const compose = (text) => cdp.send('Input.imeSetComposition', { text, selectionStart: text.length, selectionEnd: text.length });
  const key229 = (type, key = 'Unidentified') => cdp.send('Input.dispatchKeyEvent', { type, windowsVirtualKeyCode: 229, key });
  const clipboard = () => page.evaluate(() => navigator.clipboard.readText());
  await open(tab, site);

  // Every way a soft keyboard delivers a line, each line ended by Enter.
  const ways = [
    ['text inserted with no key event, and a line break', '1 2 3 4', '12 4',
     async (line) => { await insert(line); await insert('\n'); }],
    ['a word composed, then committed', '56 63 76 84', '13 16',
     async (line) => { await compose(line.slice(0, 2)); await compose(line); await insert(line); await page.keyboard.press('Enter'); }],
    ['keys with keyCode 229 whose text lands later', '-5 7 -9 11', '1 13', async (line) => {
      // The text in a task after the key's, as those keyboards send it.
      for (const ch of line) { await key229('rawKeyDown'); await pause(10); await insert(ch); await key229('keyUp'); }
      await page.keyboard.press('Enter');
    }],
    ['Enter while a word is composed', '0 0 0 0', '15 3',
     async (line) => { await compose(line); await page.keyboard.press('Enter'); }],
  ];
  for (const [way, numbers, ending, typeLine] of ways) {
    for (const [line, text] of [['s', prompt], [numbers, first(`${numbers} ${ending}`)]]) await typeLine(line).then(() => showing(tab, text));
    console.log(`phone, ${way}: right rows`);
  }
  // The Enter that confirms a word, during the composition and just after
  // it (keyCode 229), is the keyboard's: the line stays.
  const enter229 = () => key229('rawKeyDown', 'Enter').then(() => key229('keyUp', 'Enter'));
  for (const step of [() => compose('q'), enter229, () => insert('q'), enter229]) await step();
  assert.equal(await page.evaluate(() => document.getElementById('riga').value), 'q', 'the line after Enters of an input method');
  await play(tab, [['press', 'Enter'], ['shows', goodbye], ['says', 'stato di uscita 0']]);

  // The buttons: Invio, Ctrl+D, a tap on the console, Ctrl+C, Invio again,
  // Copia; typed with the focus on a button, a key goes to the line.
  await play(tab, [['insert', 'h'], ['tap', 'invio'], ['shows', help], ['tap', 'fine'], ['says', 'stato di uscita 0'],
                   ['tap', '#terminale'], ['cleared'], ['tap', 'interrompi'], ['says', 'CTRL + c'],
                   ['tap', 'invio'], ['cleared'], ['tap', 'copia'], ['says', 'Testo copiato.']]);
  assert.equal(await clipboard(), startScreen);
  await page.focus('[data-tasto="copia"]');
  await play(tab, [['line', 'h'], ['shows', help], ['insert', 's\n1 2 3 4\n'], ['shows', reminder]]);

  // With a selection Ctrl+C leaves the copy to the browser and teklo goes
  // on; Ctrl+Shift+C copies it.
  await page.evaluate((row) => getSelection().selectAllChildren(
    [...document.querySelectorAll('#terminale span')].find((s) => s.textContent.startsWith(row))), first(''));
  await play(tab, [['press', 'Control+C Control+Shift+C'], ['says', 'Testo copiato.']]);
  assert.equal(await clipboard(), `${first('1 2 3 4 12 4')}\n`);
  await play(tab, [['insert', 'h\n'], ['shows', help], ['quiet']]);

  // Sixty rows on, three swipes up the console leave the page where it
  // was: the typed line and the buttons stay in view.
  await insert('\n'.repeat(60));
  await reminders(tab, 60);
  for (let swipes = 0; swipes < 3; ++swipes) {
    await cdp.send('Input.synthesizeScrollGesture', { x: 195, y: 500, yDistance: -400, gestureSourceType: 'touch' });
  }
  const swiped = await placement(tab);
  assert.deepEqual([swiped.pageScrolls, swiped.lineInView], [false, true], 'after three swipes');
  // Scrolled back, the console stays there while the person pans or
  // resizes the page.
  await page.keyboard.press('PageUp');
  const panned = await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => {
    const before = document.getElementById('schermo').scrollTop;
    for (const [target, type] of [[visualViewport, 'scroll'], [visualViewport, 'resize'], [window, 'resize']]) {
      target.dispatchEvent(new Event(type));
    }
    resolve([before, document.getElementById('schermo').scrollTop]);
  })));
  assert.ok(panned[0] < swiped.rows && panned[0] === panned[1], `scrolled back to ${panned}`);
  await insert('\n');  // and what teklo writes brings the last row back
  await reminders(tab, 62);

  // Text size: the browser's own by default, upright, sideways, on the
  // narrowest phones and at 130% and 200% page zoom (a narrower page at a
  // higher pixel ratio), where it grows on the glass as on any page. Rows
  // wrap at their blanks, never inside a number; the boxes' rows stay
  // whole; the buttons' labels too. A− reaches 80 columns fitted to the
  // width; the largest size outlives a reload and the phone turned.
  const layout = () => page.evaluate(() => {
    const console = document.getElementById('terminale');
    const size = parseFloat(getComputedStyle(console).fontSize);
    const right = console.getBoundingClientRect().right + 0.5;
    const rects = (node, start, end) => {
      const range = document.createRange();
      range.setStart(node, start);
      range.setEnd(node, end);
      return [...range.getClientRects()].filter((r) => r.width);
    };
    const texts = [];
    for (const walker = document.createTreeWalker(console, NodeFilter.SHOW_TEXT); walker.nextNode();) texts.push(walker.currentNode);
    const box = console.querySelector('.intera');
    const boxed = box?.textContent.trimEnd().length;
    const perColumn = box && rects(box.firstChild, 0, boxed)[0].width / boxed / parseFloat(getComputedStyle(box).fontSize);
    return {
      size, glass: size * devicePixelRatio,
      sideways: document.documentElement.scrollWidth > innerWidth || document.getElementById('schermo').scrollWidth > innerWidth,
      brokenBoxes: [...console.querySelectorAll('.intera')].filter((row) => {
        const drawn = rects(row.firstChild, 0, row.textContent.trimEnd().length);
        return drawn.length !== 1 || drawn[0].right > right;
      }).length,
      brokenNumbers: texts.flatMap((node) => [...node.data.matchAll(/\d+/g)].filter((n) => rects(node, n.index, n.index + n[0].length).length > 1)).length,
      columns: box && Math.floor(console.clientWidth / (perColumn * size)),
      cutLabels: [...document.querySelectorAll('#tasti button')].filter((button) => {
        const [label] = rects(button.firstChild, 0, button.firstChild.length);
        const edge = button.getBoundingClientRect();
        return label.left < edge.left || label.right > edge.right;
      }).length,
      lineInView: document.getElementById('riga').getBoundingClientRect().bottom <= innerHeight,
    };
  });
  const tapUntilSteady = async (name) => {
    let before;
    do { before = (await layout()).size; await verbs.tap(tab, name); } while ((await layout()).size !== before);
  };
  const turn = tab.view;
  const zoomed = (by) => ({ ...upright, width: Math.round(upright.width / by), height: Math.round(upright.height / by),
                            deviceScaleFactor: upright.deviceScaleFactor * by });
  const shapes = { sideways, narrowest: { ...upright, width: 320, height: 568 }, zoom130: zoomed(1.3), zoom200: zoomed(2), upright };
  const shown = {};
  for (const [screen, steps] of [['help', [['insert', 'h\n'], ['shows', help]]], ['sums', [['insert', 's\n56 63 76 84\n'], ['shows', reminder]]]]) {
    await play(tab, steps);
    for (const [shape, viewport] of Object.entries(shapes)) {
      const { size, sideways, brokenBoxes, brokenNumbers, cutLabels, lineInView, glass } = await turn(viewport).then(layout);
      assert.deepEqual({ sideways, brokenBoxes, brokenNumbers, cutLabels, lineInView },
                       { sideways: false, brokenBoxes: 0, brokenNumbers: 0, cutLabels: 0, lineInView: true }, `${screen}, ${shape}`);
      assert.ok(size >= 12, `${screen}, ${shape}: ${size} px`);
      shown[shape] = glass;
    }
  }
  assert.ok(shown.zoom130 >= 1.2 * shown.upright && shown.zoom200 >= 1.8 * shown.upright, `on the glass: ${JSON.stringify(shown)}`);
  await play(tab, [['insert', 'h\n'], ['shows', help]]);
  await tapUntilSteady('piu-piccolo');
  const fit = await layout();
  assert.ok(fit.columns >= 80 && fit.columns < 88 && fit.lineInView, `A− all the way: ${JSON.stringify(fit)}`);
  await tapUntilSteady('piu-grande');
  const largest = await layout();
  assert.ok(largest.size >= 24 && !largest.sideways, JSON.stringify(largest));
  await page.reload();
  await cleared(tab);
  await turn(sideways);
  await turn(upright);
  assert.equal((await layout()).size, largest.size);
  await page.evaluate(() => localStorage.clear());
  console.log(`phone: text ${shown.upright / upright.deviceScaleFactor} px, ${fit.size} px fitting 80 columns, ${largest.size} px the largest`);

  // A keyboard that covers the lower half, as iOS's does, leaves the
  // typed line and the buttons above it.
  const covered = await page.evaluate(() => {
    Object.defineProperty(visualViewport, 'height', { value: 400, configurable: true });
    visualViewport.dispatchEvent(new Event('resize'));
    const bottoms = ['riga', 'tasti'].map((id) => document.getElementById(id).getBoundingClientRect().bottom);
    delete visualViewport.height;
    visualViewport.dispatchEvent(new Event('resize'));
    return bottoms;
  });
  assert.ok(covered.every((bottom) => bottom <= 400), `under the keyboard: ${JSON.stringify(covered)}`);

  // Nothing that stops the page loading goes unsaid.
  for (const [file, body] of [['teklo.js', 404], ['teklo.js', 'var createTeklo = (;'], ['page.js', 404], ['page.js', ''], []]) {
    const what = file ? `${file} as ${body}` : 'no WebAssembly';
    const broken = await (await browser.createBrowserContext()).newPage();  // no service worker
    if (file) {
      await broken.setRequestInterception(true);
      broken.on('request', (r) => (!r.url().endsWith(`/${file}`) ? r.continue()
        : r.respond(body === 404 ? { status: 404 } : { contentType: 'text/javascript', body })));
    } else {
      await broken.evaluateOnNewDocument(() => { delete window.WebAssembly; });
    }
    await broken.goto(`${site}/index.html`);
    const said = await broken.waitForFunction(() => document.getElementById('stato').textContent, { timeout: 10000 })
      .catch((error) => { throw new Error(`${what}: ${error.message}`); });
    assert.match(await said.jsonValue(), /^teklo non si avvia: .+\. Ricaricare la pagina\.$/, what);
    await broken.close();
  }

  // In forced colours, which drop shadows, the typed line still shows
  // that it has the focus.
  await cdp.send('Emulation.setEmulatedMedia', { features: [{ name: 'forced-colors', value: 'active' }] });
  const mark = await page.evaluate(() => {
    document.getElementById('riga').focus();
    const line = getComputedStyle(document.getElementById('linea'));
    return [line.boxShadow, line.outlineStyle !== 'none' && parseFloat(line.outlineWidth) >= 1];
  });
  assert.deepEqual(mark, ['none', true], 'the focused line in forced colours');
  await cdp.send('Emulation.setEmulatedMedia', { features: [] });

  // axe-core, at start-up and after a calculation; installable.
  const axe = readFileSync(fromWeb.resolve('axe-core/axe.min.js'), 'utf8');
  const audit = async () => {
    await page.evaluate(axe);
    const found = await page.evaluate(() => window.axe.run(document, {
      rules: { 'label-content-name-mismatch': { enabled: true } },
    }).then((r) => r.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`)));
    assert.deepEqual(found, [], 'axe-core');
  };
  await open(tab, site);
  await audit();
  await play(tab, [['insert', 's\n56 63 76 84\n'], ['shows', reminder]]);
  await audit();
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  assert.deepEqual(installabilityErrors, [], 'installability');

  // From a file, as a double click opens it: no service worker there.
  const local = await browser.newPage();
  watch(local);
  await local.goto(pathToFileURL(path.join(folder, 'index.html')).href);
  await showing({ run: (fn) => local.evaluate(fn) }, menuLine);
  await page.screenshot({ path: path.join(path.dirname(path.resolve(folder)), 'teklo-web-phone.png') });
  assert.deepEqual(problems, [], 'console errors and requests outside the folder');
}

// --- The run: every group in every engine that has it ---

const engines = {
  chromium: [() => puppeteerTab('chromium'), phone],
  firefox: [() => puppeteerTab('firefox')],
  webkit: [webkitTab],
};

// What the page's own policy blocked, as the engines report it to the
// servers; after every group there must be nothing.
const violations = [];
const server = await serveFolder(folder, { violations });
for (const name of chosen.length ? chosen : Object.keys(engines)) {
  test(name, { timeout: 280000 }, async (t) => {
    const [openTab, ...own] = engines[name];
    const tab = await openTab();
    try {
      for (const group of [desktop, lineEditing, runs, ...own, offline]) {
        // A violation is the likelier cause of a failure than what failed.
        await t.test(group.name, async () => {
          try {
            await group(tab, server.url);
          } finally {
            assert.deepEqual(violations.splice(0), [], "what the page's policy blocked");
          }
        });
      }
    } finally {
      await tab.close();
    }
  });
}
after(() => server.close());
