// The page's input queue, read as a terminal's canonical mode reads.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { InputQueue } from '../../web/page/queue.js';

const encoder = new TextEncoder();
const decoder = new TextDecoder();

// What is handed over, piece by piece (| between two pieces, ^D for
// Ctrl+D), and every read until nothing is left.
const handed = (typed) => {
  const queue = new InputQueue();
  for (const piece of typed.split(/(\^D)|\|/).filter((p) => p)) {
    if (piece === '^D') queue.end();
    else queue.add(encoder.encode(piece));
  }
  return queue;
};
const cases = [
  ['a line per read', 's\n56 63 76 84\n', 65536, ['s\n', '56 63 76 84\n']],
  ['a line longer than the read', '123456\n', 4, ['1234', '56\n']],
  ['a line over two pieces', '12| 3\n|4\n', 65536, ['12 3\n', '4\n']],
  ['Ctrl+D hands a line over as it is', 'q^Dh\n', 65536, ['q', 'h\n']],
  ['Ctrl+D on an empty line ends the input', 's\n^D', 65536, ['s\n', '']],
  ['Ctrl+D twice after text', 'a^D^D', 65536, ['a', '']],
  ['a read as long as a line handed over by Ctrl+D', 'ab^D', 2, ['ab']],
  ['text with no line end, read as it is', 'ab', 65536, ['ab']],
];
for (const [name, typed, size, reads] of cases) {
  test(name, () => {
    const queue = handed(typed);
    const read = [];
    while (!queue.empty) read.push(decoder.decode(queue.read(size)));
    assert.deepEqual(read, reads);
  });
}

test('what is not read stays, for the next run', () => {
  const queue = handed('q\nh\n|s\n');
  queue.read(65536);
  assert.deepEqual([queue.unread(), queue.unread(), queue.read(65536)].map((bytes) => decoder.decode(bytes)),
                   ['h\ns\n', 'h\ns\n', 'h\n']);
});
