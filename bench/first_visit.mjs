// What a first visit costs on a slow link: each page's folder served by a
// host of its own at the end of a link of 400 kbit/s with 400 ms latency
// (in Node.js, in the server: each answer waits 400 ms, and all bodies at
// once share 50,000 bytes a second), opened in Chromium in a new browser
// context each time, nothing cached. Printed for each page, as medians: the
// bytes of the bodies the host sent, against the folder's (sw.js apart);
// when the start-up screen was in the page and when the page's load event
// came; and when the page was ready offline, its service worker activated
// with every file in its cache; all counted from the navigation's start.
//   usage: node bench/first_visit.mjs [PAGE_FOLDER...] [RUNS]
// (PAGE_FOLDER defaults to build-web/teklo-web, RUNS to 5.)
import { existsSync, readdirSync, statSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launch } from '../tests/web/engines.mjs';
import { serveFolder } from '../tests/web/serve_folder.mjs';
import { startScreen } from '../tests/web/texts.mjs';
import { pageFiles } from '../web/service_worker.mjs';

const top = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const args = process.argv.slice(2);
const counts = args.filter((arg) => /^[1-9]\d*$/.test(arg));
const folderArgs = args.filter((arg) => !counts.includes(arg));
if (counts.length > 1 || folderArgs.some((arg) => !existsSync(path.join(arg, 'sw.js')))) {
  console.error('usage: node bench/first_visit.mjs [PAGE_FOLDER...] [RUNS]\n(each folder a built page, with its sw.js)');
  process.exit(2);
}
const runs = Number(counts[0] ?? 5);
const folders = (folderArgs.length ? folderArgs : [path.join(top, 'build-web/teklo-web')]).map((f) => path.resolve(f));
const link = { latency: 400, rate: 400000 / 8 };

// Put into the page before its own scripts: it stamps the moments, and
// once the worker is activated, how many files its cache holds.
const probe = (screen) => {
  const marks = window.firstVisit = {};
  const poll = setInterval(async () => {
    if (!marks.screen && document.getElementById('terminale')?.textContent === screen) marks.screen = performance.now();
    const registration = await navigator.serviceWorker.getRegistration();
    if (marks.offline || registration?.active?.state !== 'activated') return;
    marks.offline = performance.now();
    clearInterval(poll);
    const names = (await caches.keys()).filter((name) => name.includes(' teklo-'));
    marks.kept = names.length === 1 ? (await (await caches.open(names[0])).keys()).length : -names.length;
    marks.load = performance.getEntriesByType('navigation')[0].loadEventStart;
  }, 10);
};

async function visit(browser, folder) {
  const host = await serveFolder(folder, { link });
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.evaluateOnNewDocument(probe, startScreen);
    await page.goto(`${host.url}/`, { waitUntil: 'domcontentloaded' });
    const marks = await page.waitForFunction(() => window.firstVisit.offline && window.firstVisit, { timeout: 60000, polling: 50 })
      .then((handle) => handle.jsonValue());
    // Anything the page or its worker still asks for afterwards counts.
    await new Promise((resolve) => setTimeout(resolve, 2000));
    return { ...marks, sent: host.sent };
  } finally {
    await context.close();
    host.close();
  }
}

const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];
const browser = await launch.chromium();
try {
  console.log(`first visits in Chromium, ${link.rate * 8 / 1000} kbit/s and ${link.latency} ms; medians of ${runs}`);
  for (const folder of folders) {
    const size = pageFiles(folder).reduce((sum, file) => sum + statSync(path.join(folder, file)).size, 0);
    const worker = statSync(path.join(folder, 'sw.js')).size;
    const all = [];
    for (let run = 0; run < runs; ++run) all.push(await visit(browser, folder));
    const [sent, screen, load, offline] = ['sent', 'screen', 'load', 'offline'].map((key) => median(all.map((m) => m[key])));
    const kept = [...new Set(all.map((m) => m.kept))];
    console.log(`${folder} (${readdirSync(folder).length} files)\n` +
                `  host sent ${sent} bytes: the folder is ${size} + sw.js ${worker} = ${size + worker}` +
                ` (${(sent / (size + worker)).toFixed(2)}x)\n` +
                `  start-up screen ${(screen / 1000).toFixed(2)} s, load ${(load / 1000).toFixed(2)} s, ` +
                `ready offline ${(offline / 1000).toFixed(2)} s (cache holding ${kept.join(' or ')} of ${pageFiles(folder).length} files)`);
  }
} finally {
  await browser.close();
}
