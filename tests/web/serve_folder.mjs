// A static server on the loopback that serves one folder as web hosts do:
// optionally with a max-age on every file, or redirecting /index.html to
// / as hosts with "pretty" addresses do. `folder` may be swapped for a new
// build, `down` makes every request fail as with no network, and
// `hold(path)` holds that file back until the function it returns is
// called. Given `violations`, it sends with every page a report-only copy
// of the policy that the page's meta holds, and puts there the browser's
// reports of what that policy blocks: the browser test's way to hear of
// every violation in every engine, WebKit's driver having no way to
// listen in before the page's own scripts run.
import { createReadStream, existsSync, readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.webmanifest': 'application/manifest+json', '.png': 'image/png', '.svg': 'image/svg+xml',
  '.txt': 'text/plain; charset=utf-8',
};

export async function serveFolder(folder, { maxAge, redirectIndex, violations } = {}) {
  const held = new Map();
  const site = { folder, down: false };
  site.hold = (name) => {
    let release;
    held.set(name, new Promise((resolve) => { release = resolve; }));
    return () => { held.delete(name); release(); };
  };
  const server = createServer(async (request, response) => {
    if (site.down) return request.socket.destroy();
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    if (violations && request.method === 'POST' && name === '/csp-report') {
      const report = JSON.parse(Buffer.concat(await request.toArray()))['csp-report'];
      violations.push(`${report['effective-directive'] ?? report['violated-directive']} ${report['blocked-uri']} in ${report['document-uri']}` +
                      (report['line-number'] ? ` at ${report['source-file']}:${report['line-number']}` : ''));
      return response.writeHead(204).end();
    }
    await held.get(name);
    if (redirectIndex && name.endsWith('/index.html')) {
      return response.writeHead(301, { Location: name.slice(0, -'index.html'.length) }).end();
    }
    const file = path.join(site.folder, name.endsWith('/') ? `${name}index.html` : name);
    response.setHeader('Content-Type', types[path.extname(file)] ?? 'application/octet-stream');
    if (maxAge) response.setHeader('Cache-Control', `max-age=${maxAge}`);
    const policy = violations && file.endsWith('.html') && existsSync(file) &&
      readFileSync(file, 'utf8').match(/<meta http-equiv="Content-Security-Policy" content="([^"]+)">/)?.[1];
    if (policy) response.setHeader('Content-Security-Policy-Report-Only', `${policy}; report-uri /csp-report`);
    createReadStream(file).on('error', () => response.writeHead(404).end()).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site.url = `http://127.0.0.1:${server.address().port}`;
  site.close = () => { server.close(); server.closeAllConnections(); };
  return site;
}
