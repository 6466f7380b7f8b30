// The line below the console, which a screen reader announces.

import { status } from './elements.js';

// How teklo ended, said after every message until it runs again.
let note = '';

export function say(message) {
  status.textContent = [message, note].filter(Boolean).join(' ');
}

export function setNote(text) {
  note = text;
  say('');
}
