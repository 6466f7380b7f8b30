// What the status line says when teklo cannot start: from the page's
// script, or, where that never runs, from the script in index.html's head,
// which is built for every browser (no const, no let).

export function notStarting(reason) {
  return `teklo non si avvia: ${reason}. Ricaricare la pagina.`;
}
