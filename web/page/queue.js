// The program's standard input, read as a terminal's canonical mode reads
// it: a read returns at most one line, with its line feed, or what Ctrl+D
// handed over without one, and Ctrl+D on an empty line makes a read return
// nothing, the end of input. What the program has not read when it ends is
// still here, for whoever reads next; nothing here knows its keys.

const lineFeed = 10;

export class InputQueue {
  // What was handed over and not yet read, in order; a part that Ctrl+D
  // handed over is `pushed`: a read ends with it. An empty one is an end
  // of input.
  #parts = [];

  get empty() { return this.#parts.length === 0; }

  add(bytes) {
    if (bytes.length > 0) this.#parts.push({ bytes, pushed: false });
  }

  // Ctrl+D: what came since the last line feed can be read as it is, or,
  // if nothing did, the next read finds the end of input.
  end() {
    const last = this.#parts.at(-1);
    if (last && !last.pushed && last.bytes.at(-1) !== lineFeed) last.pushed = true;
    else this.#parts.push({ bytes: new Uint8Array(0), pushed: true });
  }

  // At most `size` bytes, up to the end of the first line.
  read(size) {
    const taken = [];
    let length = 0;
    for (let ended = false; !ended && !this.empty && length < size;) {
      const part = this.#parts[0];
      const feed = part.bytes.indexOf(lineFeed);
      const count = Math.min(feed < 0 ? part.bytes.length : feed + 1, size - length);
      taken.push(part.bytes.subarray(0, count));
      length += count;
      ended = (feed >= 0 && count === feed + 1) || (part.pushed && count === part.bytes.length);
      if (count === part.bytes.length) this.#parts.shift();
      else part.bytes = part.bytes.subarray(count);
    }
    return join(taken, length);
  }

  // Everything not yet read, left in place.
  unread() {
    const bytes = this.#parts.map((part) => part.bytes);
    return join(bytes, bytes.reduce((sum, part) => sum + part.length, 0));
  }
}

function join(parts, length) {
  if (parts.length === 1) return parts[0];
  const joined = new Uint8Array(length);
  let at = 0;
  for (const part of parts) {
    joined.set(part, at);
    at += part.length;
  }
  return joined;
}
