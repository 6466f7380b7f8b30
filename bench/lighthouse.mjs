// Lighthouse's four scores for the page, as a phone and as a desktop see
// it, and what keeps each from 100: every scored audit under 1, and the
// unscored ones that still found something (the CSP check among them),
// each with the items Lighthouse gives. Lighthouse 12.2.3, the last that
// runs on Node 20, is pinned here rather than in web/ so that the tests'
// install does not bring it: npm ci in bench/ first. The page is served
// from the loopback as a static host would serve it, with no compression
// and no cache lifetime (two audits under 1 that a host's settings
// decide); Debian's Chromium loads it, a new one for each preset.
// Lighthouse's simulated throttling, its default, scales the CPU time it
// saw, so the timings move with the machine's load; the scores little.
//   usage: node bench/lighthouse.mjs [PAGE_FOLDER] [mobile|desktop...]
// (PAGE_FOLDER defaults to build-web/teklo-web, the presets to both.)
import { existsSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { offFeatures } from '../tests/web/engines.mjs';
import { serveFolder } from '../tests/web/serve_folder.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const usage = 'usage: node bench/lighthouse.mjs [PAGE_FOLDER] [mobile|desktop...]';
let lighthouse, desktopConfig, Trace, Launcher, launch;
try {
  ({ default: lighthouse } = await import('lighthouse'));
  ({ default: desktopConfig } = await import('lighthouse/core/config/desktop-config.js'));
  ({ default: Trace } = await import('lighthouse/core/gather/gatherers/trace.js'));
  ({ Launcher, launch } = await import('chrome-launcher'));
} catch (error) {
  if (error.code !== 'ERR_MODULE_NOT_FOUND') throw error;
  console.error(`Lighthouse is missing: npm ci --prefix ${path.relative(process.cwd(), here) || '.'}`);
  process.exit(2);
}

// Chromium now names the frames' records in its trace frame_reporter,
// where this Lighthouse reads chrome_frame_reporter: without the old name
// too, its trace engine fails, and with it every audit that needs the
// causes of layout shifts or the LCP element (which then show as errors).
const collect = Trace.endTraceAndCollectEvents;
Trace.endTraceAndCollectEvents = async (session) => {
  const trace = await collect.call(Trace, session);
  for (const { args } of trace.traceEvents) {
    if (args?.frame_reporter && !args.chrome_frame_reporter) args.chrome_frame_reporter = args.frame_reporter;
  }
  return trace;
};

const presets = { mobile: undefined, desktop: desktopConfig };
const args = process.argv.slice(2);
const chosen = args.filter((arg) => arg in presets);
const folderArgs = args.filter((arg) => !(arg in presets));
const folder = path.resolve(folderArgs[0] ?? path.join(here, '..', 'build-web/teklo-web'));
if (folderArgs.length > 1 || !existsSync(path.join(folder, 'index.html'))) {
  console.error(`${usage}\nno index.html in: ${folder}`);
  process.exit(2);
}

// As tests/web/engines.mjs starts it, for the same reasons (no network but
// the loopback; no renderer for the address bar's pop-up competing with
// the page for the CPU). chrome-launcher's own flags are kept, its list of
// features turned off joined to ours: of two such flags Chromium would
// heed one.
const featuresFlag = '--disable-features=';
const defaults = Launcher.defaultFlags();
const chromeFlags = [
  ...defaults.filter((flag) => !flag.startsWith(featuresFlag)),
  featuresFlag + [...defaults.filter((flag) => flag.startsWith(featuresFlag))
    .flatMap((flag) => flag.slice(featuresFlag.length).split(',')), ...offFeatures].join(','),
  '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic',
];

const categories = ['performance', 'accessibility', 'best-practices', 'seo'];
const scored = ['binary', 'numeric', 'metricSavings'];

// One value of a details table, as the report would show it.
function shown(value, type) {
  if (value === undefined || value === null || value === '') return '';
  if (typeof value === 'number') {
    if (type === 'bytes') return `${(value / 1024).toFixed(1)} KiB`;
    if (type === 'ms' || type === 'timespanMs') return `${Math.round(value)} ms`;
    return String(Math.round(value * 1000) / 1000);
  }
  if (typeof value !== 'object') return String(value);
  switch (value.type) {
    case 'node': return [value.selector, value.nodeLabel && `"${value.nodeLabel.replace(/\s+/g, ' ').slice(0, 60)}"`,
                         value.snippet && !value.selector ? value.snippet : ''].filter(Boolean).join(' ');
    case 'source-location': return `${value.url}:${value.line + 1}:${value.column + 1}`;
    case 'link': return value.url ? `${value.text} (${value.url})` : value.text;
    case 'code': case 'url': case 'text': return String(value.value);
    case 'numeric': return shown(value.value, type);
    default: return JSON.stringify(value);
  }
}

// The details' items, one line each (with their sub-items under them);
// the details that are pictures, or data for the report's own views (the
// chains of requests among them), are left out.
function detailLines(details, indent) {
  if (!details) return [];
  if (details.type === 'list') return details.items.flatMap((d) => detailLines(d, indent));
  if (details.type !== 'table' && details.type !== 'opportunity') return [];
  const headings = details.headings.filter((h) => h.key);
  const line = (item, cols, key) => cols.map((h) => [h.label, shown(item[key(h)], h.valueType)])
    .filter(([, text]) => text).map(([label, text]) => (label ? `${label}: ${text}` : text)).join('; ');
  return details.items.flatMap((item) => [
    `${indent}${line(item, headings, (h) => h.key)}`,
    ...(item.subItems?.items ?? []).map((sub) => `${indent}  ${line(sub, details.headings.filter((h) => h.subItemsHeading?.key),
                                                                      (h) => h.subItemsHeading.key)}`),
  ]).filter((text) => text.trim());
}

// Its score (and weight in its category's, 0 for most), or what it is
// instead of a score; its title, and what it found.
function auditLines(audit, label) {
  const head = `  [${label}] ${audit.id}: ${audit.title}${audit.displayValue ? ` (${audit.displayValue})` : ''}`;
  return [head,
          ...(audit.explanation ? [`      ${audit.explanation}`] : []),
          ...(audit.errorMessage ? [`      error: ${audit.errorMessage}`] : []),
          ...(audit.warnings ?? []).map((w) => `      warning: ${w}`),
          ...detailLines(audit.details, '      ')];
}

async function run(name, config, url) {
  const chrome = await launch({ chromePath: '/usr/bin/chromium', chromeFlags, ignoreDefaultFlags: true, logLevel: 'silent' });
  try {
    const started = Date.now();
    const { lhr } = await lighthouse(url, { port: chrome.port, logLevel: 'error', onlyCategories: categories }, config);
    const seconds = ((Date.now() - started) / 1000).toFixed(0);
    console.log(`== ${name}: ${lhr.finalDisplayedUrl}, Lighthouse ${lhr.lighthouseVersion}, ${lhr.environment.hostUserAgent.match(/Chrome\/[\d.]+/)?.[0]}, ` +
                `${lhr.configSettings.throttlingMethod} throttling, ${seconds} s`);
    if (lhr.runtimeError) console.log(`runtime error: ${lhr.runtimeError.code}: ${lhr.runtimeError.message}`);
    (lhr.runWarnings ?? []).forEach((w) => console.log(`run warning: ${w}`));
    console.log(categories.map((id) => `${id} ${lhr.categories[id].score === null ? '?' : Math.round(lhr.categories[id].score * 100)}`).join(', '));
    const metrics = lhr.categories.performance.auditRefs.filter((ref) => ref.group === 'metrics').map((ref) => lhr.audits[ref.id]);
    console.log(`metrics: ${metrics.map((a) => `${a.id} ${a.displayValue} (${a.score?.toFixed(2)})`).join(', ')}`);
    for (const id of categories) {
      const refs = lhr.categories[id].auditRefs.map((ref) => ({ ...ref, audit: lhr.audits[ref.id] }));
      const under = refs.filter(({ audit }) => (scored.includes(audit.scoreDisplayMode) && audit.score < 1) ||
                                              audit.scoreDisplayMode === 'error');
      // Unscored, and yet something found, as the report shows them: those
      // in one of its groups (the hidden ones are data for its own views).
      const found = refs.filter(({ group, audit }) => group && group !== 'hidden' && audit.scoreDisplayMode === 'informative' &&
                                                      (audit.displayValue || detailLines(audit.details, '').length));
      if (!under.length && !found.length) continue;
      console.log(`${id}:`);
      for (const { audit, weight } of under) {
        const label = audit.score === null ? 'error' : `${audit.score.toFixed(2)}, weight ${weight}`;
        console.log(auditLines(audit, label).join('\n'));
      }
      found.forEach(({ audit }) => console.log(auditLines(audit, 'unscored').join('\n')));
    }
  } finally {
    await chrome.kill();
  }
}

const server = await serveFolder(folder);
try {
  for (const name of chosen.length ? chosen : Object.keys(presets)) await run(name, presets[name], `${server.url}/`);
} finally {
  server.close();
}
