// Time from navigation to the start-up screen of the page, served over
// http, in Debian's Chromium with the CPU at normal speed and slowed 4x
// (as on a mid-range phone). Each run is a new browser context, so no
// cache helps. Prints the median and the range of each.
//   usage: node bench/web_startup.mjs [PAGE_FOLDER] [RUNS]
//   (PAGE_FOLDER defaults to build-web/teklo-web, RUNS to 7)
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { serveFolder } from '../tests/serve_folder.mjs';

const top = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const folder = path.resolve(process.argv[2] ?? path.join(top, 'build-web/teklo-web'));
const runs = Number(process.argv[3] ?? 7);
const puppeteer = createRequire(path.join(top, 'web/package.json'))('puppeteer-core');

const menuLine = '   S = TeKLO4  H = Help  Q = Uscita';
const server = await serveFolder(folder);
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});

async function once(slowdown) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const cdp = await page.createCDPSession();
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: slowdown });
  // The moment the menu line is first in the page; performance.now()
  // counts from the navigation's start.
  await page.evaluateOnNewDocument((line) => {
    new MutationObserver((_, observer) => {
      if (!document.body?.textContent.includes(line)) return;
      window.startupShown = performance.now();
      observer.disconnect();
    }).observe(document, { childList: true, subtree: true, characterData: true });
  }, menuLine);
  await page.goto(`${server.url}/index.html`);
  const shown = await page.waitForFunction(() => window.startupShown, { timeout: 30000 });
  const ms = await shown.jsonValue();
  await context.close();
  return ms;
}

try {
  for (const slowdown of [1, 4]) {
    const times = [];
    for (let i = 0; i < runs; ++i) times.push(await once(slowdown));
    times.sort((a, b) => a - b);
    const s = (ms) => (ms / 1000).toFixed(2);
    console.log(`CPU ${slowdown}x: median ${s(times[times.length >> 1])} s, ` +
                `range ${s(times[0])}-${s(times[times.length - 1])} s over ${runs} runs`);
  }
} finally {
  await browser.close();
  server.close();
}
