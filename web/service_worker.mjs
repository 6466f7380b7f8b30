// Writes the page's service worker (sw.js here) into its folder, with the
// page's files and their SHA-256 sums, and a cache name made of them, so
// that every change to any of them reaches those who visited before. The
// build names the files; a copy of a built folder whose files were
// changed gets its service worker written again for the files its old one
// names.
//   usage: node service_worker.mjs FOLDER FILE...
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const sha256 = (data) => createHash('sha256').update(data).digest('hex');

export function writeServiceWorker(folder, files) {
  const code = readFileSync(new URL('sw.js', import.meta.url), 'utf8');
  const sums = [...files].sort().map((name) => [name, sha256(readFileSync(path.join(folder, name)))]);
  const hash = sha256(sums.reduce((all, [name, sum]) => `${all} ${name} ${sum}`, sha256(code))).slice(0, 16);
  writeFileSync(path.join(folder, 'sw.js'), code
    .replace('@CACHE_NAME@', `teklo-${hash}`)
    .replace('@PAGE_FILES@', sums.map(([name, sum]) => `'${name}': '${sum}'`).join(',\n  ')));
}

// The files that the service worker in `folder` keeps.
export function pageFiles(folder) {
  const worker = readFileSync(path.join(folder, 'sw.js'), 'utf8');
  return [...worker.matchAll(/^ {2}'([^']+)': '[0-9a-f]{64}'/gm)].map((match) => match[1]);
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [folder, ...files] = process.argv.slice(2);
  writeServiceWorker(folder, files);
}
