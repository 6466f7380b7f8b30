// Writes the page with teklo's start-up screen already in its console, so
// that the screen is there at the first paint, before any script has
// run. The screen is what the program just built prints with no input,
// run here under Node.js; when the program starts in the browser, its own
// clearing and printing replace the rows with the same ones.
//   usage: node start_screen.mjs TEKLO_JS TEMPLATE_HTML OUTPUT_HTML
import { readFileSync, writeFileSync } from 'node:fs';
import vm from 'node:vm';

const [program, template, output] = process.argv.slice(2);
const clearing = '\x1b[H\x1b[2J';

// teklo.js is built for browsers: it finds in this context what it uses
// of one.
const browser = vm.createContext({ WebAssembly, TextDecoder, TextEncoder, URL, atob, console, setTimeout, clearTimeout });
browser.window = browser.self = browser;
vm.runInContext(`${readFileSync(program, 'utf8')}\n;self.createTeklo = createTeklo;`, browser);

const written = [];
const teklo = await browser.createTeklo({
  readInput: async () => new Uint8Array(0),  // the end of input, at once
  writeOutput: (bytes) => written.push(Buffer.from(bytes)),
});
const status = await teklo.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true })
  .catch((error) => (error?.name === 'ExitStatus' ? error.status : Promise.reject(error)));
const text = Buffer.concat(written).toString('utf8');
if (status !== 0 || !text.startsWith(clearing) || !text.endsWith('\n')) {
  throw new Error(`teklo gave no start-up screen (status ${status}): ${JSON.stringify(text)}`);
}

// One node per row, as the page's console writes them; a row of
// asterisks only draws the title box, and a screen reader skips it.
const escape = (row) => row.replace(/&/g, '&amp;').replace(/</g, '&lt;');
const rows = text.slice(clearing.length).split('\n').slice(0, -1).map((row) =>
  `<span${/^ *\*+$/.test(row) ? ' aria-hidden="true"' : ''}>${escape(row)}\n</span>`);

const page = readFileSync(template, 'utf8');
const empty = /(<pre id="terminale"[^>]*>)(<\/pre>)/;
if (!empty.test(page)) throw new Error(`${template} has no empty console to fill`);
writeFileSync(output, page.replace(empty, (_, open, close) => `${open}${rows.join('')}${close}`));
