// Helpers of the multipart peer tests: the library's parser through inet_mime_peer_tool, checks
// that stop the test with a message, and a time limit.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';

export function check(condition, message) {
  if (!condition) throw new Error(message);
}

export function checkBytes(actual, expected, what) {
  check(Buffer.compare(Buffer.from(actual), Buffer.from(expected)) === 0,
    `${what}: got ${JSON.stringify(Buffer.from(actual).toString('latin1'))}, ` +
    `expected ${JSON.stringify(Buffer.from(expected).toString('latin1'))}`);
}

export function scratchDir() {
  const dir = mkdtempSync(path.join(tmpdir(), 'inet-peer-'));
  return { dir, file: (name) => path.join(dir, name), remove: () => rmSync(dir, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 }) };
}

// What ParseMimeMultipart makes of a header block and body: [{ headers: string, data: Buffer }].
export function parseWithLibrary(tool, headers, body) {
  const scratch = scratchDir();
  try {
    writeFileSync(scratch.file('headers'), headers);
    writeFileSync(scratch.file('body'), body);
    const out = JSON.parse(execFileSync(tool, ['parse', scratch.file('headers'), scratch.file('body')]));
    return out.parts.map((part) => ({
      headers: Buffer.from(part.headers, 'base64').toString('latin1'),
      data: Buffer.from(part.data, 'base64'),
    }));
  } finally {
    scratch.remove();
  }
}

// The parsed parts by their form-data name.
export function byName(parts) {
  const named = new Map();
  for (const part of parts) {
    const name = /Content-Disposition: form-data; name="([^"]*)"/i.exec(part.headers);
    check(name, `part without a form-data name: ${part.headers}`);
    named.set(name[1], part);
  }
  return named;
}

// Runs `main` and ends the process with 0 on success, 1 on failure or after `seconds`.
export function runTest(main, seconds = 30) {
  const timer = setTimeout(() => {
    console.error(`FAIL: no result after ${seconds} s`);
    process.exit(1);
  }, seconds * 1000);
  main().then(
    () => {
      clearTimeout(timer);
      console.log('PASS');
      process.exit(0);
    },
    (error) => {
      clearTimeout(timer);
      console.error(`FAIL: ${error.stack || error}`);
      process.exit(1);
    });
}

// Bytes that a multipart reader must keep exactly: line breaks, dashes, NUL, high bytes.
export const AWKWARD_BYTES = Buffer.concat([
  Buffer.from('first line\r\n--not a boundary\r\n\r\n'),
  Buffer.from([0, 1, 2, 0xff, 0xfe, 0x80, 13, 10, 45, 45]),
  Buffer.from('\r\nlast line without break'),
]);
