'use strict';
// Plays a generated (compressed) puzzle page from disk in Chromium, with the
// mouse and with touch.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const h = require('./helpers');

let browser, puzzle;

before(async () => {
  puzzle = h.makePuzzle({ kind: 'compressed', pieces: '4x3', size: '480x360' });
  browser = await h.launch();
});

after(async () => {
  await browser?.close();
  if (puzzle) h.removeDir(puzzle.dir);
});

test('the generated page carries the compressed script', () => {
  assert.ok(puzzle.html.includes("kvs='"), 'the script is compressed');
  assert.ok(!/compactra_(start|end)/.test(puzzle.html), 'the markers are gone');
  assert.deepEqual(h.placeholdersIn(puzzle.html), [], 'every placeholder is filled');
});

test('mouse: loads, times, solves, restarts and joins neighbours', async () => {
  const page = await browser.newPage({ viewport: { width: 1200, height: 800 } });
  const errors = h.watchErrors(page);
  await h.open(page, puzzle);
  let s = await h.state(page);
  assert.equal(s.pieces.length, 12);
  assert.equal(s.status, h.messages.start);
  assert.ok(s.pieces.every((p) => !p.locked), 'no piece starts in place');
  assert.ok(s.pieces.every((p) => Math.hypot(p.x - p.homeX, p.y - p.homeY) > s.pieceWidth / 2),
    'pieces start away from their places');

  let runningText = '';
  await h.solve(page, (a, b) => h.mouseDrag(page, a, b), async () => {
    await page.waitForTimeout(1100);
    runningText = await page.textContent('#status');
  });
  assert.match(runningText, new RegExp(`^${h.messages.running}: [1-9]\\d*$`));
  s = await h.state(page);
  assert.ok(s.pieces.every((p) => p.locked));
  assert.ok(s.pieces.every((p) => Math.abs(p.x - p.homeX) < 0.5 && Math.abs(p.y - p.homeY) < 0.5),
    'locked pieces sit exactly on their places');
  assert.match(s.status, new RegExp(`^${h.messages.solved}[1-9]\\d* s$`));
  assert.equal(await page.evaluate(() => String(window.getSelection())), '', 'dragging selected no text');

  // Tab shapes: every inner edge is its neighbour's edge walked backwards.
  const at = (c, r) => s.pieces.find((p) => p.col === c && p.row === r).edges.split('|');
  const backwards = (side) => {
    const v = side.split(' ');
    const out = [];
    for (let k = v.length - 2; k >= 0; k -= 2) out.push(v[k], v[k + 1]);
    return out.join(' ');
  };
  let tabs = 0;
  for (let r = 0; r < s.rows; r++) {
    for (let c = 0; c < s.cols; c++) {
      if (c + 1 < s.cols) assert.equal(at(c, r)[1], backwards(at(c + 1, r)[3]));
      if (r + 1 < s.rows) assert.equal(at(c, r)[2], backwards(at(c, r + 1)[0]));
      tabs += at(c, r).filter((side) => side.split(' ').length > 4).length;
    }
  }
  assert.equal(tabs, 2 * ((s.cols - 1) * s.rows + (s.rows - 1) * s.cols), 'every inner side has a tab or a blank');

  await page.click('#restart');
  const again = await h.state(page);
  assert.equal(again.status, h.messages.start);
  assert.ok(again.pieces.every((p) => !p.locked));
  assert.ok(again.pieces.every((p) => Math.hypot(p.x - p.homeX, p.y - p.homeY) > s.pieceWidth / 2));

  // Two neighbours put together off the board join and then move as one.
  const a = h.topLoose(again);
  const inside = (x, y) => x > 60 && x < 1140 && y > 120 && y < 760;
  let pair = null;
  for (const [dc, dr] of [[1, 0], [-1, 0], [0, 1], [0, -1]]) {
    const b = again.pieces.find((p) => p.col === a.col - dc && p.row === a.row - dr);
    if (!b) continue;
    const to = { x: b.x + dc * again.pieceWidth, y: b.y + dr * again.pieceHeight };
    const onBoard = to.x > again.board.left - 20 && to.x < again.board.left + again.board.width + 20
      && to.y > again.board.top - 20 && to.y < again.board.top + again.board.height + 20;
    if (inside(to.x, to.y) && !onBoard) { pair = { b, to }; break; }
  }
  assert.ok(pair, 'some neighbour of the top piece has room beside it');
  await h.mouseDrag(page, a, { x: pair.to.x + 3, y: pair.to.y - 2 });
  let joined = await h.state(page);
  const a1 = joined.pieces.find((p) => p.col === a.col && p.row === a.row);
  const b1 = joined.pieces.find((p) => p.col === pair.b.col && p.row === pair.b.row);
  assert.equal(a1.group, b1.group, 'the two pieces form one group');
  assert.ok(!a1.locked && !b1.locked);
  assert.ok(Math.abs(a1.x - b1.x - (a.col - pair.b.col) * joined.pieceWidth) < 0.5, 'snapped side by side');
  const shift = { x: a1.x > 600 ? -60 : 60, y: a1.y > 400 ? -40 : 40 };
  await h.mouseDrag(page, a1, { x: a1.x + shift.x, y: a1.y + shift.y });
  joined = await h.state(page);
  const b2 = joined.pieces.find((p) => p.col === pair.b.col && p.row === pair.b.row);
  assert.ok(Math.abs(b2.x - b1.x - shift.x) < 0.5 && Math.abs(b2.y - b1.y - shift.y) < 0.5,
    'the neighbour moved with the dragged piece');
  const a2 = joined.pieces.find((p) => p.col === a.col && p.row === a.row);
  await h.mouseDrag(page, a2, { x: a2.homeX - 5, y: a2.homeY + 4 });
  joined = await h.state(page);
  assert.deepEqual(joined.pieces.filter((p) => p.locked).map((p) => [p.col, p.row]).sort(),
    [[a.col, a.row], [pair.b.col, pair.b.row]].sort(), 'the group locks in place as a whole');

  // Tab shapes are the same at every load.
  const edges = joined.pieces.map((p) => p.edges);
  await page.reload();
  await h.open(page, puzzle);
  assert.deepEqual((await h.state(page)).pieces.map((p) => p.edges), edges);

  assert.deepEqual(errors, []);
  await page.close();
});

test('touch: solves the puzzle with touch events', async () => {
  const context = await browser.newContext({ viewport: { width: 900, height: 700 }, hasTouch: true });
  const page = await context.newPage();
  const errors = h.watchErrors(page);
  await h.open(page, puzzle);
  const cdp = await context.newCDPSession(page);
  await h.solve(page, h.touchDragger(cdp));
  const s = await h.state(page);
  assert.ok(s.pieces.every((p) => p.locked));
  assert.match(s.status, new RegExp(`^${h.messages.solved}\\d+ s$`));
  assert.equal(await page.evaluate(() => window.scrollX + window.scrollY), 0, 'the page did not scroll');
  assert.deepEqual(errors, []);
  await context.close();
});
