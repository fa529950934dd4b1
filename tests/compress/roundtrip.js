// Runs every compressed script the corpus program writes in a fresh V8
// context and checks that the loader rebuilds the input byte for byte.
// Usage: node roundtrip.js CORPUS_PROGRAM [FILE...]
'use strict';
const { spawnSync } = require('child_process');
const vm = require('vm');

const COMMENT = /^\/\/[^\r\n]*$/;
const PAGE_HEAD = '<html><body><script>\r\n';
const PAGE_TAIL = '\r\n</script></body></html>';

const run = spawnSync(process.argv[2], process.argv.slice(3), { maxBuffer: 1 << 30 });
if (run.status !== 0) {
  console.error('corpus program failed:', run.status, String(run.stderr));
  process.exit(1);
}
const data = run.stdout;
let at = 0;
function field() {
  const n = data.readUInt32LE(at);
  const bytes = data.subarray(at + 4, at + 4 + n);
  at += 4 + n;
  return bytes;
}

// Text the script hands to its sink, with the sink call replaced by a capture.
function rebuild(out, prefix, mode) {
  let code = out.toString('latin1'); // one byte, one character
  if (mode === 'h') {
    if (!code.startsWith(PAGE_HEAD) || !code.endsWith(PAGE_TAIL)) throw new Error('page frame');
    code = code.slice(PAGE_HEAD.length, code.length - PAGE_TAIL.length);
  }
  const lines = code.split('\r\n');
  if (lines.length !== 3 || !COMMENT.test(lines[0]) || lines[2] !== lines[0])
    throw new Error('comment lines');
  const sink = (mode === 'h' ? 'document.write(' : 'eval(') + prefix + "a.join(''));";
  if (!lines[1].endsWith(sink)) throw new Error('sink call');
  const body = lines[1].slice(0, -sink.length) + '__capture(' + prefix + "a.join(''));";
  let result = null;
  const sandbox = { __capture: (s) => { result = s; } };
  vm.runInNewContext(body, sandbox, { timeout: 20000 });
  for (const name of Object.keys(sandbox)) {
    if (name !== '__capture' && !name.startsWith(prefix)) throw new Error('foreign name ' + name);
  }
  if (typeof result !== 'string') throw new Error('nothing rebuilt');
  for (let i = 0; i < result.length; i++) {
    if (result.charCodeAt(i) > 255) throw new Error('character beyond one byte at ' + i);
  }
  return Buffer.from(result, 'latin1');
}

let checked = 0;
const failures = [];
while (at < data.length) {
  const name = field().toString('utf8');
  const prefix = field().toString('latin1');
  const mode = String.fromCharCode(data[at++]);
  const input = field();
  const out = field();
  const label = `${name} (${mode === 'h' ? 'page' : 'script'}, prefix '${prefix}')`;
  try {
    const got = rebuild(out, prefix, mode);
    if (!got.equals(input)) {
      let i = 0;
      while (i < got.length && i < input.length && got[i] === input[i]) i++;
      throw new Error(`rebuilt ${got.length} bytes for ${input.length}, first difference at ${i}`);
    }
  } catch (e) {
    failures.push(`${label}: ${e.message}`);
  }
  checked++;
}
console.log(`${checked} compressed scripts run, ${failures.length} failed`);
for (const f of failures.slice(0, 20)) console.log('FAIL ' + f);
process.exit(failures.length === 0 && checked > 0 ? 0 : 1);
