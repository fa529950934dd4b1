'use strict';
// The page template's contract with the creator and the script compressor,
// checked on the template text itself.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');
const h = require('./helpers');

const template = fs.readFileSync(path.resolve(__dirname, '../../resources/puzzle/puzzle.htm'), 'latin1');
const start = '//compactra_start', end = '//compactra_end';

function count(text, word) {
  return text.split(word).length - 1;
}

test('every placeholder appears as often as the creator replaces it, and no other "$" does', () => {
  for (const [word, times] of Object.entries(h.placeholders)) {
    const n = count(template, '$' + word);
    if (times === 0) assert.ok(n >= 1, `$${word} appears`);
    else assert.equal(n, times, `$${word} appears ${times} times`);
  }
  assert.equal(count(template, '$'), h.placeholdersIn(template).length, 'no "$" outside the placeholders');
});

test('the preview row stands where a table row is allowed', () => {
  assert.match(template, /<table[^>]*>\s*<tbody>\s*\$thumbimg\s*<\/tbody>\s*<\/table>/);
});

test('the markers start line comments around one stretch inside one script element', () => {
  assert.equal(count(template, start), 1);
  assert.equal(count(template, end), 1);
  const a = template.indexOf(start), b = template.indexOf(end);
  assert.ok(a < b);
  assert.match(template, /\n[ \t]*\/\/compactra_start\r?\n/);
  assert.match(template, /\n[ \t]*\/\/compactra_end\r?\n/);
  const opened = template.lastIndexOf('<script', a);
  assert.ok(opened >= 0 && template.lastIndexOf('</script', a) < opened, 'the start lies inside a script element');
  assert.ok(template.indexOf('</script', a) > b, 'the end lies inside the same script element');
});

test('the compressed stretch is plain ASCII script that runs when evaluated where it stands', () => {
  const stretch = template.slice(template.indexOf(start) + start.length, template.indexOf(end));
  assert.ok(/^[\x09\x0a\x0d\x20-\x7e]*$/.test(stretch), 'ASCII only (non-ASCII must be written as \\u escapes)');
  assert.deepEqual(h.placeholdersIn(stretch), [], 'the stretch takes its values from the page, not from placeholders');
  assert.ok(!/<\/script|<!--/i.test(stretch));
  assert.ok(!/use strict/.test(template), 'the loader assigns undeclared names: no strict mode');
  assert.match(stretch.trim(), /^\(function \(\) \{[\s\S]*\}\)\(\);$/, 'one function expression, no global names');
  assert.doesNotThrow(() => new vm.Script(stretch));
});
