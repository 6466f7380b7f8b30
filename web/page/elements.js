// The page's elements that the script works with.

export const page = document.querySelector('main');
export const screenBox = document.getElementById('schermo');  // the console: the log and the typed line
export const log = document.getElementById('terminale');
export const field = document.getElementById('riga');
export const status = document.getElementById('stato');
