// How soon the page shows what a person waits for, against the limit a
// browser sets: a blank page holding only the menu line and a line field
// that answers Enter at once. All come from one server and are taken in
// turn, each load in a new browser context with nothing cached, so that
// two builds of the page compare in one sitting. Three moments are
// timed: when the menu line is first in the page; when the help screen
// is, after "h" and Enter typed as soon as the line field exists (or, on
// a page that would lose keys typed before its script runs, once it has
// run); and the first paint, the engine's own first-contentful-paint,
// which is what a person sees first. (The text moments are taken in the
// page, not painted: the frame that paints them would add the engine's
// own frame timing, up to 100 ms in WebKit under Xvfb.) Printed: their
// medians and their ratios over the blank page's (the text moments over
// its menu line); Chromium at full speed and with the CPU slowed 4x (as
// on a mid-range phone), Firefox and WebKit at full speed.
//   usage: node bench/web_startup.mjs [--returning] [PAGE_FOLDER...] [RUNS] [ENGINE...]
//          node bench/web_startup.mjs --trace FILE [PAGE_FOLDER]
// (PAGE_FOLDER defaults to build-web/teklo-web, RUNS to 9.) --returning
// times a returning visitor's load instead: the page is visited once
// first in the same context, which leaves its service worker holding
// it, and then again in a new tab. --trace takes
// Chromium's performance trace of one load at 4x into FILE and prints
// where its time went. WebKit needs a display: run under xvfb-run.
import { cpSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launch } from '../tests/web/engines.mjs';
import { serveFolder } from '../tests/web/serve_folder.mjs';
import { help, menuLine } from '../tests/web/texts.mjs';
import { pageFiles, writeServiceWorker } from '../web/service_worker.mjs';

const top = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const args = process.argv.slice(2);
const traceFile = args[0] === '--trace' ? args.splice(0, 2)[1] : null;
const returning = args[0] === '--returning' && Boolean(args.shift());
// An engine's name, a count of runs, or else a page's folder.
const engineNames = ['chromium', 'firefox', 'webkit'];
const chosen = args.filter((arg) => engineNames.includes(arg));
const counts = args.filter((arg) => /^[1-9]\d*$/.test(arg));
const folderArgs = args.filter((arg) => !chosen.includes(arg) && !counts.includes(arg));
const unusable = folderArgs.filter((arg) => !existsSync(path.join(arg, 'index.html')));
if (unusable.length || counts.length > 1 || (traceFile && args.length > 1)) {
  console.error(`usage: node bench/web_startup.mjs [--returning] [PAGE_FOLDER...] [RUNS] [ENGINE...]\n` +
                `       node bench/web_startup.mjs --trace FILE [PAGE_FOLDER]\n` +
                (unusable.length ? `no index.html in: ${unusable.join(' ')}` : ''));
  process.exit(2);
}
const runs = Number(counts[0] ?? 9);
const folders = (folderArgs.length ? folderArgs : [path.join(top, 'build-web/teklo-web')]).map((f) => path.resolve(f));

// Put first into every page: it stamps each moment, and types "h" and
// Enter the moment the line field exists and the page takes keys
// (window.typedEarly keeps those typed before its script runs).
const probe = `<script>(function () {
  var marks = window.startup = {}, typed = false;
  function has(text) { return document.body && document.body.textContent.indexOf(text) >= 0; }
  new MutationObserver(function (_, observer) {
    var field = document.getElementById('riga');
    if (field && !typed && (window.teklo || window.typedEarly)) {
      typed = true;
      field.value = 'h';
      field.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', bubbles: true, cancelable: true }));
    }
    if (!marks.menu && has(${JSON.stringify(menuLine)})) marks.menu = performance.now();
    if (has(${JSON.stringify(help)})) { observer.disconnect(); marks.help = performance.now(); }
  }).observe(document, { childList: true, subtree: true, characterData: true });
  new PerformanceObserver(function (list) {
    list.getEntriesByName('first-contentful-paint').forEach(function (entry) { marks.paint = entry.startTime; });
  }).observe({ type: 'paint', buffered: true });
})();</script>`;

const blank = `<!DOCTYPE html>
<html lang="it"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Pagina vuota</title>
<script>window.typedEarly = [];
addEventListener('keydown', function (event) {
  if (event.key === 'Enter') document.body.insertAdjacentHTML('beforeend', '<pre>${help}</pre>');
});</script>
</head><body><pre>${menuLine}</pre><input id="riga"></body></html>
`;

