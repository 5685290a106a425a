// A body made by ConstructMimeMultipart is read by Node's own multipart/form-data parser
// (Request.formData()), field for field and byte for byte.
// Usage: node formdata-reader.mjs INET_MIME_PEER_TOOL
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';

import { AWKWARD_BYTES, check, checkBytes, runTest, scratchDir } from './common.mjs';

const tool = process.argv[2];

runTest(async () => {
  const scratch = scratchDir();
  try {
    writeFileSync(scratch.file('upload.bin'), AWKWARD_BYTES);
    execFileSync(tool, ['build', scratch.file('headers'), scratch.file('body'),
      'title=Hello, world', 'empty=', 'notes=line one\r\nline two',
      `upload@report.bin@application/octet-stream@${scratch.file('upload.bin')}`]);
    const headers = readFileSync(scratch.file('headers'), 'latin1');
    const body = readFileSync(scratch.file('body'));

    const contentType = /^Content-type: (.*)\r$/m.exec(headers);
    check(contentType, `no Content-type line in ${JSON.stringify(headers)}`);
    check(contentType[1].startsWith('multipart/form-data; boundary='), contentType[1]);
    const request = new Request('http://127.0.0.1/', {
      method: 'POST',
      headers: { 'content-type': contentType[1] },
      body,
    });
    const form = await request.formData();
    check([...form.keys()].join(',') === 'title,empty,notes,upload', `fields: ${[...form.keys()]}`);
    check(form.get('title') === 'Hello, world', 'title');
    check(form.get('empty') === '', 'empty');
    check(form.get('notes') === 'line one\r\nline two', 'notes');
    const upload = form.get('upload');
    check(upload.name === 'report.bin', `file name ${upload.name}`);
    check(upload.type === 'application/octet-stream', `file type ${upload.type}`);
    checkBytes(Buffer.from(await upload.arrayBuffer()), AWKWARD_BYTES, 'upload');
  } finally {
    scratch.remove();
  }
});
