// A static server on the loopback that serves one folder, as any web host
// would; `hits` counts the requests per path.
import { createReadStream } from 'node:fs';
import { createServer } from 'node:http';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.webmanifest': 'application/manifest+json', '.png': 'image/png', '.svg': 'image/svg+xml',
  '.txt': 'text/plain; charset=utf-8',
};

export async function serveFolder(folder) {
  const hits = new Map();
  const server = createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    hits.set(name, (hits.get(name) ?? 0) + 1);
    const file = path.join(folder, name.endsWith('/') ? `${name}index.html` : name);
    response.setHeader('Content-Type', types[path.extname(file)] ?? 'application/octet-stream');
    createReadStream(file).on('error', () => response.writeHead(404).end()).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}`, hits, close: () => { server.close(); server.closeAllConnections(); } };
}
