// The player's page: the poster, the data's progress, the start on a click (a browser starts
// sound only after a gesture), the canvas sized to the window with the 16:9 picture letterboxed,
// and the end of the demo with its log.
'use strict';

const canvas = document.getElementById('canvas');
const poster = document.getElementById('poster');
const progress = document.getElementById('progress');
const startButton = document.getElementById('start');
const againButton = document.getElementById('again');
const logLink = document.getElementById('log');
const message = document.getElementById('message');

function say(text) { message.textContent = text; }

function fail(text) {
  say(text);
  startButton.disabled = true;
  poster.classList.remove('hidden');
}

// The largest 16:9 rectangle in the window, centred, drawn at the device's own pixels.
function fitCanvas() {
  const width = Math.min(window.innerWidth, window.innerHeight * 16 / 9);
  const height = width * 9 / 16;
  canvas.style.width = width + 'px';
  canvas.style.height = height + 'px';
  canvas.style.left = (window.innerWidth - width) / 2 + 'px';
  canvas.style.top = (window.innerHeight - height) / 2 + 'px';
  canvas.width = Math.round(width * window.devicePixelRatio);
  canvas.height = Math.round(height * window.devicePixelRatio);
}
window.addEventListener('resize', fitCanvas);
fitCanvas();

// The log the player wrote (UTF-16LE, as everywhere), offered for saving and shown in the console.
function offerLog() {
  let bytes;
  try {
    bytes = Module.FS.readFile('/LogFile.txt');
  } catch (error) {
    return;
  }
  console.log(new TextDecoder('utf-16le').decode(bytes));
  logLink.href = URL.createObjectURL(new Blob([bytes], { type: 'text/plain;charset=utf-16le' }));
  logLink.classList.remove('hidden');
}

var Module = {
  canvas: canvas,
  // The file packager reports "Downloading data... (loaded/total)".
  setStatus(text) {
    const bytes = /\((\d+(?:\.\d+)?)\/(\d+(?:\.\d+)?)\)/.exec(text);
    if (bytes) {
      progress.max = Number(bytes[2]);
      progress.value = Number(bytes[1]);
    }
  },
  onRuntimeInitialized() {
    progress.value = progress.max;
    startButton.disabled = false;
    say('');
  },
  onPlayerEnd(code) {
    document.exitFullscreen?.().catch(() => {});
    poster.classList.remove('hidden');
    say(code === 0 ? 'The end. Thank you for watching.' : 'The demo could not start: see the log.');
    offerLog();
    if (code === 0) againButton.classList.remove('hidden');
  },
  print(text) { console.log(text); },
  printErr(text) { console.warn(text); },
};

if (!document.createElement('canvas').getContext('webgl2')) {
  fail('This browser has no WebGL2, which the demo needs.');
}

// A data file or the module that fails to load leaves a line, never a blank page.
window.addEventListener('error', (event) => {
  fail('Could not load the demo: ' + (event.message || (event.target && event.target.src) || 'a file is missing'));
}, true);

startButton.addEventListener('click', () => {
  poster.classList.add('hidden');
  canvas.focus();
  Module.callMain([]);
});
// Full screen from the page (a double click); the browser's Escape leaves it.
canvas.addEventListener('dblclick', () => document.documentElement.requestFullscreen?.().catch(() => {}));
document.addEventListener('fullscreenchange', fitCanvas);

// The module keeps its state once main has run, so playing again is a new page.
againButton.addEventListener('click', () => window.location.reload());
