'use strict';
// The page uncompressed, served over HTTP, with a piece file missing, and on
// a phone.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const h = require('./helpers');

let browser;
const folders = [];

function puzzle(options) {
  const p = h.makePuzzle(options);
  folders.push(p.dir);
  return p;
}

before(async () => {
  browser = await h.launch();
});

after(async () => {
  await browser?.close();
  folders.forEach(h.removeDir);
});

test('uncompressed: the page runs from its plain script', async () => {
  const p = puzzle({ kind: 'plain', pieces: '3x3', size: '420x300' });
  assert.ok(!p.html.includes("kvs='") && p.html.includes('(function () {'), 'the script is not compressed');
  assert.deepEqual(h.placeholdersIn(p.html), []);
  const page = await browser.newPage({ viewport: { width: 1000, height: 700 } });
  const errors = h.watchErrors(page);
  await h.open(page, p);
  await h.solve(page, (a, b) => h.mouseDrag(page, a, b));
  const s = await h.state(page);
  assert.ok(s.pieces.every((x) => x.locked));
  assert.match(s.status, new RegExp(`^${h.messages.solved}\\d+ s$`));
  assert.deepEqual(errors, []);
  await page.close();
});

test('served over HTTP: the page loads every piece', async () => {
  const p = puzzle({ pieces: '3x2', size: '360x240' });
  const server = http.createServer((req, res) => {
    const file = path.join(p.dir, path.basename(decodeURIComponent(new URL(req.url, 'http://x').pathname)));
    fs.readFile(file, (err, body) => {
      if (err) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { 'Content-Type': file.endsWith('.htm') ? 'text/html' : 'image/jpeg' });
      res.end(body);
    });
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  try {
    const page = await browser.newPage();
    const errors = h.watchErrors(page);
    await h.open(page, { ...p, url: `http://127.0.0.1:${server.address().port}/puzzle.htm` });
    const s = await h.state(page);
    assert.equal(s.pieces.length, 6);
    assert.equal(s.status, h.messages.start);
    assert.deepEqual(errors, []);
    await page.close();
  } finally {
    server.close();
  }
});

test('a missing piece file is named on the page', async () => {
  const p = puzzle({ pieces: '3x3', size: '300x300' });
  const names = p.html.match(/data-pieces="([0-9a-f]+)"/)[1];
  const missing = names.slice(6 * 4, 6 * 5) + '.jpg';
  fs.unlinkSync(path.join(p.dir, missing));
  const page = await browser.newPage();
  await h.open(page, p);
  const shown = await page.evaluate(() => {
    const e = document.getElementById('error');
    return { text: e.textContent, visible: !e.hidden && e.getBoundingClientRect().height > 0 };
  });
  assert.ok(shown.visible);
  assert.ok(shown.text.includes(missing), shown.text);
  await page.close();
});

test('phone: a 1920-pixel puzzle fits the width and plays by touch', async () => {
  const p = puzzle({ pieces: '8x6', size: '1920x1440' });
  const context = await browser.newContext({
    viewport: { width: 390, height: 844 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true,
  });
  const page = await context.newPage();
  const errors = h.watchErrors(page);
  await h.open(page, p);
  const s = await h.state(page);
  const fit = await page.evaluate(() => ({
    scrollWidth: document.documentElement.scrollWidth, innerWidth: window.innerWidth,
    restart: document.getElementById('restart').getBoundingClientRect().right,
  }));
  assert.equal(fit.innerWidth, 390);
  assert.ok(fit.scrollWidth <= 390, `page width ${fit.scrollWidth}`);
  assert.ok(fit.restart <= 390, 'the restart control is on screen');
  assert.ok(s.board.left >= 0 && s.board.left + s.board.width <= 390, `board ${JSON.stringify(s.board)}`);
  assert.ok(s.board.width > 300, 'the board uses most of the width');
  const halfW = s.pieceWidth / 2;
  assert.ok(s.pieces.every((x) => x.x - halfW >= 0 && x.x + halfW <= 390 && x.y > 0 && x.y < 844),
    'every piece lies on the screen');

  const cdp = await context.newCDPSession(page);
  const drag = h.touchDragger(cdp);
  for (let k = 0; k < 3; k++) {
    const t = h.topLoose(await h.state(page));
    await drag(t, { x: t.homeX, y: t.homeY });
  }
  const after3 = await h.state(page);
  assert.equal(after3.pieces.filter((x) => x.locked).length, 3);
  assert.ok(after3.status.startsWith(h.messages.running));
  assert.equal(await page.evaluate(() => window.scrollX + window.scrollY), 0);

  // Turned sideways: the table fits again, placed pieces stay on their places.
  await page.setViewportSize({ width: 844, height: 390 });
  await page.waitForTimeout(400);
  const turned = await h.state(page);
  assert.ok(turned.board.left >= 0 && turned.board.left + turned.board.width <= 844);
  assert.ok(turned.board.top >= 0 && turned.board.top + turned.board.height <= 390);
  assert.ok(turned.pieces.filter((x) => x.locked).every((x) => Math.abs(x.x - x.homeX) < 0.5
    && Math.abs(x.y - x.homeY) < 0.5));
  const half = turned.pieceWidth / 2, halfH = turned.pieceHeight / 2;
  assert.ok(turned.pieces.every((x) => x.x - half >= -1 && x.x + half <= 845 && x.y + halfH <= 391),
    'every piece is still on the screen');
  assert.deepEqual(errors, []);
  await context.close();
});
