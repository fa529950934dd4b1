'use strict';
// Shared pieces of the page tests: making puzzles with the real programs,
// driving Chromium, and reading the game's state from the DOM.
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { chromium } = (() => {
  try {
    return require('playwright-core');
  } catch (e) {
    throw new Error('playwright-core is missing: run scripts/install-deps (npm ci in tests/browser)');
  }
})();

const repo = path.resolve(__dirname, '../..');
const photo = path.join(repo, 'bench/data/photo.jpg');
const messages = {
  start: 'Timer will started with a first click',
  running: 'Time of game, sec',
  solved: 'Congratulation! You did it in ',
  again: 'Start again',
};

// The page template's placeholders and how many of each it must carry
// (0 stands for "any number").
const placeholders = {
  title: 1, puzzlewidth: 2, puzzleheight: 2, piecewidth: 1, pieceheight: 1, piecehor: 1, piecever: 1, pictures: 1,
  ext: 1, framecolor: 1, msgcongratul: 1, msgtimestart: 1, msgstartagain: 1, msgtimeprocess: 0, thumbimg: 1,
};

// The placeholder words found in a text, in order.
function placeholdersIn(text) {
  const words = Object.keys(placeholders).sort((a, b) => b.length - a.length).join('|');
  return text.match(new RegExp(`\\$(${words})`, 'g')) || [];
}

function tool(name) {
  const file = process.env[name];
  if (!file || !fs.existsSync(file)) throw new Error(`${name} must name the built program (got ${file})`);
  return file;
}

// Builds a puzzle in a fresh folder; "compressed" goes through the command
// line exactly as users do, "plain" keeps the page script uncompressed.
const offscreen = { ...process.env, QT_QPA_PLATFORM: 'offscreen' };

function makePuzzle({ kind = 'compressed', pieces = '4x3', size = '480x360' } = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pictavia-page-'));
  const out = kind === 'plain'
    ? execFileSync(tool('PICTAVIA_PLAIN_PAGE'), [photo, dir, pieces, size], { env: offscreen })
    : execFileSync(tool('PICTAVIA_CLI'), ['create', photo, dir, '--pieces', pieces, '--size', size],
      { env: offscreen });
  const url = out.toString().trim().split('\n').pop();
  const [cols, rows] = pieces.split('x').map(Number);
  return { dir, url, cols, rows, html: fs.readFileSync(path.join(dir, 'puzzle.htm'), 'latin1') };
}

function removeDir(dir) {
  fs.rmSync(dir, { recursive: true, force: true });
}

async function launch() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
}

// Collects console errors and uncaught exceptions of a page.
function watchErrors(page) {
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(e.message));
  return errors;
}

async function open(page, puzzle) {
  await page.goto(puzzle.url);
  await page.waitForFunction((n) => document.querySelectorAll('.piece').length === n
    || !document.getElementById('error').hidden, puzzle.cols * puzzle.rows);
}

// Where everything is, after the page has drawn its pending moves.
async function state(page) {
  return page.evaluate(async () => {
    await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    const table = document.getElementById('table');
    const b = document.getElementById('board').getBoundingClientRect();
    const cols = Number(table.dataset.across), rows = Number(table.dataset.down);
    const pieces = [...document.querySelectorAll('.piece')].map((el) => {
      const r = el.getBoundingClientRect();
      const col = Number(el.dataset.col), row = Number(el.dataset.row);
      return {
        col, row, locked: el.dataset.locked === 'true', group: el.dataset.group,
        z: Number(getComputedStyle(el).zIndex), edges: el.dataset.edges,
        x: r.left + r.width / 2, y: r.top + r.height / 2,
        homeX: b.left + (col + 0.5) * b.width / cols, homeY: b.top + (row + 0.5) * b.height / rows,
      };
    });
    return {
      pieces, cols, rows, board: { left: b.left, top: b.top, width: b.width, height: b.height },
      status: document.getElementById('status').textContent,
      pieceWidth: b.width / cols, pieceHeight: b.height / rows,
    };
  });
}

function topLoose(s) {
  return s.pieces.filter((p) => !p.locked).sort((a, b) => b.z - a.z)[0];
}

async function mouseDrag(page, from, to) {
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  await page.mouse.move((from.x + to.x) / 2, (from.y + to.y) / 2, { steps: 3 });
  await page.mouse.move(to.x, to.y, { steps: 3 });
  await page.mouse.up();
}

function touchDragger(cdp) {
  return async (from, to) => {
    const point = (x, y) => [{ x, y, radiusX: 2, radiusY: 2, force: 1, id: 1 }];
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: point(from.x, from.y) });
    for (let k = 1; k <= 5; k++) {
      const x = from.x + (to.x - from.x) * k / 5, y = from.y + (to.y - from.y) * k / 5;
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: point(x, y) });
    }
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  };
}

// Plays the puzzle to the end: always the topmost loose piece, grabbed at the
// middle of its own rectangle, dropped a few pixels off its place so that it
// has to snap.
async function solve(page, drag, onFirstMove) {
  for (let moves = 0; ; moves++) {
    const s = await state(page);
    const p = topLoose(s);
    if (!p) return moves;
    if (moves > s.pieces.length * 2) throw new Error('the puzzle does not get solved');
    await drag({ x: p.x, y: p.y }, { x: p.homeX + 4, y: p.homeY - 3 });
    if (moves === 0 && onFirstMove) await onFirstMove();
  }
}

module.exports = {
  placeholders, placeholdersIn, messages, makePuzzle, removeDir, launch, watchErrors, open, state, topLoose, mouseDrag, touchDragger, solve,
};
