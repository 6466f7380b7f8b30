// The console's text as rows: cut at line feeds, the drawing rows hidden
// from screen readers, a clearing dropping what came before it.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { markup, Unshown } from '../../web/page/rows.js';

const star = (text) => ({ text, hidden: true, whole: true });
const row = (text, whole = false) => ({ text, hidden: false, whole });

// What the program writes (null: it clears the console), the console's
// open last row, and what is to be shown.
const cases = [
  ['whole rows and an open one', ['a\n', 'b\nc'], '', { cleared: false, rows: [row('a\n'), row('b\n')], open: 'c' }],
  ['an open row goes on', ['d\ne'], 'c', { cleared: false, rows: [row('cd\n')], open: 'e' }],
  ['a clearing drops what came before', ['old\n', null, 'new\n'], 'c', { cleared: true, rows: [row('new\n')], open: '' }],
  ['the title box and a rule drawn, not read but the title', ['***\n', '   ***\n', '*  T *\n', '* T\n', ' --- \n', '--\n', '*\n'], '',
   { cleared: false, rows: [star('***\n'), star('   ***\n'), row('*  T *\n', true), row('* T\n'), star(' --- \n'), row('--\n'),
                            row('*\n')],
     open: '' }],
];
for (const [name, writes, open, shown] of cases) {
  test(name, () => {
    const unshown = new Unshown();
    for (const text of writes) {
      if (text === null) unshown.clear();
      else unshown.write(text);
    }
    assert.deepEqual(unshown.take(open), shown);
    assert.deepEqual(unshown.take(''), { cleared: false, rows: [], open: '' }, 'taken twice');
  });
}

test('the start-up screen written into the page', () => {
  assert.equal(markup('<a&b\n ***\n*T*\n'), '<span>&lt;a&amp;b\n</span><span class="intera" aria-hidden="true"> ***\n</span>' +
                                          '<span class="intera">*T*\n</span>');
});
