// Writes the page's index.html from its template: with teklo's start-up
// screen already in its console, so that the screen is there at the first
// paint, before any script has run, and with the head's script (early.js,
// bundled) inline, and with its Content-Security-Policy, which holds the
// hashes of the page's inline texts. The screen is what the program just
// built shows with no input, run here under Node.js; when the program
// starts in the browser, its own clearing and printing of the same rows
// leave them in place, so that a screen reader reads them once.
//   usage: node write_index.mjs TEKLO_JS EARLY_JS TEMPLATE_HTML OUTPUT_HTML
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import vm from 'node:vm';
import { markup } from './page/rows.js';

const [program, early, template, output] = process.argv.slice(2);

// teklo.js is built for browsers: it finds in this context what it uses
// of one.
const browser = vm.createContext({ WebAssembly, TextDecoder, TextEncoder, URL, atob, console, setTimeout, clearTimeout });
browser.window = browser.self = browser;
vm.runInContext(`${readFileSync(program, 'utf8')}\n;self.createTeklo = createTeklo;`, browser);

let screen = null;  // what teklo wrote since it last cleared the console
const teklo = await browser.createTeklo({
  readInputNow: () => new Uint8Array(0),  // the end of input, at once
  writeOutput: (bytes) => screen?.push(Buffer.from(bytes)),
  clearScreen: () => { screen = []; },
});
const status = await teklo.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true })
  .catch((error) => (error?.name === 'ExitStatus' ? error.status : Promise.reject(error)));
const text = screen && Buffer.concat(screen).toString('utf8');
if (status !== 0 || !text?.endsWith('\n')) {
  throw new Error(`teklo gave no start-up screen on a cleared console (status ${status}): ${JSON.stringify(text)}`);
}

const script = readFileSync(early, 'utf8').trim();
if (/<\/script/i.test(script)) throw new Error(`${early} would end its script element early`);
const filled = [
  [/(<pre id="terminale"[^>]*>)(<\/pre>)/, (_, open, close) => `${open}${markup(text)}${close}`],
  [/<script src="early\.js"><\/script>/, () => `<script>${script}</script>`],
].reduce((page, [place, fill]) => {
  if (!place.test(page)) throw new Error(`${template} has no ${place}`);
  return page.replace(place, fill);
}, readFileSync(template, 'utf8'));

// The policy allows the inline scripts and styles as they are in the page
// written here, by their hashes, and nothing inline besides: no event
// handler or style attribute, no script made from a string. The browser
// hashes the text as its parser reads it, line ends made line feeds.
// doc/page.md says what each directive is for.
const hashes = (tag) => [...filled.matchAll(/<(script|style)\b([^>]*)>([\s\S]*?)<\/\1\s*>/gi)]
  .filter(([, name, attributes]) => name.toLowerCase() === tag && !/\bsrc\s*=/i.test(attributes))
  .map(([, , , text]) => `'sha256-${createHash('sha256').update(text.replace(/\r\n?/g, '\n')).digest('base64')}'`);
const sources = (...allowed) => allowed.join(' ') || "'none'";
const policy = ["default-src 'none'", `script-src ${sources("'self'", "'wasm-unsafe-eval'", ...hashes('script'))}`,
                `style-src ${sources(...hashes('style'))}`, "img-src 'self'", "manifest-src 'self'", "connect-src 'self'",
                "object-src 'none'", "base-uri 'none'", "form-action 'none'"].join('; ');
const meta = '<meta http-equiv="Content-Security-Policy" content="">';
const at = filled.indexOf(meta);
if (at < 0 || filled.slice(0, at).search(/<(script|style)\b/i) >= 0) {
  throw new Error(`${template} has no ${meta} before its first script and style`);
}
writeFileSync(output, filled.replace(meta, () => meta.replace('""', `"${policy}"`)));
