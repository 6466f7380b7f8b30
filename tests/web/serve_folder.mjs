// A static server on the loopback that serves one folder as web hosts do:
// every file with an ETag and a Last-Modified, and a 304 with no body to
// a request that names the file as it still is; optionally with a max-age
// on every file, or redirecting /index.html to / as hosts with "pretty"
// addresses do. `folder` may be swapped for a new build, `down` makes
// every request fail as with no network, `hold(path)` holds that file back
// until the function it returns is called, `asked` counts the requests
// for each path and `sent` the bytes of the bodies sent. With `link`
// ({ latency in ms, rate in bytes a second }) it is a host at the end of a
// slow link: each answer waits the latency, and all bodies at once share
// the rate. Given `violations`, it sends with every page a report-only
// copy of the policy that the page's meta holds, and puts there the
// browser's reports of what that policy blocks: the browser test's way to
// hear of every violation in every engine, WebKit's driver having no way
// to listen in before the page's own scripts run.
import { createHash } from 'node:crypto';
import { readFile, stat } from 'node:fs/promises';
import { createServer } from 'node:http';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.webmanifest': 'application/manifest+json', '.png': 'image/png', '.svg': 'image/svg+xml',
  '.txt': 'text/plain; charset=utf-8',
};
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export async function serveFolder(folder, { maxAge, redirectIndex, link, violations } = {}) {
  const held = new Map();
  const site = { folder, down: false, asked: {}, sent: 0 };
  site.hold = (name) => {
    let release;
    held.set(name, new Promise((resolve) => { release = resolve; }));
    return () => { held.delete(name); release(); };
  };
  // A body in pieces, each sent when the slow link has room for it.
  let linkFree = 0;
  const paced = async (response, body) => {
    for (let at = 0; at < body.length; at += 1400) {
      const piece = body.subarray(at, at + 1400);
      linkFree = Math.max(linkFree, Date.now()) + (piece.length * 1000) / link.rate;
      await pause(linkFree - Date.now());
      response.write(piece);
    }
    response.end();
  };
  const server = createServer(async (request, response) => {
    if (site.down) return request.socket.destroy();
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    site.asked[name] = (site.asked[name] ?? 0) + 1;
    if (violations && request.method === 'POST' && name === '/csp-report') {
      const report = JSON.parse(Buffer.concat(await request.toArray()))['csp-report'];
      violations.push(`${report['effective-directive'] ?? report['violated-directive']} ${report['blocked-uri']} in ${report['document-uri']}` +
                      (report['line-number'] ? ` at ${report['source-file']}:${report['line-number']}` : ''));
      return response.writeHead(204).end();
    }
    await held.get(name);
    if (link) await pause(link.latency);
    if (redirectIndex && name.endsWith('/index.html')) {
      return response.writeHead(301, { Location: name.slice(0, -'index.html'.length) }).end();
    }
    const file = path.join(site.folder, name.endsWith('/') ? `${name}index.html` : name);
    const [body, modified] = await Promise.all([readFile(file), stat(file).then((s) => s.mtime)]).catch(() => []);
    if (!body) return response.writeHead(404).end();
    const etag = `"${createHash('sha1').update(body).digest('hex').slice(0, 20)}"`;
    response.setHeader('ETag', etag);
    response.setHeader('Last-Modified', modified.toUTCString());
    if (maxAge) response.setHeader('Cache-Control', `max-age=${maxAge}`);
    // As HTTP has it: If-None-Match, when there is one, decides alone.
    const { 'if-none-match': tags, 'if-modified-since': since } = request.headers;
    if (tags ? tags.split(/\s*,\s*/).includes(etag)
             : since && Math.floor(modified / 1000) * 1000 <= Date.parse(since)) {
      return response.writeHead(304).end();
    }
    response.setHeader('Content-Type', types[path.extname(file)] ?? 'application/octet-stream');
    const policy = violations && file.endsWith('.html') &&
      body.toString().match(/<meta http-equiv="Content-Security-Policy" content="([^"]+)">/)?.[1];
    if (policy) response.setHeader('Content-Security-Policy-Report-Only', `${policy}; report-uri /csp-report`);
    site.sent += body.length;
    return link ? paced(response, body) : response.end(body);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site.url = `http://127.0.0.1:${server.address().port}`;
  site.close = () => { server.close(); server.closeAllConnections(); };
  return site;
}
