// The page in three browser engines, used as a person would: keys typed
// on a desktop in Chromium, Firefox and WebKit; in Chromium also a phone,
// typed on the ways Android's soft keyboards deliver text, its buttons,
// its text sizes, copy, failed loads, a long paste, offline use,
// installability and axe-core.
//   usage: node browser_test.mjs PAGE_FOLDER WEB_SOURCE_FOLDER [ENGINE...]
// WebKit's browser needs a display: run the test under xvfb-run.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { readFileSync, readdirSync, existsSync } from 'node:fs';
import { createServer } from 'node:net';
import { createRequire } from 'node:module';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { serveFolder } from './serve_folder.mjs';

const [folder, webSource, ...chosen] = process.argv.slice(2);
const fromWeb = createRequire(path.resolve(webSource, 'package.json'));
const puppeteer = fromWeb('puppeteer-core');
const sessions = new URL('sessions/', import.meta.url);
const startScreen = readFileSync(new URL('empty.out', sessions), 'utf8');
const menuLine = '   S = TeKLO4  H = Help  Q = Uscita ';
const reminder = "Menu' S,H,Q inserire una lettera e premere Invio.";
const first = (numbers) => `Prima sestina giocabile da un(1) Euro : ${numbers}`;
setTimeout(() => { console.error('browser test: timed out'); process.exit(1); }, 300000).unref();

// --- Engines: each opens a tab that can go to a page, run a function in
// it, type and press keys ---

const chromiumArgs = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                      '--disable-background-networking', '--disable-component-update', '--disable-sync'];

async function puppeteerTab(options) {
  const browser = await puppeteer.launch(options);
  const page = (await browser.pages())[0] ?? await browser.newPage();
  return {
    browser, page,
    goto: (url) => page.goto(url),
    run: (fn, ...args) => page.evaluate(fn, ...args),
    type: (text) => page.keyboard.type(text),
    press: async (keys) => {
      const [key, ...held] = keys.split('+').reverse();
      for (const k of held) await page.keyboard.down(k);
      await page.keyboard.press(key);
      for (const k of held) await page.keyboard.up(k);
    },
    close: () => browser.close(),
  };
}

const freePort = () => new Promise((resolve) => {
  const probe = createServer().listen(0, '127.0.0.1', () => {
    const { port } = probe.address();
    probe.close(() => resolve(port));
  });
});

