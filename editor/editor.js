// The timeline editor: lanes of keys over the music, drawn on canvases, edited with the mouse and
// the keyboard. Every edit is sent to the player as operations on keys (add, move, set, delete)
// made on the version the page shows; the player merges them into the file as it is now, saves
// it and plays it at once, and the page then shows the file's state as the player returns it.
import { KINDS, ROWS_PER_BEAT, beatText, mergeKeys, valueAt } from './timeline.js';

// The demo's effects and post processors, by the index their tracks hold.
const EFFECT_NAMES = ['SphereMorph', 'Greetings', 'PlanetEffect', 'CubeTunnel'];
const POST_NAMES = ['no post processing', 'Bloom'];
const BAND_TRACKS = [['Effect Index', EFFECT_NAMES], ['PostProcessor Index', POST_NAMES]];
const LANE_PAD = 10;
const DRAG_THRESHOLD = 4;

const state = { version: 0, tracks: [], error: null, musicBeats: 432 };
const view = { start: 0, scale: 8 };  // the beat at the left edge, pixels per beat
const playhead = { beat: 0, paused: false, loop: null, values: {} };
let selection = new Set();  // "track\trow"
let activeTrack = null;
let clipboard = [];
let waveform = null;
const undoStack = [];  // steps: { operations, version } (the version their edit's save made)
const redoStack = [];
let sending = false;
let loaded = false;  // the page's first state has come
let queue = Promise.resolve();  // edits go one after the other, each on the version before it

const $ = (selector) => document.querySelector(selector);
const lanesElement = $('#lanes');
const ruler = $('#ruler');
const fields = {
  position: $('[data-field="position"]'),
  value: $('[data-field="value"]'),
  kind: $('[data-field="kind"]'),
};

// ---- talking to the player ----------------------------------------------------------------

async function request(path, body) {
  const response = await fetch(path, body === undefined ? {} : {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body),
  });
  return { status: response.status, body: await response.json() };
}

function showMessage(text, kind = 'error') {
  const element = $('#message');
  element.hidden = !text;
  element.textContent = text || '';
  element.className = kind;
}

function adopt(next) {
  state.version = next.version;
  state.musicBeats = next.musicBeats ?? state.musicBeats;
  state.error = next.error ?? null;
  // A file that does not compile leaves the last good keys on show, read-only.
  if (next.tracks) state.tracks = next.tracks;
  const rows = new Set(state.tracks.flatMap((t) => t.keys.map((k) => `${t.name}\t${k[0]}`)));
  selection = new Set([...selection].filter((id) => rows.has(id)));
  if (state.error) showMessage(`The timeline does not compile, so nothing can be saved until it does:\n${state.error}`);
  else if ($('#message').textContent.startsWith('The timeline does not compile')) showMessage('');
  buildLanes();
  render();
}

async function loadState(notice) {
  const { body } = await request('api/state');
  adopt(body);
  loaded = true;
  if (notice && !state.error) showMessage(notice, 'info');
}

function trackKeys(name) {
  return state.tracks.find((t) => t.name === name)?.keys ?? [];
}

function keyAt(track, row) {
  return trackKeys(track).find((k) => k[0] === row) ?? null;
}

const put = (op, track, row, key) => ({ op, track, row, value: key[1], kind: key[2] });
// An operation on a key names the key as the page saw it, so that the player refuses it if the
// key is not that any more.
const seen = (operation, key) => ({ ...operation, was: [key[1], key[2]] });
const left = (o) => [o.row, o.value, o.kind];

