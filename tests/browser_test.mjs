// The page in a real browser (Debian's Chromium, headless), used as a
// person would: typed keys, a correction, a paste, the end and a restart,
// opened from a file, and on a phone-sized screen.
//   usage: node browser_test.mjs PAGE_FOLDER WEB_SOURCE_FOLDER
import assert from 'node:assert/strict';
import { createReadStream, readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [folder, webSource] = process.argv.slice(2).map((p) => path.resolve(p));
const { chromium } = createRequire(path.join(webSource, 'package.json'))('playwright-core');
setTimeout(() => { console.error('browser test: timed out'); process.exit(1); }, 120000).unref();

const startScreen = readFileSync(new URL('sessions/empty.out', import.meta.url), 'utf8');
const menuLine = '   S = TeKLO4  H = Help  Q = Uscita';

// A static server on the loopback, as any web host would serve the folder.
const server = createServer((request, response) => {
  const file = path.join(folder, decodeURIComponent(new URL(request.url, 'http://x').pathname));
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
  response.setHeader('Content-Type', types[path.extname(file)] ?? 'application/octet-stream');
  createReadStream(file).on('error', () => response.writeHead(404).end()).pipe(response);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const site = `http://127.0.0.1:${server.address().port}`;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const outside = [];
const inFolder = [`${site}/`, `${pathToFileURL(folder).href}/`, 'data:', 'blob:'];

async function open(url, options = {}) {
  const context = await browser.newContext(options);
  context.on('request', (r) => { if (!inFolder.some((p) => r.url().startsWith(p))) outside.push(r.url()); });
  const page = await context.newPage();
  page.on('pageerror', (error) => { throw error; });
  const begun = Date.now();
  await page.goto(url);
  await showing(page, menuLine);
  console.log(`${url}: start-up screen after ${Date.now() - begun} ms`);
  return page;
}

// The lines on the terminal's screen, as far as they were written.
const screen = (page) => page.evaluate(() => {
  const { buffer, rows } = window.teklo.terminal;
  const lines = [];
  for (let i = 0; i < rows; ++i) lines.push(buffer.active.getLine(buffer.active.viewportY + i).translateToString(true));
  return lines;
});

async function showing(page, text) {
  for (const deadline = Date.now() + 10000; Date.now() < deadline; await page.waitForTimeout(50))
    if ((await screen(page)).some((line) => line.includes(text))) return;
  throw new Error(`not on the screen: ${text}\n${(await screen(page)).join('\n')}`);
}

const status = (page) => page.textContent('#stato');
const enter = async (page, keys) => { await page.keyboard.type(keys); await page.keyboard.press('Enter'); };

try {
  const page = await open(`${site}/index.html`);
  assert.equal(await page.getAttribute('html', 'lang'), 'it');
  assert.equal(await page.title(), 'TeKLO v.4.0 - Quadrato Magico');
  // The start-up screen, line for line, as the console shows it.
  const expected = startScreen.split('\n');
  assert.deepEqual((await screen(page)).slice(0, expected.length), expected);

  // Numbers typed key by key, with a correction.
  await enter(page, 's');
  await showing(page, ' 56 63 76 84 e quindi premere il tasto Invio.');
  assert.ok(!(await screen(page)).includes(menuLine), 'the screen was cleared');
  await page.keyboard.type('56 63 7');
  await page.keyboard.press('Backspace');
  await enter(page, '76 84');
  await showing(page, "Menu' S,H,Q inserire una lettera e premere Invio.");
  const rows = await screen(page);
  for (const row of ['56 63 76 84', 'totale sestina: 119 160 132 147 139 140',
                     'sestina di ricalcolo: 63 76 76 84 63 56',
                     'Prima sestina giocabile da un(1) Euro : 56 63 76 84 13 16',
                     'Seconda sestina giocabile da un(1) Euro : 56 63 76 84 71 48',
                     'Terza sestina giocabile da un(1) Euro : 56 63 76 84 35 43',
                     'Quarta sestina giocabile da un(1) Euro : 56 63 76 84 71 28'])
    assert.ok(rows.includes(row), `missing: ${row}\n${rows.join('\n')}`);

  // The help screen replaces the rows.
  await enter(page, 'h');
  await showing(page, '   Help TeKLO v.4.0');
  assert.ok(!(await screen(page)).some((l) => l.startsWith('totale sestina')));

  // A pasted line acts as typed.
  await page.evaluate(() => {
    const data = new DataTransfer();
    data.setData('text/plain', 's\n1 2 3 4\n');
    document.querySelector('.xterm-helper-textarea')
      .dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true }));
  });
  await showing(page, 'Prima sestina giocabile da un(1) Euro : 1 2 3 4 12 4');

  // Q, then any key starts again; Ctrl+D on an empty line and Ctrl+C end it too.
  await enter(page, 'q');
  await showing(page, 'Uscita Programma, terminato con successo.');
  await page.waitForFunction(() => document.querySelector('#stato').textContent.includes('stato di uscita 0'));
  for (const [keys, said] of [['Control+D', 'stato di uscita 0'], ['Control+C', 'CTRL + c']]) {
    await page.keyboard.press('x');
    await showing(page, menuLine);
    assert.equal(await status(page), '');
    await page.keyboard.press(keys);
    await page.waitForFunction((s) => document.querySelector('#stato').textContent.includes(s), said);
  }

  // Opened with a double click: from a file.
  await open(pathToFileURL(path.join(folder, 'index.html')).href);

  // A phone: 80 columns whole, no sideways scrolling.
  const phone = await open(`${site}/index.html`,
                           { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true });
  await enter(phone, 'h');
  await showing(phone, '   Help TeKLO v.4.0');
  const fit = await phone.evaluate(() => ({
    columns: window.teklo.terminal.cols,
    width: window.innerWidth,
    scrolled: document.documentElement.scrollWidth,
    right: document.querySelector('.xterm-screen').getBoundingClientRect().right,
  }));
  // A page too wide would make the phone zoom out and widen its viewport.
  assert.equal(fit.columns, 80);
  assert.ok(fit.width === 390 && fit.scrolled <= 390 && fit.right <= 390, JSON.stringify(fit));
  assert.ok((await screen(phone)).includes(`   ${'*'.repeat(74)}`), 'the 77-column box is on one line');
  await phone.screenshot({ path: path.join(path.dirname(folder), 'teklo-web-phone.png') });

  assert.deepEqual(outside, [], 'requests outside the folder');
  console.log('1 passed, 0 failed');
} finally {
  await browser.close();
  server.close();
}