// The blank page and each folder's page side by side, each in a folder of
// its own under one server, named after the page's folder (with a number
// added where two names would be the same).
const served = mkdtempSync(path.join(tmpdir(), 'teklo-bench-'));
const withProbe = (html) => html.replace(/<head>/i, `<head>${probe}`);
const names = ['blank'];
for (const folder of folders) {
  const base = path.basename(folder);
  let name = base;
  for (let n = 2; names.includes(name); ++n) name = `${base}-${n}`;
  names.push(name);
  const copy = path.join(served, name);
  cpSync(folder, copy, { recursive: true });
  writeFileSync(path.join(copy, 'index.html'), withProbe(readFileSync(path.join(folder, 'index.html'), 'utf8')));
  // The worker keeps only files whose sums it lists: listed again, with
  // the probe in the page.
  writeServiceWorker(copy, pageFiles(copy));
}
mkdirSync(path.join(served, 'blank'));
writeFileSync(path.join(served, 'blank', 'index.html'), withProbe(blank));
const server = await serveFolder(served);
const pages = Object.fromEntries(names.map((name) => [name, `${server.url}/${encodeURIComponent(name)}/index.html`]));

const moments = (read) => (async function wait(deadline) {
  const marks = await read().catch(() => null);
  if (marks?.menu && marks?.help && marks?.paint) return marks;
  if (Date.now() > deadline) throw new Error(`the page never showed all three moments: ${JSON.stringify(marks)}`);
  await new Promise((resolve) => setTimeout(resolve, 20));
  return wait(deadline);
})(Date.now() + 30000);

// After a visit, until the page's service worker holds it (the blank page
// has none).
const settled = () => Promise.resolve(window.teklo?.updating).then(() => window.teklo && navigator.serviceWorker.ready)
  .then(() => true);

// One load in a new context of a puppeteer browser.
async function puppeteerLoad(browser, url, slowdown) {
  const context = await browser.createBrowserContext();
  try {
    if (returning) {
      const first = await context.newPage();
      await first.goto(url, { waitUntil: 'load' });
      await first.evaluate(settled);
      await first.close();
    }
    const page = await context.newPage();
    if (slowdown > 1) await (await page.createCDPSession()).send('Emulation.setCPUThrottlingRate', { rate: slowdown });
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    return await moments(() => page.evaluate(() => window.startup));
  } finally {
    await context.close();
  }
}

// WebKit's driver has no contexts: a new browser for each load.
async function webkitLoad(url) {
  const driver = await launch.webkit();
  try {
    if (returning) {
      await driver.get(url);
      await driver.executeAsyncScript(`(${settled})().then(arguments[arguments.length - 1])`);
      await driver.get('about:blank');
    }
    await driver.get(url);
    return await moments(() => driver.executeScript('return window.startup'));
  } finally {
    await driver.quit();
  }
}

const width = Math.max(...names.map((name) => name.length));
const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

const timed = ['menu', 'help', 'paint'];

async function sitting(name, load) {
  const times = Object.fromEntries(names.map((which) => [which, Object.fromEntries(timed.map((m) => [m, []]))]));
  for (let run = 0; run < runs; ++run) {
    for (const which of run % 2 ? [...names].reverse() : names) {
      const marks = await load(pages[which]);
      for (const moment of timed) times[which][moment].push(marks[moment]);
    }
  }
  const cell = (which, moment) => {
    const ms = median(times[which][moment]);
    const limit = median(times.blank[moment === 'paint' ? 'paint' : 'menu']);
    return `${ms.toFixed(0).padStart(5)} ms ${`(${(ms / limit).toFixed(2)}x)`.padEnd(9)}`;
  };
  for (const which of names) console.log(`${name.padEnd(12)} ${which.padEnd(width)} ${timed.map((m) => cell(which, m)).join(' ')}`);
}

// Where one load's time went, from Chromium's trace: the page's main
// thread's time by kind of work (each event's own time, less what it ran
// inside), and when each file of the folder was asked for and had
// arrived, all counted from the navigation's start.
const kinds = [
  ['parsing HTML', /^ParseHTML$/],
  ['compiling JavaScript', /^v8\.(compile|parseOnBackground)|^V8\.(Compile|Parse)/],
  ['compiling WebAssembly', /wasm/i],
  ['running JavaScript', /^(EvaluateScript|FunctionCall|TimerFire|EventDispatch|FireAnimationFrame|RunMicrotasks|v8\.run|v8\.callFunction|V8\.Execute|V8\.GC.*|MajorGC|MinorGC|ScheduleStyleRecalculation)$/],
  ['style and layout', /^(UpdateLayoutTree|Layout|RecalculateStyles|HitTest)$/],
  ['painting', /^(PrePaint|Paint|Layerize|Commit|UpdateLayer|PaintImage|CompositeLayers)$/],
];