// The operations that undo `operations`, worked out on the keys the page shows before them.
function inverse(operations) {
  const moved = new Set(operations.filter((o) => o.op === 'move').map((o) => `${o.track}\t${o.row}`));
  return operations.flatMap((o) => {
    const old = keyAt(o.track, o.row);
    if (o.op === 'delete') return [put('add', o.track, o.row, old)];
    if (o.op !== 'move') return [seen(old ? put('set', o.track, o.row, old) : { op: 'delete', track: o.track, row: o.row }, left(o))];
    // A key the move landed on comes back, unless it moved away itself.
    const landed = keyAt(o.track, o.to);
    const back = seen({ ...put('move', o.track, o.to, old), to: o.row }, left(o));
    return landed && !moved.has(`${o.track}\t${o.to}`) ? [back, put('add', o.track, o.to, landed)] : [back];
  });
}

// Sends an edit, made on the version shown unless `version` says otherwise. Once saved, what
// undoes it goes on `record`: the undo stack for a new edit (`fresh`, which also empties the redo
// stack), the other stack for an undo or a redo.
function commit(operations, record = undoStack, fresh = true, version = undefined) {
  queue = queue.then(() => send(operations, record, fresh, version ?? state.version));
  return queue;
}

async function send(operations, record, fresh, version) {
  if (state.error || !operations.length) return false;
  const undo = inverse(operations);
  sending = true;
  try {
    const { status, body } = await request('api/edit', { version, operations });
    // Saved or not, the answer holds the file as it is now.
    if (body.tracks || body.version !== undefined) adopt(body);
    if (status === 200) {
      record.push({ operations: undo, version: body.version });
      if (fresh) redoStack.length = 0;
      if (!state.error) showMessage(body.merged ? 'Saved, together with changes saved meanwhile in the file.' : '', 'info');
      return true;
    }
    if (status === 409) showMessage(`Not saved: ${body.conflict}. The page shows the file as it is now.`);
    else showMessage(`Not saved: ${body.error}`);
    render();
  } catch (failure) {
    showMessage(`Not saved: the player does not answer (${failure.message})`);
  } finally {
    sending = false;
  }
  return false;
}

// Undo is an edit made on the version its step's save left: merged with whatever changed on disk
// since, and refused, as any edit is, when a key it puts back was changed since by someone else.
// What undoes it in turn waits on the other stack.
async function replay(from, to) {
  const step = from.pop();
  if (!step) return;
  if (!(await commit(step.operations, to, false, step.version))) from.push(step);
}

// ---- lanes and drawing -------------------------------------------------------------------

function buildLanes() {
  if ([...lanesElement.children].map((l) => l.dataset.track).join('\n') === state.tracks.map((t) => t.name).join('\n')) return;
  lanesElement.replaceChildren(...state.tracks.map((track) => {
    const lane = document.createElement('div');
    lane.className = 'lane';
    lane.dataset.track = track.name;
    lane.innerHTML = '<canvas></canvas><div class="name"></div><div class="keys"></div>';
    lane.addEventListener('mousedown', (event) => laneMouseDown(event, lane));
    lane.addEventListener('dblclick', (event) => laneDoubleClick(event, lane));
    return lane;
  }));
}

const xOfBeat = (beat) => (beat - view.start) * view.scale;
const beatOfX = (x) => view.start + x / view.scale;

function valueRange(keys) {
  let low = Math.min(...keys.map((k) => k[1]));
  let high = Math.max(...keys.map((k) => k[1]));
  if (!keys.length) [low, high] = [0, 1];
  if (low === high) [low, high] = [low - 1, high + 1];
  return { low, high };
}

function fitCanvas(canvas) {
  const [width, height] = canvas.size;
  if (canvas.width !== width || canvas.height !== height) [canvas.width, canvas.height] = [width, height];
  return canvas.getContext('2d');
}

