// Hands the microphone's samples to the engine's worker. The audio thread must never wait, so this
// only gathers the 128-sample quanta into blocks of about 46 ms and posts each block through the
// port the page gave it; the worker does the decoding. A port rather than shared memory: a plain
// static host sends no cross-origin isolation headers, so SharedArrayBuffer is not there.
const BLOCK = 2048;

class CaptureProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.out = null;
    this.block = new Float32Array(BLOCK);
    this.filled = 0;
    this.quiet = new Float32Array(128);
    this.port.onmessage = (event) => {
      // The page hands over the worker's port, and takes it back (null) when the reading ends.
      if (event.data && 'port' in event.data) this.out = event.data.port;
    };
  }

  process(inputs) {
    if (!this.out) return true;
    // An input without channels (a microphone that stopped) is silence: the reading goes on in
    // real time, so a receiver that reads at intervals of sound still gets to read.
    const channel = (inputs[0] && inputs[0][0]) || this.quiet;
    let i = 0;
    while (i < channel.length) {
      const n = Math.min(channel.length - i, BLOCK - this.filled);
      this.block.set(channel.subarray(i, i + n), this.filled);
      this.filled += n;
      i += n;
      if (this.filled === BLOCK) {
        this.out.postMessage(this.block, [this.block.buffer]);
        this.block = new Float32Array(BLOCK);
        this.filled = 0;
      }
    }
    return true;
  }
}

registerProcessor('zendrik-capture', CaptureProcessor);
