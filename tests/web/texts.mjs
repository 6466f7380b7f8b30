// The program's texts that the page's tests and benchmark look for, taken
// from the sessions' expected output, where they are written once.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

const session = (name) => readFileSync(new URL(`../sessions/${name}.out`, import.meta.url), 'utf8');
const calculation = session('calculation');
const row = (text, start) => text.split('\n').find((line) => line.startsWith(start)) ??
  assert.fail(`no row starts with ${JSON.stringify(start)}`);

export const startScreen = session('empty');
export const menuLine = startScreen.split('\n').at(-2);
export const help = row(session('help'), '   Help');
export const prompt = row(calculation, ' 56 63 76 84');
export const reminder = row(calculation, 'Menu');
export const goodbye = row(calculation, 'Uscita');
export const selectionError = row(session('menu_replies'), 'Devi');
// The six rows of 56 63 76 84, and the first playable row of any four
// numbers and its two numbers (or of none, its label).
export const rowsOf56 = calculation.match(/totale[^]*?Quarta[^\n]*\n/)[0];
export const first = (numbers) => row(calculation, 'Prima').replace(/[-\d ]*$/, ` ${numbers}`);