function drawGrid(context, height) {
  const width = context.canvas.width;
  const first = Math.floor(view.start);
  const last = beatOfX(width);
  const step = view.scale < 3 ? 16 : view.scale < 12 ? 4 : 1;
  if (view.scale >= 96) {
    context.strokeStyle = '#22262f';
    for (let row = Math.floor(view.start * ROWS_PER_BEAT); row / ROWS_PER_BEAT <= last; row++) {
      const x = Math.round(xOfBeat(row / ROWS_PER_BEAT)) + 0.5;
      context.beginPath(); context.moveTo(x, 0); context.lineTo(x, height); context.stroke();
    }
  }
  for (let beat = first - (first % step); beat <= last; beat += step) {
    context.strokeStyle = beat % 16 === 0 ? '#4b5262' : beat % 4 === 0 ? '#343a47' : '#272b35';
    const x = Math.round(xOfBeat(beat)) + 0.5;
    context.beginPath(); context.moveTo(x, 0); context.lineTo(x, height); context.stroke();
  }
}

function drawLane(lane) {
  const keys = trackKeys(lane.dataset.track);
  const canvas = lane.querySelector('canvas');
  const context = fitCanvas(canvas);
  const { width, height } = canvas;
  context.clearRect(0, 0, width, height);
  drawGrid(context, height);
  const { low, high } = valueRange(keys);
  const yOf = (value) => LANE_PAD + (height - 2 * LANE_PAD) * (1 - (value - low) / (high - low));
  context.strokeStyle = '#6fc3a0';
  context.beginPath();
  for (let x = 0; x <= width; x++) {
    const y = yOf(valueAt(keys, beatOfX(x) * ROWS_PER_BEAT));
    if (x === 0) context.moveTo(x, y); else context.lineTo(x, y);
  }
  context.stroke();
  drawValueAxis(context, low, high, yOf);
  const name = lane.dataset.track;
  const value = playhead.values[name];
  lane.querySelector('.name').textContent =
    `${name}  ${low.toPrecision(4)} … ${high.toPrecision(4)}` + (value === undefined ? '' : `  · now ${value.toPrecision(5)}`);
  lane.classList.toggle('active', name === activeTrack);
  lane.classList.toggle('readonly', Boolean(state.error));
  // Keys as elements, only those in view and reused from frame to frame, so that panning among
  // hundreds of keys stays cheap and each key can still be found on the page.
  const first = beatOfX(-8) * ROWS_PER_BEAT;
  const last = beatOfX(width + 8) * ROWS_PER_BEAT;
  const layer = lane.querySelector('.keys');
  let shown = 0;
  for (const key of keys) {
    if (key[0] < first || key[0] > last) continue;
    const marker = layer.children[shown++] ?? layer.appendChild(document.createElement('div'));
    // A transform moves the marker without laying the page out again.
    marker.className = selection.has(`${name}\t${key[0]}`) ? 'key selected' : 'key';
    marker.dataset.row = key[0];
    marker.style.transform = `translate(${xOfBeat(key[0] / ROWS_PER_BEAT)}px, ${yOf(key[1])}px)`;
    marker.title = `${beatText(key[0])}: ${key[1]} ${KINDS[key[2]] ?? key[2]}`;
  }
  while (layer.children.length > shown) layer.lastChild.remove();
  lane.valueOfY = (y) => low + (high - low) * (1 - (y - LANE_PAD) / (height - 2 * LANE_PAD));
}

// The lane's value axis at its right edge: its ends, and zero when the keys cross it and there is
// room to write it.
function drawValueAxis(context, low, high, yOf) {
  const x = context.canvas.width - 4;
  context.fillStyle = '#7d8494';
  context.textAlign = 'right';
  context.textBaseline = 'middle';
  const roomForZero = low < 0 && high > 0 && Math.min(yOf(low) - yOf(0), yOf(0) - yOf(high)) >= 12;
  const marks = roomForZero ? [low, 0, high] : [low, high];
  for (const value of marks) {
    context.fillText(String(Number(value.toPrecision(4))), x, yOf(value));
    context.fillRect(x + 1, yOf(value), 3, 1);
  }
  context.textAlign = 'left';
  context.textBaseline = 'alphabetic';
}