async function webkitTab() {
  const { Builder, Key } = fromWeb('selenium-webdriver');
  const libs = readdirSync('/usr/lib', { withFileTypes: true }).filter((d) => d.isDirectory())
    .flatMap((d) => ['webkit2gtk-4.1', 'webkit2gtk-4.0'].map((w) => `/usr/lib/${d.name}/${w}/MiniBrowser`));
  const binary = libs.find(existsSync);
  assert.ok(binary, "WebKit's MiniBrowser is missing: apt-get install webkit2gtk-driver");
  const port = await freePort();
  const driverProcess = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
  let driver;
  for (let tries = 0; !driver; ++tries) {
    try {
      driver = await new Builder().usingServer(`http://127.0.0.1:${port}`)
        .withCapabilities({ browserName: 'MiniBrowser',
                            'webkitgtk:browserOptions': { binary, args: ['--automation'] } }).build();
    } catch (error) {
      if (tries > 50) throw error;
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
  }
  const keys = { Enter: Key.ENTER, Backspace: Key.BACK_SPACE, Control: Key.CONTROL };
  return {
    goto: (url) => driver.get(url),
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
    close: async () => { await driver.quit(); driverProcess.kill(); },
  };
}

const engines = {
  chromium: { open: () => puppeteerTab({ executablePath: '/usr/bin/chromium', args: chromiumArgs }), phone },
  firefox: { open: () => puppeteerTab({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr' }) },
  webkit: { open: webkitTab },
};

// --- What is on the console ---

const consoleText = (tab) => tab.run(() => document.getElementById('terminale').textContent);
const statusText = (tab) => tab.run(() => document.getElementById('stato').textContent);

async function until(tab, what, test) {
  for (const deadline = Date.now() + 10000; Date.now() < deadline;) {
    const [text, status] = [await consoleText(tab), await statusText(tab)];
    if (test(text, status)) return text;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`never came: ${what}\n--- console:\n${await consoleText(tab)}\n--- status: ${await statusText(tab)}`);
}
const showing = (tab, text) => until(tab, text, (shown) => shown.includes(text));
const saying = (tab, text) => until(tab, text, (_, status) => status.includes(text));

// --- Every engine: a person at a desktop keyboard ---

async function desktop(tab, site) {
  const begun = Date.now();
  await tab.goto(`${site}/index.html`);
  await showing(tab, menuLine);
  const startup = Date.now() - begun;
  assert.equal(await consoleText(tab), startScreen);
  assert.deepEqual(await tab.run(() => [document.documentElement.lang, document.title]),
                   ['it', 'TeKLO v.4.0 - Quadrato Magico']);

  // Typed straight away, nothing clicked first; a correction on the way.
  await tab.type('s');
  await tab.press('Enter');
  await showing(tab, ' 56 63 76 84 e quindi premere il tasto Invio.');
  assert.ok(!(await consoleText(tab)).includes(menuLine), 'the screen was cleared');
  await tab.type('56 63 7');
  await tab.press('Backspace');
  await tab.type('76 84');
  await tab.press('Enter');
  const rows = (await showing(tab, reminder)).split('\n');
  for (const row of ['56 63 76 84', 'totale sestina: 119 160 132 147 139 140',
                     'sestina di ricalcolo: 63 76 76 84 63 56', first('56 63 76 84 13 16'),
                     'Seconda sestina giocabile da un(1) Euro : 56 63 76 84 71 48',
                     'Terza sestina giocabile da un(1) Euro : 56 63 76 84 35 43',
                     'Quarta sestina giocabile da un(1) Euro : 56 63 76 84 71 28'])
    assert.ok(rows.includes(row), `missing: ${row}\n${rows.join('\n')}`);

  await tab.type('h');
  await tab.press('Enter');
  assert.ok(!(await showing(tab, '   Help TeKLO v.4.0')).includes('totale sestina'));

  // Q ends it; a key starts it again; Ctrl+D on an empty line and Ctrl+C end it too.
  await tab.type('q');
  await tab.press('Enter');
  await showing(tab, 'Uscita Programma, terminato con successo.');
  await saying(tab, 'stato di uscita 0');
  for (const [keys, said] of [['Control+D', 'stato di uscita 0'], ['Control+C', 'CTRL + c']]) {
    await tab.press('x');
    await showing(tab, menuLine);
    assert.equal(await statusText(tab), '');
    await tab.press(keys);
    await saying(tab, said);
  }
  return startup;
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
  await page.emulate({ viewport: { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true },
                       userAgent: 'Mozilla/5.0 (Linux; Android 14) Mobile' });
  await page.browserContext().overridePermissions(site, ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
  watch(page);
  const cdp = await page.createCDPSession();
  const insert = (text) => cdp.send('Input.insertText', { text });
  const compose = (text) => cdp.send('Input.imeSetComposition', { text, selectionStart: text.length, selectionEnd: text.length });
  const key229 = (type) => cdp.send('Input.dispatchKeyEvent', { type, windowsVirtualKeyCode: 229, key: 'Unidentified' });
  const tap = (name) => page.tap(`[data-tasto="${name}"]`);
  await page.goto(`${site}/index.html`);
  await showing(tab, menuLine);

  // Every way a soft keyboard delivers a line, each line ended by Enter.
  const ways = [
    ['text inserted with no key event, and a line break', '1 2 3 4', '12 4',
     async (line) => { await insert(line); await insert('\n'); }],
    ['a word composed, then committed', '56 63 76 84', '13 16',
     async (line) => { await compose(line.slice(0, 2)); await compose(line); await insert(line); await page.keyboard.press('Enter'); }],
    ['keys with keyCode 229 whose text lands later', '-5 7 -9 11', '1 13',
     async (line) => {
       for (const ch of line) {
         await key229('rawKeyDown');
         await new Promise((resolve) => setTimeout(resolve, 10));
         await insert(ch);
         await key229('keyUp');
       }
       await page.keyboard.press('Enter');
     }],
    ['Enter while a word is composed', '0 0 0 0', '15 3',
     async (line) => { await compose(line); await page.keyboard.press('Enter'); }],
  ];
  for (const [way, numbers, ending, typeLine] of ways) {
    await typeLine('s');
    await showing(tab, 'e quindi premere il tasto Invio.');
    await typeLine(numbers);
    await showing(tab, first(`${numbers} ${ending}`));
    console.log(`chromium phone, ${way}: right rows`);
  }

  // The buttons: Invio, Ctrl+D, a tap on the console, Ctrl+C, Invio again.
  await insert('h');
  await tap('invio');
  await showing(tab, '   Help TeKLO v.4.0');
  await tap('fine');
  await saying(tab, 'stato di uscita 0');
  await page.tap('#terminale');
  await showing(tab, menuLine);
  await tap('interrompi');
  await saying(tab, 'CTRL + c');
  await tap('invio');
  await showing(tab, menuLine);
  await tap('copia');
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), startScreen);

  // With a selection Ctrl+C leaves the copy to the browser and teklo goes
  // on; Ctrl+Shift+C copies it.
  await insert('s\n1 2 3 4\n');
  await showing(tab, reminder);
  await page.evaluate((row) => {
    const span = [...document.querySelectorAll('#terminale span')].find((s) => s.textContent.startsWith(row));
    getSelection().selectAllChildren(span);
  }, first(''));
  await tab.press('Control+C');
  await tab.press('Control+Shift+C');
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), `${first('1 2 3 4 12 4')}\n`);
  assert.equal(await statusText(tab), '');
  await insert('h\n');
  await showing(tab, '   Help TeKLO v.4.0');

  // Text size: 80 columns fit by default, larger text wraps, and the
  // choice outlives a reload.
  const layout = () => page.evaluate(() => ({
    size: parseFloat(getComputedStyle(document.getElementById('schermo')).fontSize),
    sideways: document.documentElement.scrollWidth > innerWidth || document.getElementById('schermo').scrollWidth > innerWidth,
    boxLines: new Set([...document.querySelector('#terminale span[aria-hidden]').getClientRects()].map((r) => r.top)).size,
  }));
  const fit = await layout();
  assert.deepEqual([fit.sideways, fit.boxLines], [false, 1], JSON.stringify(fit));
  await tap('piu-grande');
  await tap('piu-grande');
  const larger = await layout();
  assert.ok(larger.size >= 14 && !larger.sideways && larger.boxLines > 1, JSON.stringify(larger));
  await page.reload();
  await showing(tab, menuLine);
  assert.equal((await layout()).size, larger.size);
  await tap('piu-piccolo');
  await tap('piu-piccolo');
  assert.deepEqual(await layout(), fit);
  console.log(`chromium phone: text ${fit.size} px fitting 80 columns, ${larger.size} px two steps larger`);

  // Sideways: the text fills the width and the typed line stays in view.
  await page.setViewport({ width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await insert('s\n7 7 7 7\n');
  await showing(tab, reminder);
  const sideways = await page.evaluate(() => ({
    line: document.getElementById('riga').getBoundingClientRect().bottom <= innerHeight,
    // the share of the width that 80 columns take
    width: [...document.querySelectorAll('#terminale span')].filter((s) => s.textContent.startsWith('Quarta'))
      .map((s) => (80 * s.getBoundingClientRect().width) / (s.textContent.length - 1) / innerWidth)[0],
  }));
  assert.ok(sideways.line && sideways.width > 0.85, JSON.stringify(sideways));
  await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true });

  // Ctrl+C while a restart is still loading: that run never takes a line.
  for (let i = 0; i < 5; ++i) {
    await page.evaluate(() => {
      window.teklo.start();
      document.dispatchEvent(new KeyboardEvent('keydown', { key: 'c', ctrlKey: true, bubbles: true }));
    });
    await insert('x');  // the key that starts it again
    await insert(`s\n${i} 0 0 0\n`);
    await showing(tab, first(`${i} 0 0 0`));
  }

  // A paste of 1 MB arrives whole and in order; the page keeps running.
  const calculations = 80000;
  const pasted = Array.from({ length: calculations }, (_, i) => `s\n${i} 0 0 0\n`).join('');
  const paste = await page.evaluate((text, lastRow) => {
    let [pause, beats, last] = [0, 0, performance.now()];
    const beat = setInterval(() => {
      pause = Math.max(pause, performance.now() - last);
      last = performance.now();
      ++beats;
    }, 10);
    const begun = performance.now();
    const data = new DataTransfer();
    data.setData('text/plain', text);
    document.getElementById('riga').dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
    return new Promise((resolve) => {
      const check = () => {
        if (!document.getElementById('terminale').textContent.includes(lastRow)) return setTimeout(check, 20);
        clearInterval(beat);
        resolve({ ms: performance.now() - begun, pause, beats });
      };
      check();
    });
  }, pasted, first(`${calculations - 1} 0 0 0`));
  // The page took timers between the paste's parts: it never froze for all of it.
  assert.ok(pasted.length > 1000000 && paste.beats > 1, JSON.stringify(paste));
  console.log(`chromium phone: a ${pasted.length}-byte paste done in ${Math.round(paste.ms)} ms, longest pause ${Math.round(paste.pause)} ms`);

  // Nothing that stops the page loading goes unsaid.
  const failures = [
    ['teklo.js missing', (r) => r.url().endsWith('/teklo.js') && r.respond({ status: 404 })],
    ['teklo.js broken', (r) => r.url().endsWith('/teklo.js') && r.respond({ contentType: 'text/javascript', body: 'var createTeklo = (;' })],
    ['page.js missing', (r) => r.url().endsWith('/page.js') && r.respond({ status: 404 })],
    ['page.js empty', (r) => r.url().endsWith('/page.js') && r.respond({ contentType: 'text/javascript', body: '' })],
  ];
  for (const [what, fault] of [...failures, ['no WebAssembly']]) {
    const broken = await (await browser.createBrowserContext()).newPage();  // no service worker
    if (fault) {
      await broken.setRequestInterception(true);
      broken.on('request', (r) => fault(r) || r.continue());
    } else {
      await broken.evaluateOnNewDocument(() => { delete window.WebAssembly; });
    }
    await broken.goto(`${site}/index.html`);
    const said = await broken.waitForFunction(() => document.getElementById('stato').textContent, { timeout: 10000 })
      .catch((error) => { throw new Error(`${what}: ${error.message}`); });
    assert.match(await said.jsonValue(), /^teklo non si avvia: .+\. Ricaricare la pagina\.$/, what);
    await broken.close();
  }

  // axe-core, at start-up and after a calculation.
  const axe = readFileSync(fromWeb.resolve('axe-core/axe.min.js'), 'utf8');
  const audit = async () => {
    await page.evaluate(axe);
    const found = await page.evaluate(() => window.axe.run(document, {
      rules: { 'label-content-name-mismatch': { enabled: true } },
    }).then((r) => r.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`)));
    assert.deepEqual(found, [], 'axe-core');
  };
  await page.reload();
  await showing(tab, menuLine);
  await audit();
  await insert('s\n56 63 76 84\n');
  await showing(tab, reminder);
  await audit();

  // Installable, and offline after one visit.
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  assert.deepEqual(installabilityErrors, [], 'installability');
  const offline = await serveFolder(folder);
  const away = await browser.newPage();
  watch(away);
  await away.goto(`${offline.url}/index.html`);
  await away.evaluate(() => navigator.serviceWorker.ready);
  offline.close();
  await away.reload();
  const awayTab = { run: (fn) => away.evaluate(fn) };
  await showing(awayTab, menuLine);
  await away.type('#riga', 's\n5 6 7 8\n');
  await showing(awayTab, first('5 6 7 8'));
  console.log('chromium phone: reloaded and calculated with the server gone');
  assert.ok(offline.hits.get('/sw.js') >= 1);

  // From a file, as a double click opens it: no service worker there.
  const local = await browser.newPage();
  watch(local);
  await local.goto(pathToFileURL(path.join(folder, 'index.html')).href);
  await showing({ run: (fn) => local.evaluate(fn) }, menuLine);
  await page.screenshot({ path: path.join(path.dirname(path.resolve(folder)), 'teklo-web-phone.png') });
  assert.deepEqual(problems.filter((p) => !p.startsWith(offline.url)), [], 'console errors and requests outside the folder');
}

// --- The run ---

const server = await serveFolder(folder);
let passed = 0;
let failed = 0;
try {
  for (const name of chosen.length ? chosen : Object.keys(engines)) {
    const tab = await engines[name].open();
    try {
      const startup = await desktop(tab, server.url);
      console.log(`${name}: start-up screen after ${startup} ms`);
      await engines[name].phone?.(tab, server.url);
      console.log(`${name}: passed`);
      ++passed;
    } catch (error) {
      console.error(`${name}: FAILED\n${error.stack}`);
      ++failed;
    } finally {
      await tab.close();
    }
  }
} finally {
  server.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
