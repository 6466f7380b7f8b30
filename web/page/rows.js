// The console's text as rows: what the program writes, cut at its line
// feeds, each row a span of its own so that a screen reader reads it as
// it arrives. Used by the page as the program writes and by the build for
// the start-up screen written into index.html.

// A row that begins and ends with an asterisk is a box's, and a run of
// asterisks or dashes draws a box or a rule: such rows are drawn whole,
// smaller where the width asks it, never wrapped. One that only draws is
// skipped by a screen reader (a typed * or -- echoed is still read).
const drawing = /^ *(\*{3,}|-{3,}) *$/;
const boxed = /^ *\*.*\* *$/;

// The whole rows of `text`, each with its line feed, and what follows the
// last line feed: a row still open, which the next text goes on with.
function rowsOf(text) {
  const rows = text.split('\n');
  const open = rows.pop();
  return { rows: rows.map((row) => {
    const hidden = drawing.test(row);
    return { text: `${row}\n`, hidden, whole: hidden || boxed.test(row) };
  }), open };
}

// The rows of `text`, which ends with a line feed, as HTML.
export function markup(text) {
  const escape = (row) => row.replace(/&/g, '&amp;').replace(/</g, '&lt;');
  const attributes = (row) => `${row.whole ? ' class="intera"' : ''}${row.hidden ? ' aria-hidden="true"' : ''}`;
  return rowsOf(text).rows.map((row) => `<span${attributes(row)}>${escape(row.text)}</span>`).join('');
}

// What the program wrote that the console does not show yet. It is shown
// all at once (when the program waits for input, or between the parts of
// a long paste), so that a clearing and the rows after it arrive together
// and the console is never seen empty between.
export class Unshown {
  #text = '';
  #cleared = false;

  write(text) { this.#text += text; }

  clear() {
    this.#text = '';
    this.#cleared = true;
  }

  // Whether the console is to be cleared first, and the rows to add;
  // `open`, the console's last row if it has no line feed yet, goes on
  // with what was written unless the console is cleared.
  take(open) {
    const cleared = this.#cleared;
    const text = (cleared ? '' : open) + this.#text;
    this.#text = '';
    this.#cleared = false;
    return { cleared, ...rowsOf(text) };
  }
}
