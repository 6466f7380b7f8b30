// A static server on the loopback that serves one folder as web hosts do:
// optionally with a max-age on every file, or redirecting /index.html to
// / as hosts with "pretty" addresses do. `folder` may be swapped for a new
// build, `down` makes every request fail as with no network, and
// `hold(path)` holds that file back until the function it returns is
// called.
import { createReadStream } from 'node:fs';
import { createServer } from 'node:http';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.webmanifest': 'application/manifest+json', '.png': 'image/png', '.svg': 'image/svg+xml',
  '.txt': 'text/plain; charset=utf-8',
};

export async function serveFolder(folder, { maxAge, redirectIndex } = {}) {
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
    await held.get(name);
    if (redirectIndex && name.endsWith('/index.html')) {
      return response.writeHead(301, { Location: name.slice(0, -'index.html'.length) }).end();
    }
    const file = path.join(site.folder, name.endsWith('/') ? `${name}index.html` : name);
    response.setHeader('Content-Type', types[path.extname(file)] ?? 'application/octet-stream');
    if (maxAge) response.setHeader('Cache-Control', `max-age=${maxAge}`);
    createReadStream(file).on('error', () => response.writeHead(404).end()).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site.url = `http://127.0.0.1:${server.address().port}`;
  site.close = () => { server.close(); server.closeAllConnections(); };
  return site;
}