function drawRuler() {
  const context = fitCanvas(ruler);
  const { width, height } = ruler;
  context.clearRect(0, 0, width, height);
  drawGrid(context, height);
  if (waveform) {
    context.fillStyle = '#3d4a63';
    const middle = height - 16;
    for (let x = 0; x < width; x++) {
      const slice = Math.floor(beatOfX(x) * waveform.slicesPerBeat);
      if (slice < 0 || slice >= waveform.low.length) continue;
      const top = middle - waveform.high[slice] * 14;
      context.fillRect(x, top, 1, Math.max(1, middle - waveform.low[slice] * 14 - top));
    }
  }
  BAND_TRACKS.forEach(([track, names], index) => {
    const keys = trackKeys(track);
    keys.forEach((key, k) => {
      const from = xOfBeat(key[0] / ROWS_PER_BEAT);
      const to = k + 1 < keys.length ? xOfBeat(keys[k + 1][0] / ROWS_PER_BEAT) : xOfBeat(state.musicBeats);
      if (to < 0 || from > width) return;
      context.fillStyle = `hsl(${(key[1] * 67) % 360} 40% ${index ? 22 : 28}%)`;
      context.fillRect(from, index * 14, to - from - 1, 13);
      // The name stays at the left edge while the band's start is out of view, inside the band.
      context.save();
      context.beginPath();
      context.rect(from, index * 14, to - from - 1, 13);
      context.clip();
      context.fillStyle = '#dfe3ea';
      context.fillText(names[key[1]] ?? `#${key[1]}`, Math.max(from, 0) + 3, index * 14 + 10);
      context.restore();
    });
  });
  context.fillStyle = '#9aa3b5';
  const step = view.scale < 3 ? 64 : view.scale < 12 ? 16 : 4;
  for (let beat = Math.ceil(view.start / step) * step; beat <= beatOfX(width); beat += step)
    context.fillText(String(beat), xOfBeat(beat) + 2, 40);
  if (playhead.loop) {
    context.fillStyle = 'rgba(255, 200, 60, 0.25)';
    context.fillRect(xOfBeat(playhead.loop[0]), 28, (playhead.loop[1] - playhead.loop[0]) * view.scale, height - 28);
  }
}

function drawPlayhead() {
  const element = $('#playhead');
  element.dataset.beat = String(playhead.beat);
  element.style.left = `${xOfBeat(playhead.beat)}px`;
  $('#transport').textContent = `beat ${playhead.beat.toFixed(2)}${playhead.paused ? ' · paused' : ''}` +
    (playhead.loop ? ` · loop ${playhead.loop[0]}–${playhead.loop[1]}` : '');
}

// Many events can arrive within one frame (wheel, mouse moves): they draw once, at the next frame.
// The fields follow the selection at once; only the drawing waits for the frame.
let renderPending = false;
function render() {
  showFields();
  if (renderPending) return;
  renderPending = true;
  requestAnimationFrame(() => {
    renderPending = false;
    renderNow();
  });
}

function renderNow() {
  // Every canvas is measured before anything moves: a size read after the markers of one lane
  // have moved would lay the whole page out again, once per lane.
  for (const canvas of document.querySelectorAll('canvas')) canvas.size = [canvas.clientWidth, canvas.clientHeight];
  drawRuler();
  for (const lane of lanesElement.children) drawLane(lane);
  drawPlayhead();
  showFields();
}

// ---- selection and the typed fields ---------------------------------------------------------

function selectedKeys() {
  const chosen = [];
  for (const track of state.tracks)
    for (const key of track.keys) if (selection.has(`${track.name}\t${key[0]}`)) chosen.push({ track: track.name, key });
  return chosen;
}

function showFields() {
  const chosen = selectedKeys();
  const one = chosen.length === 1 && !state.error ? chosen[0].key : null;
  for (const field of Object.values(fields)) field.disabled = !one;
  if (!one || document.activeElement?.dataset.field) return;
  fields.position.value = beatText(one[0]);
  fields.value.value = String(one[1]);
  // A kind the page has no name for is shown as its number and kept unless another is chosen.
  const raw = fields.kind.querySelector('[data-raw]');
  raw.hidden = KINDS[one[2]] !== undefined;
  raw.value = raw.textContent = String(one[2]);
  fields.kind.value = KINDS[one[2]] ?? raw.value;
}

