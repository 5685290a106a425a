// A form posted by curl -F (text fields and a file) parses into the right parts.
// Usage: node curl-multipart.mjs INET_MIME_PEER_TOOL
import { execFile } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { promisify } from 'node:util';

import { AWKWARD_BYTES, byName, check, checkBytes, parseWithLibrary, runTest, scratchDir } from './common.mjs';
import { startRecorder } from './recorder.mjs';

const tool = process.argv[2];

runTest(async () => {
  const recorder = await startRecorder();
  const scratch = scratchDir();
  try {
    writeFileSync(scratch.file('report.bin'), AWKWARD_BYTES);
    const url = `http://127.0.0.1:${recorder.port}/submit`;
    const sent = recorder.nextPost();
    // Asynchronously, so that the recorder in this process can answer.
    await promisify(execFile)('curl', ['--silent', '--show-error', '--noproxy', '*', '--max-time', '10',
      '--form-string', 'title=Hello, world',
      '--form-string', 'empty=',
      '--form-string', 'notes=line one\r\nline two; with=signs',
      '-F', `upload=@${scratch.file('report.bin')};type=application/octet-stream`,
      url]);
    const post = await sent;

    const boundary = /boundary=([^\r\n;]*)/.exec(post.headers);
    check(boundary && boundary[1].includes('-'), `curl's boundary should hold "-": ${post.headers}`);
    const parts = parseWithLibrary(tool, post.headers, post.body);
    check(parts.length === 4, `4 parts expected, got ${parts.length}`);
    const named = byName(parts);
    checkBytes(named.get('title').data, 'Hello, world', 'title');
    checkBytes(named.get('empty').data, '', 'empty');
    checkBytes(named.get('notes').data, 'line one\r\nline two; with=signs', 'notes');
    checkBytes(named.get('upload').data, AWKWARD_BYTES, 'upload');
    check(/filename="report.bin"/.test(named.get('upload').headers), 'file name in the part headers');
    check(/Content-Type: application\/octet-stream/i.test(named.get('upload').headers), 'file type');
  } finally {
    scratch.remove();
    await recorder.close();
  }
});
