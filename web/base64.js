// The WebAssembly travels inside teklo.js as base64. The browser's own
// decoder, where there is one, does at once what Emscripten's loop over
// atob's string takes milliseconds for, and leaves no string behind to
// collect. Declared after Emscripten's function of the same name, this is
// the one called. (The build's own run of teklo.js, under Node, takes the
// other way.)
function intArrayFromBase64(s) {
  return Uint8Array.fromBase64 ? Uint8Array.fromBase64(s) : Uint8Array.from(atob(s), (c) => c.charCodeAt(0));
}
