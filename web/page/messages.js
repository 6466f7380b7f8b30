// What the page says in the line below the console. The script in
// index.html's head says the first of these too, and is built for every
// browser: no const, no let here.

var again = 'Premere Invio o toccare la console per ricominciare.';

export function notStarting(reason) {
  return `teklo non si avvia: ${reason}. Ricaricare la pagina.`;
}

export function ended(status) {
  return `Programma terminato (stato di uscita ${status}). ${again}`;
}

export function interrupted() {
  return `Programma interrotto con CTRL + c. ${again}`;
}

export function failed(reason) {
  return `teklo si è fermato per un errore (${reason}). ${again}`;
}

export function copied(done) {
  return done ? 'Testo copiato.' : 'Copia non riuscita: il testo resta selezionato, copiarlo con il menu del browser.';
}

// The service worker could not keep the page: it works only online.
export function notKept() {
  return 'La pagina non funzionerà senza rete: non è stato possibile salvarne una copia.';
}