async function typeField() {
  const chosen = selectedKeys();
  if (chosen.length !== 1) return;
  const { track, key } = chosen[0];
  const row = Math.round(Number(fields.position.value) * ROWS_PER_BEAT);
  const value = Number(fields.value.value);
  const kind = KINDS.includes(fields.kind.value) ? KINDS.indexOf(fields.kind.value) : Number(fields.kind.value);
  const blank = [fields.position, fields.value].some((field) => field.value.trim() === '');
  if (blank || !Number.isFinite(row) || row < 0 || !Number.isFinite(value)) {
    showMessage('A position is a beat (0 or more), a value a number.');
    return;
  }
  const moved = seen(row === key[0] ? put('set', track, row, [row, value, kind]) : { ...put('move', track, key[0], [row, value, kind]), to: row }, key);
  selection = new Set([`${track}\t${row}`]);
  await commit([moved]);
}

for (const field of Object.values(fields)) field.addEventListener('change', typeField);

// ---- mouse --------------------------------------------------------------------------------

function snapRow(beat, wholeBeats) {
  return wholeBeats ? Math.round(beat) * ROWS_PER_BEAT : Math.round(beat * ROWS_PER_BEAT);
}

function localX(event, element) {
  return event.clientX - element.getBoundingClientRect().left;
}

function laneMouseDown(event, lane) {
  if (event.button !== 0) return;
  const track = lane.dataset.track;
  activeTrack = track;
  const marker = event.target.closest('.key');
  if (marker) {
    const id = `${track}\t${marker.dataset.row}`;
    if (event.ctrlKey || event.metaKey) {
      if (selection.has(id)) selection.delete(id); else selection.add(id);
    } else if (!selection.has(id)) {
      selection = new Set([id]);
    }
    render();
    dragKeys(event, track, Number(marker.dataset.row));
  } else {
    boxSelect(event, lane);
  }
}

// Moves the track's selected keys by whole rows, or whole beats with Shift; a moved key takes
// the place of a key it lands on.
function dragKeys(event, track, grabbedRow) {
  const startX = event.clientX;
  const original = trackKeys(track);
  const moving = original.filter((k) => selection.has(`${track}\t${k[0]}`));
  const stay = original.filter((k) => !selection.has(`${track}\t${k[0]}`));
  let delta = 0;
  const move = (e) => {
    if (Math.abs(e.clientX - startX) < DRAG_THRESHOLD && delta === 0) return;
    const target = snapRow(grabbedRow / ROWS_PER_BEAT + (e.clientX - startX) / view.scale, e.shiftKey);
    delta = Math.max(target - grabbedRow, -Math.min(...moving.map((k) => k[0])));
    const moved = moving.map((k) => [k[0] + delta, k[1], k[2]]);
    state.tracks.find((t) => t.name === track).keys = mergeKeys(stay, moved);
    selection = new Set(moved.map((k) => `${track}\t${k[0]}`));
    render();
  };
  const up = async () => {
    window.removeEventListener('mousemove', move);
    window.removeEventListener('mouseup', up);
    state.tracks.find((t) => t.name === track).keys = original;
    if (delta === 0) return;
    await commit(moving.map((k) => seen({ ...put('move', track, k[0], k), to: k[0] + delta }, k)));
  };
  window.addEventListener('mousemove', move);
  window.addEventListener('mouseup', up);
}