function breakdown(file, until) {
  const events = JSON.parse(readFileSync(file, 'utf8')).traceEvents ?? [];
  const ours = (url) => typeof url === 'string' && url.startsWith(server.url);
  const parse = events.find((e) => e.name === 'ParseHTML' && ours(e.args?.beginData?.url));
  const start = events.find((e) => e.name === 'navigationStart' && ours(e.args?.data?.documentLoaderURL))?.ts ?? parse.ts;
  const end = start + until * 1000;
  const ms = (us) => (us / 1000).toFixed(1);
  const onMain = events.filter((e) => e.pid === parse.pid && e.tid === parse.tid && e.ph === 'X' && e.dur > 0 &&
                                      e.ts >= start && e.ts < end).sort((x, y) => x.ts - y.ts || y.dur - x.dur);
  const own = new Map();
  const open = [];
  let busy = 0;
  for (const e of onMain) {
    while (open.length && open.at(-1).ts + open.at(-1).dur <= e.ts) open.pop();
    const parent = open.at(-1);
    if (parent) own.set(parent, own.get(parent) - e.dur);
    else busy += Math.min(e.dur, end - e.ts);
    own.set(e, e.dur);
    open.push(e);
  }
  // What no finer event claims, the pauses that slow the CPU among it.
  const spent = new Map(kinds.map(([kind]) => [kind, 0]));
  for (const [e, time] of own) {
    const kind = kinds.find(([, pattern]) => pattern.test(e.name))?.[0] ?? 'other';
    spent.set(kind, (spent.get(kind) ?? 0) + time);
  }
  console.log(`main thread: busy ${ms(busy)} of ${ms(end - start)} ms; ` +
              [...spent].map(([kind, time]) => `${kind} ${ms(time)}`).join(', '));
  const requests = new Map();
  for (const e of events) {
    const data = e.args?.data;
    if (!data?.requestId) continue;
    const entry = requests.get(data.requestId) ?? {};
    if (e.name === 'ResourceSendRequest' && ours(data.url)) Object.assign(entry, { url: data.url, sent: e.ts });
    if (e.name === 'ResourceFinish') entry.done = e.ts;
    requests.set(data.requestId, entry);
  }
  const files = [...requests.values()].filter(({ url, sent }) => url && sent < end)
    .map(({ url, sent, done }) => `${path.basename(new URL(url).pathname)} ${ms(sent - start)}-${done ? ms(done - start) : '?'}`);
  console.log(`files asked for and in (ms): ${files.join(', ')}`);
}

try {
  if (traceFile) {
    const browser = await launch.chromium();
    const page = await browser.newPage();
    await (await page.createCDPSession()).send('Emulation.setCPUThrottlingRate', { rate: 4 });
    // The categories that say where the time went and cost little: the
    // sampling profiler would slow the load it measures.
    await page.tracing.start({ path: traceFile, categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline',
                                                             'v8.execute', 'v8', 'v8.wasm', 'toplevel', 'loading', 'blink.user_timing'] });
    await page.goto(pages[names[1]], { waitUntil: 'domcontentloaded' });
    const marks = await moments(() => page.evaluate(() => window.startup));
    await page.tracing.stop();
    await browser.close();
    console.log(`one load at 4x: menu line at ${marks.menu.toFixed(0)} ms, first paint at ${marks.paint.toFixed(0)} ms, ` +
                `help screen at ${marks.help.toFixed(0)} ms`);
    breakdown(traceFile, marks.help);
  } else {
    console.log(`medians of ${runs} ${returning ? 'returning visits' : 'first visits'} each; in brackets, ` +
                "the ratio over the blank page's menu line (first paint: over its first paint)");
    folders.forEach((folder, i) => console.log(`${names[i + 1]}: ${folder}`));
    console.log(`${''.padEnd(13 + width)} ${'menu line'.padEnd(18)} ${'help screen'.padEnd(18)} first paint`);
    for (const engine of chosen.length ? chosen : engineNames) {
      if (engine === 'webkit') {
        await sitting('WebKit 1x', webkitLoad);
        continue;
      }
      const browser = await launch[engine]();
      try {
        for (const slowdown of engine === 'chromium' ? [1, 4] : [1]) {
          await sitting(`${engine === 'chromium' ? 'Chromium' : 'Firefox'} ${slowdown}x`,
                        (url) => puppeteerLoad(browser, url, slowdown));
        }
      } finally {
        await browser.close();
      }
    }
  }
} finally {
  server.close();
  rmSync(served, { recursive: true });
}
