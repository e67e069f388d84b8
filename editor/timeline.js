// The timeline's keys as the player reads them: the same search and the same interpolation as
// the player's sync tracks, so that a curve on the page is the curve on the screen. A test
// holds this against the player's own values.

export const ROWS_PER_BEAT = 16;
export const KINDS = ['step', 'linear', 'smooth', 'ramp'];

// Index of the key at `row`, else of the last key below it, else -1 (keys ascend by row).
function findKey(keys, row) {
  let lo = 0;
  let hi = keys.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (keys[mid][0] < row) lo = mid + 1;
    else if (keys[mid][0] > row) hi = mid;
    else return mid;
  }
  return lo - 1;
}

function interpolate(key, next, row) {
  const t = (row - key[0]) / (next[0] - key[0]);
  const d = next[1] - key[1];
  switch (key[2]) {
    case 0: return key[1];
    case 1: return key[1] + d * t;
    case 2: return key[1] + d * t * t * (3 - 2 * t);
    case 3: return key[1] + d * Math.pow(t, 2);
    default: return 0;
  }
}

// A track's value at a (fractional) row; keys are [row, value, kind].
export function valueAt(keys, row) {
  if (keys.length === 0) return 0;
  const k = findKey(keys, Math.floor(row));
  if (k < 0) return keys[0][1];
  if (k > keys.length - 2) return keys[keys.length - 1][1];
  return Math.fround(interpolate(keys[k], keys[k + 1], row));
}

// The keys with `added` put in (a key already at one of their rows is replaced), in row order.
export function mergeKeys(keys, added) {
  const rows = new Set(added.map((key) => key[0]));
  return keys.filter((key) => !rows.has(key[0])).concat(added).sort((a, b) => a[0] - b[0]);
}

export function beatText(row) {
  return String(row / ROWS_PER_BEAT);
}
