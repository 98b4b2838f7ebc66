// The analysis in a worker, so that the page stays responsive however long
// it takes. The engine's glue (the factory ZoverEngine) comes before this
// script in the same blob. The page posts one job, {module, file, name,
// settings}: the compiled WebAssembly module, the data as a File or Blob, its
// name and the options. The engine asks for the file's bytes chunk by chunk
// (zover_page_read in zover_web.cpp); the bytes it has taken are posted every
// tenth of a second as {type: 'progress', read, size}, and the end as {type:
// 'done', status, outputs}, or an error of the engine or the browser as
// {type: 'failed', message}. A page that wants another analysis ends this
// worker and starts a new one.

const CHUNK = 1 << 23;  // bytes read from the file at a time (a read has a cost of its own)
const EVERY = 100;      // milliseconds between two reports of the progress
const OUTPUTS = ['message', 'html', 'json', 'csv', 'svg', 'text', 'warnings'];  // as zover_output numbers them

async function analyse({module, file, name, settings}) {
  let at = 0;                       // bytes read from the file
  let chunk = new Uint8Array(0);    // the last chunk read
  let used = 0;                     // of it, the bytes handed to the engine
  let reported = 0;                 // when the progress was last posted
  const engine = await ZoverEngine({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
    // Up to `size` bytes into the engine's memory at `buffer`: the number
    // given, 0 at the end of the file, -1 when the file cannot be read
    // (pageReadError then says why).
    pageRead(buffer, size) {
      try {
        if (used === chunk.length) {
          if (at >= file.size) return 0;
          chunk = new Uint8Array(new FileReaderSync().readAsArrayBuffer(file.slice(at, at + CHUNK)));
          if (chunk.length === 0) throw new Error('the file ended before its size');
          at += chunk.length;
          used = 0;
        }
        const n = Math.min(size, chunk.length - used);
        this.HEAPU8.set(chunk.subarray(used, used + n), buffer);
        used += n;
        if (performance.now() - reported > EVERY || at + used - chunk.length === file.size) {
          reported = performance.now();
          self.postMessage({type: 'progress', read: at - chunk.length + used, size: file.size});
        }
        return n;
      } catch (error) {
        this.pageReadError = error.message || String(error);
        return -1;
      }
    },
  });
  const status = engine.ccall('zover_analyse', 'number', ['string', 'string'], [name, JSON.stringify(settings)]);
  const decoder = new TextDecoder();
  const outputs = {};
  OUTPUTS.forEach((key, which) => {
    const start = engine._zover_output(which);
    outputs[key] = decoder.decode(engine.HEAPU8.subarray(start, start + engine._zover_output_size(which)));
  });
  self.postMessage({type: 'done', status, outputs});
}

self.onmessage = (event) => {
  analyse(event.data).catch((error) => self.postMessage({type: 'failed', message: String(error && error.message || error)}));
};
