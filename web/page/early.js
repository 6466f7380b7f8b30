// The script in index.html's head, which the build writes there inline:
// whatever stops the page from loading is said where the user looks, and
// a line entered before the page's script runs is kept for teklo, not
// lost. It runs in every browser, so that even one too old for the page
// says why nothing happens: the build refuses const, let and the like.

import { notStarting } from './messages.js';

var early = window.typedEarly = [];
var failed = false;

document.addEventListener('keydown', function (event) {
  var field = document.getElementById('riga');
  if (window.teklo || failed || event.key !== 'Enter' || event.isComposing || event.keyCode === 229 ||
      event.target !== field) return;
  event.preventDefault();
  early.push(field.value + '\n');
  field.value = '';
});

function tell(what) {
  if (window.teklo) return;  // the page runs: it speaks for itself
  var status = document.getElementById('stato');
  if (status && !status.textContent) status.textContent = notStarting(what);
}

addEventListener('error', function (event) {
  var source = event.target && event.target.tagName === 'SCRIPT' ? event.target.getAttribute('src') : '';
  tell(source ? 'il file ' + source + ' non si carica' : 'errore nella pagina (' + event.message + ')');
}, true);

addEventListener('load', function () {
  if (window.teklo) return;
  failed = true;
  tell('lo script della pagina non è partito');
});