function boxSelect(event, lane) {
  const box = $('#box');
  const area = $('#timeline').getBoundingClientRect();
  const start = { x: event.clientX, y: event.clientY };
  const additive = event.ctrlKey || event.metaKey || event.shiftKey;
  let moved = false;
  const move = (e) => {
    moved = moved || Math.hypot(e.clientX - start.x, e.clientY - start.y) >= DRAG_THRESHOLD;
    if (!moved) return;
    box.hidden = false;
    Object.assign(box.style, {
      left: `${Math.min(start.x, e.clientX) - area.left}px`, top: `${Math.min(start.y, e.clientY) - area.top}px`,
      width: `${Math.abs(e.clientX - start.x)}px`, height: `${Math.abs(e.clientY - start.y)}px`,
    });
  };
  const up = (e) => {
    window.removeEventListener('mousemove', move);
    window.removeEventListener('mouseup', up);
    box.hidden = true;
    if (!additive) selection = new Set();
    if (moved) {
      const [left, right] = [Math.min(start.x, e.clientX), Math.max(start.x, e.clientX)];
      const [top, bottom] = [Math.min(start.y, e.clientY), Math.max(start.y, e.clientY)];
      for (const marker of document.querySelectorAll('.lane .key')) {
        const r = marker.getBoundingClientRect();
        const [x, y] = [r.left + r.width / 2, r.top + r.height / 2];
        if (x >= left && x <= right && y >= top && y <= bottom)
          selection.add(`${marker.closest('.lane').dataset.track}\t${marker.dataset.row}`);
      }
    }
    render();
  };
  window.addEventListener('mousemove', move);
  window.addEventListener('mouseup', up);
  activeTrack = lane.dataset.track;
}

async function laneDoubleClick(event, lane) {
  if (event.target.closest('.key')) return;
  const track = lane.dataset.track;
  const keys = trackKeys(track);
  const row = snapRow(beatOfX(localX(event, lane)), false);
  const rect = lane.getBoundingClientRect();
  const value = Number(lane.valueOfY(event.clientY - rect.top).toPrecision(3));
  const previous = keys.filter((k) => k[0] < row).pop();
  selection = new Set([`${track}\t${row}`]);
  await commit([put('add', track, row, [row, value, previous ? previous[2] : 1])]);
}

// The ruler: a click seeks, a drag sets the loop (in whole beats).
ruler.addEventListener('mousedown', (event) => {
  const startX = localX(event, ruler);
  let endX = startX;
  const move = (e) => {
    endX = localX(e, ruler);
    if (Math.abs(endX - startX) >= DRAG_THRESHOLD) {
      playhead.loop = [Math.floor(beatOfX(Math.min(startX, endX))), Math.ceil(beatOfX(Math.max(startX, endX)))];
      drawRuler();
    }
  };
  const up = async () => {
    window.removeEventListener('mousemove', move);
    window.removeEventListener('mouseup', up);
    const clamp = (beat) => Math.min(Math.max(beat, 0), state.musicBeats);
    if (Math.abs(endX - startX) < DRAG_THRESHOLD) {
      await request('api/seek', { beat: clamp(beatOfX(startX)) });
    } else {
      const from = clamp(Math.floor(beatOfX(Math.min(startX, endX))));
      const to = clamp(Math.ceil(beatOfX(Math.max(startX, endX))));
      if (from < to) await request('api/loop', { from, to });
    }
  };
  window.addEventListener('mousemove', move);
  window.addEventListener('mouseup', up);
});

// ---- zoom, pan and keys ------------------------------------------------------------------

function zoom(factor, aroundX) {
  const beat = beatOfX(aroundX);
  view.scale = Math.min(Math.max(view.scale * factor, 0.5), 512);
  view.start = beat - aroundX / view.scale;
  render();
}

function pan(pixels) {
  view.start += pixels / view.scale;
  render();
}

$('#timeline').addEventListener('wheel', (event) => {
  event.preventDefault();
  if (event.shiftKey || Math.abs(event.deltaX) > Math.abs(event.deltaY)) pan(event.deltaX || event.deltaY);
  else zoom(Math.exp(-event.deltaY * 0.002), localX(event, ruler));
}, { passive: false });

