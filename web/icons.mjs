// Draws the page's icons as PNG files: the 3x3 magic square of Lo Shu on
// black, each cell as bright as its number. The maskable icon keeps the
// square inside the circle that any launcher's mask leaves whole.
//   usage: node icons.mjs FOLDER
import { writeFileSync } from 'node:fs';
import path from 'node:path';
import { deflateSync } from 'node:zlib';

const square = [4, 9, 2, 3, 5, 7, 8, 1, 6];

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const out = Buffer.alloc(12 + data.length);
  out.writeUInt32BE(data.length, 0);
  out.write(type, 4, 'latin1');
  data.copy(out, 8);
  out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
  return out;
}

// `share` is the side of the square as a share of the icon's.
function icon(size, share) {
  const side = Math.round(size * share);
  const origin = Math.round((size - side) / 2);
  const gap = Math.max(1, Math.round(side / 40));
  const rows = Buffer.alloc(size * (1 + size * 3));
  for (let y = 0; y < size; ++y) {
    rows[y * (1 + size * 3)] = 0;  // no filter
    for (let x = 0; x < size; ++x) {
      const u = x - origin;
      const v = y - origin;
      if (u < 0 || v < 0 || u >= side || v >= side) continue;
      const cell = Math.floor(u * 3 / side) + 3 * Math.floor(v * 3 / side);
      const inCell = (t) => t % (side / 3) >= gap && t % (side / 3) < side / 3 - gap;
      if (!inCell(u) || !inCell(v)) continue;
      const light = 0.25 + 0.75 * (square[cell] / 9);
      const at = y * (1 + size * 3) + 1 + x * 3;
      rows[at] = Math.round(0x33 * light);
      rows[at + 1] = Math.round(0xff * light);
      rows[at + 2] = Math.round(0x66 * light);
    }
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header[8] = 8;  // bits per sample
  header[9] = 2;  // RGB
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
                        chunk('IHDR', header), chunk('IDAT', deflateSync(rows, { level: 9 })),
                        chunk('IEND', Buffer.alloc(0))]);
}

const folder = process.argv[2];
writeFileSync(path.join(folder, 'icona-192.png'), icon(192, 0.84));
writeFileSync(path.join(folder, 'icona-512.png'), icon(512, 0.84));
writeFileSync(path.join(folder, 'icona-maskable-512.png'), icon(512, 0.56));