function deleteSelection() {
  const operations = selectedKeys().map(({ track, key }) => seen({ op: 'delete', track, row: key[0] }, key));
  selection = new Set();
  commit(operations);
}

function copySelection() {
  const chosen = selectedKeys();
  if (!chosen.length) return;
  const first = Math.min(...chosen.map((c) => c.key[0]));
  clipboard = chosen.map((c) => [c.key[0] - first, c.key[1], c.key[2]]);
  showMessage(`${clipboard.length} key(s) copied; Ctrl+V puts them at the playhead of the active lane.`, 'info');
}

function paste() {
  if (!clipboard.length || !activeTrack) return;
  const at = Math.round(playhead.beat * ROWS_PER_BEAT);
  const pasted = clipboard.map((k) => [k[0] + at, k[1], k[2]]);
  selection = new Set(pasted.map((k) => `${activeTrack}\t${k[0]}`));
  commit(pasted.map((k) => put('add', activeTrack, k[0], k)));
}

window.addEventListener('keydown', (event) => {
  if (event.target.closest('input, select')) return;
  const control = event.ctrlKey || event.metaKey;
  const key = event.key.toLowerCase();
  const actions = {
    ' ': () => request('api/pause', {}),
    delete: deleteSelection,
    backspace: deleteSelection,
    escape: () => request('api/loop', {}),
    '+': () => zoom(1.25, ruler.width / 2),
    '=': () => zoom(1.25, ruler.width / 2),
    '-': () => zoom(0.8, ruler.width / 2),
    arrowleft: () => pan(-ruler.width / 8),
    arrowright: () => pan(ruler.width / 8),
    home: () => { view.start = 0; render(); },
  };
  const controlActions = {
    z: () => (event.shiftKey ? replay(redoStack, undoStack) : replay(undoStack, redoStack)),
    y: () => replay(redoStack, undoStack),
    c: copySelection,
    v: paste,
  };
  const action = control ? controlActions[key] : actions[key];
  if (!action) return;
  event.preventDefault();
  action();
});

window.addEventListener('resize', render);

// ---- the live playhead and the file on disk ------------------------------------------------

let streamVersion = 0;
const events = new EventSource('api/events');
events.onmessage = (message) => {
  const data = JSON.parse(message.data);
  if (!loaded) return;  // the page's first state is still on its way
  const loopChanged = String(data.loop ?? '') !== String(playhead.loop ?? '');
  Object.assign(playhead, { beat: data.beat, paused: data.paused, loop: data.loop ?? null, values: data.values });
  if (loopChanged) drawRuler();
  // The stream looks at the file a few times a second, so it may still report the version
  // before the page's own save: only a version it has not reported before is news.
  if (data.version !== streamVersion) {
    streamVersion = data.version;
    if (data.version && data.version !== state.version && !sending)
      loadState('The timeline changed on disk: the page shows it as saved now.');
  }
  for (const lane of lanesElement.children) {
    const value = data.values[lane.dataset.track];
    const name = lane.querySelector('.name');
    name.textContent = name.textContent.replace(/ {2}· now .*$/, '') + `  · now ${value.toPrecision(5)}`;
  }
  drawPlayhead();
};

function show(fromBeat, toBeat) {
  view.start = fromBeat;
  view.scale = ruler.clientWidth / (toBeat - fromBeat);
  renderNow();
}

// For the console and tests: the page's own interpolation (the one its curves are drawn with),
// what it shows, and the view.
window.quarnEditor = {
  valueAt: (track, row) => valueAt(trackKeys(track), row),
  state: () => state,
  playhead: () => playhead,
  show,
};

await loadState();
show(0, state.musicBeats);
// The server reads the soundtrack on the side when first asked, and says 503 until it has.
async function loadWaveform() {
  const { status, body } = await request('api/waveform');
  if (status === 503) {
    setTimeout(loadWaveform, 500);
  } else if (body.low?.length) {
    waveform = body;
    drawRuler();
  }
}
loadWaveform();
